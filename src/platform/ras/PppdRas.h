#pragma once
// The dial-up services over Linux's PPP daemon:
//   phonebook entries  = the regular files in the peers folder (/etc/ppp/peers), by name;
//   dial               = "pppd call ENTRY updetach user USER ...", which returns once the link
//                        is up (exit status 0) or pppd gave up (its exit status is the code);
//   password           = written into a pipe that pppd's passwordfd.so plugin reads, never
//                        on a command line or in a file;
//   active connections = the living pppd processes named by the run folder's ppp*.pid
//                        files, each with the entry of its "call" argument;
//   connection handle  = the process id of the link's pppd; hang-up = SIGTERM to it.
// "plugin" and "linkname" are privileged pppd options: run as root they are added to the
// command line when the peer entry lacks them; any other user (group dip) needs them in
// the peer entry itself, which is checked before pppd runs.

#include "platform/ras/RasApi.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QProcess;

namespace ras {

struct PeerOptions;

struct PppdSettings {
    QString peersFolder = QStringLiteral("/etc/ppp/peers");
    QString runFolder = QStringLiteral("/run");
    QString pppdProgram = QStringLiteral("/usr/sbin/pppd");
    DWORD platformId = kPlatformWinNT;
    // How long a dial may take before pppd is stopped and the dial fails.
    int dialTimeoutMs = 180'000;
    // Whether options that only root may give are put on the command line; unset = the
    // program runs as root.
    std::optional<bool> privileged;
};

// One living link.
struct PppLink {
    DWORD pid = 0;
    QString entry;         // the peer entry pppd was called with
    QString interfaceName; // ppp0, ... when a pid file names it
};

class PppdRas final : public RasApi {
public:
    explicit PppdRas(PppdSettings settings = {});

    int GetVersionExA(OSVERSIONINFOA* lpVersionInformation) override;
    DWORD RasEnumEntriesA(const char* reserved, const char* lpszPhonebook, void* lprasentryname, DWORD* lpcb,
                          DWORD* lpcEntries) override;
    DWORD RasDialA(const void* lpRasDialExtensions, const char* lpszPhonebook, void* lpRasDialParams,
                   DWORD dwNotifierType, void* lpvNotifier, HRASCONN* lphRasConn) override;
    DWORD RasHangUpA(HRASCONN hrasconn) override;
    DWORD RasGetErrorStringA(DWORD uErrorValue, char* lpszErrorString, DWORD cBufSize) override;
    DWORD RasEnumConnectionsA(void* lprasconn, DWORD* lpcb, DWORD* lpcConnections) override;
    // There is no dial-up monitor on Linux: the request is recorded, nothing starts.
    DWORD Shell(const char* pathName, int windowStyle) override;

    // The names of the peer entries in a folder, in name order (regular files, not hidden).
    QStringList entryNames(const QString& folder) const;
    // The living pppd links, by process id.
    QList<PppLink> activeLinks() const;
    // Programs asked for through Shell, in order.
    const QStringList& monitorRequests() const { return monitorRequests_; }
    const PppdSettings& settings() const { return settings_; }
    void setCallControl(platform::CallControl* control) override { callControl_ = control; }

private:
    bool privileged() const;
    DWORD dial(const QString& entry, const QByteArray& user, const QByteArray& password, HRASCONN* handle);
    DWORD readPeer(const QString& entry, PeerOptions* peer) const;
    DWORD checkCanRun(const PeerOptions& peer, bool sendPassword) const;
    DWORD runPppd(const QStringList& arguments, int passwordFd);
    DWORD findLink(const QString& entry, const QString& linkname, HRASCONN* handle) const;

    PppdSettings settings_;
    platform::CallControl* callControl_ = nullptr;
    // Waits for pppd to end: false when the dial's time ran out or it was cancelled.
    bool waitForPppd(QProcess& pppd);
    QStringList monitorRequests_;
};

} // namespace ras
