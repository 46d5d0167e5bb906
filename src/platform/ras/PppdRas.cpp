#include "platform/ras/PppdRas.h"

#include "platform/CallControl.h"

#include "platform/ras/AnsiText.h"
#include "platform/ras/PeerEntry.h"
#include "platform/ras/RasErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QDeadlineTimer>
#include <QProcess>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace ras {

namespace {

// The arguments of a process, or an empty list when it is gone.
QStringList processArguments(DWORD pid) {
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList arguments;
    for (const QByteArray& piece : file.readAll().split('\0'))
        arguments.append(QString::fromLocal8Bit(piece));
    while (!arguments.isEmpty() && arguments.constLast().isEmpty())
        arguments.removeLast();
    return arguments;
}

// pppd itself names the program in its first argument; a wrapper script run through an
// interpreter names it in the second.
bool isProgram(const QStringList& arguments, const QString& programName) {
    for (qsizetype i = 0; i < std::min<qsizetype>(2, arguments.size()); ++i) {
        if (QFileInfo(arguments.at(i)).fileName() == programName)
            return true;
    }
    return false;
}

QString argumentAfter(const QStringList& arguments, const QString& option) {
    const qsizetype at = arguments.indexOf(option);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.read(4096)).split(u'\n');
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void copyName(void* record, int offset, int width, const QString& name) {
    const QByteArray bytes = cutAtCharacter(toAnsi(name), width - 1);
    std::memcpy(static_cast<char*>(record) + offset, bytes.constData(), size_t(bytes.size()));
    static_cast<char*>(record)[offset + bytes.size()] = '\0';
}

} // namespace

PppdRas::PppdRas(PppdSettings settings) : settings_(std::move(settings)) {}

bool PppdRas::privileged() const {
    return settings_.privileged.value_or(::geteuid() == 0);
}

int PppdRas::GetVersionExA(OSVERSIONINFOA* info) {
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return 0;
    const QStringList version = QSysInfo::kernelVersion().split(u'.');
    const auto number = [&version](int i) {
        return i < version.size() ? DWORD(QStringView(version.at(i)).left(3).toUInt()) : 0;
    };
    info->dwMajorVersion = number(0);
    info->dwMinorVersion = number(1);
    info->dwBuildNumber = number(2);
    info->dwPlatformId = settings_.platformId;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return 1;
}

QStringList PppdRas::entryNames(const QString& folder) const {
    QStringList names = QDir(folder).entryList(QDir::Files);
    std::sort(names.begin(), names.end());
    return names;
}

DWORD PppdRas::RasEnumEntriesA(const char* reserved, const char* lpszPhonebook, void* buffer, DWORD* lpcb,
                               DWORD* lpcEntries) {
    if (reserved || !lpcb || !lpcEntries)
        return kErrorInvalidParameter;
    if (!buffer || *lpcb < sizeof(DWORD))
        return kErrorBufferInvalid;
    const RecordLayout* layout = layoutForEntryNameSize(readDword(buffer, 0));
    if (!layout)
        return kErrorInvalidSize;
    *lpcEntries = 0;
    const QString folder = lpszPhonebook ? fromAnsi(QByteArray(lpszPhonebook)) : settings_.peersFolder;
    if (!QFileInfo(folder).isDir())
        return kErrorCannotOpenPhonebook;

    // An entry whose name CP932 cannot hold or that does not fit the name field could
    // not be dialled by that name; it is left out rather than shown mangled.
    QList<QByteArray> names;
    for (const QString& name : entryNames(folder)) {
        bool lossless = false;
        const QByteArray bytes = toAnsi(name, &lossless);
        if (lossless && bytes.size() <= layout->entryNameWidth - 1)
            names.append(bytes);
    }
    const DWORD size = layout->entryNameSize;
    const DWORD needed = DWORD(names.size()) * size;
    const qsizetype fitting = std::min<qsizetype>(names.size(), *lpcb / size);
    auto* records = static_cast<char*>(buffer);
    for (qsizetype i = 0; i < fitting; ++i) {
        char* record = records + i * size;
        std::memset(record, 0, size);
        writeDword(record, 0, size);
        std::memcpy(record + RecordLayout::kEntryNameOffset, names.at(i).constData(),
                    size_t(names.at(i).size()));
    }
    *lpcEntries = DWORD(names.size());
    const bool tooSmall = needed > *lpcb;
    *lpcb = needed;
    return tooSmall ? kErrorBufferTooSmall : kSuccess;
}

DWORD PppdRas::RasDialA(const void* /*lpRasDialExtensions*/, const char* lpszPhonebook, void* params,
                        DWORD dwNotifierType, void* lpvNotifier, HRASCONN* lphRasConn) {
    // Only the synchronous dial exists here.
    if (!params || !lphRasConn || dwNotifierType != 0 || lpvNotifier)
        return kErrorInvalidParameter;
    const RecordLayout* layout = layoutForDialParamsSize(readDword(params, 0));
    if (!layout)
        return kErrorInvalidSize;
    // pppd reads its peer entries from its own folder only.
    if (lpszPhonebook) {
        const QString folder = fromAnsi(QByteArray(lpszPhonebook));
        if (QFileInfo(folder).canonicalFilePath() != QFileInfo(settings_.peersFolder).canonicalFilePath())
            return kErrorCannotOpenPhonebook;
    }
    // The phone number and callback number come from the peer entry's connect script;
    // the domain has no counterpart in pppd.
    const QString entry = fieldText(params, RecordLayout::kDialEntryOffset, layout->dialEntryWidth);
    const QString user = fieldText(params, layout->userOffset(), layout->userWidth);
    QByteArray password = fieldText(params, layout->passwordOffset(), layout->passwordWidth).toLocal8Bit();
    const DWORD result = dial(entry, user.toLocal8Bit(), password, lphRasConn);
    password.fill('\0');
    return result;
}

bool PppdRas::waitForPppd(QProcess& pppd) {
    const QDeadlineTimer deadline(settings_.dialTimeoutMs);
    while (!pppd.waitForFinished(int(std::min<qint64>(deadline.remainingTime(), platform::kCancelPollMs)))) {
        if (pppd.state() == QProcess::NotRunning)
            return true;
        if ((callControl_ && callControl_->isCancelled()) || deadline.hasExpired())
            return false;
    }
    return true;
}

// Reads the peer entry named ENTRY; a non-zero result is the dial's error code.
DWORD PppdRas::readPeer(const QString& entry, PeerOptions* peer) const {
    if (!isPlainEntryName(entry))
        return kErrorCannotFindPhonebookEntry;
    const QString peerPath = QDir(settings_.peersFolder).filePath(entry);
    if (!QFileInfo(peerPath).isFile())
        return kErrorCannotFindPhonebookEntry;
    QFile peerFile(peerPath);
    if (!peerFile.open(QIODevice::ReadOnly))
        return kErrorCannotOpenPhonebook;
    *peer = readPeerOptions(peerFile.readAll());
    return kSuccess;
}

// Whether pppd can be run for this peer at all; a non-zero result is the dial's error code.
DWORD PppdRas::checkCanRun(const PeerOptions& peer, bool sendPassword) const {
    if (!privileged() && ((sendPassword && !peer.loadsPasswordPlugin) || peer.linkname.isEmpty()))
        return kErrorPeerEntryIncomplete;
    const QFileInfo program(settings_.pppdProgram);
    if (!program.exists())
        return kErrorPppdMissing;
    if (!program.isExecutable())
        return 3; // pppd's own status for "not allowed to run pppd"
    return kSuccess;
}

namespace {

// The read end of a pipe that already holds the whole password, or -1.
int passwordPipe(const QByteArray& password) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    // A password is far smaller than the pipe's buffer: write it all now, so pppd
    // reads it to the end whenever it asks.
    const bool written = writeAll(fds[1], password);
    ::close(fds[1]);
    if (!written) {
        ::close(fds[0]);
        return -1;
    }
    return fds[0];
}

} // namespace

// Starts pppd and waits for it to detach or give up; the result is the dial's code.
DWORD PppdRas::runPppd(const QStringList& arguments, int passwordFd) {
    const QString program = QFileInfo(settings_.pppdProgram).filePath();
    QProcess pppd;
    pppd.setProgram(program);
    pppd.setArguments(arguments);
    pppd.setStandardInputFile(QProcess::nullDevice());
    pppd.setStandardOutputFile(QProcess::nullDevice());
    pppd.setStandardErrorFile(QProcess::nullDevice());
    if (passwordFd >= 0) {
        // The read end is the one descriptor pppd inherits on purpose.
        pppd.setChildProcessModifier([passwordFd] { ::fcntl(passwordFd, F_SETFD, 0); });
    }
    pppd.start();
    const bool started = pppd.waitForStarted(-1);
    if (passwordFd >= 0)
        ::close(passwordFd);
    if (!started)
        return QFileInfo::exists(program) ? 3 : kErrorPppdMissing;
    if (!waitForPppd(pppd)) {
        const bool cancelled = callControl_ && callControl_->isCancelled();
        pppd.terminate();
        if (!pppd.waitForFinished(5000)) {
            pppd.kill();
            pppd.waitForFinished(-1);
        }
        return cancelled ? kErrorDialCancelled : kErrorDialTimeout;
    }
    if (pppd.exitStatus() == QProcess::CrashExit)
        return kErrorPppdCrashed;
    return DWORD(pppd.exitCode());
}

// pppd detached: its daemon names itself in the link's pid file; failing that, the newest
// link of the entry.
DWORD PppdRas::findLink(const QString& entry, const QString& linkname, HRASCONN* handle) const {
    const QList<PppLink> links = activeLinks();
    const QStringList pidFile =
        fileLines(QDir(settings_.runFolder).filePath(QStringLiteral("ppp-%1.pid").arg(linkname)));
    const DWORD pid = pidFile.isEmpty() ? 0 : pidFile.first().trimmed().toUInt();
    for (const PppLink& link : links) {
        if (pid != 0 && link.pid == pid) {
            *handle = pid;
            return kSuccess;
        }
    }
    for (auto it = links.crbegin(); it != links.crend(); ++it) {
        if (it->entry == entry) {
            *handle = it->pid;
            return kSuccess;
        }
    }
    return kErrorNoConnection; // pppd detached but no link of the entry is alive
}

DWORD PppdRas::dial(const QString& entry, const QByteArray& user, const QByteArray& password,
                    HRASCONN* handle) {
    *handle = 0;
    PeerOptions peer;
    const bool sendPassword = !password.isEmpty();
    if (const DWORD error = readPeer(entry, &peer); error != kSuccess)
        return error;
    if (const DWORD error = checkCanRun(peer, sendPassword); error != kSuccess)
        return error;

    // "call" first: it reads the peer entry, which may load the plugin that understands
    // "passwordfd".
    QStringList arguments{QStringLiteral("call"), entry, QStringLiteral("updetach")};
    if (!user.isEmpty())
        arguments << QStringLiteral("user") << QString::fromLocal8Bit(user);
    int passwordFd = -1;
    if (sendPassword) {
        passwordFd = passwordPipe(password);
        if (passwordFd < 0)
            return 1;
        if (!peer.loadsPasswordPlugin)
            arguments << QStringLiteral("plugin") << QStringLiteral("passwordfd.so");
        arguments << QStringLiteral("passwordfd") << QString::number(passwordFd);
    }
    QString linkname = peer.linkname;
    if (linkname.isEmpty()) {
        linkname = entry;
        arguments << QStringLiteral("linkname") << linkname;
    }
    if (const DWORD result = runPppd(arguments, passwordFd); result != kSuccess)
        return result;
    return findLink(entry, linkname, handle);
}

QList<PppLink> PppdRas::activeLinks() const {
    const QString programName = QFileInfo(settings_.pppdProgram).fileName();
    QMap<DWORD, PppLink> links;
    const QDir run(settings_.runFolder);
    for (const QString& name : run.entryList({QStringLiteral("ppp*.pid")}, QDir::Files)) {
        const QStringList lines = fileLines(run.filePath(name));
        const DWORD pid = lines.isEmpty() ? 0 : lines.first().trimmed().toUInt();
        if (pid == 0)
            continue;
        const QStringList arguments = processArguments(pid);
        if (!isProgram(arguments, programName))
            continue;
        const QString entry = argumentAfter(arguments, QStringLiteral("call"));
        if (entry.isEmpty())
            continue;
        PppLink& link = links[pid];
        link.pid = pid;
        link.entry = entry;
        if (name.startsWith(u"ppp-")) {
            if (lines.size() > 1 && !lines.at(1).trimmed().isEmpty())
                link.interfaceName = lines.at(1).trimmed();
        } else if (link.interfaceName.isEmpty()) {
            link.interfaceName = name.chopped(4);
        }
    }
    return links.values();
}

DWORD PppdRas::RasHangUpA(HRASCONN hrasconn) {
    if (hrasconn == 0)
        return kErrorNoConnection;
    // Only a pppd that runs a link is ever signalled, never whatever process now has
    // that id.
    for (const PppLink& link : activeLinks()) {
        if (link.pid != hrasconn)
            continue;
        if (::kill(pid_t(hrasconn), SIGTERM) == 0)
            return kSuccess;
        return errno == EPERM ? 3 : kErrorNoConnection;
    }
    return kErrorNoConnection;
}

DWORD PppdRas::RasGetErrorStringA(DWORD uErrorValue, char* lpszErrorString, DWORD cBufSize) {
    if (!lpszErrorString || cBufSize == 0)
        return kErrorInvalidParameter;
    const QByteArray text = cutAtCharacter(toAnsi(errorText(uErrorValue)), int(cBufSize) - 1);
    std::memcpy(lpszErrorString, text.constData(), size_t(text.size()));
    lpszErrorString[text.size()] = '\0';
    return isKnownError(uErrorValue) ? kSuccess : kErrorInvalidParameter;
}

DWORD PppdRas::RasEnumConnectionsA(void* buffer, DWORD* lpcb, DWORD* lpcConnections) {
    if (!lpcb || !lpcConnections)
        return kErrorInvalidParameter;
    if (!buffer || *lpcb < sizeof(DWORD))
        return kErrorBufferInvalid;
    const RecordLayout* layout = layoutForConnSize(readDword(buffer, 0));
    if (!layout)
        return kErrorInvalidSize;
    const QList<PppLink> links = activeLinks();
    const DWORD size = layout->connSize;
    const DWORD needed = DWORD(links.size()) * size;
    *lpcConnections = DWORD(links.size());
    if (needed > *lpcb) {
        *lpcb = needed;
        return kErrorBufferTooSmall;
    }
    auto* records = static_cast<char*>(buffer);
    for (qsizetype i = 0; i < links.size(); ++i) {
        char* record = records + i * size;
        std::memset(record, 0, size);
        writeDword(record, 0, size);
        writeDword(record, RecordLayout::kConnHandleOffset, links.at(i).pid);
        copyName(record, RecordLayout::kConnNameOffset, layout->connNameWidth, links.at(i).entry);
        if (layout->deviceTypeWidth > 0) {
            copyName(record, layout->deviceTypeOffset(), layout->deviceTypeWidth, QStringLiteral("ppp"));
            copyName(record, layout->deviceNameOffset(), layout->deviceNameWidth, links.at(i).interfaceName);
        }
    }
    *lpcb = needed;
    return kSuccess;
}

DWORD PppdRas::Shell(const char* pathName, int /*windowStyle*/) {
    monitorRequests_.append(pathName ? fromAnsi(QByteArray(pathName)) : QString());
    return 0;
}

} // namespace ras
