// The SFTP engine's calls for whole folders, in the FTP engine's shape: a detailed listing
// (its transcript lines as MLSD's), making a folder, a file's time read and set.
#include "ftp/component/RemotePath.h"
#include "ftp/component/sftp/SftpEngine.h"
#include "ftp/component/sftp/SftpEngineCalls.h"

#include "ftp/component/CallArguments.h"

namespace ftp::sftp {

namespace {

// draft-ietf-secsh-filexfer-02, sections 5 and 6.9: SETSTAT with the access and
// modification times.
constexpr quint8 kFxpSetstat = 9;
constexpr quint32 kAttrAcModTime = 0x00000008;

QString stampOf(quint32 seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(QStringLiteral("yyyyMMddHHmmss"));
}

} // namespace

FolderListing SftpEngine::ListFolder(const QString& path, bool identify) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers();
        if (holdsLineBreakOrNul(path))
            localError(QStringLiteral("The path holds a line break or a NUL character."));
        requireSession();
        const QString folder = resolveRemotePath(path, loginFolder_);
        listing_.reset();
        logCommand(QStringLiteral("MLSD ") + folder);
        const Response opened = request(FxpOpendir, PacketWriter().string(encodePath(folder)).bytes());
        if (opened.type != FxpHandle)
            refusedBy(QStringLiteral("Cannot open the folder \"%1\"").arg(folder), statusReply(opened));
        const QByteArray handle = PacketReader(opened.body).string();
        const QList<std::pair<QString, Attributes>> entries = readFolder(handle);
        closeHandle(handle);
        FolderListing listing;
        listing.machineTimes = true;
        // SFTP tells no unique fact: folders are told apart by their real paths.
        if (identify)
            listing.realPath = realPath(folder);
        for (const auto& [name, attributes] : entries)
            listing.entries.append(folderEntry(folder, name, attributes));
        logReply(QStringLiteral("226 %1 entries.").arg(entries.size()));
        currentFolder_ = folder;
        return listing;
    });
}

ListEntry SftpEngine::folderEntry(const QString& folder, const QString& name, const Attributes& attributes) {
    ListEntry entry(name, attributes.isFolder() ? EntryKind::Folder
                          : attributes.isLink() ? EntryKind::Link
                                                : EntryKind::File);
    if (entry.kind == EntryKind::File && attributes.size)
        entry.size = qint64(*attributes.size);
    if (attributes.mtime)
        entry.modified = stampOf(*attributes.mtime);
    // Where a link leads, with every link on the way resolved: a loop shows as a folder
    // already walked.
    if (entry.kind == EntryKind::Link) {
        try {
            entry.target = realPath(joinRemotePath(folder, name));
        } catch (const SessionError& e) {
            if (e.kind() != SessionError::Refused)
                throw;
        }
    }
    return entry;
}

int SftpEngine::MakeFolder(const QString& path) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers();
        checkRemotePath(path);
        requireSession();
        const QString folder = resolveRemotePath(path, loginFolder_);
        listing_.reset();
        logCommand(QStringLiteral("MKD ") + folder);
        const Response response =
            request(FxpMkdir, PacketWriter().string(encodePath(folder)).permissions(0755).bytes());
        if (response.type == FxpStatus && response.status() == FxOk) {
            logReply(QStringLiteral("257 \"%1\" created").arg(folder));
            return 1;
        }
        statusReply(response);
        return 0;
    });
}

QString SftpEngine::FileTime(const QString& path) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers();
        checkRemotePath(path);
        requireSession();
        const QString remote = resolveRemotePath(path, loginFolder_);
        logCommand(QStringLiteral("MDTM ") + remote);
        const std::optional<Attributes> attributes = stat(remote);
        if (!attributes || !attributes->mtime) {
            logReply(QStringLiteral("550 %1: no time known").arg(remote));
            return QString();
        }
        logReply(QStringLiteral("213 ") + stampOf(*attributes->mtime));
        return stampOf(*attributes->mtime);
    });
}

void SftpEngine::setModified(const QString& path, const QDateTime& utc) {
    const quint32 seconds = quint32(utc.toSecsSinceEpoch());
    logCommand(QStringLiteral("MFMT %1 %2").arg(stampOf(seconds), path));
    const Response response = request(
        kFxpSetstat,
        PacketWriter().string(encodePath(path)).u32(kAttrAcModTime).u32(seconds).u32(seconds).bytes());
    const QString reply = response.type == FxpStatus && response.status() == FxOk
                              ? QStringLiteral("213 Modify=%1; %2").arg(stampOf(seconds), path)
                              : statusReply(response);
    if (!reply.startsWith(u'2'))
        refusedBy(QStringLiteral("Cannot set the time of \"%1\"").arg(path), reply);
    logReply(reply);
}

int SftpEngine::SetFileTime(const QString& path, const QDateTime& utc) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers();
        checkRemotePath(path);
        if (!utc.isValid())
            localError(QStringLiteral("No time to set."));
        requireSession();
        setModified(resolveRemotePath(path, loginFolder_), utc);
        return 1;
    });
}

int SftpEngine::PutFileTimed(const QString& localPath, const QString& remoteDir, int& mode,
                             const QDateTime& utc) {
    const int result = PutFile(localPath, remoteDir, mode);
    if (utc.isValid())
        SetFileTime(
            joinRemotePath(resolveRemotePath(remoteDir, loginFolder_), QFileInfo(localPath).fileName()), utc);
    return result;
}

} // namespace ftp::sftp
