// The FTP engine against a scripted server on 127.0.0.1 that misbehaves in ways real
// servers will not on demand: foreign PASV addresses, drops, silence, garbage.
#include "ftp/component/CallControl.h"
#include "ftp/component/FtpEngine.h"
#include "ftp/rules/LogFields.h"
#include "platform/Codepage.h"
#include "support/Files.h"
#include "support/ScriptedFtpServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <functional>
#include <future>
#include <thread>

#include <sys/socket.h>
#include <unistd.h>

using ftp::FtpEngine;
using ftp::FtpError;
using ftp::ReplyReader;

using testing::Peer;
using testing::readAll;
using testing::ScriptedServer;
using testing::ScriptError;

class FtpFaultsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    std::unique_ptr<FtpEngine> engine(int replyMs = 5'000, int dataMs = 5'000) {
        auto e = std::make_unique<FtpEngine>();
        e->setTimeouts({5'000, replyMs, dataMs});
        e->OpenLog(dir_.filePath(QStringLiteral("log.txt")), 0);
        return e;
    }
    QStringList transcript() const {
        return codepage::splitLines(codepage::fromCp932(readAll(dir_.filePath(QStringLiteral("log.txt")))));
    }
    bool noFilesBeside(const QString& name) const {
        return QDir(dir_.path()).entryList({u'*' + name + u'*'}, QDir::Files | QDir::Hidden).isEmpty();
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void multiLineGreetingAndForeignPasvAddress() {
        ScriptedServer server([](Peer& peer) {
            // Inner lines that would pass in the log pane for a command, a note or replies.
            peer.login("220-Welcome to the fake server\r\n220-Second line\r\nPASS ****\r\n"
                       "# Connected, 230 Login successful.\r\n220 Ready");
            // The login folder is where the session is: no CWD.
            // The reply names an address that is not the server's: it must be ignored.
            peer.passiveNaming("10,255,255,1");
            peer.expect("LIST");
            QTcpSocket* data = peer.acceptData();
            peer.send("150 here it comes");
            peer.sendData(data, "drwxr-xr-x 2 0 0 4096 Dec  7 20:13 pub\r\n"
                                "-rw-r--r-- 1 0 0 12 Dec  7 20:13 " +
                                    codepage::toCp932(QStringLiteral("日本語.txt")) +
                                    "\r\n"
                                    "-rw-r--r-- 1 0 0 12 Dec  7 20:13 bad/name\r\n"
                                    "this line is not a listing\r\n"
                                    "-rw-r--r-- 1 0 0 12 Dec  7 20:13 ..\r\n");
            peer.closeData(data);
            peer.send("226 done");
            peer.expect("QUIT");
            peer.send("221 bye");
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        QVERIFY(!e->features().utf8);
        QCOMPARE(*e->GetDir(QString(), 1), QStringList{QStringLiteral("pub")});
        QCOMPARE(*e->GetDir(QString()), QStringList{QStringLiteral("日本語.txt")});
        e->Close();
        QCOMPARE(server.finish(), QString());
        const QStringList pane = logfields::fieldsAsPaneText(
                                     codepage::fromCp932(readAll(dir_.filePath(QStringLiteral("log.txt")))))
                                     .split(QStringLiteral("\r\n"));
        QCOMPARE(pane.mid(0, 6),
                 (QStringList{QStringLiteral("220-Welcome to the fake server"),
                              QStringLiteral("220-Second line"), QStringLiteral("220-PASS ****"),
                              QStringLiteral("220-# Connected, 230 Login successful."),
                              QStringLiteral("220 Ready"), QStringLiteral("USER u")}));
    }

    void noPasswordAskedAfterUser() {
        ScriptedServer server([](Peer& peer) {
            peer.send("220 hi");
            peer.expect("USER anonymous");
            peer.send("230 anonymous welcome, no password needed");
            peer.expect("FEAT");
            peer.send("211-Features:\r\n UTF8\r\n EPSV\r\n211 End");
            peer.expect("OPTS UTF8 ON");
            peer.send("501 Invalid argument");
            peer.expect("PWD");
            peer.send("257 \"/home/ftp\" is current");
            // Names arrive in UTF-8 although OPTS was refused.
            peer.expect("CWD /home/ftp/sub");
            peer.send("250 ok");
            QTcpSocket* data = peer.openTransfer("LIST", "150 ok");
            peer.sendData(data, QStringLiteral("-rw-r--r-- 1 0 0 1 Dec  7 20:13 テスト.txt\r\n").toUtf8());
            peer.closeData(data);
            peer.send("226 ok");
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("anonymous"), QStringLiteral("x")), 0);
        QCOMPARE(e->loginFolder(), QStringLiteral("/home/ftp"));
        // A relative path is taken under the login folder.
        QCOMPARE(*e->GetDir(QStringLiteral("sub")), QStringList{QStringLiteral("テスト.txt")});
        QVERIFY(!transcript().contains(QStringLiteral("PASS ****")));
        QCOMPARE(server.finish(), QString());
    }

    void droppedMidDownload() {
        ScriptedServer server([](Peer& peer) {
            peer.login();
            peer.expect("TYPE I");
            peer.send("200 ok");
            QTcpSocket* data = peer.openTransfer(
                "RETR /big.bin", "150 Opening BINARY mode data connection for big.bin (1000000 bytes)");
            peer.sendData(data, QByteArray(100'000, 'x'));
            data->abort();
            peer.control().abort();
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        const QString target = dir_.filePath(QStringLiteral("big.bin"));
        int mode = ftp::BinaryMode;
        QVERIFY_THROWS_EXCEPTION(FtpError, e->GetFile(QStringLiteral("/big.bin"), target, mode));
        QVERIFY(!QFile::exists(target));
        QVERIFY(noFilesBeside(QStringLiteral("big.bin")));
        // The session is gone: the next call fails at once.
        QVERIFY_THROWS_EXCEPTION(FtpError, e->Command(QStringLiteral("NOOP")));
        QCOMPARE(server.finish(), QString());
    }

    void shortDownloadWithSuccessReply() {
        // The data connection ends early yet the server says 226: the size it announced
        // gives the cut away.
        ScriptedServer server([](Peer& peer) {
            peer.login();
            peer.expect("TYPE I");
            peer.send("200 ok");
            QTcpSocket* data = peer.openTransfer(
                "RETR /short.bin", "150 Opening BINARY mode data connection for short.bin (5000 bytes)");
            peer.sendData(data, QByteArray(1000, 'y'));
            peer.closeData(data);
            peer.send("226 Transfer complete");
            peer.expect("NOOP");
            peer.send("200 still here");
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        const QString target = dir_.filePath(QStringLiteral("short.bin"));
        int mode = ftp::BinaryMode;
        try {
            e->GetFile(QStringLiteral("/short.bin"), target, mode);
            QFAIL("a short download was taken for complete");
        } catch (const FtpError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("1000")), qPrintable(error.message()));
        }
        QVERIFY(!QFile::exists(target));
        // The part file waits for a retry; any other call gives it up.
        QVERIFY(!noFilesBeside(QStringLiteral("short.bin")));
        QCOMPARE(e->Command(QStringLiteral("NOOP")), 2);
        QVERIFY(noFilesBeside(QStringLiteral("short.bin")));
        QCOMPARE(server.finish(), QString());
    }

    void resetDataConnection() {
        // The data connection is reset mid-way and the server reports the failure.
        // (A reset reads like an orderly end through the socket, so the server's reply,
        // or the size it announced, is what tells.)
        ScriptedServer server([](Peer& peer) {
            peer.login();
            peer.expect("TYPE A");
            peer.send("200 ascii");
            QTcpSocket* data = peer.openTransfer("RETR /reset.txt", "150 Opening ASCII mode data connection");
            peer.sendData(data, QByteArray(50'000, 'r'));
            const linger hard{1, 0};
            ::setsockopt(int(data->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            ::close(int(data->socketDescriptor()));
            peer.send("451 Transfer aborted: connection reset");
            peer.expect("TYPE I");
            peer.send("200 binary");
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        const QString target = dir_.filePath(QStringLiteral("reset.txt"));
        int mode = ftp::TextMode;
        try {
            e->GetFile(QStringLiteral("/reset.txt"), target, mode);
            QFAIL("a reset download succeeded");
        } catch (const FtpError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("451")), qPrintable(error.message()));
        }
        QVERIFY(!QFile::exists(target));
        QVERIFY(noFilesBeside(QStringLiteral("reset.txt")));
        QCOMPARE(server.finish(), QString());
    }

    void textLineEndsWhereverTheyFall() {
        // Text first sent with LF ends only (as servers do that send files unchanged), over
        // more than one mapped window, then CR LF, a lone CR, and CRs cut off from their
        // LF by a pause, ending in a CR: CR LF becomes LF wherever it falls, a lone CR stays.
        QByteArray lfOnly;
        for (int line = 0; lfOnly.size() < 10 * 1024 * 1024; ++line)
            lfOnly += "line " + QByteArray::number(line) + " of text\n";
        const QList<QByteArray> pieces = {lfOnly + "crlf\r\nlone\rcr", "\r", "\nafter\r", "\r\n", "end\r"};
        ScriptedServer server([&pieces](Peer& peer) {
            peer.login();
            for (int round = 0; round < 2; ++round) {
                peer.expect("TYPE A");
                peer.send("200 ascii");
                QTcpSocket* data =
                    peer.openTransfer("RETR /mixed.txt", "150 Opening ASCII mode data connection");
                // The first round sends LF-only text alone; the second all the pieces.
                for (const QByteArray& piece :
                     round == 0 ? QList<QByteArray>{pieces.first().left(4'000'000)} : pieces) {
                    peer.sendData(data, piece);
                    QThread::msleep(50);
                }
                peer.closeData(data);
                peer.send("226 done");
                peer.expect("TYPE I");
                peer.send("200 binary");
            }
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        const QString target = dir_.filePath(QStringLiteral("mixed.txt"));
        int mode = ftp::TextMode;
        QCOMPARE(e->GetFile(QStringLiteral("/mixed.txt"), target, mode), 1);
        QCOMPARE(readAll(target), lfOnly.left(4'000'000));
        QCOMPARE(e->GetFile(QStringLiteral("/mixed.txt"), target, mode), 1);
        const QByteArray converted = readAll(target);
        QCOMPARE(converted.size(), lfOnly.size() + 24);
        QVERIFY(converted.startsWith(lfOnly));
        QCOMPARE(converted.mid(lfOnly.size()), QByteArray("crlf\nlone\rcr\nafter\r\nend\r"));
        QVERIFY(noFilesBeside(QStringLiteral("mixed.txt.")));
        QCOMPARE(server.finish(), QString());
    }

    // An upload cancelled before the server took STOR, or one that replaced a file the
    // server had, deletes nothing (a new file's removal is tst_cancel's).
    void cancelledUploadKeepsWhatItDidNotCreate_data() {
        QTest::addColumn<bool>("storTaken");
        QTest::newRow("cancelled before STOR") << false;
        QTest::newRow("STOR taken, file was there") << true;
    }
    void cancelledUploadKeepsWhatItDidNotCreate() {
        QFETCH(bool, storTaken);
        const QString local = dir_.filePath(QStringLiteral("up.bin"));
        testing::writeAll(local, QByteArray(32 << 20, 'u'));
        platform::CallControl control;
        ScriptedServer server([&](Peer& peer) {
            peer.login("220 fake ready", "211-Features:\r\n SIZE\r\n211 End");
            peer.expect("TYPE I");
            peer.send("200 binary");
            if (peer.receive() == "SIZE /up.bin") { // the server holds a file of that name
                peer.send("213 5");
                peer.expect("EPSV");
            }
            if (!storTaken)
                control.cancel(); // met while the engine waits for the passive reply
            peer.send("229 Entering Extended Passive Mode (|||" + QByteArray::number(peer.listenData()) +
                      "|)");
            if (storTaken) {
                peer.expect("STOR /up.bin");
                peer.acceptData();
                peer.send("150 Ok to send data");
                control.cancel();
                peer.expect("ABOR");
                peer.send("426 Transfer aborted");
                peer.send("226 ABOR successful");
            }
            peer.expect("QUIT");
            peer.send("221 bye");
        });
        auto e = engine();
        e->setCallControl(&control);
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        int mode = ftp::BinaryMode;
        QVERIFY_THROWS_EXCEPTION(FtpError, e->PutFile(local, QStringLiteral("/"), mode));
        control.reset();
        e->Close();
        QCOMPARE(server.finish(), QString());
    }

    void silentDataConnection() {
        ScriptedServer server([](Peer& peer) {
            peer.login();
            peer.expect("TYPE I");
            peer.send("200 ok");
            QTcpSocket* data = peer.openTransfer("RETR /slow.bin", "150 here it (never) comes");
            peer.sendData(data, "a few bytes");
            // Nothing more; when the client gives up and closes, say so.
            data->waitForDisconnected(10'000);
            peer.send("426 Connection closed; transfer aborted");
            peer.expect("NOOP");
            peer.send("200 ok");
        });
        auto e = engine(5'000, 300);
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        const QString target = dir_.filePath(QStringLiteral("slow.bin"));
        int mode = ftp::BinaryMode;
        QElapsedTimer timer;
        timer.start();
        try {
            e->GetFile(QStringLiteral("/slow.bin"), target, mode);
            QFAIL("a stalled download succeeded");
        } catch (const FtpError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("426")), qPrintable(error.message()));
        }
        QVERIFY(timer.elapsed() < 4'000);
        QVERIFY(!noFilesBeside(QStringLiteral("slow.bin")));
        QCOMPARE(e->Command(QStringLiteral("NOOP")), 2);
        QVERIFY(noFilesBeside(QStringLiteral("slow.bin")));
        QCOMPARE(server.finish(), QString());
    }

    void silentServer() {
        // Silent after the greeting: Connect gives up with "timed out".
        ScriptedServer quiet([](Peer& peer) {
            peer.send("220 hello");
            peer.expect("USER");
            peer.waitForClose(5'000);
        });
        auto e = engine(300);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(e->Connect(quiet.serverName(), QStringLiteral("u"), QStringLiteral("p")),
                 int(ftp::ConnectTimedOut));
        QVERIFY(timer.elapsed() < 3'000);
        QCOMPARE(quiet.finish(), QString());

        // No greeting at all.
        ScriptedServer mute([](Peer& peer) { peer.waitForClose(5'000); });
        auto m = engine(300);
        QCOMPARE(m->Connect(mute.serverName(), QStringLiteral("u"), QStringLiteral("p")),
                 int(ftp::ConnectTimedOut));
        QCOMPARE(mute.finish(), QString());

        // Silent after login: the command fails in time, and the session is over.
        ScriptedServer later([](Peer& peer) {
            peer.login();
            peer.expect("NOOP");
            peer.waitForClose(5'000);
        });
        auto l = engine(300);
        QCOMPARE(l->Connect(later.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        timer.restart();
        QVERIFY_THROWS_EXCEPTION(FtpError, l->Command(QStringLiteral("NOOP")));
        QVERIFY_THROWS_EXCEPTION(FtpError, l->GetDir(QString()));
        QVERIFY(timer.elapsed() < 3'000);
        QCOMPARE(later.finish(), QString());
    }

    void endlessPreliminaryReplies() {
        // "Wait" replies that never end: the greeting, and a command's final reply, are
        // each given up within the reply timeout.
        ScriptedServer waiting([](Peer& peer) { peer.keepSending("120 ready in a minute", 10'000); });
        auto w = engine(500);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(w->Connect(waiting.serverName(), QStringLiteral("u"), QStringLiteral("p")),
                 int(ftp::ConnectTimedOut));
        QVERIFY(timer.elapsed() < 3'000);
        QCOMPARE(waiting.finish(), QString());

        ScriptedServer working([](Peer& peer) {
            peer.login();
            peer.expect("NOOP");
            peer.keepSending("100 still working", 10'000);
        });
        auto e = engine(500);
        QCOMPARE(e->Connect(working.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        timer.restart();
        QVERIFY_THROWS_EXCEPTION(FtpError, e->Command(QStringLiteral("NOOP")));
        QVERIFY(timer.elapsed() < 3'000);
        QCOMPARE(working.finish(), QString());
    }

    void garbageAndOverlongReplies() {
        ScriptedServer garbage([](Peer& peer) {
            peer.send("HELLO, I am not an FTP server");
            peer.waitForClose(5'000);
        });
        auto g = engine();
        QCOMPARE(g->Connect(garbage.serverName(), QStringLiteral("u"), QStringLiteral("p")),
                 int(ftp::ConnectProtocolError));
        QCOMPARE(garbage.finish(), QString());
        // Nothing of the failed attempt spoils the next one on the same engine.
        ScriptedServer sound([](Peer& peer) {
            peer.login();
            peer.expect("NOOP");
            peer.send("200 ok");
        });
        QCOMPARE(g->Connect(sound.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        QCOMPARE(g->Command(QStringLiteral("NOOP")), 2);
        QCOMPARE(sound.finish(), QString());

        ScriptedServer overlong([](Peer& peer) {
            peer.send("220 hi");
            peer.expect("USER");
            peer.sendRaw("331 " + QByteArray(200'000, 'z')); // no line end, ever
            peer.waitForClose(5'000);
        });
        QCOMPARE(engine()->Connect(overlong.serverName(), QStringLiteral("u"), QStringLiteral("p")),
                 int(ftp::ConnectProtocolError));
        QCOMPARE(overlong.finish(), QString());

        ScriptedServer later([](Peer& peer) {
            peer.login();
            peer.expect("NOOP");
            peer.sendRaw(QByteArray("\x00\x01\x02 binary junk\r\n", 18));
            peer.waitForClose(5'000);
        });
        auto e = engine();
        QCOMPARE(e->Connect(later.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        QVERIFY_THROWS_EXCEPTION(FtpError, e->Command(QStringLiteral("NOOP")));
        QVERIFY_THROWS_EXCEPTION(FtpError, e->Command(QStringLiteral("NOOP")));
        QCOMPARE(later.finish(), QString());
    }

    void greetingAndLoginRefused() {
        ScriptedServer busy([](Peer& peer) { peer.send("421 Too many users, try later"); });
        QCOMPARE(engine()->Connect(busy.serverName(), QStringLiteral("u"), QStringLiteral("p")),
                 int(ftp::ConnectGreetingRefused));
        QCOMPARE(busy.finish(), QString());

        ScriptedServer hangsUp([](Peer&) {});
        QCOMPARE(engine()->Connect(hangsUp.serverName(), QStringLiteral("u"), QStringLiteral("p")),
                 int(ftp::ConnectGreetingRefused));
        QCOMPARE(hangsUp.finish(), QString());

        ScriptedServer badUser([](Peer& peer) {
            peer.send("220 hi");
            peer.expect("USER");
            peer.send("530 No such user");
        });
        QCOMPARE(engine()->Connect(badUser.serverName(), QStringLiteral("u"), QStringLiteral("p")),
                 int(ftp::ConnectLoginRefused));
        QCOMPARE(badUser.finish(), QString());

        // A user name that would smuggle in a second command never reaches the server.
        ScriptedServer unused([](Peer&) {});
        QCOMPARE(engine()->Connect(unused.serverName(), QStringLiteral("u\r\nDELE x"), QStringLiteral("p")),
                 int(ftp::ConnectLoginRefused));
        // (The server's script waits for a client that never comes; give it one.)
        QTcpSocket wake;
        wake.connectToHost(QHostAddress::LocalHost, quint16(unused.serverName().section(u':', -1).toUInt()));
        QVERIFY(wake.waitForConnected(5'000));
        QCOMPARE(unused.finish(), QString());

        // Nor does the user name go out when the password cannot be sent in the server's
        // encoding (CP932 until FEAT says otherwise).
        ScriptedServer badPassword([](Peer& peer) {
            peer.send("220 hi");
            QByteArray line;
            try {
                line = peer.receive();
            } catch (const ScriptError&) {
                return; // hung up with nothing sent
            }
            throw ScriptError{QStringLiteral("sent: ") + QString::fromLatin1(line)};
        });
        QCOMPARE(engine()->Connect(badPassword.serverName(), QStringLiteral("u"), QStringLiteral("p\u00e9")),
                 int(ftp::ConnectLoginRefused));
        QCOMPARE(badPassword.finish(), QString());
    }

    void listedNamesGoBackAsTheirOwnBytes() {
        // Names that do not decode are shown marked, decomposed ones composed; whichever the
        // user picks goes back to the server as the bytes it listed, in both encodings.
        struct Case {
            bool utf8;
            QList<QByteArray> raw;
            QStringList shown;
        };
        const QList<Case> cases{
            {true,
             {"bad\xff\xfe.txt", "e\xcc\x81t\xc3\xa9.txt", "\xe6\x97\xa5\xe6\x9c\xac.txt"},
             {QStringLiteral("bad\uFFFDFF\uFFFDFE.txt"), QStringLiteral("\u00e9t\u00e9.txt"),
              QStringLiteral("日本.txt")}},
            {false,
             {"bad\xff\xfe.txt", codepage::toCp932(QStringLiteral("日本.txt")), "lone\x83"},
             {QStringLiteral("bad\uFFFDFF\uFFFDFE.txt"), QStringLiteral("日本.txt"),
              QStringLiteral("lone\uFFFD83")}},
        };
        for (const Case& c : cases) {
            ScriptedServer server([&c](Peer& peer) {
                if (c.utf8) {
                    peer.send("220 fake ready");
                    peer.expect("USER");
                    peer.send("331 password please");
                    peer.expect("PASS");
                    peer.send("230 logged in");
                    peer.expect("FEAT");
                    peer.sendRaw("211-Features:\r\n UTF8\r\n211 End\r\n");
                    peer.expect("OPTS UTF8 ON");
                    peer.send("200 ok");
                    peer.expect("PWD");
                    peer.send("257 \"/\" is current");
                } else {
                    peer.login();
                }
                QTcpSocket* data = peer.openTransfer("LIST", "150 here it comes");
                QByteArray listing;
                for (const QByteArray& name : c.raw)
                    listing += "-rw-r--r-- 1 0 0 3 Dec  7 20:13 " + name + "\r\n";
                peer.sendData(data, listing);
                peer.closeData(data);
                peer.send("226 done");
                for (const QByteArray& name : c.raw) {
                    if (&name == &c.raw.constFirst()) { // the type is set once
                        peer.expect("TYPE I");
                        peer.send("200 binary");
                    }
                    peer.epsv();
                    const QByteArray line = peer.receive();
                    if (line != "RETR /" + name)
                        throw ScriptError{QStringLiteral("wrong bytes: ") +
                                          QString::fromLatin1(line.toHex(' '))};
                    QTcpSocket* file = peer.acceptData();
                    peer.send("150 sending");
                    peer.sendData(file, "abc");
                    peer.closeData(file);
                    peer.send("226 sent");
                }
                peer.expect("QUIT");
                peer.send("221 bye");
            });
            auto e = engine();
            QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
            QCOMPARE(e->features().utf8, c.utf8);
            try {
                QCOMPARE(*e->GetDir(QString()), c.shown);
                for (qsizetype i = 0; i < c.shown.size(); ++i) {
                    const QString target = dir_.filePath(QStringLiteral("picked-%1.txt").arg(i));
                    int mode = ftp::BinaryMode;
                    QCOMPARE(e->GetFile(u'/' + c.shown.at(i), target, mode), 1);
                    QCOMPARE(readAll(target), QByteArray("abc"));
                }
            } catch (const FtpError& error) {
                QFAIL(qPrintable(error.message() + u" / " + server.finish()));
            }
            e->Close();
            QCOMPARE(server.finish(), QString());
        }
    }

    void listingAndReplyBounds() {
        ScriptedServer server([](Peer& peer) {
            peer.login();
            QTcpSocket* data = peer.openTransfer("LIST", "150 here it comes");
            peer.sendData(data, QByteArray("-rw-r--r-- 1 0 0 12 Dec  7 20:13 f\r\n").repeated(11));
            peer.closeData(data);
            peer.send("226 done");
            // A reply of short lines, far inside the byte bound, past the line bound.
            peer.expect("STAT");
            peer.sendRaw("211-status\r\n" + QByteArray(" x\r\n").repeated(ReplyReader::kMaxReplyLines) +
                         "211 end\r\n");
            peer.waitForClose(5'000);
        });
        auto e = engine();
        e->setListingLimits({10, 1024 * 1024});
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        try {
            e->GetDir(QString());
            QFAIL("a listing past its bound was taken");
        } catch (const FtpError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("too large: more than 10 entries")),
                     qPrintable(error.message()));
        }
        // Written out at the end of the failed call.
        QCOMPARE(transcript().constLast(), QStringLiteral("226 done"));
        try {
            e->Command(QStringLiteral("STAT"));
            QFAIL("a reply past its line bound was taken");
        } catch (const FtpError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("overlong reply")), qPrintable(error.message()));
        }
        e->Close();
        QCOMPARE(server.finish(), QString());
    }

    void serverHangsUpBetweenCalls() {
        ScriptedServer server([](Peer& peer) {
            peer.login();
            peer.send("421 Timeout, closing control connection");
            peer.control().disconnectFromHost();
        });
        auto e = engine(10'000);
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        QCOMPARE(server.finish(), QString());
        QElapsedTimer timer;
        timer.start();
        try {
            e->GetDir(QString());
            QFAIL("listing on a closed connection");
        } catch (const FtpError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("421")), qPrintable(error.message()));
        }
        QVERIFY(timer.elapsed() < 2'000);
        // Quoted for its comma, so that the log pane shows it as one line.
        QCOMPARE(transcript().constLast(), QStringLiteral("\"421 Timeout, closing control connection\""));
        e->Close();
    }
};

QTEST_GUILESS_MAIN(FtpFaultsTest)
#include "tst_ftpfaults.moc"
