#pragma once
// The program's SFTP client (SFTP version 3 over SSH) behind the component interface, so
// that the window works over it unchanged. The transcript records a session in the shape
// of an FTP one: each request as a command line ("SIZE /path", "RETR /path"), each answer
// as a reply line with the FTP code its outcome means ("213 12", "550 No such file").

#include "ftp/component/FtpComponent.h"
#include "ftp/component/NameCodec.h"
#include "ftp/component/ServerAddress.h"
#include "ftp/component/Timeouts.h"
#include "ftp/component/TranscribedEngine.h"
#include "ftp/component/Transcript.h"
#include "ftp/component/sftp/SftpChannel.h"
#include "ftp/component/sftp/SshSession.h"
#include "platform/NoFollowOpen.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <optional>

namespace ftp {

class SessionError;

// What Connect returns beyond the FTP engine's results: the server's host key was not
// trusted (unknown and refused by the user, or changed).
inline constexpr int ConnectHostKeyRefused = 14;

namespace sftp {

class SftpEngine final : public TranscribedEngine {
public:
    SftpEngine();
    ~SftpEngine() override;

    int Connect(const QString& server, const QString& user, const QString& password) override;
    int PutFile(const QString& localPath, const QString& remoteDir, int& mode) override;
    int GetFile(const QString& remotePath, const QString& localPath, int& mode) override;
    int DeleteFile(const QString& remotePath) override;
    int Command(const QString& line) override;
    QString GetReply() override;
    void Close() override;
    void GiveUpTransfer() override { forgetKeptTransfers(); }
    // A cheap request on the sftp channel, which servers that time out idle channels count.
    void keepAlive() override;
    void setCallControl(CallControl* control) override;
    // Whole folders (SftpFolders.cpp).
    FolderListing ListFolder(const QString& path, bool identify) override;
    int MakeFolder(const QString& path) override;
    QString FileTime(const QString& path) override;
    int SetFileTime(const QString& path, const QDateTime& utc) override;
    int PutFileTimed(const QString& localPath, const QString& remoteDir, int& mode,
                     const QDateTime& utc) override;
    void setHostKeyPrompt(HostKeyPrompt prompt) override { hostKeyPrompt_ = std::move(prompt); }

    void setTimeouts(const Timeouts& timeouts) { timeouts_ = timeouts; }
    const QString& loginFolder() const { return loginFolder_; }

    // Requests a transfer keeps in flight, and the bytes each reads or writes.
    static constexpr int kWindow = 64;
    static constexpr quint32 kChunk = 64 * 1024;
    static constexpr int kMaxLinkProbes = 50;

protected:
    DirList listNames(const QString& path, bool folders) override;

private:
    Timeouts timeouts_;
    NameCodec codec_;
    SshSession ssh_;
    SftpChannel channel_{ssh_};
    CallControl* callControl_ = nullptr;
    HostKeyPrompt hostKeyPrompt_;

    enum class State { NotConnected, LoggingIn, LoggedIn, Closed };
    State state_ = State::NotConnected;
    ServerName server_;
    QString user_;
    QByteArray password_; // kept for reconnecting after a lost connection, never written
    QString acceptedKey_; // a host key the user accepted for this session only
    QString hostKeyFailure_;
    QString loginFolder_;
    QString currentFolder_; // what PWD shows: the folder listed last, moved by CDUP
    QString lastReply_;

    struct Listing {
        QString folder;
        quint64 stamp = 0;
        QStringList folders;
        QStringList files;
    };
    std::optional<Listing> listing_;

    struct RemoteFacts {
        std::optional<quint64> size;
        std::optional<quint32> mtime;
        friend bool operator==(const RemoteFacts&, const RemoteFacts&) = default;
    };
    struct KeptDownload {
        QString remote;
        QString target;
        QString partPath;
        qint64 bytes = 0;
        RemoteFacts facts;
        // Which file the part file is, so that a resume never writes through whatever
        // was put at its name since.
        std::optional<platform::FileIdentity> identity;
    };
    struct KeptUpload {
        QString local;
        QString remote;
        qint64 localSize = 0;
        QDateTime localStamp;
    };
    std::optional<KeptDownload> keptDownload_;
    std::optional<KeptUpload> keptUpload_;

    // Connect, one step each (SftpEngine.cpp). A call that finds the connection gone logs
    // in again (the host key checked again) and runs once more.
    template <typename F> auto guarded(F&& f) -> decltype(f());
    bool reconnectAfter(const SessionError& error);
    [[noreturn]] void endSession(const SessionError& lost, int result);
    int connectSession(const QString& server, const QString& user, const QString& password);
    int openConnection();
    int checkHostKey();
    int logIn();
    int logInWith(const QString& method, const std::function<SshSession::Auth()>& attempt);
    void startSftp();
    FtpError connectFailure(int result, const QString& why) const;
    bool closedForGood() const override { return state_ == State::Closed; }
    void requireSession();

    // Requests and the transcript (SftpRequests.cpp).
    void logCommand(const QString& line) { transcript_.command(line); }
    void logReply(const QString& line);
    QByteArray encodePath(const QString& path) const;
    QString decodeName(const QByteArray& raw) const { return codec_.decodeName(raw); }
    Response request(quint8 type, const QByteArray& payload);
    // The reply's status as an FTP reply line; logged.
    QString statusReply(const Response& response);
    [[noreturn]] void refusedBy(const QString& what, const QString& reply);
    std::optional<Attributes> stat(const QString& path, quint8 type = FxpStat);
    QByteArray openHandle(const QString& path, quint32 flags, const QString& verb);
    void closeHandle(const QByteArray& handle);
    QString realPath(const QString& path);
    int simpleRequest(const QString& line, quint8 type, const QString& path, const QString& okReply);
    int consoleSize(const QString& path);
    int consoleHelp();
    QString consolePath(const QString& argument) const;

    // Listings.
    Listing fetchListing(const QString& folder);
    QList<std::pair<QString, Attributes>> readFolder(const QByteArray& handle);
    void sortOutLinks(QList<std::pair<QString, Attributes>>& entries, const QString& folder);

    // Whole folders (SftpFolders.cpp).
    ListEntry folderEntry(const QString& folder, const QString& name, const Attributes& attributes);
    void setModified(const QString& path, const QDateTime& utc);

    // Transfers (SftpTransfers.cpp).
    void forgetKeptTransfers();
    void forgetKeptDownload();
    int download(const QString& remote, const QString& target, bool text);
    int upload(QFile& file, const QFileInfo& info, const QString& remote, bool text);
    qint64 pull(const QByteArray& handle, qint64 offset, std::optional<quint64> size, QFile& part,
                KeptDownload& job);
    // The steps of a download's loop, one job each.
    struct Pull;
    void sendRead(Pull& pull, quint64 offset, quint32 length);
    void fillReads(Pull& pull);
    void takeRead(Pull& pull, Response response); // a reply to one of the reads
    void writeInOrder(Pull& pull, QFile& part, KeptDownload& job);
    void push(const QByteArray& handle, QFile& file, qint64 offset, qint64 size);
    // After a cancel or a failure inside a transfer: reads the replies still owed (within
    // a short deadline, else the connection goes), closes the handle, then rethrows.
    void settle(int inFlight, const QByteArray& handle);
    void reportProgress(qint64 done, std::optional<qint64> total);
    void noteNulText(QFile& file, const QString& name);
};

} // namespace sftp

// Creates the SFTP engine (on the caller's thread).
std::unique_ptr<FtpComponent> createSftpEngine();

} // namespace ftp
