#include "ftp/component/FtpComponent.h"

#include "ftp/component/RemotePath.h"
#include "ftp/component/Transcript.h"

#include <QFileInfo>

// Each call's default: forwarded to the component that does the work, with what the
// progress shows of it (never a password).

namespace ftp {

int FtpComponent::OpenLog(const QString& path, int mode) {
    return offered(
        forwarded({CallKind::Quick, path}, [&](FtpComponent& c) { return c.OpenLog(path, mode); }));
}

int FtpComponent::Connect(const QString& server, const QString& user, const QString& password) {
    return offered(forwarded({CallKind::Connect, server},
                             [&](FtpComponent& c) { return c.Connect(server, user, password); }));
}

DirList FtpComponent::listNames(const QString& path, bool folders) {
    return offered(forwarded({CallKind::Listing, path.isEmpty() ? QStringLiteral("/") : path},
                             [&](FtpComponent& c) { return c.listNames(path, folders); }));
}

int FtpComponent::PutFile(const QString& localPath, const QString& remoteDir, int& mode) {
    return offered(forwarded({CallKind::Upload, QFileInfo(localPath).fileName()},
                             [&](FtpComponent& c) { return c.PutFile(localPath, remoteDir, mode); }));
}

int FtpComponent::PutFileTimed(const QString& localPath, const QString& remoteDir, int& mode,
                               const QDateTime& utc) {
    return offered(forwarded({CallKind::Upload, QFileInfo(localPath).fileName()}, [&](FtpComponent& c) {
        return c.PutFileTimed(localPath, remoteDir, mode, utc);
    }));
}

int FtpComponent::GetFile(const QString& remotePath, const QString& localPath, int& mode) {
    return offered(forwarded({CallKind::Download, lastRemoteSegment(remotePath)},
                             [&](FtpComponent& c) { return c.GetFile(remotePath, localPath, mode); }));
}

int FtpComponent::DeleteFile(const QString& remotePath) {
    return offered(forwarded({CallKind::Command, QStringLiteral("DELE ") + remotePath},
                             [&](FtpComponent& c) { return c.DeleteFile(remotePath); }));
}

int FtpComponent::Command(const QString& line) {
    return offered(forwarded({CallKind::Command, Transcript::maskedCommand(line)},
                             [&](FtpComponent& c) { return c.Command(line); }));
}

FolderListing FtpComponent::ListFolder(const QString& path, bool identify) {
    return offered(forwarded({CallKind::Listing, path.isEmpty() ? QStringLiteral("/") : path},
                             [&](FtpComponent& c) { return c.ListFolder(path, identify); }));
}

int FtpComponent::MakeFolder(const QString& path) {
    return offered(forwarded({CallKind::Command, QStringLiteral("MKD ") + path},
                             [&](FtpComponent& c) { return c.MakeFolder(path); }));
}

QString FtpComponent::FileTime(const QString& path) {
    return offered(forwarded({CallKind::Command, QStringLiteral("MDTM ") + path},
                             [&](FtpComponent& c) { return c.FileTime(path); }));
}

int FtpComponent::SetFileTime(const QString& path, const QDateTime& utc) {
    return offered(forwarded({CallKind::Command, QStringLiteral("MFMT ") + path},
                             [&](FtpComponent& c) { return c.SetFileTime(path, utc); }));
}

QString FtpComponent::GetReply() {
    return offered(forwarded({}, [](FtpComponent& c) { return c.GetReply(); }));
}

FtpError FtpComponent::lastError() {
    return forwarded({}, [](FtpComponent& c) { return c.lastError(); }).value_or(FtpError(QString()));
}

void FtpComponent::SetBatch(bool on) {
    forwarded({}, [&](FtpComponent& c) { c.SetBatch(on); });
}

void FtpComponent::LogNote(const QString& text) {
    forwarded({}, [&](FtpComponent& c) { c.LogNote(text); });
}

int FtpComponent::CloseLog() {
    return offered(forwarded({}, [](FtpComponent& c) { return c.CloseLog(); }));
}

void FtpComponent::Close() {
    if (!forwarded({CallKind::Command, QStringLiteral("QUIT")}, [](FtpComponent& c) { c.Close(); }))
        throw FtpError(QStringLiteral("The component does not offer this call."));
}

void FtpComponent::GiveUpTransfer() {
    // Never raises: while a call runs (the forward refuses then), what it keeps is that
    // call's business.
    try {
        forwarded({}, [](FtpComponent& c) { c.GiveUpTransfer(); });
    } catch (const std::exception&) {
    }
}

} // namespace ftp
