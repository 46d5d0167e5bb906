// The SFTP engine's transfers: many READ or WRITE requests in flight at once (the
// protocol lets a client send requests without waiting, section 3 of
// draft-ietf-secsh-filexfer-02), part files and resume as the FTP path keeps them.
#include "ftp/component/sftp/SftpEngine.h"

#include "ftp/component/CallArguments.h"
#include "ftp/component/CallControl.h"
#include "ftp/component/PartFile.h"
#include "ftp/component/RemotePath.h"
#include "ftp/component/sftp/SftpEngineCalls.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <map>

namespace ftp::sftp {

namespace {

// How long the clean-up after a cancel may take before the connection is given up.
constexpr int kSettleMs = 1'000;
// A text file whose first bytes hold a NUL is not text: it moves byte for byte (on this
// platform every text transfer does), and the transcript says so.
constexpr qint64 kTextProbeBytes = 8 * 1024;
// Where the bytes start in an SSH_FXP_DATA body: after their length.
constexpr qsizetype kDataAt = 4;

QByteArray readRequest(const QByteArray& handle, quint64 offset, quint32 length) {
    return PacketWriter().string(handle).u64(offset).u32(length).bytes();
}

} // namespace

void SftpEngine::reportProgress(qint64 done, std::optional<qint64> total) {
    if (!callControl_)
        return;
    callControl_->setDone(done);
    if (total)
        callControl_->setTotal(*total);
}

void SftpEngine::noteNulText(QFile& file, const QString& name) {
    const qint64 at = file.pos();
    if (!file.seek(0))
        return;
    const QByteArray start = file.read(kTextProbeBytes);
    file.seek(at);
    if (start.contains('\0'))
        transcript_.note(
            QStringLiteral("\"%1\" holds NUL bytes: moved byte for byte, not as text.").arg(name));
}

void SftpEngine::forgetKeptDownload() {
    if (keptDownload_)
        QFile::remove(keptDownload_->partPath);
    keptDownload_.reset();
}

void SftpEngine::forgetKeptTransfers() {
    forgetKeptDownload();
    keptUpload_.reset();
}

void SftpEngine::settle(int inFlight, const QByteArray& handle) {
    // Whatever ended the transfer (a cancel, a refused request, a local write failure),
    // the replies still owed are read, so that the session stays in step.
    const CancelShield shield(callControl_);
    try {
        const QDeadlineTimer deadline(kSettleMs);
        for (; inFlight > 0; --inFlight)
            channel_.next(deadline, kSettleMs);
        channel_.call(FxpClose, PacketWriter().string(handle).bytes(), kSettleMs);
    } catch (const SessionError&) {
        ssh_.close(); // out of step: the next call reconnects or says the session is lost
    }
}

// --- Downloads -----------------------------------------------------------------------

int SftpEngine::GetFile(const QString& remotePath, const QString& localPath, int& mode) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        checkDownloadArguments(remotePath, localPath, mode);
        keptUpload_.reset();
        requireSession();
        const QString remote = resolveRemotePath(remotePath, loginFolder_);
        const bool text = mode == TextMode;
        if (keptDownload_ && (text || keptDownload_->remote != remote || keptDownload_->target != localPath))
            forgetKeptDownload();
        return download(remote, localPath, text);
    });
}

int SftpEngine::download(const QString& remote, const QString& target, bool text) {
    logCommand(QStringLiteral("RETR ") + remote);
    const QByteArray handle = openHandle(remote, FxfRead, QStringLiteral("Download"));
    const Response attrs = request(FxpFstat, PacketWriter().string(handle).bytes());
    RemoteFacts facts;
    if (attrs.type == FxpAttrs) {
        PacketReader reader(attrs.body);
        const Attributes attributes = reader.attributes();
        facts = {attributes.size, attributes.mtime};
    }
    std::optional<KeptDownload> kept = std::exchange(keptDownload_, std::nullopt);
    // A kept part file goes on only while the server's file is as it was at the start.
    const bool resume = kept && kept->bytes > 0 && kept->identity && facts.size && facts.mtime &&
                        kept->facts == facts && quint64(kept->bytes) < *facts.size;
    KeptDownload job;
    std::unique_ptr<QFile> part;
    QString error;
    if (resume) {
        job = std::move(*kept);
        // Whatever is at that name now, unless it is the part file written before, is left alone.
        part = partfile::reopen(job.partPath, job.bytes, *job.identity, error);
    } else if (kept) {
        QFile::remove(kept->partPath);
    }
    if (!part) {
        part = partfile::create(target, error);
        if (!part) {
            settle(0, handle);
            localError(QStringLiteral("Cannot create a file in \"%1\": %2")
                           .arg(QFileInfo(target).absolutePath(), error));
        }
        job = KeptDownload{remote, target, part->fileName(),
                           0,      facts,  platform::identityOf(int(part->handle()))};
    }
    bool done = false;
    const auto keepOrRemove = qScopeGuard([&] {
        if (done)
            return;
        part->close();
        if (!text && job.bytes > 0)
            keptDownload_ = std::move(job);
        else
            QFile::remove(job.partPath);
    });
    if (job.bytes > 0)
        transcript_.note(QStringLiteral("Resuming at byte %1.").arg(job.bytes));
    reportProgress(job.bytes, facts.size ? std::optional<qint64>(qint64(*facts.size)) : std::nullopt);
    job.bytes = pull(handle, job.bytes, facts.size, *part, job);
    closeHandle(handle);
    if (facts.size && quint64(job.bytes) != *facts.size)
        refusedBy(QStringLiteral("Download of \"%1\" is incomplete").arg(remote),
                  QStringLiteral("451 %1 of %2 bytes arrived.").arg(job.bytes).arg(*facts.size));
    if (text)
        noteNulText(*part, QFileInfo(target).fileName());
    if (!partfile::putInPlace(*part, job.partPath, target, error))
        localError(QStringLiteral("Cannot put the download in place as \"%1\": %2").arg(target, error));
    done = true;
    logReply(QStringLiteral("226 Transfer complete (%1 bytes).").arg(job.bytes));
    return 1;
}

// A download's reads: those in flight, pieces that came before the bytes ahead of them,
// and how far the file is written.
struct SftpEngine::Pull {
    struct Piece {
        quint64 offset;
        quint32 length;
    };
    const QByteArray& handle;
    std::optional<quint64> size; // the size the server announced
    quint64 next = 0;            // the offset the next read asks for
    quint64 written = 0;
    std::optional<quint64> end; // where the server said the file ends
    QHash<quint32, Piece> inFlight;
    // Replies whose bytes came before those ahead of them: SSH_FXP_DATA bodies, the bytes
    // at kDataAt.
    std::map<quint64, QByteArray> early;

    // Reads go on to the end the server reports: one read at the announced size confirms
    // it, and a file that grew meanwhile is read on.
    bool wanted() const { return !end && (!size || next <= *size || written > *size); }
};

void SftpEngine::sendRead(Pull& pull, quint64 offset, quint32 length) {
    pull.inFlight.insert(channel_.send(FxpRead, readRequest(pull.handle, offset, length)), {offset, length});
}

void SftpEngine::fillReads(Pull& pull) {
    while (pull.inFlight.size() < kWindow && pull.wanted()) {
        sendRead(pull, pull.next, kChunk);
        pull.next += kChunk;
    }
}

void SftpEngine::takeRead(Pull& pull, Response response) {
    const auto it = pull.inFlight.constFind(response.id);
    if (it == pull.inFlight.constEnd())
        throw SessionError(SessionError::Garbage, QStringLiteral("A reply to no request came."));
    const Pull::Piece piece = *it;
    pull.inFlight.erase(it);
    if (response.type == FxpStatus && response.status() == FxEof) {
        pull.end = std::min(pull.end.value_or(piece.offset), piece.offset);
        return;
    }
    if (response.type != FxpData)
        refusedBy(QStringLiteral("The download broke off"), statusReply(response));
    // SSH_FXP_DATA (section 7): the bytes as a string; the body is kept whole, without a copy.
    PacketReader reader(response.body);
    const quint64 length = reader.u32();
    if (!reader.ok() || length == 0 || length > quint64(response.body.size() - kDataAt) ||
        length > piece.length || piece.offset < pull.written)
        throw SessionError(SessionError::Garbage, QStringLiteral("The server sent data out of place."));
    if (length < piece.length) // a short read: ask for the rest
        sendRead(pull, piece.offset + length, piece.length - quint32(length));
    response.body.truncate(kDataAt + qsizetype(length)); // anything after the string is not data
    pull.early.emplace(piece.offset, std::move(response.body));
}

void SftpEngine::writeInOrder(Pull& pull, QFile& part, KeptDownload& job) {
    while (!pull.early.empty() && pull.early.begin()->first == pull.written) {
        const QByteArrayView bytes = QByteArrayView(pull.early.begin()->second).sliced(kDataAt);
        if (part.write(bytes.data(), bytes.size()) != bytes.size())
            localError(QStringLiteral("Cannot write \"%1\": %2").arg(job.target, part.errorString()));
        pull.written += bytes.size();
        job.bytes = qint64(pull.written);
        pull.early.erase(pull.early.begin());
    }
    if (callControl_)
        callControl_->setDone(qint64(pull.written));
}

qint64 SftpEngine::pull(const QByteArray& handle, qint64 offset, std::optional<quint64> size, QFile& part,
                        KeptDownload& job) {
    Pull pull{handle, size, quint64(offset), quint64(offset), std::nullopt, {}, {}};
    try {
        for (fillReads(pull); !pull.inFlight.isEmpty(); fillReads(pull)) {
            takeRead(pull, channel_.next(QDeadlineTimer(timeouts_.dataMs), timeouts_.dataMs));
            writeInOrder(pull, part, job);
        }
    } catch (const SessionError& e) {
        if (e.kind() == SessionError::Cancelled || e.kind() == SessionError::Refused ||
            e.kind() == SessionError::Local)
            settle(int(pull.inFlight.size()), handle);
        throw;
    }
    if (!pull.early.empty() || (pull.end && pull.written != *pull.end))
        throw SessionError(SessionError::Garbage, QStringLiteral("The server left a gap in the file."));
    return qint64(pull.written);
}

// --- Uploads -------------------------------------------------------------------------

int SftpEngine::PutFile(const QString& localPath, const QString& remoteDir, int& mode) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        const QString name = checkedUploadName(localPath, remoteDir, mode);
        const QFileInfo info(localPath);
        forgetKeptDownload();
        requireSession();
        const QString remote = joinRemotePath(resolveRemotePath(remoteDir, loginFolder_), name);
        QFile file(localPath);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            localError(QStringLiteral("Cannot open \"%1\": %2").arg(localPath, file.errorString()));
        listing_.reset();
        return upload(file, info, remote, mode == TextMode);
    });
}

int SftpEngine::upload(QFile& file, const QFileInfo& info, const QString& remote, bool text) {
    const KeptUpload attempt{info.absoluteFilePath(), remote, info.size(), info.lastModified()};
    const bool again = !text && keptUpload_ && keptUpload_->local == attempt.local &&
                       keptUpload_->remote == remote && keptUpload_->localSize == attempt.localSize &&
                       keptUpload_->localStamp == attempt.localStamp;
    keptUpload_.reset();
    const std::optional<Attributes> before = stat(remote);
    qint64 offset = 0;
    if (again && before && before->size && qint64(*before->size) <= info.size())
        offset = qint64(*before->size);
    logCommand(QStringLiteral("STOR ") + remote);
    if (offset > 0)
        transcript_.note(QStringLiteral("Resuming at byte %1.").arg(offset));
    const QByteArray handle = openHandle(remote, FxfWrite | FxfCreat | (offset > 0 ? 0u : quint32(FxfTrunc)),
                                         QStringLiteral("Upload"));
    reportProgress(offset, info.size());
    if (text)
        noteNulText(file, info.fileName());
    try {
        if (!file.seek(offset))
            localError(QStringLiteral("Cannot read \"%1\": %2").arg(attempt.local, file.errorString()));
        push(handle, file, offset, info.size());
        closeHandle(handle);
    } catch (const SessionError& e) {
        if (e.kind() == SessionError::Cancelled) {
            // Only a file this upload made is removed; one that was there stays.
            if (!before && ssh_.isOpen()) {
                const CancelShield shield(callControl_);
                try {
                    simpleRequest(QStringLiteral("DELE ") + remote, FxpRemove, remote,
                                  QStringLiteral("250 DELE command successful."));
                } catch (const SessionError&) {
                }
            }
        } else if (!text) {
            keptUpload_ = attempt; // Retry goes on behind what the server holds
        }
        throw;
    }
    const std::optional<Attributes> after = stat(remote);
    if (after && after->size && qint64(*after->size) != info.size()) {
        keptUpload_ = text ? std::nullopt : std::optional<KeptUpload>(attempt);
        refusedBy(QStringLiteral("Upload of \"%1\" is incomplete").arg(remote),
                  QStringLiteral("451 The server holds %1 of %2 bytes.").arg(*after->size).arg(info.size()));
    }
    logReply(QStringLiteral("226 Transfer complete (%1 bytes).").arg(info.size() - offset));
    return 1;
}

void SftpEngine::push(const QByteArray& handle, QFile& file, qint64 offset, qint64 size) {
    QHash<quint32, quint32> inFlight; // request id, bytes it writes
    qint64 next = offset;
    qint64 acknowledged = offset;
    QByteArray chunk(kChunk, Qt::Uninitialized);
    try {
        while (next < size || !inFlight.isEmpty()) {
            while (inFlight.size() < kWindow && next < size) {
                const qint64 n = file.read(chunk.data(), std::min<qint64>(kChunk, size - next));
                if (n <= 0)
                    localError(
                        QStringLiteral("Cannot read \"%1\": %2").arg(file.fileName(), file.errorString()));
                PacketWriter write;
                write.string(handle).u64(quint64(next)).string(QByteArrayView(chunk.constData(), n));
                inFlight.insert(channel_.send(FxpWrite, write.bytes()), quint32(n));
                next += n;
            }
            const Response response = channel_.next(QDeadlineTimer(timeouts_.dataMs), timeouts_.dataMs);
            const auto it = inFlight.constFind(response.id);
            if (it == inFlight.constEnd())
                throw SessionError(SessionError::Garbage, QStringLiteral("A reply to no request came."));
            acknowledged += *it;
            inFlight.erase(it);
            if (response.type != FxpStatus || response.status() != FxOk)
                refusedBy(QStringLiteral("The upload broke off"), statusReply(response));
            if (callControl_)
                callControl_->setDone(acknowledged);
        }
    } catch (const SessionError& e) {
        if (e.kind() == SessionError::Cancelled || e.kind() == SessionError::Refused ||
            e.kind() == SessionError::Local)
            settle(int(inFlight.size()), handle);
        throw;
    }
}

} // namespace ftp::sftp
