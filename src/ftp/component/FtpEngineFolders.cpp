// The engine's calls for whole folders: a detailed listing, making a folder, and a file's
// time read and set.
#include "ftp/component/EngineCalls.h"
#include "ftp/component/FtpEngine.h"
#include "ftp/component/RemotePath.h"

namespace ftp {

namespace {

void checkPath(const QString& path) {
    if (path.isEmpty() || holdsLineBreakOrNul(path))
        localError(QStringLiteral("The remote path is empty or holds a line break or a NUL character."));
}

} // namespace

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
        return listing;
    });
}

void FtpEngine::askForUniqueFacts() {
    if (uniqueFacts_ || !features_.mlsd || !mlsdAllowed_)
        return;
    uniqueFacts_ = false;
    if (!features_.mlstFacts.contains(QLatin1String("unique"), Qt::CaseInsensitive))
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

int FtpEngine::MakeFolder(const QString& path) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers();
        checkPath(path);
        requireSession();
        // RFC 959, section 4.1.3.
        const Reply reply = control_.exchange(QStringLiteral("MKD ") + resolveRemotePath(path, loginFolder_),
                                              timeouts_.replyMs);
        return reply.kind() == 2 ? 1 : 0;
    });
}

QString FtpEngine::FileTime(const QString& path) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers();
        checkPath(path);
        requireSession();
        // RFC 3659, section 3: the time in UTC.
        return features_.mdtm ? remoteStamp(resolveRemotePath(path, loginFolder_)) : QString();
    });
}

int FtpEngine::SetFileTime(const QString& path, const QDateTime& utc) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers();
        checkPath(path);
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
