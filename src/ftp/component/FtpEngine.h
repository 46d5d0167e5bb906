#pragma once
// The program's own FTP client behind the component interface: blocking calls on the
// caller's thread, every wait bounded by a timeout.

#include "ftp/component/Certificates.h"
#include "ftp/component/ControlChannel.h"
#include "ftp/component/DataChannel.h"
#include "ftp/component/FtpComponent.h"
#include "ftp/component/ListingParser.h"
#include "ftp/component/NameCodec.h"
#include "ftp/component/ServerAddress.h"
#include "ftp/component/Timeouts.h"
#include "ftp/component/TranscribedEngine.h"
#include "ftp/component/Transcript.h"
#include "ftp/component/TransferChecks.h"
#include "ftp/component/TrustStore.h"
#include "platform/NoFollowOpen.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QScopeGuard>
#include <QSet>

#include <functional>
#include <optional>

namespace ftp {

// What Connect returns. Only 0 means a session was opened.
enum ConnectResult : int {
    ConnectOk = 0,
    ConnectHostNotFound = 1,        // the server name could not be resolved
    ConnectRefused = 2,             // nothing listens at that address and port
    ConnectTimedOut = 3,            // no connection, greeting or login reply in time
    ConnectGreetingRefused = 4,     // the server turned the connection away (4xx/5xx greeting, or hung up)
    ConnectLoginRefused = 5,        // user name or password refused, or unsendable (a line break, a NUL or a
                                    // character CP932 lacks): then they are not sent
    ConnectProtocolError = 6,       // the server's replies make no sense, or it hung up during login
    ConnectBadServerName = 7,       // the server box holds no usable name (empty, bad port, ...)
    ConnectNetworkError = 8,        // any other network failure (unreachable network, ...)
    ConnectCancelled = 9,           // the user cancelled the connect
    ConnectTlsFailed = 10,          // the TLS handshake failed, or an ftpes:// or ftps:// server refused to
                                    // protect the data connections
    ConnectCertificateRefused = 11, // the server's certificate failed the checks and the user (or, with
                                    // no one to ask, the engine) did not accept it
    ConnectClearTextRefused = 12,   // a server named without a scheme refused AUTH TLS and the user
                                    // (or, with no one to ask, the engine) would not log in in clear
    ConnectTlsDowngrade = 13,       // a server that spoke TLS before refused AUTH TLS: nothing sent
};

class FtpEngine final : public TranscribedEngine {
public:
    FtpEngine();
    ~FtpEngine() override;

    int Connect(const QString& server, const QString& user, const QString& password) override;
    // 1 when the file was stored; a failure raises.
    int PutFile(const QString& localPath, const QString& remoteDir, int& mode) override;
    // 1 when the file was fetched; a failure raises and leaves the target untouched.
    int GetFile(const QString& remotePath, const QString& localPath, int& mode) override;
    int DeleteFile(const QString& remotePath) override;
    int Command(const QString& line) override;
    QString GetReply() override;
    // Whole folders (FtpEngineFolders.cpp).
    int PutFileTimed(const QString& localPath, const QString& remoteDir, int& mode,
                     const QDateTime& utc) override;
    void SetBatch(bool on) override;
    FolderListing ListFolder(const QString& path, bool identify) override;
    int MakeFolder(const QString& path) override;
    QString FileTime(const QString& path) override;
    int SetFileTime(const QString& path, const QDateTime& utc) override;
    // Never raises, also on a dropped connection or a second call.
    void Close() override;
    // Removes the part file of a broken download kept for a retry.
    void GiveUpTransfer() override { forgetKeptTransfers(); }
    // NOOP, or PWD for a server that dropped the session although NOOPs kept it busy
    // (FtpEngineSession.cpp).
    void keepAlive() override;

    void setCertificatePrompt(CertificatePrompt prompt) override { certificatePrompt_ = std::move(prompt); }
    void setClearTextPrompt(ClearTextPrompt prompt) override { clearTextPrompt_ = std::move(prompt); }
    TlsStatus tlsStatus() const override;
    // Where the certificates the user trusted are remembered (tests point it elsewhere).
    void setTrustStore(const TrustStore& store) { trustStore_ = store; }
    // Lets every call be cancelled through `control` and report its progress there (not
    // owned; nullptr: no cancel, no progress).
    void setCallControl(CallControl* control) override;

    void setTimeouts(const Timeouts& timeouts) { timeouts_ = timeouts; }
    const Timeouts& timeouts() const { return timeouts_; }
    // Lets tests and odd servers keep to LIST even when MLSD is announced.
    void setMlsdAllowed(bool allowed) { mlsdAllowed_ = allowed; }
    // Lets tests reach the listing bounds with small listings.
    void setListingLimits(const ListingLimits& limits) { listingLimits_ = limits; }

    // What the server announced in its FEAT reply, as remembered at login.
    struct Features {
        bool mlsd = false;
        bool epsv = false;
        bool utf8 = false;
        bool size = false;
        bool mdtm = false;
        bool mfmt = false; // draft-somers-ftp-mfxx: MFMT sets a file's time
        QString mlstFacts; // the facts MLST offers, as FEAT lists them ("type*;size*;unique;")
        HashMethod hash;   // how the server tells a file's hash, if it can
    };
    const Features& features() const { return features_; }
    // The folder the server put the session in at login (from PWD).
    const QString& loginFolder() const { return loginFolder_; }

    // At most this many links of one listing are asked whether they lead to a folder (a
    // round trip each); the rest are shown as files.
    static constexpr int kMaxLinkProbes = 10;

protected:
    DirList listNames(const QString& path, bool folders) override;

private:
    Timeouts timeouts_;
    NameCodec codec_;
    ControlChannel control_;
    PassiveOpener passive_;
    Features features_;
    QString loginFolder_;
    QString tlsFailure_; // why the last connect could not secure the session
    bool mlsdAllowed_ = true;
    CertificatePrompt certificatePrompt_;
    ClearTextPrompt clearTextPrompt_;
    TrustStore trustStore_;
    ServerAddress server_; // what the last Connect was given
    bool dataTls_ = false; // the server agreed to PROT P: every data connection speaks TLS
    // What a lost connection needs to log in again: for this session only, wiped at Close
    // and when the session ends (FtpEngineSession.cpp).
    QString loginServer_;
    QString loginUser_;
    QString loginPassword_;
    QString userFolder_;             // the folder the session was last taken into
    QString acceptedFingerprint_;    // a certificate the user accepted for this session only
    bool clearTextAccepted_ = false; // the user let this session log in without TLS
    // The keep-alive's command: NOOP, until the server drops an idle session despite it.
    QString keepAliveCommand_ = QStringLiteral("NOOP");
    // What the session is set to, as far as this side knows, so that a command that would
    // not change it is not sent: the transfer type ('A', 'I'; 0 unknown) and the current
    // folder (empty: unknown).
    char type_ = 0;
    QString currentFolder_;

    enum class SessionState {
        NotConnected, // no Connect yet, or the last one failed
        LoggingIn,    // a Connect is running
        LoggedIn,     // a Connect succeeded (the connection may have died since)
        Closed,       // Close was called: every further call fails
    };
    SessionState state_ = SessionState::NotConnected;
    // Every change of state_ goes through here, which notes it in the debug log
    // (category "tessel.ftp.state").
    void setState(SessionState next);
    // The step of the login that runs, for telling what a failure means.
    enum class LoginStep { Connecting, Securing, Greeting, LoggingIn, SettingUp };
    ListingLimits listingLimits_;
    CallControl* callControl_ = nullptr;

    struct Listing {
        QString folder;
        quint64 stamp = 0; // control_.commandsSent() when the listing was made
        QStringList folders;
        QStringList files;
        QHash<QString, ListEntry> plainFiles; // by name: what the listing told of each
    };
    std::optional<Listing> listing_;

    // Runs a public call: only FtpError gets out, and a refusal carries the server's reply.
    // A call that finds the connection gone logs in again and runs once more.
    template <typename F> auto guarded(F&& f) -> decltype(f());
    // After `error` of a call: false when it does not tell of a lost connection, or there is
    // no session to take up again; true once logged in again, back in the user's folder.
    // Throws SessionError (sessionEnded) when the new login fails.
    bool reconnectAfter(const SessionError& error);
    [[noreturn]] void endSession(const SessionError& lost, const FtpError& why);
    // Whether what a broken transfer keeps can be picked up: the session goes on, now or
    // after logging in again.
    bool sessionGoesOn() const { return state_ == SessionState::LoggedIn; }
    void forgetLogin();
    // What the caller learns of a failed Connect: its result and how far it got.
    FtpError connectFailure(int result, bool reachedServer, bool gotReply) const;

    int connectSession(const QString& server, const QString& user, const QString& password);
    // The login, one step each; each returns ConnectOk to go on or the result to end with,
    // and throws SessionError for a broken or silent connection.
    int openConnection(const ServerName& name);
    int readGreeting();
    int negotiateTls();
    // After AUTH TLS was refused with `refusal`: whether the login may go on in clear.
    int allowClearText(const Reply& refusal);
    int secureControl();
    int checkCertificate();
    int logIn(const QString& user, const QString& password);
    void readFeatures();
    int protectData();
    void readLoginFolder();
    static int connectResultFor(const SessionError& error, LoginStep step);
    bool closedForGood() const override { return state_ == SessionState::Closed; }

    // After the 1xx reply: the end of the TLS handshake begun on `data` once it opened,
    // resuming the control connection's session. Throws SessionError::Refused when it fails.
    void secureData(Transport& data, const Reply& first);
    // Closes a data connection the transfer has run through; a TLS one with its close alert
    // first, which some servers wait for before they send the final reply.
    void closeData(Transport& data);
    void requireSession();
    void setType(char type);
    void restoreBinary();
    using BinaryAfterwards = QScopeGuard<std::function<void()>>;
    BinaryAfterwards binaryAfterwards(bool textTransfer);
    QList<ListEntry> fetchListing();
    void showComposed(QList<ListEntry>& entries);
    void sortOutLinks(QList<ListEntry>& entries, const QString& folder);
    // Into `folder` unless the session is there already.
    void changeFolder(const QString& folder);
    // A raw command line may set the type or the folder behind this side's back.
    void forgetSettingsFor(const QString& verb);

    // The command a transfer sends once its data connection is open (after a REST, if
    // it restarts), built then.
    using TransferCommand = std::function<QString()>;
    // Runs one download-like command (RETR, LIST, MLSD, NLST) over a fresh data
    // connection; returns the final reply, which may be negative, and the first (the 150
    // that may announce the size) in `first`. Throws SessionError for a broken transfer
    // (Refused, with the server's reply in the message), a local failure (Local) or a
    // dead session.
    // With `direct`, a plain data connection passes its bytes straight into that file
    // instead of through `sink`.
    // A transfer's data connection, opened while its command went out (nullptr when the
    // server refused the command first), and the command's first reply.
    struct OpenedTransfer {
        std::unique_ptr<Transport> data;
        Reply first;
    };
    OpenedTransfer openTransfer(const TransferCommand& command);
    // After the data connection of a command sent could not be opened: true with the
    // server's refusal in `first` where it refused the command, else false once ABOR has
    // ended it. Throws SessionError::Network when the server does not answer ABOR.
    bool endUnopenedTransfer(std::optional<Reply>& first);
    Reply retrieve(const TransferCommand& command, const ChunkSink& sink, Reply* first = nullptr,
                   const FileTarget* direct = nullptr);
    Reply retrieve(const QString& line, const ChunkSink& sink);
    // Runs one upload command (STOR, APPE) with `source`; the same rules. `accepted` comes
    // back true once the server has answered the command with a 1xx reply.
    Reply store(const TransferCommand& command, const UploadSource& source, bool& accepted);
    // The end that both share: the final reply, preliminary replies passed over, and the
    // stream's outcome turned into an error.
    Reply endTransfer(const Reply& first, const StreamResult& stream, const QString& what);

    // What a transfer that broke leaves for the same call to pick up, within this
    // session only (FtpEngineTransfers.cpp).
    struct RemoteFacts {
        std::optional<qint64> size;
        QString stamp; // MDTM's answer
        bool known() const { return size.has_value() || !stamp.isEmpty(); }
        friend bool operator==(const RemoteFacts&, const RemoteFacts&) = default;
    };
    struct KeptDownload {
        QString remote;
        QString target;
        QString partPath;
        qint64 bytes = 0;                         // in the part file
        RemoteFacts facts;                        // the remote file when the download began
        std::unique_ptr<QCryptographicHash> hash; // of the part file's bytes, when checked
        bool resumable = true;                    // false after a failed check: start afresh
        platform::FileIdentity identity;          // the part file, as created
    };
    // What the server held under an upload's name before the upload began (SIZE).
    struct HeldBefore {
        std::optional<qint64> size;
        bool absent = false; // the server said it has no such file
    };
    struct KeptUpload {
        QString local;
        QString remote;
        qint64 localSize = 0;
        QDateTime localStamp;
        friend bool operator==(const KeptUpload&, const KeptUpload&) = default;
    };
    std::optional<KeptDownload> keptDownload_;
    std::optional<KeptUpload> keptUpload_;
    bool hashSelected_ = false; // OPTS HASH chose the algorithm this session
    // Whether OPTS MLST turned the unique fact on this session (nullopt: not asked yet).
    std::optional<bool> uniqueFacts_;

    // What the listings of the walk under way told of each file, by its path: a download
    // of many files starts from them instead of asking SIZE and MDTM for each.
    QHash<QString, RemoteFacts> walkedFacts_;
    void rememberWalked(const QString& folder, const FolderListing& listing);
    std::optional<RemoteFacts> walkedFacts(const QString& remote) const;
    bool batch_ = false; // SetBatch: the type stays as the last transfer set it
    // The time PutFileTimed gives the file it stores (invalid: none).
    QDateTime uploadTime_;
    // After an upload's final reply: the size the server now holds (SIZE, where it tells it
    // and the upload went byte for byte) and, for PutFileTimed, MFMT, sent together.
    std::optional<qint64> finishStored(const QString& remote, bool text);
    // Folders this session made, which hold nothing the session did not put there.
    QSet<QString> madeFolders_;
    bool inFolderMadeHere(const QString& remote) const;
    // Asks MLSD for the unique fact once, where the server offers it (RFC 3659, 7.9).
    void askForUniqueFacts();
    // The folder's own unique fact, by MLST (RFC 3659, 7.2); empty when not told.
    QString uniqueOf(const QString& folder);

    // Removes what a broken transfer left (the part file) once nothing will resume it.
    void forgetKeptTransfers();
    void forgetKeptDownload();
    RemoteFacts remoteFacts(const QString& remote);
    // What the listing just made (nothing sent since) tells of `remote`: its size, and its
    // time where MLSD gave it; nullopt when it does not tell the size.
    std::optional<RemoteFacts> listedFacts(const QString& remote) const;
    // The facts a download starts from: the listing's where it gave them, else the server's.
    // `listed` comes back true when the listing gave them.
    RemoteFacts downloadFacts(const QString& remote, bool& listed);
    QString remoteStamp(const QString& remote);
    // False, with nothing kept, when the file shows itself binary: then it is not converted.
    bool downloadText(const QString& remote, const QString& target);
    int downloadBinary(const QString& remote, const QString& target);
    // The part file a binary download goes into: the kept one where it may go on (`job`
    // then is what was kept), else a new one (`job` starts afresh).
    std::unique_ptr<QFile> openDownloadPart(const QString& remote, const QString& target,
                                            const RemoteFacts& facts, KeptDownload& job);
    // Checks the bytes that arrived against the count the server gave and its hash.
    void checkDownload(KeptDownload& job, std::optional<qint64> expected);
    qint64 restartDownload(KeptDownload& job, QFile& part, const QString& target);
    std::optional<qint64> expectedDownloadSize(const QString& remote, const RemoteFacts& facts, bool listed,
                                               const Reply* first, qint64 received);
    // Whether a kept part file may go on: `facts` prove the server's file unchanged.
    bool mayResume(const KeptDownload& kept, const RemoteFacts& facts) const;
    void keepDownload(KeptDownload&& download);
    int upload(QFile& file, const QFileInfo& info, const QString& remote, bool textAsked);
    // Sets the type for an upload, asking SIZE first (in binary: some servers refuse it in
    // text mode).
    HeldBefore prepareUpload(const QString& remote, bool text);
    // Notes in the transcript that a file chosen for text goes byte for byte.
    void noteBinaryInTextMode();
    // Compares `ours` with the hash the server tells for `remote`; a mismatch throws.
    void checkHash(const QString& remote, const QByteArray& ours);
    std::unique_ptr<QCryptographicHash> newHash() const;
    // Where a transfer starts (the bytes a resume skips) and what it comes to.
    void reportProgress(qint64 done, std::optional<qint64> total);
    // After a cancelled transfer (RFC 959, section 4.1.3): drops the data connection, sends
    // ABOR and reads the replies to the transfer and to ABOR, so that the session stays
    // in step; then throws SessionError::Cancelled.
    [[noreturn]] void abortTransfer(Transport& data);
    // Sends ABOR and reads the replies to it and to the command it ends, within the time a
    // cancel may take; false, the session dropped, when the server does not answer.
    bool abortCommand();
    // Deletes what the server kept of a cancelled upload, where it lets us.
    void removeCancelledUpload(const QString& remote);
};

// Creates the engine the factory registers under kFtpComponentId.
std::unique_ptr<FtpComponent> createFtpEngine();

} // namespace ftp
