#pragma once
// The FTP component the main window talks to: created by identifier ("ftpcomp.FTP"),
// one instance per connect attempt. Every failing call throws FtpError.

#include "ftp/component/CallControl.h"
#include "ftp/component/Certificates.h"
#include "ftp/component/HostKeys.h"
#include "ftp/component/ListingParser.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace ftp {

// What kind of failure an FtpError reports, for a caller that phrases it for the user.
enum class FailureKind {
    Unknown,      // nothing more is known than the message
    NotConnected, // there is no session to make the call on
    Timeout,      // the server did not answer or send in time
    Closed,       // the server closed the connection, or it was lost
    Garbage,      // the server sent something that is not FTP
    Network,      // the system reported a network failure
    Refused,      // the server refused: its reply says why
    Local,        // a local file or an argument is at fault
    Cancelled,    // the user cancelled the call
};

// Why a call failed, beyond the readable message.
struct FailureDetail {
    FailureDetail() = default;
    explicit FailureDetail(FailureKind kind_, int timeoutMs_ = 0) : kind(kind_), timeoutMs(timeoutMs_) {}

    FailureKind kind = FailureKind::Unknown;
    QString serverReply;   // the server's own reply that refused, as one line ("550 /x: No such file")
    int timeoutMs = 0;     // the wait that ran out, for a timeout
    int connectResult = 0; // the number Connect returned, for the failure of a Connect
    // The connection was lost and logging in again failed (connectResult then says how):
    // the session is over, every further call fails until the next Connect.
    bool sessionEnded = false;
};

// The one exception type of the component, carrying a readable message and, where the
// component knows it, what kind of failure it was.
class FtpError : public std::runtime_error {
public:
    explicit FtpError(const QString& message, FailureDetail detail = {})
        : std::runtime_error(message.toStdString()), text_(message), detail_(std::move(detail)) {}
    const QString& message() const noexcept { return text_; }
    const FailureDetail& detail() const noexcept { return detail_; }
    FailureDetail& detail() noexcept { return detail_; }

private:
    QString text_;
    FailureDetail detail_;
};

// The result of a listing: an array of bare names, or "nothing to list" (std::nullopt)
// when the folder holds no entry of the kind asked for.
using DirList = std::optional<QStringList>;
inline bool isArray(const DirList& list) {
    return list.has_value();
}

// A folder's entries as a detailed listing tells them (kind, size, time, link target), for
// walking a tree: the folder itself and its parent are left out, and every name is usable
// as one piece of a path.
struct FolderListing {
    QList<ListEntry> entries;
    // The times are MLSD's modify facts (UTC, to the second); otherwise each entry's
    // listedTime is the LIST line's.
    bool machineTimes = false;
    // The folder's own unique fact where asked for and the server tells it: a folder reached
    // again through a link shows the same one.
    QString self;
    // The folder's path with every link on the way resolved, where the server tells it
    // (SFTP's REALPATH); links found below point into it by such paths.
    QString realPath;
};

// Transfer modes, passed by reference to PutFile and GetFile.
enum TransferModeValue : int { TextMode = 0, BinaryMode = 1 };

// The listing flag that asks GetDir for sub-folders instead of files.
inline constexpr int kFolderFlag = 1;

// The component's calls. A component that does the work (the engine, a test double)
// overrides each call it offers; one that hands every call on to another (ThreadedComponent,
// which runs them on a thread of its own) overrides only `forward`. The calls' defaults
// forward, with what the progress shows of each: a new call is declared here, given its
// default in FtpComponent.cpp and done in the engine. A call a component neither does nor
// forwards throws FtpError.
class FtpComponent {
public:
    virtual ~FtpComponent() = default;

    // Lets the calls be cancelled and report progress through `control` (not owned).
    // A component that can do neither ignores it.
    virtual void setCallControl(CallControl* control) { (void)control; }

    // Starts the session transcript at `path`. The result is not used by callers.
    virtual int OpenLog(const QString& path, int mode);
    // 0 when logged in; any other number when no session was opened.
    virtual int Connect(const QString& server, const QString& user, const QString& password);

    // Sub-folder names of `path` when `flag` is 1, file names otherwise; "" is the login folder.
    DirList GetDir(const QString& path, int flag) { return listNames(path, flag == kFolderFlag); }
    // File names of `path`.
    DirList GetDir(const QString& path) { return listNames(path, false); }

    // Stores `localPath` into `remoteDir` (ending in "/") under the local file's name.
    virtual int PutFile(const QString& localPath, const QString& remoteDir, int& mode);
    // PutFile, then the stored file's modification time set to `utc` where the server offers
    // a way to (a refusal to set it fails the call; the file stays stored).
    virtual int PutFileTimed(const QString& localPath, const QString& remoteDir, int& mode,
                             const QDateTime& utc);
    // Fetches `remotePath` into `localPath`.
    virtual int GetFile(const QString& remotePath, const QString& localPath, int& mode);
    // Non-zero when the server deleted the file, 0 when it refused.
    virtual int DeleteFile(const QString& remotePath);
    // Sends one raw command line; returns the first digit of the reply code (2 = success).
    virtual int Command(const QString& line);
    // The text of the last reply.
    virtual QString GetReply();
    // Why the last Connect failed (its result is only a number); an empty message when
    // nothing is known.
    virtual FtpError lastError();
    // Calls for walking and mirroring whole folders.
    // While on, transfers follow one another as a queue: a text transfer leaves the session in
    // the text type for the next one instead of going back to binary after each (once off,
    // the session is in binary again). A component without types ignores it.
    virtual void SetBatch(bool on);
    // The entries of the folder `path` (MLSD where the server offers it, else LIST); with
    // `identify`, also the folder's own unique fact where the server tells it.
    virtual FolderListing ListFolder(const QString& path, bool identify);
    // Creates the remote folder `path`: 1 when created, 0 when the server refused (it may
    // exist already).
    virtual int MakeFolder(const QString& path);
    // The remote file's modification time as MDTM answers it ("YYYYMMDDHHMMSS", UTC); empty
    // when the server does not tell it.
    virtual QString FileTime(const QString& path);
    // Sets the remote file's modification time to `utc`: 1 when set, 0 when the server
    // offers no way to set it.
    virtual int SetFileTime(const QString& path, const QDateTime& utc);

    // Ends the transcript with one note line, marked so that it cannot be taken for a
    // reply. A component without a transcript ignores it.
    virtual void LogNote(const QString& text);
    // Ends the transcript. The result is not used by callers.
    virtual int CloseLog();
    // Ends the session.
    virtual void Close();
    // The window gave up a failed transfer (Cancel in its "Error!" box): whatever the
    // component kept for the same call to resume is removed. Never raises.
    virtual void GiveUpTransfer();

    // Between calls, on the thread the calls run on: one harmless exchange that keeps an
    // idle session from being dropped by the server (nothing shows in the transcript or in
    // GetReply). A component without a session to keep ignores it. Never raises.
    virtual void keepAlive() {}
    // The failure of the last call that ended the session for good (FailureDetail's
    // sessionEnded): the connection was lost and logging in again failed. Nothing while
    // the session lasts.
    virtual std::optional<FtpError> lostSession() const { return lost_; }

    // Beyond the calls above: who to ask when a server's certificate cannot be trusted
    // (no one by default: such a server is refused), and how the session is protected.
    virtual void setCertificatePrompt(CertificatePrompt prompt) { (void)prompt; }
    // Who to ask before logging in without TLS to a server that refused it (no one by
    // default: such a login is not made).
    virtual void setClearTextPrompt(ClearTextPrompt prompt) { (void)prompt; }
    virtual TlsStatus tlsStatus() const { return {}; }
    // Who to ask about an SSH server's host key that the known hosts do not list (no one
    // by default: such a server is refused).
    virtual void setHostKeyPrompt(HostKeyPrompt prompt) { (void)prompt; }

protected:
    virtual DirList listNames(const QString& path, bool folders);

    // Runs `call` on the component that does this one's work, the way its calls run
    // (`info` says what the call is, for the progress shown); false when there is none:
    // this component does its calls itself.
    virtual bool forward(const CallInfo& info, const std::function<void(FtpComponent&)>& call) {
        (void)info;
        (void)call;
        return false;
    }

private:
    std::optional<FtpError> lost_; // a forwarded call's failure that ended the session

    // `call` forwarded, with its result; nothing (std::nullopt, or false for a call
    // without a result) when there is no one to forward to.
    template <typename Call> auto forwarded(const CallInfo& info, Call&& call) {
        using Result = std::invoke_result_t<Call&, FtpComponent&>;
        try {
            if constexpr (std::is_void_v<Result>) {
                return forward(info, [&](FtpComponent& target) { call(target); });
            } else {
                std::optional<Result> result;
                forward(info, [&](FtpComponent& target) { result.emplace(call(target)); });
                return result;
            }
        } catch (const FtpError& error) {
            if (error.detail().sessionEnded)
                lost_ = error;
            throw;
        }
    }
    // The result of a forwarded call that must have been done somewhere.
    template <typename Result> static Result offered(std::optional<Result> result) {
        if (!result)
            throw FtpError(QStringLiteral("The component does not offer this call."));
        return std::move(*result);
    }
};

// The identifier under which the program's own engine is registered.
inline const QString kFtpComponentId = QStringLiteral("ftpcomp.FTP");

using ComponentCreator = std::function<std::unique_ptr<FtpComponent>()>;

// Creates the component registered under `id`; throws FtpError for an identifier that
// no component is registered under.
std::unique_ptr<FtpComponent> CreateObject(const QString& id);

// Registers (or, with an empty creator, removes) the creator for `id`. The engine
// registers itself under kFtpComponentId; tests put a double in its place.
void registerComponent(const QString& id, ComponentCreator creator);

} // namespace ftp
