// The engine's calls for whole folders: a detailed listing, making a folder, and a file's
// time read and set.
#include "ftp/component/EngineCalls.h"

#include "ftp/component/CallArguments.h"
#include "ftp/component/FtpEngine.h"
#include "ftp/component/RemotePath.h"

#include <QScopeGuard>

namespace ftp {

FolderListing FtpEngine::ListFolder(const QString& path, bool identify) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers(); // a call of its own: the transfer before it was given up
        if (holdsLineBreakOrNul(path))
            localError(QStringLiteral("The path holds a line break or a NUL character."));
        requireSession();
        const QString folder = resolveRemotePath(path, loginFolder_);
        askForUniqueFacts();
        // Into the folder, then a listing without argument, as for the window's lists; a
        // folder that is not there (or a link to a file) refuses the CWD.
        changeFolder(folder);
        FolderListing listing;
        listing.entries = fetchListing();
        listing.machineTimes = features_.mlsd && mlsdAllowed_;
        if (identify && listing.machineTimes && uniqueFacts_.value_or(false))
            listing.self = uniqueOf(folder);
        if (identify)
            walkedFacts_.clear(); // a new walk
        rememberWalked(folder, listing);
        return listing;
    });
}

void FtpEngine::askForUniqueFacts() {
    if (uniqueFacts_ || !features_.mlsd || !mlsdAllowed_)
        return;
    const QStringList facts = features_.mlstFacts.toLower().split(u';', Qt::SkipEmptyParts);
    // Marked with "*", the fact is given already (RFC 3659, section 7.8).
    uniqueFacts_ = facts.contains(QLatin1String("unique*"));
    if (*uniqueFacts_ || !facts.contains(QLatin1String("unique")))
        return;
    // RFC 3659, section 7.9: the facts MLSD gives from now on. The unique fact tells a
    // folder reached again through a link, which a server that follows links shows as a
    // plain folder.
    const Reply reply =
        control_.exchange(QStringLiteral("OPTS MLST type;size;modify;unique;"), timeouts_.replyMs);
    uniqueFacts_ = reply.kind() == 2;
}

QString FtpEngine::uniqueOf(const QString& folder) {
    // RFC 3659, section 7.2: the facts on the reply's second line.
    const Reply reply = control_.exchange(QStringLiteral("MLST ") + folder, timeouts_.replyMs);
    if (reply.kind() != 2 || reply.lines.size() < 3)
        return {};
    const auto entry = parseMlsdLine(reply.lines.at(1).trimmed());
    return entry ? entry->unique : QString();
}

int FtpEngine::PutFileTimed(const QString& localPath, const QString& remoteDir, int& mode,
                            const QDateTime& utc) {
    uploadTime_ = utc;
    const auto forget = qScopeGuard([this] { uploadTime_ = QDateTime(); });
    return PutFile(localPath, remoteDir, mode);
}

void FtpEngine::SetBatch(bool on) {
    const auto flushed = transcriptFlushedAtEnd();
    batch_ = on;
    // After the queue, binary as after any text transfer.
    if (!on && type_ == 'A' && state_ == SessionState::LoggedIn)
        restoreBinary();
}

std::optional<qint64> FtpEngine::finishStored(const QString& remote, bool text) {
    const bool askSize = !text && features_.size;
    const bool setTime = uploadTime_.isValid() && features_.mfmt;
    // Both lines go out before either reply is read: one round trip for the two (RFC 959,
    // section 4.2: the replies come in the order of the commands).
    const QString mfmt = QStringLiteral("MFMT %1 %2")
                             .arg(uploadTime_.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")), remote);
    QStringList lines;
    if (askSize)
        lines.append(QStringLiteral("SIZE ") + remote);
    if (setTime)
        lines.append(mfmt);
    if (!lines.isEmpty())
        control_.sendTogether(lines, timeouts_.replyMs);
    const std::optional<qint64> size =
        askSize ? sizeFromReply(control_.readReply(timeouts_.replyMs)) : std::nullopt;
    if (setTime) {
        const Reply reply = control_.readReply(timeouts_.replyMs);
        if (reply.kind() != 2)
            refused(QStringLiteral("Cannot set the time of \"%1\": %2").arg(remote, replyForMessage(reply)));
    }
    return size;
}

void FtpEngine::rememberWalked(const QString& folder, const FolderListing& listing) {
    for (const ListEntry& entry : listing.entries) {
        if (entry.kind == EntryKind::File && entry.size)
            walkedFacts_.insert(joinRemotePath(folder, entry.name),
                                RemoteFacts{entry.size, listing.machineTimes ? entry.modified : QString()});
    }
}

std::optional<FtpEngine::RemoteFacts> FtpEngine::walkedFacts(const QString& remote) const {
    const auto facts = walkedFacts_.constFind(remote);
    if (facts == walkedFacts_.cend())
        return std::nullopt;
    return *facts;
}

bool FtpEngine::inFolderMadeHere(const QString& remote) const {
    const qsizetype slash = remote.lastIndexOf(u'/');
    return slash > 0 && madeFolders_.contains(remote.left(slash));
}

int FtpEngine::MakeFolder(const QString& path) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers();
        checkRemotePath(path);
        requireSession();
        // RFC 959, section 4.1.3.
        const QString folder = tidyRemotePath(resolveRemotePath(path, loginFolder_));
        const Reply reply = control_.exchange(QStringLiteral("MKD ") + folder, timeouts_.replyMs);
        if (reply.kind() != 2)
            return 0;
        madeFolders_.insert(folder);
        return 1;
    });
}

QString FtpEngine::FileTime(const QString& path) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers();
        checkRemotePath(path);
        requireSession();
        // RFC 3659, section 3: the time in UTC.
        return features_.mdtm ? remoteStamp(resolveRemotePath(path, loginFolder_)) : QString();
    });
}

int FtpEngine::SetFileTime(const QString& path, const QDateTime& utc) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers();
        checkRemotePath(path);
        if (!utc.isValid())
            localError(QStringLiteral("No time to set."));
        requireSession();
        if (!features_.mfmt)
            return 0;
        // draft-somers-ftp-mfxx, section 3: MFMT time-val path, the time in UTC.
        const QString remote = resolveRemotePath(path, loginFolder_);
        const Reply reply = control_.exchange(
            QStringLiteral("MFMT %1 %2").arg(utc.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")), remote),
            timeouts_.replyMs);
        if (reply.kind() != 2)
            refused(QStringLiteral("Cannot set the time of \"%1\": %2").arg(remote, replyForMessage(reply)));
        return 1;
    });
}

} // namespace ftp
