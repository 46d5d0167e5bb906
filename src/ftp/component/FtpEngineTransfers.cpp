// The engine's transfers: GetFile and PutFile, the data connection's round trip they
// share with the listings, and what a broken transfer keeps for the same call to resume.
#include "ftp/component/FtpEngine.h"

#include "ftp/component/CallArguments.h"
#include "ftp/component/CallControl.h"
#include "ftp/component/EngineCalls.h"
#include "ftp/component/LineEnds.h"
#include "ftp/component/PartFile.h"
#include "ftp/component/RemotePath.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QScopeGuard>

#include <utility>

namespace ftp {

namespace {

// How long the clean-up after a cancelled transfer may take.
constexpr int kAbortMs = 700;
// From this size on a download is worth resuming after a break, and so worth the MDTM that
// proves the file unchanged where the listing gave no time.
constexpr qint64 kResumeWorthBytes = 1024 * 1024;

bool writeOut(QFile& file, const char* bytes, qint64 size, const QString& target, QString& detail) {
    if (size > 0 && file.write(bytes, size) != size) {
        detail = QStringLiteral("Cannot write \"%1\": %2").arg(target, file.errorString());
        return false;
    }
    return true;
}

// Feeds the first `size` bytes of `file` to `hash` (for an upload that resumes behind
// what an earlier attempt sent).
bool hashLeadingBytes(QFile& file, qint64 size, QCryptographicHash& hash) {
    std::vector<char> buffer(static_cast<size_t>(kStreamBufferSize));
    if (!file.seek(0))
        return false;
    for (qint64 done = 0; done < size;) {
        const qint64 n = file.read(buffer.data(), std::min<qint64>(kStreamBufferSize, size - done));
        if (n <= 0)
            return false;
        hash.addData(QByteArrayView(buffer.data(), n));
        done += n;
    }
    return true;
}

// Looks at the start of a text download in its part file once that much has been kept, or
// at the end of a shorter one: a NUL there shows a binary file.
class BinarySniff {
public:
    explicit BinarySniff(QFile& part) : part_(part) {}
    // False, with a reason, once the bytes kept show a binary file (or cannot be looked at).
    bool look(qint64 kept, QString& detail) {
        if (decided_ || kept < kBinarySniffBytes)
            return true;
        if (!decide(kept))
            detail = QStringLiteral("Cannot read the part file \"%1\": %2")
                         .arg(part_.fileName(), part_.errorString());
        else if (binary_)
            detail = QStringLiteral("a binary file, not text");
        return !binary_ && detail.isEmpty();
    }
    // False when the file cannot be read back; the position ends at `kept` (a direct
    // download moves the file's position without the file object seeing it).
    bool decide(qint64 kept) {
        decided_ = true;
        QByteArray start(std::min(kept, kBinarySniffBytes), Qt::Uninitialized);
        const bool read = part_.seek(0) && part_.read(start.data(), start.size()) == start.size();
        binary_ = read && looksBinary(start);
        return part_.seek(kept) && read;
    }
    bool binary() const { return binary_; }

private:
    QFile& part_;
    bool decided_ = false;
    bool binary_ = false;
};

// Whether the local file starts like a binary file; its position goes back to the start.
bool startsBinary(QFile& file) {
    QByteArray start(kBinarySniffBytes, Qt::Uninitialized);
    const qint64 n = file.read(start.data(), start.size());
    return file.seek(0) && n > 0 && looksBinary(QByteArrayView(start.constData(), n));
}

} // namespace

// --- The data connection's round trip ------------------------------------------------

Reply FtpEngine::retrieve(const QString& line, const ChunkSink& sink) {
    return retrieve([&line] { return line; }, sink);
}

FtpEngine::OpenedTransfer FtpEngine::openTransfer(const TransferCommand& command) {
    for (;;) {
        std::unique_ptr<Transport> data = passive_.begin(control_, timeouts_);
        // The command goes out while the connection opens: a round trip less than waiting
        // for it, and servers take the two in either order.
        control_.send(command(), timeouts_.replyMs);
        std::optional<Reply> first;
        const DataOpening opening = awaitDataOpen(*data, control_, timeouts_.connectMs, first);
        if (opening == DataOpening::Open) {
            // RFC 4217, section 7: the data connection's handshake starts at once; it ends
            // after the first reply (secureData).
            if (dataTls_)
                data->beginTls(control_.transport().tlsConfiguration(), server_.name.host);
            return {std::move(data), first ? *first : control_.readReply(timeouts_.replyMs)};
        }
        if (opening == DataOpening::Refused)
            return {nullptr, *first};
        if (opening == DataOpening::Cancelled)
            abortTransfer(*data);
        const QString why = opening == DataOpening::TimedOut
                                ? QStringLiteral("no answer within %1 s").arg(timeouts_.connectMs / 1000.0)
                                : data->errorString();
        if (endUnopenedTransfer(first))
            return {nullptr, *first};
        // An unreachable EPSV port: PASV's once.
        if (!passive_.giveUpExtended())
            throw SessionError(SessionError::Network,
                               QStringLiteral("Cannot open the data connection (%1).").arg(why));
    }
}

bool FtpEngine::endUnopenedTransfer(std::optional<Reply>& first) {
    // The server may have refused the command and closed its port: its word comes soon.
    const CancelShield shield(callControl_);
    if (!first || first->kind() == 1)
        first = control_.awaitReply(QDeadlineTimer(kAbortMs));
    if (first && first->isRefusal())
        return true;
    // It waits for a connection that will not come.
    if (!abortCommand())
        throw SessionError(
            SessionError::Network,
            QStringLiteral("Cannot open the data connection; the server did not answer ABOR."));
    return false;
}

Reply FtpEngine::retrieve(const TransferCommand& command, const ChunkSink& sink, Reply* firstReply,
                          const FileTarget* direct) {
    OpenedTransfer opened = openTransfer(command);
    const Reply& first = opened.first;
    if (firstReply)
        *firstReply = first;
    if (callControl_ && callControl_->total() < 0) {
        if (const auto size = announcedSize(first))
            callControl_->setTotal(*size);
    }
    if (!opened.data || (first.kind() != 1 && first.kind() != 2)) {
        if (opened.data)
            opened.data->abort();
        return first;
    }
    Transport& data = *opened.data;
    if (dataTls_)
        secureData(data, first);
    const StreamResult stream = direct && canReceiveIntoFile(data)
                                    ? receiveIntoFile(data, timeouts_.dataMs, *direct)
                                    : receiveStream(data, timeouts_.dataMs, sink);
    if (stream.outcome == StreamResult::Cancelled)
        abortTransfer(data);
    closeData(data);
    return endTransfer(first, stream, QStringLiteral("transfer"));
}

Reply FtpEngine::store(const TransferCommand& command, const UploadSource& source, bool& accepted) {
    OpenedTransfer opened = openTransfer(command);
    const Reply& first = opened.first;
    accepted = opened.data && first.kind() == 1;
    if (!accepted) {
        if (opened.data)
            opened.data->abort();
        // A server that answers 2xx before any data came would have stored nothing.
        if (first.kind() == 2)
            refused(QStringLiteral("The server did not wait for the file: %1").arg(replyForMessage(first)));
        return first;
    }
    Transport& data = *opened.data;
    if (dataTls_)
        secureData(data, first);
    const StreamResult stream = sendStream(source, data, timeouts_.dataMs);
    if (stream.outcome == StreamResult::Cancelled)
        abortTransfer(data);
    closeData(data);
    return endTransfer(first, stream, QStringLiteral("upload"));
}

Reply FtpEngine::endTransfer(const Reply& first, const StreamResult& stream, const QString& what) {
    // A 2xx first reply means the server called the transfer done before it began: no
    // further reply comes. After a 1xx, more 1xx may follow (RFC 959, section 4.2: 125,
    // then a 150 after the data); the final reply is the first that is not one.
    Reply final = first;
    if (first.kind() == 1) {
        const QDeadlineTimer deadline(timeouts_.replyMs);
        do
            final = control_.readReply(deadline, timeouts_.replyMs);
        while (final.kind() == 1);
    }
    switch (stream.outcome) {
    case StreamResult::Done:
        break;
    case StreamResult::LocalFailure:
        localError(stream.detail);
    case StreamResult::Cancelled: // abortTransfer() has thrown
    case StreamResult::Timeout:
    case StreamResult::Broken:
        refused(QStringLiteral("The %1 broke off (%2); the server said: %3")
                    .arg(what, stream.detail, replyForMessage(final)));
    }
    return final;
}

void FtpEngine::abortTransfer(Transport& data) {
    data.abort();
    if (!abortCommand())
        throw SessionError(SessionError::Cancelled,
                           QStringLiteral("Cancelled by the user; the server did not answer ABOR in time."));
    throw SessionError(SessionError::Cancelled, QStringLiteral("Cancelled by the user."));
}

bool FtpEngine::abortCommand() {
    const CancelShield shield(callControl_);
    // The whole clean-up keeps within the second that a cancel may take; a server that
    // does not answer ABOR in that time loses the session.
    const QDeadlineTimer deadline(kAbortMs);
    control_.send(QStringLiteral("ABOR"), kAbortMs);
    // Two replies are usual: the transfer's (426, or 226 when it had ended) and ABOR's.
    if (!control_.awaitReply(deadline)) {
        control_.drop();
        return false;
    }
    control_.awaitReply(deadline);
    return true;
}

void FtpEngine::removeCancelledUpload(const QString& remote) {
    // What the server stored of a cancelled upload is not the user's file.
    if (!control_.isOpen())
        return;
    const CancelShield shield(callControl_);
    try {
        control_.exchange(QStringLiteral("DELE ") + remote, kAbortMs);
    } catch (const SessionError&) {
        // The cancel is what the caller hears about.
    }
}

void FtpEngine::reportProgress(qint64 done, std::optional<qint64> total) {
    if (!callControl_)
        return;
    callControl_->setDone(done);
    if (total)
        callControl_->setTotal(*total);
}

// --- What a broken transfer keeps ----------------------------------------------------

void FtpEngine::forgetKeptDownload() {
    if (keptDownload_)
        QFile::remove(keptDownload_->partPath);
    keptDownload_.reset();
}

void FtpEngine::forgetKeptTransfers() {
    forgetKeptDownload();
    keptUpload_.reset();
}

void FtpEngine::keepDownload(KeptDownload&& download) {
    // Only a session that goes on (after logging in again, if need be) can pick the
    // download up again.
    if (sessionGoesOn() && download.bytes > 0) {
        keptDownload_ = std::move(download);
        return;
    }
    QFile::remove(download.partPath);
}

FtpEngine::RemoteFacts FtpEngine::remoteFacts(const QString& remote) {
    RemoteFacts facts;
    // RFC 3659, sections 3 and 4: the size in the current (binary) type, and the time.
    if (features_.size)
        facts.size = sizeFromReply(control_.exchange(QStringLiteral("SIZE ") + remote, timeouts_.replyMs));
    if (features_.mdtm)
        facts.stamp = remoteStamp(remote);
    return facts;
}

QString FtpEngine::remoteStamp(const QString& remote) {
    const Reply reply = control_.exchange(QStringLiteral("MDTM ") + remote, timeouts_.replyMs);
    return reply.code == 213 ? reply.lines.constLast().mid(4).trimmed() : QString();
}

std::optional<FtpEngine::RemoteFacts> FtpEngine::listedFacts(const QString& remote) const {
    if (!listing_ || listing_->stamp != control_.commandsSent())
        return std::nullopt;
    const qsizetype slash = remote.lastIndexOf(u'/');
    if (slash < 0 || (slash == 0 ? QStringLiteral("/") : remote.left(slash)) != listing_->folder)
        return std::nullopt;
    const auto entry = listing_->plainFiles.constFind(remote.mid(slash + 1));
    if (entry == listing_->plainFiles.cend() || !entry->size)
        return std::nullopt;
    RemoteFacts facts;
    facts.size = entry->size;
    facts.stamp = entry->modified;
    return facts;
}

FtpEngine::RemoteFacts FtpEngine::downloadFacts(const QString& remote, bool& listed) {
    // A download that goes on asks afresh: only the server's word now proves the file
    // unchanged since the part file began.
    std::optional<RemoteFacts> facts = keptDownload_ ? std::nullopt : listedFacts(remote);
    if (!facts && !keptDownload_)
        facts = walkedFacts(remote);
    listed = facts.has_value();
    // RFC 3659, section 4: SIZE counts the bytes of the binary type.
    setType('I');
    if (!facts)
        return remoteFacts(remote);
    // A large download keeps the time too, so that a break can be resumed.
    if (facts->stamp.isEmpty() && features_.mdtm && *facts->size >= kResumeWorthBytes)
        facts->stamp = remoteStamp(remote);
    return *facts;
}

std::unique_ptr<QCryptographicHash> FtpEngine::newHash() const {
    if (!features_.hash.offered())
        return nullptr;
    return std::make_unique<QCryptographicHash>(features_.hash.algorithm);
}

void FtpEngine::checkHash(const QString& remote, const QByteArray& ours) {
    const HashMethod& method = features_.hash;
    if (method.command == HashMethod::Hash && !method.selected && !hashSelected_) {
        // draft-bryan-ftpext-hash, section 4: OPTS HASH picks the algorithm.
        const Reply chosen = control_.exchange(QStringLiteral("OPTS HASH ") + method.name, timeouts_.replyMs);
        if (chosen.kind() != 2)
            return; // no algorithm both sides know: the byte count was checked
        hashSelected_ = true;
    }
    const Reply reply = control_.exchange(method.verb() + u' ' + remote, timeouts_.replyMs);
    const std::optional<QByteArray> theirs = digestFromReply(reply, method);
    if (!theirs)
        return; // the server would not tell
    if (*theirs != ours.toHex())
        refused(QStringLiteral(
                    "The server's hash of \"%1\" (%2) differs from that of the bytes transferred (%3).")
                    .arg(remote, QString::fromLatin1(*theirs), QString::fromLatin1(ours.toHex())));
}

// --- Downloads -----------------------------------------------------------------------

int FtpEngine::GetFile(const QString& remotePath, const QString& localPath, int& mode) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        checkDownloadArguments(remotePath, localPath, mode);
        keptUpload_.reset();
        requireSession();
        const QString remote = resolveRemotePath(remotePath, loginFolder_);
        const bool text = mode == TextMode;
        // Only the same binary download picks up what the last one left.
        if (keptDownload_ && (text || keptDownload_->remote != remote || keptDownload_->target != localPath))
            forgetKeptDownload();
        if (text) {
            if (downloadText(remote, localPath))
                return 1;
            noteBinaryInTextMode();
        }
        return downloadBinary(remote, localPath);
    });
}

void FtpEngine::noteBinaryInTextMode() {
    transcript_.note(
        QStringLiteral("テキストモードですが、先頭 8 KiB に NUL バイトがあるバイナリファイルのため、"
                       "変換せずそのまま転送します。"));
}

bool FtpEngine::downloadText(const QString& remote, const QString& target) {
    QString error;
    const std::unique_ptr<QFile> part = partfile::create(target, error);
    if (!part)
        localError(QStringLiteral("Cannot create a file in \"%1\": %2")
                       .arg(QFileInfo(target).absolutePath(), error));
    bool done = false;
    const auto cleanUp = qScopeGuard([&] {
        if (!done) {
            part->close();
            part->remove();
        }
    });
    setType('A');
    const auto backToBinary = binaryAfterwards(true);
    CrlfToLf toLf;
    qint64 kept = 0;
    BinarySniff sniff(*part);
    const ChunkSink sink = [&](char* bytes, qint64 size, QString& detail) {
        bool crFirst = false;
        const qint64 converted = toLf.convertInPlace(bytes, size, crFirst);
        kept += converted + (crFirst ? 1 : 0);
        return (!crFirst || writeOut(*part, "\r", 1, target, detail)) &&
               writeOut(*part, bytes, converted, target, detail) && sniff.look(kept, detail);
    };
    const FileTarget direct{part->handle(),
                            [&](qint64 bytes, QString& detail) {
                                kept += bytes;
                                return sniff.look(kept, detail);
                            },
                            &toLf};
    Reply final;
    try {
        final = retrieve([&remote]() -> QString { return QStringLiteral("RETR ") + remote; }, sink, nullptr,
                         &direct);
    } catch (const SessionError&) {
        if (sniff.binary())
            return false; // stopped early: the final reply is read, the part file goes
        throw;
    }
    if (final.kind() != 2)
        refused(QStringLiteral("Download of \"%1\" failed: %2").arg(remote, replyForMessage(final)));
    QByteArray tail;
    toLf.finish(tail);
    // A direct download moved the file's position without the file object seeing it.
    if (!sniff.binary() && !sniff.decide(kept))
        localError(QStringLiteral("Cannot write \"%1\": %2").arg(target, part->errorString()));
    if (sniff.binary())
        return false;
    if (!writeOut(*part, tail.constData(), tail.size(), target, error))
        localError(error);
    if (!partfile::putInPlace(*part, part->fileName(), target, error))
        localError(QStringLiteral("Cannot put the download in place as \"%1\": %2").arg(target, error));
    done = true;
    return true;
}

bool FtpEngine::mayResume(const KeptDownload& kept, const RemoteFacts& facts) const {
    // Only while the server's file is provably the one the part file began with (the same
    // size and time, or a hash that will check the whole), and only where SIZE tells how
    // long the file is: a server that takes REST yet sends from byte 0 gives too many.
    return kept.resumable && kept.bytes > 0 && kept.facts == facts && facts.size &&
           kept.bytes < *facts.size && (!facts.stamp.isEmpty() || kept.hash);
}

std::unique_ptr<QFile> FtpEngine::openDownloadPart(const QString& remote, const QString& target,
                                                   const RemoteFacts& facts, KeptDownload& job) {
    std::optional<KeptDownload> kept = std::exchange(keptDownload_, std::nullopt);
    QString error;
    if (kept && mayResume(*kept, facts)) {
        job = std::move(*kept);
        // Whatever is at that name now, unless it is the part file written before, is left alone.
        if (auto part = partfile::reopen(job.partPath, job.bytes, job.identity, error))
            return part;
    } else if (kept) {
        QFile::remove(kept->partPath);
    }
    std::unique_ptr<QFile> part = partfile::create(target, error);
    if (!part)
        localError(QStringLiteral("Cannot create a file in \"%1\": %2")
                       .arg(QFileInfo(target).absolutePath(), error));
    const std::optional<platform::FileIdentity> identity = platform::identityOf(int(part->handle()));
    job = KeptDownload{remote, target,    part->fileName(),     0,
                       facts,  newHash(), identity.has_value(), identity.value_or(platform::FileIdentity{})};
    return part;
}

// RFC 3659, section 5: go on behind the bytes kept; when the server cannot, the part file
// starts over. The result is the offset the server took.
qint64 FtpEngine::restartDownload(KeptDownload& job, QFile& part, const QString& target) {
    if (job.bytes <= 0)
        return 0;
    const Reply rest = control_.exchange(QStringLiteral("REST %1").arg(job.bytes), timeouts_.replyMs);
    if (rest.code == 350)
        return job.bytes;
    if (!part.resize(0) || !part.seek(0))
        localError(QStringLiteral("Cannot write \"%1\": %2").arg(target, part.errorString()));
    job.bytes = 0;
    job.hash = newHash();
    return 0;
}

// The count the server gave: SIZE or the listing, else the 150 reply (FIRST) of a download
// from the start.
std::optional<qint64> FtpEngine::expectedDownloadSize(const QString& remote, const RemoteFacts& facts,
                                                      bool listed, const Reply* first, qint64 received) {
    std::optional<qint64> expected = facts.size ? facts.size : (first ? announcedSize(*first) : std::nullopt);
    if (listed && expected && received != *expected && features_.size) {
        // The listing is older than the download: the server's word now decides.
        if (const auto now =
                sizeFromReply(control_.exchange(QStringLiteral("SIZE ") + remote, timeouts_.replyMs)))
            expected = now;
    }
    return expected;
}

int FtpEngine::downloadBinary(const QString& remote, const QString& target) {
    bool listed = false;
    const RemoteFacts facts = downloadFacts(remote, listed);
    KeptDownload job;
    const std::unique_ptr<QFile> part = openDownloadPart(remote, target, facts, job);
    QString error;
    bool done = false;
    const auto keepOrRemove = qScopeGuard([&] {
        if (done)
            return;
        part->close();
        keepDownload(std::move(job));
    });
    setType('I');
    qint64 restartedAt = 0;
    const TransferCommand command = [&]() -> QString {
        restartedAt = restartDownload(job, *part, target);
        reportProgress(restartedAt, facts.size);
        return QStringLiteral("RETR ") + remote;
    };
    const ChunkSink sink = [&](char* bytes, qint64 size, QString& detail) {
        if (!writeOut(*part, bytes, size, target, detail))
            return false;
        if (job.hash)
            job.hash->addData(QByteArrayView(bytes, size));
        job.bytes += size;
        return true;
    };
    // Without a hash to compute, the bytes need not pass through the program at all.
    const FileTarget direct{part->handle(),
                            [&job](qint64 bytes, QString&) {
                                job.bytes += bytes;
                                return true;
                            },
                            nullptr};
    Reply first;
    const Reply final = retrieve(command, sink, &first, job.hash ? nullptr : &direct);
    if (final.kind() != 2)
        refused(QStringLiteral("Download of \"%1\" failed: %2").arg(remote, replyForMessage(final)));
    checkDownload(
        job, expectedDownloadSize(remote, facts, listed, restartedAt == 0 ? &first : nullptr, job.bytes));
    if (!partfile::putInPlace(*part, job.partPath, target, error))
        localError(QStringLiteral("Cannot put the download in place as \"%1\": %2").arg(target, error));
    done = true;
    return 1;
}

void FtpEngine::checkDownload(KeptDownload& job, std::optional<qint64> expected) {
    if (expected && job.bytes != *expected) {
        job.resumable = job.bytes < *expected;
        refused(QStringLiteral("Download of \"%1\" is incomplete: %2 of %3 bytes arrived.")
                    .arg(job.remote)
                    .arg(job.bytes)
                    .arg(*expected));
    }
    if (job.hash) {
        job.resumable = false; // a part file whose hash is wrong is not worth going on with
        checkHash(job.remote, job.hash->result());
    }
}

// --- Uploads -------------------------------------------------------------------------

int FtpEngine::PutFile(const QString& localPath, const QString& remoteDir, int& mode) {
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
        return upload(file, info, remote, mode == TextMode);
    });
}

FtpEngine::HeldBefore FtpEngine::prepareUpload(const QString& remote, bool text) {
    HeldBefore held;
    if (inFolderMadeHere(remote)) {
        held.absent = true; // nothing is there to ask about
    } else if (features_.size) {
        // RFC 3659, section 4: the size in binary, where every server answers it.
        setType('I');
        const Reply reply = control_.exchange(QStringLiteral("SIZE ") + remote, timeouts_.replyMs);
        held = {sizeFromReply(reply), reply.code == 550};
    }
    if (text || !features_.size)
        setType(text ? 'A' : 'I');
    return held;
}

int FtpEngine::upload(QFile& file, const QFileInfo& info, const QString& remote, bool textAsked) {
    const bool text = textAsked && !startsBinary(file);
    if (textAsked && !text)
        noteBinaryInTextMode();
    const KeptUpload attempt{info.absoluteFilePath(), remote, info.size(), info.lastModified()};
    const bool again = !text && keptUpload_ == attempt;
    keptUpload_.reset();
    const HeldBefore held = prepareUpload(remote, text);
    const auto backToBinary = binaryAfterwards(text);
    const qint64 offset = again && held.size && *held.size > 0 && *held.size <= info.size() ? *held.size : 0;
    const std::unique_ptr<QCryptographicHash> hash = text ? nullptr : newHash();
    if (hash && offset > 0 && !hashLeadingBytes(file, offset, *hash))
        localError(QStringLiteral("Cannot read \"%1\": %2").arg(info.filePath(), file.errorString()));
    bool resumable = !text;
    const auto keep = qScopeGuard([&] {
        if (resumable && sessionGoesOn())
            keptUpload_ = attempt;
    });
    const TransferCommand command = [&]() -> QString {
        if (offset > 0) {
            // RFC 3659, section 5: REST then STOR writes behind what the server holds;
            // where REST is refused, APPE (RFC 959, section 4.1.3) does the same.
            const Reply rest = control_.exchange(QStringLiteral("REST %1").arg(offset), timeouts_.replyMs);
            return (rest.code == 350 ? QStringLiteral("STOR ") : QStringLiteral("APPE ")) + remote;
        }
        return QStringLiteral("STOR ") + remote;
    };
    reportProgress(offset, info.size());
    Reply final;
    bool accepted = false;
    try {
        final = store(command, UploadSource{file, offset, text, hash.get()}, accepted);
    } catch (const SessionError& e) {
        if (e.kind() == SessionError::Cancelled) {
            resumable = false; // a cancel gives the upload up
            // Only what this upload created goes: the server took the STOR for a name it
            // had no file under. In doubt, the file stays.
            if (accepted && held.absent && offset == 0)
                removeCancelledUpload(remote);
        }
        throw;
    }
    if (final.kind() != 2)
        refused(QStringLiteral("Upload of \"%1\" failed: %2").arg(remote, replyForMessage(final)));
    if (const std::optional<qint64> stored = finishStored(remote, text)) {
        if (*stored != info.size())
            refused(QStringLiteral("Upload of \"%1\" is incomplete: the server holds %2 of %3 bytes.")
                        .arg(remote)
                        .arg(*stored)
                        .arg(info.size()));
    }
    if (hash) {
        resumable = false;
        checkHash(remote, hash->result());
    }
    resumable = false;
    return 1;
}

} // namespace ftp
