// The folder walks and the queue runner on the engines themselves: over FTP with MLSD and with
// LIST against pyftpdlib, and over SFTP against sshd. The tree comes and goes whole (the link
// loop not followed), the times are carried over both ways, and FTP sends no command per file
// beyond the transfer's own.
#include "ftp/component/FtpEngine.h"
#include "ftp/component/sftp/SftpEngine.h"
#include "ftp/folders/FolderWalk.h"
#include "ftp/folders/QueueRunner.h"
#include "platform/Codepage.h"
#include "support/FolderTrees.h"
#include "support/PyFtpServer.h"
#include "support/SshServer.h"

#include <QTemporaryDir>
#include <QTest>

using namespace ftp::folders;
using testing::PyFtpServer;
using testing::readAll;

class FolderWalkTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_, root_, local_;
    PyFtpServer ftpServer_;
    testing::SshServer sshServer_;

    QString pub(const QString& relative) const { return root_.filePath(QStringLiteral("pub/") + relative); }
    QString logPath() const { return local_.filePath(QStringLiteral("log.txt")); }
    int sent(const QString& verb) const {
        const QStringList lines = codepage::splitLines(codepage::fromCp932(readAll(logPath())));
        return int(std::count_if(lines.cbegin(), lines.cend(),
                                 [&](const QString& l) { return l.startsWith(verb); }));
    }
    static qint64 secondsOf(const QString& path) { return QFileInfo(path).lastModified().toSecsSinceEpoch(); }

private slots:
    void initTestCase() {
        QVERIFY(QDir(root_.path()).mkpath(QStringLiteral("pub")));
        testing::makeTree(root_.filePath(QStringLiteral("pub")));
        QVERIFY2(ftpServer_.start(root_.path()) != 0, qPrintable(ftpServer_.errorString()));
        qputenv("HOME", home_.path().toUtf8());
        qunsetenv("SSH_AUTH_SOCK");
        QVERIFY2(sshServer_.start(root_.path()), qPrintable(sshServer_.errorString()));
        const QString keys = home_.filePath(QStringLiteral(".ssh"));
        QVERIFY(QDir().mkpath(keys) && testing::SshServer::makeKey(keys + QStringLiteral("/id_ed25519")));
        sshServer_.authorize(keys + QStringLiteral("/id_ed25519.pub"));
        testing::writeAll(keys + QStringLiteral("/known_hosts"), sshServer_.knownHostsLine());
    }

    void treeBothWays_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FTP, MLSD") << QStringLiteral("mlsd");
        QTest::newRow("FTP, LIST") << QStringLiteral("list");
        QTest::newRow("SFTP") << QStringLiteral("sftp");
    }
    void treeBothWays() {
        QFETCH(QString, kind);
        std::unique_ptr<ftp::FtpComponent> session;
        QString top; // the server's root as the session names it
        if (kind == u"sftp") {
            auto sftp = std::make_unique<ftp::sftp::SftpEngine>();
            QCOMPARE(sftp->Connect(sshServer_.serverName(), testing::SshServer::keyUser(), QString()), 0);
            top = sftp->loginFolder();
            session = std::move(sftp);
        } else {
            auto ftpEngine = std::make_unique<ftp::FtpEngine>();
            ftpEngine->setMlsdAllowed(kind == u"mlsd");
            ftpEngine->OpenLog(logPath(), 0);
            QCOMPARE(ftpEngine->Connect(ftpServer_.serverName(), PyFtpServer::kUser, PyFtpServer::kPassword),
                     0);
            session = std::move(ftpEngine);
        }
        const auto causeOf = [](const std::exception& e) { return QString::fromUtf8(e.what()); };
        const QString into = local_.filePath(kind);
        RemoteWalk walk(
            [&](const QString& path, bool identify) { return session->ListFolder(path, identify); }, causeOf);
        walk.addFolder(top + QStringLiteral("/pub/tree"), into);
        JobList jobs = walk.jobs();
        QueueRunner(*session, ftp::BinaryMode, causeOf).run(jobs, {});
        const QString upTo = top + QStringLiteral("/pub/up-") + kind;
        QCOMPARE(session->MakeFolder(upTo), 1);
        JobList up = localFolderJobs(into + QStringLiteral("/tree"), upTo);
        QueueRunner(*session, ftp::BinaryMode, causeOf).run(up, {});
        for (const TransferJob& job : jobs + up)
            QVERIFY2(job.state == TransferJob::State::Done,
                     qPrintable(job.shown + QStringLiteral(": ") + job.cause));
        session->Close();

        QCOMPARE(testing::treeOf(into), testing::kTree);
        QCOMPARE(testing::treeOf(pub(QStringLiteral("up-")) + kind), testing::kTree);
        const QString binary = QStringLiteral("/tree/日本語/ファイル.bin");
        QCOMPARE(readAll(pub(QStringLiteral("up-") + kind + binary)), readAll(pub(binary)));
        // The server's times on the copies (LIST tells them to the minute), and the copies'
        // times on what went back.
        QVERIFY(qAbs(secondsOf(into + binary) - secondsOf(pub(binary))) < (kind == u"list" ? 60 : 1));
        QCOMPARE(secondsOf(pub(QStringLiteral("up-") + kind + binary)), secondsOf(into + binary));
        if (kind == u"sftp")
            return;
        // The type once; nothing asked per download (the listings told the sizes); each folder
        // made once; each upload stored, checked and given its time.
        const QList<std::pair<const char*, int>> counts = {
            {"TYPE ", 1}, {"MDTM ", 0}, {"RETR ", 3}, {"MKD ", 6}, {"STOR ", 3}, {"SIZE ", 3}, {"MFMT ", 3}};
        for (const auto& [verb, count] : counts)
            QVERIFY2(sent(QLatin1String(verb)) == count, verb);
    }

    void aTextQueueSetsTheTypeOnce() {
        QVERIFY(QDir(root_.path()).mkpath(QStringLiteral("pub/texts")));
        for (const char* name : {"1.txt", "2.txt", "3.txt"})
            testing::writeAll(pub(QStringLiteral("texts/") + QLatin1String(name)), "line\n");
        ftp::FtpEngine engine;
        engine.OpenLog(logPath(), 0);
        QCOMPARE(engine.Connect(ftpServer_.serverName(), PyFtpServer::kUser, PyFtpServer::kPassword), 0);
        const auto causeOf = [](const std::exception& e) { return QString::fromUtf8(e.what()); };
        RemoteWalk walk([&](const QString& path, bool identify) { return engine.ListFolder(path, identify); },
                        causeOf);
        walk.addFolder(QStringLiteral("/pub/texts"), local_.path());
        JobList down = walk.jobs();
        QueueRunner(engine, ftp::TextMode, causeOf).run(down, {});
        QCOMPARE(engine.MakeFolder(QStringLiteral("/pub/texts-up")), 1);
        JobList up =
            localFolderJobs(local_.filePath(QStringLiteral("texts")), QStringLiteral("/pub/texts-up"));
        QueueRunner(engine, ftp::TextMode, causeOf).run(up, {});
        QCOMPARE(testing::treeOf(pub(QStringLiteral("texts-up"))).size(), 4);
        // Text for each whole queue, binary again once it has ended.
        QCOMPARE(sent(QStringLiteral("TYPE A")), 2);
        QCOMPARE(sent(QStringLiteral("TYPE I")), 2);
    }
};

QTEST_GUILESS_MAIN(FolderWalkTest)
#include "tst_folder_walk.moc"
