#pragma once
// The program's own FTP client behind the component interface: blocking calls on the
// caller's thread, every wait bounded by a timeout.

#include "ftp/component/ControlChannel.h"
#include "ftp/component/DataChannel.h"
#include "ftp/component/FtpComponent.h"
#include "ftp/component/ListingParser.h"
#include "ftp/component/NameCodec.h"
#include "ftp/component/Timeouts.h"
#include "ftp/component/Transcript.h"

#include <QIODevice>
#include <QScopeGuard>

#include <functional>
#include <optional>

namespace ftp {

class CallControl;

// What Connect returns. Only 0 means a session was opened.
enum ConnectResult : int {
    ConnectOk = 0,
    ConnectHostNotFound = 1,    // the server name could not be resolved
    ConnectRefused = 2,         // nothing listens at that address and port
    ConnectTimedOut = 3,        // no connection, greeting or login reply in time
    ConnectGreetingRefused = 4, // the server turned the connection away (4xx/5xx greeting, or hung up)
    ConnectLoginRefused = 5,    // user name or password refused, or unsendable (a line break, a NUL or a
                                // character CP932 lacks): then they are not sent
    ConnectProtocolError = 6,   // the server's replies make no sense, or it hung up during login
    ConnectBadServerName = 7,   // the server box holds no usable name (empty, bad port, ...)
    ConnectNetworkError = 8,    // any other network failure (unreachable network, ...)
    ConnectCancelled = 9,       // the user cancelled the connect
};

class FtpEngine final : public FtpComponent {
public:
    FtpEngine();
    ~FtpEngine() override;

    // Mode 0 replaces an older transcript; any other mode appends to it.
    int OpenLog(const QString& path, int mode) override;
    int Connect(const QString& server, const QString& user, const QString& password) override;
    // 1 when the file was stored; a failure raises.
    int PutFile(const QString& localPath, const QString& remoteDir, int& mode) override;
    // 1 when the file was fetched; a failure raises and leaves the target untouched.
    int GetFile(const QString& remotePath, const QString& localPath, int& mode) override;
    int DeleteFile(const QString& remotePath) override;
    int Command(const QString& line) override;
    QString GetReply() override;
    FtpError lastError() override { return lastError_; }
    void LogNote(const QString& text) override { transcript_.note(text); }
    int CloseLog() override;
    // Never raises, also on a dropped connection or a second call.
    void Close() override;

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
    };
    const Features& features() const { return features_; }
    // The folder the server put the session in at login (from PWD).
    const QString& loginFolder() const { return loginFolder_; }

    // At most this many links of one listing are asked whether they lead to a folder.
    static constexpr int kMaxLinkProbes = 50;

protected:
    DirList listNames(const QString& path, bool folders) override;

private:
    Timeouts timeouts_;
    Transcript transcript_;
    NameCodec codec_;
    ControlChannel control_;
    PassiveOpener passive_;
    Features features_;
    QString loginFolder_;
    bool mlsdAllowed_ = true;
    ListingLimits listingLimits_;
    CallControl* callControl_ = nullptr;
    bool connected_ = false; // a Connect succeeded (the session may have died since)
    bool closed_ = false;    // Close was called

    struct Listing {
        QString folder;
        quint64 stamp = 0; // control_.commandsSent() when the listing was made
        QStringList folders;
        QStringList files;
    };
    std::optional<Listing> listing_;
    FtpError lastError_{QString()}; // why the last Connect failed

    // Runs a public call: only FtpError gets out, and a refusal carries the server's reply.
    template <typename F> auto guarded(F&& f) -> decltype(f());
    // What the caller learns of a failed Connect: its result and how far it got.
    FtpError connectFailure(int result, bool reachedServer, bool gotReply) const;

    // Writes the transcript out when the call ends, however it ends: the window reads the
    // file only between calls.
    [[nodiscard]] auto transcriptFlushedAtEnd() {
        return qScopeGuard([this] { transcript_.flush(); });
    }
    int connectSession(const QString& server, const QString& user, const QString& password);
    void requireSession();
    void setType(char type);
    void restoreBinary();
    using BinaryAfterwards = QScopeGuard<std::function<void()>>;
    BinaryAfterwards binaryAfterwards(bool textTransfer);
    QList<ListEntry> fetchListing();
    void showComposed(QList<ListEntry>& entries);
    void sortOutLinks(QList<ListEntry>& entries, const QString& folder);

    // Runs one download-like command (RETR, LIST, MLSD, NLST) over a fresh data
    // connection; returns the final reply, which may be negative. Throws SessionError
    // for a broken transfer (Refused, with the server's reply in the message), a local
    // failure (Local) or a dead session.
    Reply retrieve(const QString& line, const ChunkSink& sink, qint64* expectedBytes = nullptr);
    // Runs one upload command (STOR) with `source`; the same rules.
    Reply store(const QString& line, QIODevice& source, bool textMode);
    // After a cancelled transfer (RFC 959, section 4.1.3): drops the data connection, sends
    // ABOR and reads the replies to the transfer and to ABOR, so that the session stays
    // in step; then throws SessionError::Cancelled.
    [[noreturn]] void abortTransfer(Transport& data);
    // Deletes what the server kept of a cancelled upload, where it lets us.
    void removeCancelledUpload(const QString& remote);
};

// Creates the engine the factory registers under kFtpComponentId.
std::unique_ptr<FtpComponent> createFtpEngine();

} // namespace ftp
