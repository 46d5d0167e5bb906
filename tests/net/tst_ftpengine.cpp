// The FTP engine against a real server: pyftpdlib on 127.0.0.1.
#include "ftp/component/FtpEngine.h"
#include "platform/Codepage.h"
#include "support/Files.h"
#include "support/PyFtpServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using ftp::FtpEngine;
using ftp::FtpError;
using testing::PyFtpServer;

using testing::randomBytes;
using testing::readAll;
using testing::writeAll;

namespace {

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

QStringList namesOf(const ftp::DirList& list) {
    return list ? *list : QStringList();
}

} // namespace

class FtpEngineNetTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    QTemporaryDir local_;
    PyFtpServer server_;

    QString rootPath(const QString& name) const { return root_.filePath(name); }
    QString localPath(const QString& name) const { return local_.filePath(name); }
    QString logPath() const { return local_.filePath(QStringLiteral("state/TesselFTP/log.txt")); }

    // A logged-in engine with short timeouts and its transcript at logPath().
    std::unique_ptr<FtpEngine> login(const QString& user = PyFtpServer::kUser,
                                     const QString& password = PyFtpServer::kPassword) {
        auto engine = std::make_unique<FtpEngine>();
        engine->setTimeouts({5'000, 10'000, 10'000});
        engine->OpenLog(logPath(), 0);
        const int result = engine->Connect(server_.serverName(), user, password);
        if (result != 0)
            qWarning("Connect returned %d", result);
        return engine;
    }

    QStringList transcript() const { return codepage::splitLines(codepage::fromCp932(readAll(logPath()))); }

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid() && local_.isValid());
        QDir dir(root_.path());
        writeAll(rootPath(QStringLiteral("readme.txt")), "hello\nworld\n");
        writeAll(rootPath(QStringLiteral("file with space.txt")), "spaces\n");
        writeAll(rootPath(QStringLiteral("  leading blanks.txt")), "lead\n");
        writeAll(rootPath(QStringLiteral("テスト.txt")), "japanese\n");
        QVERIFY(dir.mkdir(QStringLiteral("sub")));
        writeAll(rootPath(QStringLiteral("sub/nested.txt")), "nested\n");
        QVERIFY(dir.mkdir(QStringLiteral("dir with space")));
        writeAll(rootPath(QStringLiteral("dir with space/inner.txt")), "inner\n");
        QVERIFY(dir.mkdir(QStringLiteral("empty")));
        QVERIFY(dir.mkdir(QStringLiteral("日本語フォルダ")));
        QVERIFY(QFile::link(QStringLiteral("sub"), rootPath(QStringLiteral("link-to-sub"))));
        QVERIFY(QFile::link(QStringLiteral("readme.txt"), rootPath(QStringLiteral("link-to-readme"))));
        QVERIFY(QFile::link(QStringLiteral("does-not-exist"), rootPath(QStringLiteral("broken-link"))));
        QVERIFY(dir.mkdir(QStringLiteral("only-folders")));
        QVERIFY(dir.mkdir(QStringLiteral("only-folders/a")));
        QVERIFY(dir.mkdir(QStringLiteral("work")));

        QVERIFY2(server_.start(root_.path()) != 0, qPrintable(server_.errorString()));
    }

    void loginAcceptedAndRefused() {
        auto engine = login();
        QCOMPARE(engine->loginFolder(), QStringLiteral("/"));
        QVERIFY(engine->features().utf8);
        QVERIFY(engine->features().mlsd);
        QVERIFY(engine->features().epsv);
        QVERIFY(engine->features().size);
        engine->Close();

        FtpEngine refused;
        refused.setTimeouts({5'000, 10'000, 10'000});
        QCOMPARE(refused.Connect(server_.serverName(), PyFtpServer::kUser, QStringLiteral("wrong")),
                 int(ftp::ConnectLoginRefused));
        QVERIFY_THROWS_EXCEPTION(FtpError, refused.GetDir(QString()));

        // A host name is looked up; "localhost" may give ::1 first, where nothing
        // listens, and the next address is tried.
        FtpEngine byName;
        byName.setTimeouts({5'000, 10'000, 10'000});
        QCOMPARE(byName.Connect(QStringLiteral("ftp://localhost:%1").arg(server_.port()), PyFtpServer::kUser,
                                PyFtpServer::kPassword),
                 int(ftp::ConnectOk));
        byName.Close();

        FtpEngine anonymous;
        QCOMPARE(anonymous.Connect(server_.serverName(), QStringLiteral("anonymous"),
                                   QStringLiteral("me@example.")),
                 int(ftp::ConnectOk));
        anonymous.Close();
    }

    void connectFailuresAreNumbersNotErrors() {
        FtpEngine engine;
        engine.setTimeouts({2'000, 2'000, 2'000});
        QCOMPARE(engine.Connect(QString(), QString(), QString()), int(ftp::ConnectBadServerName));
        QCOMPARE(engine.Connect(QStringLiteral("127.0.0.1:70000"), QString(), QString()),
                 int(ftp::ConnectBadServerName));
        // A port nobody listens on: the server's port once the server is gone is not
        // safe (reuse), so take one from a listener that is then closed.
        PyFtpServer other;
        QTemporaryDir dir;
        const quint16 port = other.start(dir.path());
        QVERIFY(port != 0);
        other.stop();
        QCOMPARE(engine.Connect(QStringLiteral("127.0.0.1:%1").arg(port), QString(), QString()),
                 int(ftp::ConnectRefused));
    }

    void listingsThroughMlsdAndList_data() {
        QTest::addColumn<bool>("mlsd");
        QTest::newRow("MLSD") << true;
        QTest::newRow("LIST") << false;
    }
    void listingsThroughMlsdAndList() {
        QFETCH(bool, mlsd);
        auto engine = login();
        engine->setMlsdAllowed(mlsd);

        // Links are told apart by changing into them: link-to-sub leads to a folder.
        const QStringList folders{
            QStringLiteral("dir with space"), QStringLiteral("empty"), QStringLiteral("link-to-sub"),
            QStringLiteral("only-folders"),   QStringLiteral("sub"),   QStringLiteral("work"),
            QStringLiteral("日本語フォルダ")};
        QStringList files{QStringLiteral("  leading blanks.txt"), QStringLiteral("file with space.txt"),
                          QStringLiteral("link-to-readme"), QStringLiteral("readme.txt"),
                          QStringLiteral("テスト.txt")};
        if (!mlsd)
            files.append(QStringLiteral("broken-link")); // pyftpdlib's MLSD leaves it out
        for (const QString& path : {QString(), QStringLiteral("/"), QStringLiteral("//")}) {
            QCOMPARE(sorted(namesOf(engine->GetDir(path, 1))), sorted(folders));
            QCOMPARE(sorted(namesOf(engine->GetDir(path))), sorted(files));
        }
        // Server order is kept: the folder list follows the order of the listing.
        const QStringList folderList = namesOf(engine->GetDir(QString(), 1));
        QCOMPARE(folderList.size(), folders.size());

        QCOMPARE(namesOf(engine->GetDir(QStringLiteral("/dir with space"))),
                 QStringList{QStringLiteral("inner.txt")});
        QCOMPARE(engine->GetDir(QStringLiteral("/dir with space"), 1), ftp::DirList());
        QCOMPARE(namesOf(engine->GetDir(QStringLiteral("/link-to-sub"))),
                 QStringList{QStringLiteral("nested.txt")});
        QCOMPARE(namesOf(engine->GetDir(QStringLiteral("sub"))), QStringList{QStringLiteral("nested.txt")});
        QCOMPARE(namesOf(engine->GetDir(QStringLiteral("/only-folders"), 1)),
                 QStringList{QStringLiteral("a")});
        QCOMPARE(engine->GetDir(QStringLiteral("/only-folders")), ftp::DirList());
        // An empty folder has nothing to list, in either list.
        QCOMPARE(engine->GetDir(QStringLiteral("/empty"), 1), ftp::DirList());
        QCOMPARE(engine->GetDir(QStringLiteral("/empty")), ftp::DirList());
        // A missing folder is an error, and the session goes on.
        QVERIFY_THROWS_EXCEPTION(FtpError, engine->GetDir(QStringLiteral("/missing"), 1));
        QVERIFY_THROWS_EXCEPTION(FtpError, engine->GetDir(QStringLiteral("/readme.txt")));
        QVERIFY(engine->GetDir(QStringLiteral("/sub")).has_value());
        // A path that would end the command line is refused before anything is sent.
        const qsizetype before = transcript().size();
        QVERIFY_THROWS_EXCEPTION(FtpError, engine->GetDir(QStringLiteral("/sub\r\nDELE /readme.txt")));
        QCOMPARE(transcript().size(), before);
        QVERIFY(QFile::exists(rootPath(QStringLiteral("readme.txt"))));
        engine->Close();
    }

    void oneListingServesBothCalls() {
        auto engine = login();
        engine->GetDir(QStringLiteral("/sub"), 1);
        const qsizetype afterFirst = transcript().size();
        engine->GetDir(QStringLiteral("/sub"));
        QCOMPARE(transcript().size(), afterFirst);
        // Anything sent in between makes the next call list again.
        QCOMPARE(engine->Command(QStringLiteral("NOOP")), 2);
        const qsizetype afterNoop = transcript().size();
        engine->GetDir(QStringLiteral("/sub"));
        QVERIFY(transcript().size() > afterNoop);
        // Asking for the folders again lists afresh: a file added meanwhile shows up.
        writeAll(rootPath(QStringLiteral("sub/added-later.txt")), QByteArray("x"));
        engine->GetDir(QStringLiteral("/sub"), 1);
        QVERIFY(namesOf(engine->GetDir(QStringLiteral("/sub"))).contains(QStringLiteral("added-later.txt")));
        // Another path lists again, too.
        const qsizetype afterSecond = transcript().size();
        engine->GetDir(QStringLiteral("/dir with space"));
        QVERIFY(transcript().size() > afterSecond);
        engine->Close();
    }

    void uploadAndDownloadBinary() {
        auto engine = login();
        const QByteArray data = randomBytes(3 * 1024 * 1024 + 17, 42);
        writeAll(localPath(QStringLiteral("data.bin")), data);
        int mode = ftp::BinaryMode;
        QCOMPARE(engine->PutFile(localPath(QStringLiteral("data.bin")), QStringLiteral("/work/"), mode), 1);
        QCOMPARE(readAll(rootPath(QStringLiteral("work/data.bin"))), data);
        QVERIFY(namesOf(engine->GetDir(QStringLiteral("/work"))).contains(QStringLiteral("data.bin")));

        QCOMPARE(
            engine->GetFile(QStringLiteral("/work/data.bin"), localPath(QStringLiteral("back.bin")), mode),
            1);
        QCOMPARE(QCryptographicHash::hash(readAll(localPath(QStringLiteral("back.bin"))),
                                          QCryptographicHash::Sha256),
                 QCryptographicHash::hash(data, QCryptographicHash::Sha256));
        QCOMPARE(mode, int(ftp::BinaryMode));
        QCOMPARE(engine->Command(QStringLiteral("SIZE /work/data.bin")), 2);
        QCOMPARE(engine->GetReply(), QStringLiteral("213 %1").arg(data.size()));
        engine->Close();
    }

    void uploadAndDownloadText() {
        auto engine = login();
        // LF becomes CR LF on the wire (the server stores its own line end, LF); CR LF
        // already in the file is not doubled.
        writeAll(localPath(QStringLiteral("text.txt")), "one\ntwo\r\nthree\n\nlast");
        int mode = ftp::TextMode;
        QCOMPARE(engine->PutFile(localPath(QStringLiteral("text.txt")), QStringLiteral("/work/"), mode), 1);
        QCOMPARE(readAll(rootPath(QStringLiteral("work/text.txt"))), QByteArray("one\ntwo\nthree\n\nlast"));
        // Back in binary afterwards: pyftpdlib refuses SIZE in ASCII mode.
        QCOMPARE(engine->Command(QStringLiteral("SIZE /work/text.txt")), 2);

        // The server sends CR LF in ASCII mode; the local file gets LF.
        writeAll(rootPath(QStringLiteral("work/lines.txt")), "alpha\nbeta\n\ngamma\n");
        QCOMPARE(
            engine->GetFile(QStringLiteral("/work/lines.txt"), localPath(QStringLiteral("lines.txt")), mode),
            1);
        QCOMPARE(readAll(localPath(QStringLiteral("lines.txt"))), QByteArray("alpha\nbeta\n\ngamma\n"));
        QCOMPARE(engine->Command(QStringLiteral("SIZE /work/lines.txt")), 2);
        const QStringList log = transcript();
        QVERIFY(log.contains(QStringLiteral("TYPE A")));
        QCOMPARE(log.at(log.lastIndexOf(QStringLiteral("TYPE A")) + 2), QStringLiteral("EPSV"));
        engine->Close();
    }

    void japaneseNamesGoBothWays() {
        auto engine = login();
        writeAll(localPath(QStringLiteral("日本語.txt")), "nihongo\n");
        int mode = ftp::BinaryMode;
        QCOMPARE(engine->PutFile(localPath(QStringLiteral("日本語.txt")), QStringLiteral("/work/"), mode), 1);
        QVERIFY(QFile::exists(rootPath(QStringLiteral("work/日本語.txt"))));
        QCOMPARE(
            engine->GetFile(QStringLiteral("/テスト.txt"), localPath(QStringLiteral("テスト.txt")), mode), 1);
        QCOMPARE(readAll(localPath(QStringLiteral("テスト.txt"))), QByteArray("japanese\n"));
        QVERIFY(namesOf(engine->GetDir(QStringLiteral("/日本語フォルダ"), 1)).isEmpty());
        // The transcript is CP932: the command with the name reads back intact.
        QVERIFY(transcript().contains(QStringLiteral("RETR /テスト.txt")));
        engine->Close();
    }

    void failedDownloadLeavesTargetAlone() {
        auto engine = login();
        const QString target = localPath(QStringLiteral("keep.txt"));
        writeAll(target, "old content");
        int mode = ftp::BinaryMode;
        try {
            engine->GetFile(QStringLiteral("/missing.txt"), target, mode);
            QFAIL("a missing file downloaded");
        } catch (const FtpError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("550")), qPrintable(e.message()));
        }
        QCOMPARE(readAll(target), QByteArray("old content"));
        const QStringList leftovers =
            QDir(local_.path()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden);
        QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(u',')));
        // A successful download replaces it.
        QCOMPARE(engine->GetFile(QStringLiteral("/readme.txt"), target, mode), 1);
        QCOMPARE(readAll(target), QByteArray("hello\nworld\n"));
        // A folder as target is refused before anything is sent.
        QVERIFY_THROWS_EXCEPTION(FtpError,
                                 engine->GetFile(QStringLiteral("/readme.txt"), local_.path() + u'/', mode));
        engine->Close();
    }

    void anonymousMayOnlyRead() {
        auto engine = login(QStringLiteral("anonymous"), QStringLiteral("guest@"));
        writeAll(localPath(QStringLiteral("anon.txt")), "x");
        int mode = ftp::BinaryMode;
        try {
            engine->PutFile(localPath(QStringLiteral("anon.txt")), QStringLiteral("/"), mode);
            QFAIL("anonymous upload accepted");
        } catch (const FtpError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("550")), qPrintable(e.message()));
        }
        QVERIFY(!QFile::exists(rootPath(QStringLiteral("anon.txt"))));
        QCOMPARE(engine->DeleteFile(QStringLiteral("/readme.txt")), 0);
        QVERIFY(engine->GetDir(QString()).has_value());
        engine->Close();
    }

    void deleteFile() {
        auto engine = login();
        writeAll(rootPath(QStringLiteral("work/doomed.txt")), "bye");
        QVERIFY(engine->DeleteFile(QStringLiteral("/work/doomed.txt")) != 0);
        QVERIFY(!QFile::exists(rootPath(QStringLiteral("work/doomed.txt"))));
        QCOMPARE(engine->DeleteFile(QStringLiteral("/work/doomed.txt")), 0);
        engine->Close();
    }

    void commands() {
        auto engine = login();
        QCOMPARE(engine->Command(QStringLiteral("MKD /work/made")), 2);
        QVERIFY(QFileInfo(rootPath(QStringLiteral("work/made"))).isDir());
        QCOMPARE(engine->Command(QStringLiteral("MKD /work/made")), 5);
        QCOMPARE(engine->Command(QStringLiteral("RMD /work/made")), 2);
        QVERIFY(!QFileInfo::exists(rootPath(QStringLiteral("work/made"))));
        QCOMPARE(engine->Command(QStringLiteral("SIZE /readme.txt")), 2);
        QCOMPARE(engine->GetReply(), QStringLiteral("213 12"));
        QCOMPARE(transcript().constLast(), QStringLiteral("213 12"));
        QCOMPARE(engine->Command(QStringLiteral("CWD /sub")), 2);
        QCOMPARE(engine->Command(QStringLiteral("CDUP")), 2);
        QCOMPARE(engine->Command(QStringLiteral("PWD")), 2);
        QCOMPARE(transcript().constLast(), QStringLiteral("257 \"/\" is the current directory."));
        QCOMPARE(engine->Command(QStringLiteral("HELP")), 2);
        QVERIFY(engine->GetReply().count(u'\n') > 2); // the whole multi-line reply
        QVERIFY(transcript().constLast().startsWith(QStringLiteral("214 ")));
        QCOMPARE(engine->Command(QStringLiteral("XYZZY")), 5);
        // Commands answered over a data connection get one and complete.
        QCOMPARE(engine->Command(QStringLiteral("LIST")), 2);
        QCOMPARE(engine->Command(QStringLiteral("NLST /sub")), 2);
        QCOMPARE(engine->Command(QStringLiteral("NOOP")), 2);
        // An upload needs a file; a line break never leaves the program.
        const qsizetype before = transcript().size();
        QVERIFY_THROWS_EXCEPTION(FtpError, engine->Command(QStringLiteral("STOR /x.txt")));
        QVERIFY_THROWS_EXCEPTION(FtpError, engine->Command(QStringLiteral("NOOP\r\nDELE /readme.txt")));
        QVERIFY_THROWS_EXCEPTION(FtpError, engine->Command(QStringLiteral("NOOP\nX")));
        QVERIFY_THROWS_EXCEPTION(FtpError, engine->Command(QStringLiteral("NOOP") + QChar(0)));
        QCOMPARE(transcript().size(), before);
        QCOMPARE(engine->Command(QStringLiteral("NOOP")), 2);
        engine->Close();
    }

    void transcriptLines() {
        writeAll(logPath(), "an older log\r\n");
        QFile::setPermissions(logPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        auto engine = login();
        const QStringList log = transcript();
        QVERIFY(log.size() >= 8);
        QCOMPARE(log.at(0), QStringLiteral("220 pyftpdlib ready."));
        QCOMPARE(log.at(1), QStringLiteral("USER user"));
        // "331 Username ok, send password.": quoted for its comma.
        QVERIFY(log.at(2).startsWith(QStringLiteral("\"331 ")));
        QCOMPARE(log.at(3), QStringLiteral("PASS ****"));
        QVERIFY(log.at(4).startsWith(QStringLiteral("230 ")));
        QCOMPARE(log.at(5), QStringLiteral("FEAT"));
        QVERIFY(log.at(6).startsWith(QStringLiteral("211-")));
        // An inner line of the FEAT reply carries its code, as the server's own.
        QVERIFY(log.contains(QStringLiteral("211- UTF8")));
        // No type at login: the first transfer that needs one sets it. PWD goes out behind
        // OPTS UTF8 ON, before its answer (here a refusal), as the lines crossed the wire.
        QVERIFY(!log.contains(QStringLiteral("TYPE I")));
        QCOMPARE(log.mid(log.size() - 4, 3),
                 (QStringList{QStringLiteral("OPTS UTF8 ON"), QStringLiteral("PWD"),
                              QStringLiteral("501 Invalid argument.")}));
        QCOMPARE(log.constLast(), QStringLiteral("257 \"/\" is the current directory."));
        QVERIFY(!log.contains(QStringLiteral("an older log")));
        // Owner-only, although the older file could be read by others.
        const QFile::Permissions permissions = QFile::permissions(logPath());
        QVERIFY(permissions.testFlags(QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(
            !(permissions & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther)));
        QVERIFY(!(QFile::permissions(QFileInfo(logPath()).absolutePath()) &
                  (QFile::ReadOther | QFile::ReadGroup)));

        QCOMPARE(engine->Command(QStringLiteral("PASS another-secret")), 5);
        const QByteArray raw = readAll(logPath());
        QVERIFY(!raw.contains("secret"));
        QVERIFY(codepage::splitLines(codepage::fromCp932(raw)).contains(QStringLiteral("PASS ****")));
        // Every line ends with CR LF.
        QVERIFY(raw.endsWith("\r\n"));
        QCOMPARE(raw.count("\r\n"), raw.count('\n'));

        engine->CloseLog();
        const QByteArray closed = readAll(logPath());
        QCOMPARE(engine->Command(QStringLiteral("NOOP")), 2);
        QCOMPARE(readAll(logPath()), closed);
        engine->Close();
    }

    void unwritableLogDoesNotBreakTheSession() {
        FtpEngine engine;
        engine.setTimeouts({5'000, 10'000, 10'000});
        // The "folder" of the log is a file: the log cannot be opened.
        writeAll(localPath(QStringLiteral("not-a-folder")), "x");
        QVERIFY(engine.OpenLog(localPath(QStringLiteral("not-a-folder/log.txt")), 0) != 0);
        QCOMPARE(engine.Connect(server_.serverName(), PyFtpServer::kUser, PyFtpServer::kPassword), 0);
        QVERIFY(engine.GetDir(QString()).has_value());
        engine.Close();
    }

    void callsAfterCloseOrDropRaiseAtOnce() {
        auto engine = login();
        engine->Close();
        engine->Close(); // a second Close is harmless
        QVERIFY_THROWS_EXCEPTION(FtpError, engine->GetDir(QString()));
        QVERIFY_THROWS_EXCEPTION(FtpError, engine->Command(QStringLiteral("NOOP")));
        QVERIFY_THROWS_EXCEPTION(FtpError, engine->DeleteFile(QStringLiteral("/readme.txt")));
        QVERIFY_THROWS_EXCEPTION(FtpError, engine->GetReply());
        int mode = ftp::BinaryMode;
        QVERIFY_THROWS_EXCEPTION(
            FtpError, engine->GetFile(QStringLiteral("/readme.txt"), localPath(QStringLiteral("z")), mode));
        QVERIFY_THROWS_EXCEPTION(
            FtpError, engine->Connect(server_.serverName(), PyFtpServer::kUser, PyFtpServer::kPassword));

        // The server goes away under a live session.
        auto dropped = login();
        QCOMPARE(dropped->Command(QStringLiteral("QUIT")), 2);
        QElapsedTimer timer;
        timer.start();
        QVERIFY_THROWS_EXCEPTION(FtpError, dropped->GetDir(QString()));
        QVERIFY_THROWS_EXCEPTION(FtpError, dropped->Command(QStringLiteral("NOOP")));
        QVERIFY(timer.elapsed() < 3'000);
        dropped->Close();
    }

    void cleanupTestCase() { server_.stop(); }
};

QTEST_GUILESS_MAIN(FtpEngineNetTest)
#include "tst_ftpengine.moc"
