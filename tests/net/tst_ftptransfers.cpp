// Transfers against a scripted server on 127.0.0.1: what arrives is checked (sizes,
// hashes), a broken transfer resumes on the same call, odd replies and names hold.
#include "ftp/component/FtpEngine.h"
#include "support/Files.h"
#include "support/ScriptedFtpServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using ftp::FtpEngine;
using ftp::FtpError;
using testing::Peer;
using testing::readAll;
using testing::ScriptedServer;
using testing::ScriptError;
using testing::writeAll;

using testing::randomBytes;

namespace {

const QByteArray kSizeAndTime = "211-Features:\r\n SIZE\r\n MDTM\r\n REST STREAM\r\n211 End";

QByteArray hexOf(const QByteArray& bytes, QCryptographicHash::Algorithm algorithm) {
    return QCryptographicHash::hash(bytes, algorithm).toHex();
}

// The server's side of a binary download: TYPE I (the session's first), SIZE and MDTM
// (when given), EPSV, an optional REST, RETR; sends `bytes` and ends with `final`.
void serveDownload(Peer& peer, const QByteArray& path, const QByteArray& bytes, qint64 size,
                   const QByteArray& stamp, qint64 rest = 0, const QByteArray& final = "226 done",
                   bool typeAsked = true) {
    if (typeAsked) {
        peer.expect("TYPE I");
        peer.send("200 binary");
    }
    peer.expect("SIZE " + path);
    peer.send("213 " + QByteArray::number(size));
    if (!stamp.isEmpty()) {
        peer.expect("MDTM " + path);
        peer.send("213 " + stamp);
    }
    peer.epsv();
    if (rest > 0) {
        peer.expect("REST " + QByteArray::number(rest));
        peer.send("350 restarting");
    }
    peer.expect("RETR " + path);
    QTcpSocket* data = peer.acceptData();
    peer.send("150 Opening BINARY mode data connection");
    peer.sendData(data, bytes);
    peer.closeData(data);
    peer.send(final);
}

} // namespace

class FtpTransfersTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;

    QString path(const QString& name) const { return dir_->filePath(name); }
    std::unique_ptr<FtpEngine> engine(int dataMs = 5'000) {
        auto e = std::make_unique<FtpEngine>();
        e->setTimeouts({5'000, 5'000, dataMs});
        return e;
    }
    QStringList partFiles() const {
        return QDir(dir_->path()).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void downloadResumedFromWhereItBroke() {
        const QByteArray content = randomBytes(300'000);
        ScriptedServer server([&](Peer& peer) {
            peer.login("220 fake ready", kSizeAndTime);
            serveDownload(peer, "/file.bin", content.left(100'000), content.size(), "20260101000000", 0,
                          "426 Connection closed; transfer aborted");
            // The retry goes on behind the 100,000 bytes kept.
            serveDownload(peer, "/file.bin", content.mid(100'000), content.size(), "20260101000000", 100'000,
                          "226 done", false);
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        const QString target = path(QStringLiteral("file.bin"));
        int mode = ftp::BinaryMode;
        QVERIFY_THROWS_EXCEPTION(FtpError, e->GetFile(QStringLiteral("/file.bin"), target, mode));
        QVERIFY(!QFile::exists(target));
        QCOMPARE(partFiles().size(), 1);
        QCOMPARE(QFileInfo(path(partFiles().constFirst())).size(), 100'000);
        QCOMPARE(e->GetFile(QStringLiteral("/file.bin"), target, mode), 1);
        QCOMPARE(readAll(target), content);
        QVERIFY(partFiles().isEmpty());
        QCOMPARE(server.finish(), QString());
    }

    void changedRemoteFileFetchedAfresh() {
        const QByteArray before = randomBytes(50'000, 1);
        const QByteArray after = randomBytes(50'000, 2);
        ScriptedServer server([&](Peer& peer) {
            peer.login("220 fake ready", kSizeAndTime);
            serveDownload(peer, "/f.bin", before.left(20'000), before.size(), "20260101000000", 0,
                          "426 aborted");
            // Same size, newer time: no REST, the whole file again.
            serveDownload(peer, "/f.bin", after, after.size(), "20260102000000", 0, "226 done", false);
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        const QString target = path(QStringLiteral("f.bin"));
        int mode = ftp::BinaryMode;
        QVERIFY_THROWS_EXCEPTION(FtpError, e->GetFile(QStringLiteral("/f.bin"), target, mode));
        QCOMPARE(e->GetFile(QStringLiteral("/f.bin"), target, mode), 1);
        QCOMPARE(readAll(target), after);
        QVERIFY(partFiles().isEmpty());
        QCOMPARE(server.finish(), QString());
    }

    // A retry that cannot prove the server's file unchanged, or whose part file is no longer
    // the file written before, starts afresh (no REST), whatever the server does with REST;
    // what a link put in the part file's place leads to stays as it was.
    void unprovableResumeStartsAfresh_data() {
        QTest::addColumn<QByteArray>("feat");
        QTest::addColumn<QByteArray>("changed"); // the server's file at the retry
        QTest::addColumn<int>("link");           // the part file replaced by: 1 a symbolic, 2 a hard link
        const QByteArray same = randomBytes(50'000, 7);
        QTest::newRow("changed, same size, no MDTM") << QByteArray("SIZE") << randomBytes(50'000, 8) << 0;
        QTest::newRow("no SIZE, REST ignored") << QByteArray("MDTM") << same << 0;
        QTest::newRow("symbolic link") << QByteArray("SIZE\r\n MDTM") << same << 1;
        QTest::newRow("hard link") << QByteArray("SIZE\r\n MDTM") << same << 2;
    }
    void unprovableResumeStartsAfresh() {
        QFETCH(QByteArray, feat);
        QFETCH(QByteArray, changed);
        QFETCH(int, link);
        ScriptedServer server([&](Peer& peer) {
            peer.login("220 fake ready", "211-Features:\r\n " + feat + "\r\n REST STREAM\r\n211 End");
            for (const bool breaks : {true, false}) {
                if (breaks) { // the session's type is set once
                    peer.expect("TYPE I");
                    peer.send("200 binary");
                }
                for (const QByteArray fact : {"SIZE", "MDTM"}) {
                    if (feat.contains(fact)) {
                        peer.expect(fact + " /u.bin");
                        peer.send(fact == "SIZE" ? "213 50000" : "213 20260101000000");
                    }
                }
                peer.epsv();
                QByteArray line = peer.receive();
                qint64 from = 0;
                if (line.startsWith("REST ")) { // taken, but honoured only where SIZE is offered
                    from = feat.contains("SIZE") ? line.mid(5).toLongLong() : 0;
                    peer.send("350 restarting");
                    line = peer.receive();
                }
                QTcpSocket* data = peer.acceptData();
                peer.send("150 Opening BINARY mode data connection for u.bin (50000 bytes)");
                peer.sendData(data, breaks ? randomBytes(20'000, 7) : changed.mid(from));
                peer.closeData(data);
                peer.send(breaks ? "426 aborted" : "226 done");
            }
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        const QString target = path(QStringLiteral("u.bin"));
        const QString victim = path(QStringLiteral("victim.txt"));
        int mode = ftp::BinaryMode;
        QVERIFY_THROWS_EXCEPTION(FtpError, e->GetFile(QStringLiteral("/u.bin"), target, mode));
        if (link) {
            const QByteArray part = QFile::encodeName(path(partFiles().value(0)));
            writeAll(victim, "not yours");
            const QByteArray to = QFile::encodeName(victim);
            QVERIFY(::unlink(part.constData()) == 0);
            QVERIFY((link == 1 ? ::symlink(to.constData(), part.constData())
                               : ::link(to.constData(), part.constData())) == 0);
        }
        try {
            e->GetFile(QStringLiteral("/u.bin"), target, mode);
        } catch (const FtpError&) {
        }
        QCOMPARE(server.finish(), QString());
        QVERIFY(readAll(target) == changed);
        QVERIFY(!link || readAll(victim) == "not yours");
    }

    void partFileRemovedWhenGivenUpOrAtTheEnd() {
        const QByteArray content = randomBytes(10'000, 5);
        ScriptedServer server([&](Peer& peer) {
            peer.login("220 fake ready", kSizeAndTime);
            serveDownload(peer, "/g.bin", content.left(3'000), content.size(), "20260101000000", 0,
                          "426 aborted");
            serveDownload(peer, "/g.bin", content.left(3'000), content.size(), "20260101000000", 0,
                          "426 aborted", false);
            peer.expect("QUIT");
            peer.send("221 bye");
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        int mode = ftp::BinaryMode;
        const QString target = path(QStringLiteral("g.bin"));
        QVERIFY_THROWS_EXCEPTION(FtpError, e->GetFile(QStringLiteral("/g.bin"), target, mode));
        QCOMPARE(partFiles().size(), 1);
        e->GiveUpTransfer(); // Cancel in the window's "Error!" box
        QVERIFY(partFiles().isEmpty());
        // Given up, the next attempt starts from the beginning (no REST) and breaks again.
        QVERIFY_THROWS_EXCEPTION(FtpError, e->GetFile(QStringLiteral("/g.bin"), target, mode));
        QCOMPARE(partFiles().size(), 1);
        e->Close();
        QVERIFY(partFiles().isEmpty());
        QVERIFY(!QFile::exists(target));
        QCOMPARE(server.finish(), QString());
    }

    void uploadResumedWithRestOrAppe() {
        const QByteArray content = randomBytes(200'000, 3);
        const QString local = path(QStringLiteral("up.bin"));
        writeAll(local, content);
        QByteArray stored;
        auto storeUntil = [&](Peer& peer, const QByteArray& command, qint64 keep, bool breakOff) {
            QTcpSocket* data = peer.openTransfer(command + " /up.bin", "150 ok to send data");
            stored += peer.receiveData(data, keep);
            if (breakOff) {
                data->abort();
                peer.send("426 Connection closed; transfer aborted");
            } else {
                peer.send("226 stored");
            }
        };
        ScriptedServer server([&](Peer& peer) {
            peer.login("220 fake ready", "211-Features:\r\n SIZE\r\n211 End");
            peer.expect("TYPE I");
            peer.send("200 binary");
            peer.expect("SIZE /up.bin");
            peer.send("550 No such file");
            storeUntil(peer, "STOR", 50'000, true);
            // Second attempt (the type still set): REST refused, so APPE; it breaks too.
            peer.expect("SIZE /up.bin");
            peer.send("213 " + QByteArray::number(stored.size()));
            peer.epsv();
            peer.expect("REST 50000");
            peer.send("502 REST not implemented");
            peer.expect("APPE /up.bin");
            QTcpSocket* data = peer.acceptData();
            peer.send("150 ok");
            stored += peer.receiveData(data, 50'000);
            data->abort();
            peer.send("426 aborted");
            // Third attempt: REST and STOR finish it.
            peer.expect("SIZE /up.bin");
            peer.send("213 " + QByteArray::number(stored.size()));
            peer.epsv();
            peer.expect("REST 100000");
            peer.send("350 restarting");
            peer.expect("STOR /up.bin");
            data = peer.acceptData();
            peer.send("150 ok");
            stored += peer.receiveData(data);
            peer.send("226 stored");
            peer.expect("SIZE /up.bin");
            peer.send("213 " + QByteArray::number(stored.size()));
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        int mode = ftp::BinaryMode;
        QVERIFY_THROWS_EXCEPTION(FtpError, e->PutFile(local, QStringLiteral("/"), mode));
        QVERIFY_THROWS_EXCEPTION(FtpError, e->PutFile(local, QStringLiteral("/"), mode));
        QCOMPARE(e->PutFile(local, QStringLiteral("/"), mode), 1);
        QCOMPARE(server.finish(), QString());
        QCOMPARE(stored.size(), content.size());
        QVERIFY(stored == content);
    }

    // The whole exchange of a login, the login folder's listing and two downloads, command
    // by command: a round trip added anywhere breaks the script.
    void loginListingAndDownloadsSendOnlyWhatTheyNeed_data() {
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("as listed") << QByteArray("hello");
        QTest::newRow("grown since listed") << QByteArray("hello!");
    }
    void loginListingAndDownloadsSendOnlyWhatTheyNeed() {
        QFETCH(QByteArray, sent);
        ScriptedServer server([&](Peer& peer) {
            peer.login("220 fake ready", kSizeAndTime);
            QTcpSocket* data = peer.openTransfer("LIST", "150 here it comes");
            peer.sendData(data, "drwxr-xr-x 2 0 0 4096 Dec  7 20:13 pub\r\n"
                                "lrwxrwxrwx 1 0 0 3 Dec  7 20:13 up -> ./pub/\r\n"
                                "lrwxrwxrwx 1 0 0 5 Dec  7 20:13 doc -> a.bin\r\n"
                                "-rw-r--r-- 1 0 0 5 Dec  7 20:13 a.bin\r\n"
                                "lrwxrwxrwx 1 0 0 7 Dec  7 20:13 gone -> nowhere/x\r\n"
                                "lrwxrwxrwx 1 0 0 7 Dec  7 20:13 hid -> .config\r\n"
                                "lrwxrwxrwx 1 0 0 7 Dec  7 20:13 abs -> /srv/x\r\n"
                                "lrwxrwxrwx 1 0 0 7 Dec  7 20:13 caps -> PUB\r\n");
            peer.closeData(data);
            peer.send("226 done");
            // A relative target naming nothing listed is no folder; a hidden name, an
            // absolute path or another case may name something the listing does not show.
            for (const char* probed : {"/hid", "/abs", "/caps"}) {
                peer.expect(QByteArray("CWD ") + probed);
                peer.send("550 not a folder");
            }
            // The listing told the size: no SIZE, no MDTM; the type once.
            peer.expect("TYPE I");
            peer.send("200 binary");
            peer.epsv();
            peer.expect("RETR /a.bin");
            data = peer.acceptData();
            peer.send("150 sending");
            peer.sendData(data, sent);
            peer.closeData(data);
            peer.send("226 sent");
            if (sent.size() != 5) { // the server's word decides
                peer.expect("SIZE /a.bin");
                peer.send("213 " + QByteArray::number(sent.size()));
            }
            // The listing is older than the last command now: the server is asked.
            serveDownload(peer, "/a.bin", sent, sent.size(), "20260101000000", 0, "226 done", false);
            peer.expect("QUIT");
            peer.send("221 bye");
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        QCOMPARE(*e->GetDir(QString(), ftp::kFolderFlag),
                 (QStringList{QStringLiteral("pub"), QStringLiteral("up")}));
        QCOMPARE(*e->GetDir(QString()), QStringLiteral("doc a.bin gone hid abs caps").split(u' '));
        int mode = ftp::BinaryMode;
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(e->GetFile(QStringLiteral("/a.bin"), path(QStringLiteral("a.bin")), mode), 1);
            QCOMPARE(readAll(path(QStringLiteral("a.bin"))), sent);
        }
        e->Close();
        QCOMPARE(server.finish(), QString());
    }

    void hashesChecked() {
        // HASH with the algorithm in use marked: a wrong hash fails the call and leaves the
        // old target; the retry starts afresh and a right hash lets the file in.
        const QByteArray content = randomBytes(5'000, 4);
        const QByteArray right = hexOf(content, QCryptographicHash::Sha256);
        QByteArray wrong = right;
        wrong[0] = wrong[0] == '0' ? '1' : '0';
        ScriptedServer server([&](Peer& peer) {
            peer.login("220 fake ready", "211-Features:\r\n SIZE\r\n HASH SHA-256*;MD5\r\n211 End");
            serveDownload(peer, "/h.bin", content, content.size(), {});
            peer.expect("HASH /h.bin");
            peer.send("213 SHA-256 0-4999 " + wrong + " /h.bin");
            serveDownload(peer, "/h.bin", content, content.size(), {}, 0, "226 done", false);
            peer.expect("HASH /h.bin");
            peer.send("213 SHA-256 0-4999 " + right + " /h.bin");
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        const QString target = path(QStringLiteral("h.bin"));
        writeAll(target, "the old file");
        int mode = ftp::BinaryMode;
        try {
            e->GetFile(QStringLiteral("/h.bin"), target, mode);
            QFAIL("a download with a wrong hash was let in");
        } catch (const FtpError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("hash")), qPrintable(error.message()));
        }
        QCOMPARE(readAll(target), QByteArray("the old file"));
        QCOMPARE(partFiles().size(), 1);
        QCOMPARE(e->GetFile(QStringLiteral("/h.bin"), target, mode), 1);
        QCOMPARE(readAll(target), content);
        QVERIFY(partFiles().isEmpty());
        QCOMPARE(server.finish(), QString());

        // HASH without a marked algorithm is set first; an upload is checked with XSHA1
        // where that is all the server offers.
        const QString local = path(QStringLiteral("x.bin"));
        writeAll(local, content);
        ScriptedServer other([&](Peer& peer) {
            peer.login("220 fake ready", "211-Features:\r\n HASH CRC32;SHA-1\r\n211 End");
            peer.expect("TYPE I");
            peer.send("200 binary");
            QTcpSocket* data = peer.openTransfer("RETR /x.bin", "150 here (5000 bytes)");
            peer.sendData(data, content);
            peer.closeData(data);
            peer.send("226 done");
            peer.expect("OPTS HASH SHA-1");
            peer.send("200 SHA-1");
            peer.expect("HASH /x.bin");
            peer.send("213 SHA-1 0-4999 " + hexOf(content, QCryptographicHash::Sha1) + " /x.bin");
        });
        auto o = engine();
        QCOMPARE(o->Connect(other.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        QCOMPARE(o->GetFile(QStringLiteral("/x.bin"), path(QStringLiteral("got.bin")), mode), 1);
        QCOMPARE(other.finish(), QString());

        ScriptedServer older([&](Peer& peer) {
            peer.login("220 fake ready", "211-Features:\r\n XSHA1\r\n XMD5\r\n211 End");
            peer.expect("TYPE I");
            peer.send("200 binary");
            QTcpSocket* data = peer.openTransfer("STOR /x.bin", "150 ok");
            const QByteArray got = peer.receiveData(data);
            peer.send("226 stored");
            peer.expect("XSHA1 /x.bin");
            peer.send("213 " + hexOf(got, QCryptographicHash::Sha1));
            data = peer.openTransfer("STOR /x.bin", "150 ok");
            peer.receiveData(data);
            peer.send("226 stored");
            peer.expect("XSHA1 /x.bin");
            peer.send("213 " + hexOf("something else", QCryptographicHash::Sha1));
        });
        auto u = engine();
        QCOMPARE(u->Connect(older.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        QCOMPARE(u->PutFile(local, QStringLiteral("/"), mode), 1);
        QVERIFY_THROWS_EXCEPTION(FtpError, u->PutFile(local, QStringLiteral("/"), mode));
        QCOMPARE(older.finish(), QString());
    }

    void sizeTakenFromSizeOrTheLastAnnouncement() {
        // A name holding "(5 bytes)" is not the size: the last "(N bytes)" that ends the 150
        // line is, and SIZE where the server offers it.
        const QByteArray content(100, 'c');
        ScriptedServer plain([&](Peer& peer) {
            peer.login();
            peer.expect("TYPE I");
            peer.send("200 binary");
            QTcpSocket* data = peer.openTransfer(
                "RETR /report (5 bytes).txt",
                "150 Opening BINARY mode data connection for report (5 bytes).txt (100 bytes).");
            peer.sendData(data, content);
            peer.closeData(data);
            peer.send("226 done");
        });
        auto e = engine();
        QCOMPARE(e->Connect(plain.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        int mode = ftp::BinaryMode;
        QCOMPARE(e->GetFile(QStringLiteral("/report (5 bytes).txt"), path(QStringLiteral("r1.txt")), mode),
                 1);
        QCOMPARE(plain.finish(), QString());

        ScriptedServer sized([&](Peer& peer) {
            peer.login("220 fake ready", "211-Features:\r\n SIZE\r\n211 End");
            peer.expect("TYPE I");
            peer.send("200 binary");
            peer.expect("SIZE /weird.txt");
            peer.send("213 100");
            QTcpSocket* data =
                peer.openTransfer("RETR /weird.txt", "150 Opening data connection for weird (5 bytes)");
            peer.sendData(data, content);
            peer.closeData(data);
            peer.send("226 done");
        });
        auto s = engine();
        QCOMPARE(s->Connect(sized.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        QCOMPARE(s->GetFile(QStringLiteral("/weird.txt"), path(QStringLiteral("r2.txt")), mode), 1);
        QCOMPARE(readAll(path(QStringLiteral("r2.txt"))), content);
        QCOMPARE(sized.finish(), QString());
    }

    void longNamesAndOwnerOnlyPartFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("250 ASCII bytes") << QString(246, u'a') + QStringLiteral(".bin");
        QTest::newRow("252 bytes of kana") << QString(84, QChar(0x3042));
    }
    void longNamesAndOwnerOnlyPartFiles() {
        QFETCH(QString, name);
        const QString dir = dir_->path();
        ScriptedServer server([&](Peer& peer) {
            peer.login();
            peer.expect("TYPE I");
            peer.send("200 binary");
            QTcpSocket* data = peer.openTransfer("RETR /x", "150 here");
            peer.sendData(data, "some bytes");
            // While the download runs, its part file is within the name limit and owner-only.
            const QStringList parts =
                QDir(dir).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
            if (parts.size() != 1 || QFile::encodeName(parts.constFirst()).size() > 255)
                throw ScriptError{QStringLiteral("part files: %1").arg(parts.join(u' '))};
            const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
                                QFileDevice::WriteOther;
            if (QFile::permissions(dir + u'/' + parts.constFirst()) & others)
                throw ScriptError{QStringLiteral("the part file is open to others")};
            peer.closeData(data);
            peer.send("226 done");
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        int mode = ftp::BinaryMode;
        const QString target = path(name);
        QCOMPARE(e->GetFile(QStringLiteral("/x"), target, mode), 1);
        QCOMPARE(server.finish(), QString());
        QCOMPARE(readAll(target), QByteArray("some bytes"));
        // The finished file has the mode any new file gets.
        QFile reference(path(QStringLiteral("reference")));
        QVERIFY(reference.open(QIODevice::WriteOnly));
        QCOMPARE(QFile::permissions(target), reference.permissions());
    }

    void tricklingTransferStalls() {
        ScriptedServer server([](Peer& peer) {
            peer.login();
            peer.expect("TYPE I");
            peer.send("200 binary");
            QTcpSocket* data = peer.openTransfer("RETR /trickle", "150 here it comes, slowly");
            // A byte every 50 ms: never silent for long, but far below 1 KiB a second.
            QElapsedTimer timer;
            timer.start();
            while (data->state() == QAbstractSocket::ConnectedState && timer.elapsed() < 8'000) {
                peer.sendData(data, "t");
                data->waitForDisconnected(50);
            }
            peer.send("426 transfer aborted");
        });
        auto e = engine(1'000);
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        int mode = ftp::BinaryMode;
        QElapsedTimer timer;
        timer.start();
        try {
            e->GetFile(QStringLiteral("/trickle"), path(QStringLiteral("trickle")), mode);
            QFAIL("a trickling download succeeded");
        } catch (const FtpError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("fewer than")), qPrintable(error.message()));
        }
        QVERIFY2(timer.elapsed() < 4'000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(server.finish(), QString());
    }

    void preliminaryRepliesAfterTheData() {
        const QString local = path(QStringLiteral("p.txt"));
        writeAll(local, "payload");
        ScriptedServer server([](Peer& peer) {
            peer.login();
            peer.expect("TYPE I");
            peer.send("200 binary");
            QTcpSocket* data = peer.openTransfer("RETR /p.txt", "125 Data connection already open");
            peer.sendData(data, "payload");
            peer.closeData(data);
            peer.send("150 more");
            peer.send("226 done");
            data = peer.openTransfer("STOR /p.txt", "125 go ahead");
            if (peer.receiveData(data) != "payload")
                throw ScriptError{QStringLiteral("the upload did not arrive")};
            peer.send("150 more");
            peer.send("226 stored");
            peer.expect("NOOP");
            peer.send("200 fine");
        });
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")), 0);
        int mode = ftp::BinaryMode;
        QCOMPARE(e->GetFile(QStringLiteral("/p.txt"), path(QStringLiteral("got.txt")), mode), 1);
        QCOMPARE(e->PutFile(local, QStringLiteral("/"), mode), 1);
        // The 226s went to the transfers, not to the next command.
        QCOMPARE(e->Command(QStringLiteral("NOOP")), 2);
        QCOMPARE(e->GetReply(), QStringLiteral("200 fine"));
        QCOMPARE(server.finish(), QString());
    }
};

QTEST_GUILESS_MAIN(FtpTransfersTest)
#include "tst_ftptransfers.moc"
