// The dial-up services over pppd, run against a fake "pppd" script written by the test:
// peer entries as the phonebook, the exact pppd command line, the password arriving on
// the pipe (never among the arguments), exit statuses as codes and texts, links found
// through their pid files, and hang-up of a running fake link.
#include "dialup/VBRas32.h"
#include "ftp/component/CallControl.h"
#include "platform/ras/AnsiText.h"
#include "platform/ras/PeerEntry.h"
#include "platform/ras/PppdRas.h"
#include "platform/ras/RasErrors.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

#include <cstring>

using namespace ras;

namespace {

// A fake pppd: records its arguments and the password it reads from the passwordfd
// descriptor, then does what its "mode" file says:
//   exit:N - exits with status N;
//   hang   - never finishes (until SIGTERM, then exits 5 as pppd does);
//   link   - leaves a daemon behind with the same command line, names it in the run
//            folder's ppp-LINKNAME.pid and ppp0.pid, and exits 0 (as "updetach" does).
const char kScript[] = R"(#!/bin/bash
here='@HERE@'
run='@RUN@'
printf '%s\n' "$@" > "$here/args"
fd=""; prev=""
for a in "$@"; do [ "$prev" = passwordfd ] && fd=$a; prev=$a; done
[ -n "$fd" ] && cat "/dev/fd/$fd" > "$here/password"
mode=$(cat "$here/mode" 2>/dev/null)
case "$mode" in
exit:*) exit "${mode#exit:}" ;;
hang) trap 'echo term > "$here/terminated"; exit 5' TERM
      while :; do sleep 0.05; done ;;
link) link=""; prev=""
      for a in "$@"; do [ "$prev" = linkname ] && link=$a; prev=$a; done
      [ -z "$link" ] && link=$(cat "$here/peer-linkname")
      ( trap 'rm -f "$run/ppp-$link.pid" "$run/ppp0.pid"; exit 0' TERM
        while :; do sleep 0.05; done ) </dev/null >/dev/null 2>&1 &
      printf '%s\nppp0\n' "$!" > "$run/ppp-$link.pid"
      printf '%s\n' "$!" > "$run/ppp0.pid"
      exit 0 ;;
esac
exit 0
)";

class FakePppd {
public:
    FakePppd() {
        QDir root(dir_.path());
        root.mkpath(QStringLiteral("peers"));
        root.mkpath(QStringLiteral("run"));
        root.mkpath(QStringLiteral("bin"));
        QByteArray script(kScript);
        script.replace("@HERE@", dir_.path().toLocal8Bit()).replace("@RUN@", runFolder().toLocal8Bit());
        QFile file(program());
        file.open(QIODevice::WriteOnly);
        file.write(script);
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    ~FakePppd() {
        // Never leave a fake link running.
        PppdRas ras(settings(true));
        for (const PppLink& link : ras.activeLinks())
            ras.RasHangUpA(link.pid);
    }

    QString peersFolder() const { return dir_.path() + QStringLiteral("/peers"); }
    QString runFolder() const { return dir_.path() + QStringLiteral("/run"); }
    QString program() const { return dir_.path() + QStringLiteral("/bin/pppd"); }
    QString file(const QString& name) const { return dir_.path() + u'/' + name; }

    PppdSettings settings(bool privileged) const {
        PppdSettings settings;
        settings.peersFolder = peersFolder();
        settings.runFolder = runFolder();
        settings.pppdProgram = program();
        settings.privileged = privileged;
        settings.dialTimeoutMs = 20'000;
        return settings;
    }

    void addPeer(const QString& name, const QByteArray& content = "/dev/ttyS0\n115200\n") const {
        QFile file(peersFolder() + u'/' + name);
        file.open(QIODevice::WriteOnly);
        file.write(content);
    }
    void setMode(const QByteArray& mode) const { write(QStringLiteral("mode"), mode); }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile file(this->file(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
    bool ran() const { return QFileInfo::exists(file(QStringLiteral("args"))); }
    QStringList arguments() const {
        QFile file(this->file(QStringLiteral("args")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLocal8Bit(file.readAll()).split(u'\n');
        lines.removeLast();
        return lines;
    }
    QByteArray password() const {
        QFile file(this->file(QStringLiteral("password")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }

private:
    QTemporaryDir dir_;
};

// A dial-parameter record in the NT layout.
QByteArray dialRecord(const QByteArray& entry, const QByteArray& user, const QByteArray& password) {
    QByteArray record(int(kLayoutNT.dialParamsSize), '\0');
    writeDword(record.data(), 0, kLayoutNT.dialParamsSize);
    std::memcpy(record.data() + RecordLayout::kDialEntryOffset, entry.constData(), size_t(entry.size()));
    std::memcpy(record.data() + kLayoutNT.userOffset(), user.constData(), size_t(user.size()));
    std::memcpy(record.data() + kLayoutNT.passwordOffset(), password.constData(), size_t(password.size()));
    return record;
}

DWORD dial(PppdRas& ras, const QByteArray& entry, const QByteArray& user, const QByteArray& password,
           HRASCONN* handle) {
    QByteArray record = dialRecord(entry, user, password);
    return ras.RasDialA(nullptr, nullptr, record.data(), 0, nullptr, handle);
}

bool processAlive(DWORD pid) {
    return QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

QStringList enumerate(PppdRas& ras, const RecordLayout& layout, DWORD records, DWORD* result, DWORD* count,
                      DWORD* bytes = nullptr) {
    QByteArray buffer(int(records * layout.entryNameSize), '\0');
    writeDword(buffer.data(), 0, layout.entryNameSize);
    DWORD size = records * layout.entryNameSize;
    *count = 0;
    *result = ras.RasEnumEntriesA(nullptr, nullptr, buffer.data(), &size, count);
    if (bytes)
        *bytes = size;
    QStringList names;
    for (DWORD i = 0; i < std::min(*count, records); ++i) {
        const char* record = buffer.constData() + i * layout.entryNameSize;
        if (readDword(record, 0) != layout.entryNameSize)
            names.append(QStringLiteral("<bad size>"));
        else
            names.append(fieldText(record, RecordLayout::kEntryNameOffset, layout.entryNameWidth));
    }
    return names;
}

} // namespace

class RasPppdTest : public QObject {
    Q_OBJECT

private slots:
    void peerEntriesAreThePhonebook() {
        FakePppd pppd;
        for (const char* name : {"zeta", "alpha", "Beta", ".hidden", "nijuuichi-moji-no-namae"})
            pppd.addPeer(QString::fromLatin1(name));
        pppd.addPeer(QStringLiteral("ＩＳＰ接続"));
        pppd.addPeer(QStringLiteral("€uro")); // CP932 has no euro sign
        QDir(pppd.peersFolder()).mkdir(QStringLiteral("folder"));
        PppdRas ras(pppd.settings(false));
        DWORD result = 0, count = 0, bytes = 0;
        // Regular files in name order; a name that does not fit the 21-byte field of the
        // NT record or that CP932 cannot hold is left out.
        QCOMPARE(enumerate(ras, kLayoutNT, 256, &result, &count, &bytes),
                 QStringList({QStringLiteral("Beta"), QStringLiteral("alpha"), QStringLiteral("zeta"),
                              QStringLiteral("ＩＳＰ接続")}));
        QCOMPARE(result, kSuccess);
        QCOMPARE(bytes, 4 * kLayoutNT.entryNameSize);
        QCOMPARE(enumerate(ras, kLayout9x, 256, &result, &count).size(), 5);
        // A buffer too small: the records that fit, the full count, the size needed.
        QCOMPARE(enumerate(ras, kLayoutNT, 2, &result, &count, &bytes),
                 QStringList({QStringLiteral("Beta"), QStringLiteral("alpha")}));
        QCOMPARE(result, kErrorBufferTooSmall);
        QCOMPARE(count, DWORD(4));
        QCOMPARE(bytes, 4 * kLayoutNT.entryNameSize);
    }

    void enumerationRefusals() {
        FakePppd pppd;
        PppdSettings settings = pppd.settings(false);
        settings.peersFolder = pppd.file(QStringLiteral("no-such-folder"));
        PppdRas missing(settings);
        DWORD result = 0, count = 7;
        QVERIFY(enumerate(missing, kLayoutNT, 256, &result, &count).isEmpty());
        QCOMPARE(result, kErrorCannotOpenPhonebook);
        QCOMPARE(count, DWORD(0));

        PppdRas ras(pppd.settings(false));
        QByteArray buffer(64, '\0');
        writeDword(buffer.data(), 0, 30); // no such record size
        DWORD size = 64;
        QCOMPARE(ras.RasEnumEntriesA(nullptr, nullptr, buffer.data(), &size, &count), kErrorInvalidSize);
        QCOMPARE(ras.RasEnumEntriesA(nullptr, nullptr, buffer.data(), nullptr, &count),
                 kErrorInvalidParameter);
    }

    void aPhonebookArgumentNamesTheFolderToList() {
        FakePppd pppd;
        QTemporaryDir other;
        QFile(other.filePath(QStringLiteral("elsewhere"))).open(QIODevice::WriteOnly);
        PppdRas ras(pppd.settings(false));
        QByteArray buffer(int(4 * kLayoutNT.entryNameSize), '\0');
        writeDword(buffer.data(), 0, kLayoutNT.entryNameSize);
        DWORD size = DWORD(buffer.size()), count = 0;
        const QByteArray folder = toAnsi(other.path());
        QCOMPARE(ras.RasEnumEntriesA(nullptr, folder.constData(), buffer.data(), &size, &count), kSuccess);
        QCOMPARE(count, DWORD(1));
        QCOMPARE(fieldText(buffer.constData(), 4, 21), QStringLiteral("elsewhere"));
    }

    void peerOptionsAreReadAsPppdReadsThem() {
        const PeerOptions options = readPeerOptions("# plugin passwordfd.so\n"
                                                    "plugin /usr/lib/pppd/2.4.9/passwordfd.so # comment\n"
                                                    "linkname \"my link\"\n");
        QVERIFY(options.loadsPasswordPlugin);
        QCOMPARE(options.linkname, QStringLiteral("my link"));
        const PeerOptions commented = readPeerOptions("#plugin passwordfd.so\nlinkname a#x\n");
        QVERIFY(!commented.loadsPasswordPlugin);
        QCOMPARE(commented.linkname, QStringLiteral("a#x")); // "#" inside a word is no comment
        QVERIFY(!readPeerOptions("plugin pppoe.so\n").loadsPasswordPlugin);
        QVERIFY(isPlainEntryName(QStringLiteral("isp")));
        QVERIFY(!isPlainEntryName(QStringLiteral("..")));
        QVERIFY(!isPlainEntryName(QStringLiteral("../passwd")));
        QVERIFY(!isPlainEntryName(QString()));
    }

    void dialAsRootPutsThePrivilegedOptionsOnTheCommandLine() {
        FakePppd pppd;
        pppd.addPeer(QStringLiteral("isp"));
        pppd.setMode("link");
        PppdRas ras(pppd.settings(true));
        const QString password = QStringLiteral("s3cret パス");
        HRASCONN handle = 0;
        QCOMPARE(dial(ras, "isp", "taro", toAnsi(password), &handle), kSuccess);

        const QStringList arguments = pppd.arguments();
        QCOMPARE(arguments.size(), 11);
        const QString fd = arguments.at(8);
        QCOMPARE(arguments,
                 QStringList({QStringLiteral("call"), QStringLiteral("isp"), QStringLiteral("updetach"),
                              QStringLiteral("user"), QStringLiteral("taro"), QStringLiteral("plugin"),
                              QStringLiteral("passwordfd.so"), QStringLiteral("passwordfd"), fd,
                              QStringLiteral("linkname"), QStringLiteral("isp")}));
        QVERIFY(fd.toInt() > 2);
        // The password came through the pipe, whole and without a line end, and is on
        // no command line.
        QCOMPARE(pppd.password(), password.toUtf8());
        for (const QString& argument : arguments)
            QVERIFY(!argument.contains(QStringLiteral("s3cret")));

        // The handle is the link's pppd, found through its pid file.
        QVERIFY(handle != 0);
        QVERIFY(processAlive(handle));
        const QList<PppLink> links = ras.activeLinks();
        QCOMPARE(links.size(), 1);
        QCOMPARE(links.first().pid, handle);
        QCOMPARE(links.first().entry, QStringLiteral("isp"));
        QCOMPARE(links.first().interfaceName, QStringLiteral("ppp0"));
        QStringList cmdline;
        {
            QFile file(QStringLiteral("/proc/%1/cmdline").arg(handle));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(!file.readAll().contains("s3cret"));
        }

        // Hang-up: SIGTERM to that pppd, which ends and removes its pid files.
        QCOMPARE(ras.RasHangUpA(handle), kSuccess);
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(handle), 10'000);
        QVERIFY(ras.activeLinks().isEmpty());
        QCOMPARE(ras.RasHangUpA(handle), kErrorNoConnection);
    }

    void dialAsGroupDipUsesThePeerEntrysPluginAndLinkname() {
        FakePppd pppd;
        pppd.addPeer(QStringLiteral("isp"), "/dev/ttyS0\nplugin passwordfd.so\nlinkname isp-link\n");
        pppd.write(QStringLiteral("peer-linkname"), "isp-link");
        pppd.setMode("link");
        PppdRas ras(pppd.settings(false));
        HRASCONN handle = 0;
        QCOMPARE(dial(ras, "isp", "hanako", "pw", &handle), kSuccess);
        const QStringList arguments = pppd.arguments();
        QCOMPARE(arguments.size(), 7);
        QCOMPARE(arguments.mid(0, 6), QStringList({QStringLiteral("call"), QStringLiteral("isp"),
                                                   QStringLiteral("updetach"), QStringLiteral("user"),
                                                   QStringLiteral("hanako"), QStringLiteral("passwordfd")}));
        QCOMPARE(pppd.password(), QByteArray("pw"));
        QVERIFY(QFileInfo::exists(pppd.runFolder() + QStringLiteral("/ppp-isp-link.pid")));
        QVERIFY(handle != 0);
        QCOMPARE(ras.activeLinks().first().pid, handle);
        QCOMPARE(ras.RasHangUpA(handle), kSuccess);
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(handle), 10'000);
    }

    void aPeerEntryWithoutPluginOrLinknameIsRefusedForGroupDip() {
        FakePppd pppd;
        pppd.addPeer(QStringLiteral("noplugin"), "linkname noplugin\n");
        pppd.addPeer(QStringLiteral("nolink"), "plugin passwordfd.so\n");
        pppd.setMode("exit:0");
        PppdRas ras(pppd.settings(false));
        HRASCONN handle = 5;
        QCOMPARE(dial(ras, "noplugin", "u", "p", &handle), kErrorPeerEntryIncomplete);
        QCOMPARE(handle, HRASCONN(0));
        QCOMPARE(dial(ras, "nolink", "u", "p", &handle), kErrorPeerEntryIncomplete);
        QVERIFY(!pppd.ran());
        QVERIFY(errorText(kErrorPeerEntryIncomplete).contains(QStringLiteral("passwordfd.so")));
    }

    void noPasswordNoUserMeansNoPipeAndNoUserOption() {
        FakePppd pppd;
        pppd.addPeer(QStringLiteral("isp"), "linkname isp\n");
        pppd.setMode("exit:19");
        PppdRas ras(pppd.settings(false));
        HRASCONN handle = 0;
        QCOMPARE(dial(ras, "isp", "", "", &handle), DWORD(19));
        QCOMPARE(pppd.arguments(),
                 QStringList({QStringLiteral("call"), QStringLiteral("isp"), QStringLiteral("updetach")}));
        QCOMPARE(pppd.password(), QByteArray("<none>"));
    }

    void exitStatusesBecomeCodesWithTheirTexts_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("word");
        QTest::newRow("options") << 2 << QStringLiteral("オプション");
        QTest::newRow("connect script") << 8 << QStringLiteral("接続スクリプト");
        QTest::newRow("negotiation") << 10 << QStringLiteral("ネゴシエーション");
        QTest::newRow("modem hung up") << 16 << QStringLiteral("モデム");
        QTest::newRow("our authentication") << 19 << QStringLiteral("認証");
    }
    void exitStatusesBecomeCodesWithTheirTexts() {
        QFETCH(int, status);
        QFETCH(QString, word);
        FakePppd pppd;
        pppd.addPeer(QStringLiteral("isp"));
        pppd.setMode("exit:" + QByteArray::number(status));
        PppdRas ras(pppd.settings(true));
        HRASCONN handle = 99;
        QCOMPARE(dial(ras, "isp", "u", "p", &handle), DWORD(status));
        QCOMPARE(handle, HRASCONN(0));
        QVERIFY(ras.activeLinks().isEmpty());
        char buffer[255];
        QCOMPARE(ras.RasGetErrorStringA(DWORD(status), buffer, sizeof buffer), kSuccess);
        QVERIFY(fromAnsi(QByteArray(buffer)).contains(word));
    }

    void everyExitStatusHasItsOwnText() {
        QSet<QString> texts;
        for (DWORD status = 0; status <= kLastPppdExitStatus; ++status) {
            QVERIFY(isKnownError(status));
            texts.insert(errorText(status));
        }
        QCOMPARE(texts.size(), int(kLastPppdExitStatus) + 1);
        QVERIFY(!isKnownError(20));
        QVERIFY(errorText(4242).contains(QStringLiteral("4242")));
    }

    void errorStringsAreCutAtACharacterInASmallBuffer() {
        PppdRas ras;
        char buffer[8];
        std::memset(buffer, 'x', sizeof buffer);
        QCOMPARE(ras.RasGetErrorStringA(kErrorPppdMissing, buffer, 6), kSuccess);
        QCOMPARE(QByteArray(buffer), QByteArray("pppd "));
        std::memset(buffer, 'x', sizeof buffer);
        ras.RasGetErrorStringA(6, buffer, 4); // "シ" is two bytes: only one fits in 3
        QCOMPARE(QByteArray(buffer), toAnsi(QStringLiteral("シ")));
        QCOMPARE(ras.RasGetErrorStringA(6, nullptr, 10), kErrorInvalidParameter);
    }

    void pppdNotInstalled() {
        FakePppd pppd;
        pppd.addPeer(QStringLiteral("isp"));
        PppdSettings settings = pppd.settings(true);
        settings.pppdProgram = pppd.file(QStringLiteral("bin/not-there"));
        PppdRas ras(settings);
        HRASCONN handle = 0;
        QCOMPARE(dial(ras, "isp", "u", "p", &handle), kErrorPppdMissing);
        QVERIFY(errorText(kErrorPppdMissing).contains(QStringLiteral("pppd")));
    }

    void unknownOrUnsafeEntriesAreNotDialled() {
        FakePppd pppd;
        pppd.addPeer(QStringLiteral("isp"));
        pppd.write(QStringLiteral("outside"), "");
        pppd.setMode("exit:0");
        PppdRas ras(pppd.settings(true));
        HRASCONN handle = 0;
        for (const QByteArray& entry :
             {QByteArray("ISP"), QByteArray(".."), QByteArray("../outside"), QByteArray("."), QByteArray("")})
            QCOMPARE(dial(ras, entry, "u", "p", &handle), kErrorCannotFindPhonebookEntry);
        QVERIFY(!pppd.ran());
    }

    void aDialThatTakesTooLongStopsPppd() {
        FakePppd pppd;
        pppd.addPeer(QStringLiteral("isp"));
        pppd.setMode("hang");
        PppdSettings settings = pppd.settings(true);
        settings.dialTimeoutMs = 400;
        PppdRas ras(settings);
        HRASCONN handle = 1;
        QCOMPARE(dial(ras, "isp", "u", "p", &handle), kErrorDialTimeout);
        QCOMPARE(handle, HRASCONN(0));
        QVERIFY(QFileInfo::exists(pppd.file(QStringLiteral("terminated"))));
    }

    void aCancelledDialStopsPppdAndFails() {
        FakePppd pppd;
        pppd.addPeer(QStringLiteral("isp"));
        pppd.setMode("hang");
        PppdRas ras(pppd.settings(true));
        platform::CallControl control;
        ras.setCallControl(&control);
        QElapsedTimer timer;
        timer.start();
        std::thread canceller([&control] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            control.cancel();
        });
        HRASCONN handle = 1;
        const DWORD result = dial(ras, "isp", "u", "p", &handle);
        canceller.join();
        QCOMPARE(result, kErrorDialCancelled);
        QVERIFY2(timer.elapsed() < 1'300, "pppd was not stopped at once");
        QCOMPARE(handle, HRASCONN(0));
        QVERIFY(QFileInfo::exists(pppd.file(QStringLiteral("terminated"))));
        QCOMPARE(errorText(kErrorDialCancelled), QStringLiteral("ダイアルを中止しました。"));
    }

    void hangUpSignalsOnlyALinksPppd() {
        FakePppd pppd;
        // A pid file naming a process that is no pppd (this test) and one naming a
        // process that is gone.
        const DWORD self = DWORD(QCoreApplication::applicationPid());
        pppd.write(QStringLiteral("run/ppp-bogus.pid"), QByteArray::number(self) + "\nppp9\n");
        pppd.write(QStringLiteral("run/ppp7.pid"), "999999999\n");
        // A process whose arguments hold "call isp" but which is not pppd.
        QProcess impostor;
        impostor.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), QStringLiteral("sleep 30; :"),
                                                     QStringLiteral("call"), QStringLiteral("isp")});
        QVERIFY(impostor.waitForStarted());
        const DWORD other = DWORD(impostor.processId());
        pppd.write(QStringLiteral("run/ppp-isp.pid"), QByteArray::number(other) + "\nppp0\n");
        PppdRas ras(pppd.settings(true));
        QVERIFY(ras.activeLinks().isEmpty());
        QCOMPARE(ras.RasHangUpA(self), kErrorNoConnection);
        QCOMPARE(ras.RasHangUpA(other), kErrorNoConnection);
        QVERIFY(!impostor.waitForFinished(200));
        impostor.kill();
        impostor.waitForFinished();
        QCOMPARE(ras.RasHangUpA(0), kErrorNoConnection);
        QByteArray buffer(int(2 * kLayoutNT.connSize), '\0');
        writeDword(buffer.data(), 0, kLayoutNT.connSize);
        DWORD size = DWORD(buffer.size()), count = 9;
        QCOMPARE(ras.RasEnumConnectionsA(buffer.data(), &size, &count), kSuccess);
        QCOMPARE(count, DWORD(0));
    }

    void connectionRecordsInBothLayouts() {
        FakePppd pppd;
        pppd.addPeer(QStringLiteral("isp"));
        pppd.setMode("link");
        PppdRas ras(pppd.settings(true));
        HRASCONN handle = 0;
        QCOMPARE(dial(ras, "isp", "u", "p", &handle), kSuccess);
        for (const RecordLayout* layout : {&kLayoutNT, &kLayout9x}) {
            QByteArray buffer(int(2 * layout->connSize), '\0');
            writeDword(buffer.data(), 0, layout->connSize);
            DWORD size = DWORD(buffer.size()), count = 0;
            QCOMPARE(ras.RasEnumConnectionsA(buffer.data(), &size, &count), kSuccess);
            QCOMPARE(count, DWORD(1));
            QCOMPARE(readDword(buffer.constData(), 0), layout->connSize);
            QCOMPARE(readDword(buffer.constData(), RecordLayout::kConnHandleOffset), handle);
            QCOMPARE(fieldText(buffer.constData(), RecordLayout::kConnNameOffset, layout->connNameWidth),
                     QStringLiteral("isp"));
            if (layout == &kLayout9x)
                QCOMPARE(fieldText(buffer.constData(), layout->deviceNameOffset(), layout->deviceNameWidth),
                         QStringLiteral("ppp0"));
            // No room for the link: the size needed comes back.
            size = layout->connSize - 1;
            QCOMPARE(ras.RasEnumConnectionsA(buffer.data(), &size, &count), kErrorBufferTooSmall);
            QCOMPARE(size, layout->connSize);
        }
    }

    void theDiallerOverPppdEndToEnd() {
        FakePppd pppd;
        pppd.addPeer(QStringLiteral("isp"));
        pppd.setMode("link");
        PppdRas ras(pppd.settings(true));
        VBRas32 ras32(ras);
        QCOMPARE(ras32.EntryCount(), 1);
        QCOMPARE(ras32.EnumEntries(0), QStringLiteral("isp"));
        ras32.setEntry(QStringLiteral("isp"));
        ras32.setUserID(QStringLiteral("u"));
        ras32.setPassword(QStringLiteral("secret"));
        QCOMPARE(ras32.Dialup(), 0);
        QCOMPARE(ras.monitorRequests(), QStringList{QStringLiteral("Rasmon.exe")}); // recorded, not started
        const qint32 handle = ras32.Connection();
        QVERIFY(handle != 0);
        QCOMPARE(pppd.password(), QByteArray("secret"));
        VBRas32 other(ras);
        QVERIFY(other.SeekEnumConns(QStringLiteral("isp"), true));
        QCOMPARE(other.Connection(), handle);
        QVERIFY(ras32.ErrMsg(19).startsWith(errorText(19)));
        QCOMPARE(ras32.HangUp(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(DWORD(handle)), 10'000);
        QCOMPARE(ras32.HangUp(), qint32(kErrorNoConnection));
    }

    void versionAndCallShapes() {
        PppdRas ras;
        OSVERSIONINFOA info;
        info.dwOSVersionInfoSize = sizeof info;
        QCOMPARE(ras.GetVersionExA(&info), 1);
        QCOMPARE(info.dwPlatformId, kPlatformWinNT);
        info.dwOSVersionInfoSize = 156;
        QCOMPARE(ras.GetVersionExA(&info), 0);
        PppdSettings settings;
        settings.platformId = kPlatformWin9x;
        PppdRas nine(settings);
        info.dwOSVersionInfoSize = sizeof info;
        nine.GetVersionExA(&info);
        QCOMPARE(info.dwPlatformId, kPlatformWin9x);
        // Only the synchronous dial exists.
        QByteArray record = dialRecord("isp", "u", "p");
        HRASCONN handle = 0;
        int notifier = 0;
        QCOMPARE(ras.RasDialA(nullptr, nullptr, record.data(), 1, &notifier, &handle),
                 kErrorInvalidParameter);
        writeDword(record.data(), 0, 700);
        QCOMPARE(ras.RasDialA(nullptr, nullptr, record.data(), 0, nullptr, &handle), kErrorInvalidSize);
        QCOMPARE(ras.Shell("Rasmon.exe", kMinimizedFocus), DWORD(0));
        char copy[8];
        QCOMPARE(lstrcpyA(copy, "abc"), copy);
        QCOMPARE(QByteArray(copy), QByteArray("abc"));
    }
};

QTEST_GUILESS_MAIN(RasPppdTest)
#include "tst_raspppd.moc"
