// The SFTP engine's requests: the transcript in FTP's shape, listings, the console's
// commands and deletes.
#include "ftp/component/sftp/SftpEngine.h"

#include "ftp/component/RemotePath.h"
#include "ftp/component/sftp/SftpEngineCalls.h"

namespace ftp::sftp {

namespace {

QString verbOf(const QString& line) {
    return line.trimmed().section(u' ', 0, 0).toUpper();
}

QString argumentOf(const QString& line) {
    const QString trimmed = line.trimmed();
    const qsizetype space = trimmed.indexOf(u' ');
    return space < 0 ? QString() : trimmed.mid(space + 1).trimmed();
}

// The console's verbs over SFTP, for HELP.
const char* const kConsoleVerbs[] = {"CDUP", "DELE", "HELP", "MKD", "NOOP", "PWD", "RMD", "SIZE"};

} // namespace

void SftpEngine::logReply(const QString& line) {
    lastReply_ = line;
    transcript_.reply(line);
}

QByteArray SftpEngine::encodePath(const QString& path) const {
    // Each piece as the bytes its name came in (or UTF-8), so that a listed name with
    // bytes UTF-8 cannot read goes back unchanged.
    const QStringList pieces = path.split(u'/');
    QByteArray bytes;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            bytes.append('/');
        const auto piece = codec_.encodeName(pieces.at(i));
        if (!piece)
            localError(QStringLiteral("The path \"%1\" holds a character the server's encoding cannot carry.")
                           .arg(path));
        bytes.append(*piece);
    }
    return bytes;
}

Response SftpEngine::request(quint8 type, const QByteArray& payload) {
    return channel_.call(type, payload, timeouts_.replyMs);
}

QString SftpEngine::statusReply(const Response& response) {
    const QString line = response.type == FxpStatus
                             ? ftpReplyFor(response.status(), response.statusMessage())
                             : QStringLiteral("550 Unexpected reply %1").arg(response.type);
    logReply(line);
    return line;
}

void SftpEngine::refusedBy(const QString& what, const QString& reply) {
    FailureDetail detail;
    detail.serverReply = reply;
    throw SessionError(SessionError::Refused, QStringLiteral("%1: %2").arg(what, reply), detail);
}

QString SftpEngine::realPath(const QString& path) {
    const Response response = request(FxpRealpath, PacketWriter().string(encodePath(path)).bytes());
    PacketReader reader(response.body);
    if (response.type != FxpName || reader.u32() < 1)
        refusedBy(QStringLiteral("Cannot resolve \"%1\"").arg(path), statusReply(response));
    return decodeName(reader.string());
}

std::optional<Attributes> SftpEngine::stat(const QString& path, quint8 type) {
    const Response response = request(type, PacketWriter().string(encodePath(path)).bytes());
    if (response.type != FxpAttrs)
        return std::nullopt;
    PacketReader reader(response.body);
    return reader.attributes();
}

QByteArray SftpEngine::openHandle(const QString& path, quint32 flags, const QString& verb) {
    PacketWriter open;
    open.string(encodePath(path)).u32(flags);
    if (flags & FxfCreat)
        open.permissions(0644); // the server's umask applies, as for any new file
    else
        open.noAttributes();
    const Response response = request(FxpOpen, open.bytes());
    if (response.type != FxpHandle)
        refusedBy(QStringLiteral("%1 of \"%2\" failed").arg(verb, path), statusReply(response));
    return PacketReader(response.body).string();
}

void SftpEngine::closeHandle(const QByteArray& handle) {
    const Response response = request(FxpClose, PacketWriter().string(handle).bytes());
    if (response.type != FxpStatus || response.status() != FxOk)
        refusedBy(QStringLiteral("Closing a file failed"), statusReply(response));
}

// --- Deletes and the console -----------------------------------------------------------

int SftpEngine::simpleRequest(const QString& line, quint8 type, const QString& path, const QString& okReply) {
    logCommand(line);
    const Response response = request(type, PacketWriter().string(encodePath(path)).bytes());
    if (response.type == FxpStatus && response.status() == FxOk) {
        logReply(okReply);
        return 2;
    }
    return statusReply(response).at(0).digitValue();
}

int SftpEngine::DeleteFile(const QString& remotePath) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers();
        if (remotePath.isEmpty() || holdsLineBreakOrNul(remotePath))
            localError(QStringLiteral("The remote path is empty or holds a line break or a NUL character."));
        requireSession();
        const QString path = resolveRemotePath(remotePath, loginFolder_);
        listing_.reset();
        return simpleRequest(QStringLiteral("DELE ") + path, FxpRemove, path,
                             QStringLiteral("250 DELE command successful.")) == 2
                   ? 1
                   : 0;
    });
}

QString SftpEngine::consolePath(const QString& argument) const {
    return resolveRemotePath(argument, currentFolder_);
}

int SftpEngine::consoleSize(const QString& path) {
    logCommand(QStringLiteral("SIZE ") + path);
    const Response response = request(FxpStat, PacketWriter().string(encodePath(path)).bytes());
    if (response.type != FxpAttrs)
        return statusReply(response).at(0).digitValue();
    PacketReader reader(response.body);
    const Attributes attributes = reader.attributes();
    if (attributes.isFolder() || !attributes.size) {
        logReply(QStringLiteral("550 %1: not a plain file").arg(path));
        return 5;
    }
    logReply(QStringLiteral("213 %1").arg(*attributes.size));
    return 2;
}

int SftpEngine::consoleHelp() {
    logCommand(QStringLiteral("HELP"));
    QStringList verbs;
    for (const char* verb : kConsoleVerbs)
        verbs.append(QLatin1String(verb));
    transcript_.reply(QStringLiteral("214-The following commands are recognized over SFTP:"));
    transcript_.reply(u' ' + verbs.join(u' '));
    logReply(QStringLiteral("214 Help OK."));
    lastReply_ = QStringLiteral("214-The following commands are recognized over SFTP:\n %1\n214 Help OK.")
                     .arg(verbs.join(u' '));
    return 2;
}

int SftpEngine::Command(const QString& line) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers();
        if (holdsLineBreakOrNul(line))
            localError(QStringLiteral("A command line may not hold a line break or a NUL character."));
        requireSession();
        const QString verb = verbOf(line);
        const QString argument = argumentOf(line);
        const QString path = consolePath(argument);
        if (verb == u"PWD") {
            logCommand(verb);
            logReply(QStringLiteral("257 \"%1\" is the current directory").arg(currentFolder_));
            return 2;
        }
        if (verb == u"CDUP") {
            logCommand(verb);
            const qsizetype slash = currentFolder_.lastIndexOf(u'/');
            currentFolder_ = slash <= 0 ? QStringLiteral("/") : currentFolder_.left(slash);
            logReply(QStringLiteral("250 CDUP command successful."));
            return 2;
        }
        if (verb == u"NOOP") {
            logCommand(verb);
            realPath(QStringLiteral(".")); // a round trip: the session is alive
            logReply(QStringLiteral("200 NOOP ok."));
            return 2;
        }
        if (verb == u"HELP")
            return consoleHelp();
        if (!argument.isEmpty()) {
            listing_.reset();
            if (verb == u"SIZE")
                return consoleSize(path);
            if (verb == u"MKD") {
                logCommand(QStringLiteral("MKD ") + path);
                const Response response =
                    request(FxpMkdir, PacketWriter().string(encodePath(path)).permissions(0755).bytes());
                if (response.type == FxpStatus && response.status() == FxOk) {
                    logReply(QStringLiteral("257 \"%1\" created").arg(path));
                    return 2;
                }
                return statusReply(response).at(0).digitValue();
            }
            if (verb == u"RMD")
                return simpleRequest(QStringLiteral("RMD ") + path, FxpRmdir, path,
                                     QStringLiteral("250 RMD command successful."));
            if (verb == u"DELE")
                return simpleRequest(QStringLiteral("DELE ") + path, FxpRemove, path,
                                     QStringLiteral("250 DELE command successful."));
        }
        logCommand(Transcript::maskedCommand(line.trimmed()));
        logReply(argument.isEmpty() &&
                         (verb == u"SIZE" || verb == u"MKD" || verb == u"RMD" || verb == u"DELE")
                     ? QStringLiteral("501 Syntax error in parameters or arguments.")
                     : QStringLiteral("502 Command not implemented over SFTP."));
        return 5;
    });
}

// --- Listings --------------------------------------------------------------------------

DirList SftpEngine::listNames(const QString& path, bool folders) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&]() -> DirList {
        forgetKeptTransfers();
        if (holdsLineBreakOrNul(path))
            localError(QStringLiteral("The path holds a line break or a NUL character."));
        requireSession();
        const QString folder = resolveRemotePath(path, loginFolder_);
        // As the FTP engine: the folder request lists afresh, the file request after it
        // reuses that listing while nothing was sent in between.
        if (folders || !listing_ || listing_->folder != folder || listing_->stamp != channel_.requestsSent())
            listing_ = fetchListing(folder);
        const QStringList& names = folders ? listing_->folders : listing_->files;
        if (names.isEmpty())
            return std::nullopt;
        return names;
    });
}

SftpEngine::Listing SftpEngine::fetchListing(const QString& folder) {
    listing_.reset();
    logCommand(QStringLiteral("LIST ") + folder);
    const QByteArray handle = [&] {
        const Response response = request(FxpOpendir, PacketWriter().string(encodePath(folder)).bytes());
        if (response.type != FxpHandle)
            refusedBy(QStringLiteral("Cannot open the folder \"%1\"").arg(folder), statusReply(response));
        return PacketReader(response.body).string();
    }();
    QList<std::pair<QString, Attributes>> entries = readFolder(handle);
    closeHandle(handle);
    sortOutLinks(entries, folder);
    Listing listing;
    listing.folder = folder;
    for (const auto& [name, attributes] : std::as_const(entries))
        (attributes.isFolder() ? listing.folders : listing.files).append(name);
    logReply(QStringLiteral("226 %1 entries.").arg(entries.size()));
    currentFolder_ = folder;
    listing.stamp = channel_.requestsSent();
    return listing;
}

QList<std::pair<QString, Attributes>> SftpEngine::readFolder(const QByteArray& handle) {
    QList<std::pair<QString, Attributes>> entries;
    for (;;) {
        const Response response = request(FxpReaddir, PacketWriter().string(handle).bytes());
        if (response.type == FxpStatus && response.status() == FxEof)
            return entries;
        if (response.type != FxpName) {
            const QString reply = statusReply(response);
            closeHandle(handle);
            refusedBy(QStringLiteral("The server refused the listing"), reply);
        }
        PacketReader reader(response.body);
        const quint32 count = reader.u32();
        for (quint32 i = 0; i < count && reader.ok(); ++i) {
            const QByteArray raw = reader.string();
            reader.string(); // the long name, an "ls -l" line for people
            const Attributes attributes = reader.attributes();
            const QString name = decodeName(raw);
            if (reader.ok() && raw != "." && raw != ".." && isUsableListedName(name))
                entries.append({name, attributes});
        }
        if (!reader.ok())
            throw SessionError(SessionError::Garbage, QStringLiteral("The server's listing makes no sense."));
    }
}

void SftpEngine::sortOutLinks(QList<std::pair<QString, Attributes>>& entries, const QString& folder) {
    // A link to a folder counts as a folder: STAT follows the link.
    int probes = 0;
    for (auto& [name, attributes] : entries) {
        if (!attributes.isLink() || probes++ >= kMaxLinkProbes)
            continue;
        if (const auto target = stat(joinRemotePath(folder, name)); target && target->isFolder())
            attributes.permissions = 0040000 | (*attributes.permissions & 07777);
    }
}

} // namespace ftp::sftp
