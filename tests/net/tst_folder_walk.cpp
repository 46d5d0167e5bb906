// The folder walks and the queue runner on the engine itself against pyftpdlib, over MLSD
// and over LIST: the tree comes and goes whole (the link loop not followed), with no command
// per file beyond the transfer's own, and the times carried over.
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

namespace {

QString causeOf(const std::exception& e) {
    return QString::fromUtf8(e.what());
}

// Walks `from` into `into` and runs the jobs; then sends `into`'s tree to `upTo`.
void bothWays(ftp::FtpComponent& session, const QString& from, const QString& into, const QString& upTo) {
    RemoteWalk walk([&](const QString& path, bool identify) { return session.ListFolder(path, identify); },
                    causeOf);
    walk.addFolder(from, into);
    JobList down = walk.jobs();
    QueueRunner(session, ftp::BinaryMode, causeOf).run(down, {});
    JobList up = localFolderJobs(QDir(into).filePath(QStringLiteral("tree")), upTo);
    QCOMPARE(session.MakeFolder(upTo), 1);
    QueueRunner(session, ftp::BinaryMode, causeOf).run(up, {});
    for (const TransferJob& job : down + up)
        QVERIFY2(job.state == TransferJob::State::Done,
                 qPrintable(job.shown + QStringLiteral(": ") + job.cause));
}

QStringList failures(const JobList& jobs) {
    QStringList failed;
    for (const TransferJob& job : jobs) {
        if (job.state != TransferJob::State::Done)
            failed.append(job.shown + QStringLiteral(": ") + job.cause);
    }
    return failed;
}

} // namespace

class FolderWalkTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_, local_;
    PyFtpServer server_;

    QString logPath() const { return local_.filePath(QStringLiteral("log.txt")); }
    QStringList transcript() const { return codepage::splitLines(codepage::fromCp932(readAll(logPath()))); }
    qsizetype sent(const QString& verb) const {
        const QStringList lines = transcript();
        return std::count_if(lines.cbegin(), lines.cend(),
                             [&](const QString& line) { return line.startsWith(verb); });
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir(root_.path()).mkpath(QStringLiteral("pub")));
        testing::makeTree(root_.filePath(QStringLiteral("pub")));
        QVERIFY2(server_.start(root_.path()) != 0, qPrintable(server_.errorString()));
    }

    void treeBothWays_data() {
        QTest::addColumn<bool>("mlsd");
        QTest::newRow("MLSD") << true;
        QTest::newRow("LIST") << false;
    }
    void treeBothWays() {
        QFETCH(bool, mlsd);
        const QString into = local_.filePath(mlsd ? QStringLiteral("mlsd") : QStringLiteral("list"));
        QVERIFY(QDir().mkpath(into));
        ftp::FtpEngine engine;
        engine.setMlsdAllowed(mlsd);
        engine.OpenLog(logPath(), 0);
        QCOMPARE(engine.Connect(server_.serverName(), PyFtpServer::kUser, PyFtpServer::kPassword), 0);

        RemoteWalk walk([&](const QString& path, bool identify) { return engine.ListFolder(path, identify); },
                        causeOf);
        walk.addFolder(QStringLiteral("/pub/tree"), into);
        JobList down = walk.jobs();
        QueueRunner(engine, ftp::BinaryMode, causeOf).run(down, {});
        QCOMPARE(failures(down), QStringList());
        QCOMPARE(testing::treeOf(into), testing::kTree);
        const QString binary = QStringLiteral("tree/日本語/ファイル.bin");
        QCOMPARE(readAll(QDir(into).filePath(binary)),
                 readAll(root_.filePath(QStringLiteral("pub/") + binary)));
        // The server's times on the copies (to the minute, as LIST tells them).
        const QDateTime remoteTime =
            QFileInfo(root_.filePath(QStringLiteral("pub/") + binary)).lastModified();
        QVERIFY(qAbs(QFileInfo(QDir(into).filePath(binary)).lastModified().secsTo(remoteTime)) <
                (mlsd ? 1 : 60));
        // The type once; nothing asked per file: the listings told the sizes.
        QCOMPARE(sent(QStringLiteral("TYPE ")), 1);
        QCOMPARE(sent(QStringLiteral("SIZE ")) + sent(QStringLiteral("MDTM ")), 0);
        QCOMPARE(sent(QStringLiteral("RETR ")), 3);

        const QString upTo = mlsd ? QStringLiteral("/pub/up-mlsd") : QStringLiteral("/pub/up-list");
        JobList up = localFolderJobs(QDir(into).filePath(QStringLiteral("tree")), upTo);
        QCOMPARE(engine.MakeFolder(upTo), 1);
        QueueRunner(engine, ftp::BinaryMode, causeOf).run(up, {});
        QCOMPARE(failures(up), QStringList());
        QCOMPARE(testing::treeOf(root_.filePath(upTo.mid(1))), testing::kTree);
        // Each folder made once; each file stored, checked and given its time, no more.
        QCOMPARE(sent(QStringLiteral("MKD ")), 1 + 5);
        QCOMPARE(sent(QStringLiteral("STOR ")), 3);
        QCOMPARE(sent(QStringLiteral("SIZE ")), 3);
        QCOMPARE(sent(QStringLiteral("MFMT ")), 3);
        QCOMPARE(sent(QStringLiteral("TYPE ")), 1);
        const QString stored = root_.filePath(upTo.mid(1) + QStringLiteral("/tree/sub/deep/x.bin"));
        QCOMPARE(QFileInfo(stored).lastModified().toSecsSinceEpoch(),
                 QFileInfo(QDir(into).filePath(QStringLiteral("tree/sub/deep/x.bin")))
                     .lastModified()
                     .toSecsSinceEpoch());
        engine.Close();
    }

    void sftpTreeBothWays() {
        QTemporaryDir home;
        qputenv("HOME", home.path().toUtf8());
        qunsetenv("SSH_AUTH_SOCK");
        testing::SshServer ssh;
        QVERIFY2(ssh.start(root_.path()), qPrintable(ssh.errorString()));
        const QString keys = home.filePath(QStringLiteral(".ssh"));
        QVERIFY(QDir().mkpath(keys));
        QVERIFY(testing::SshServer::makeKey(keys + QStringLiteral("/id_ed25519")));
        ssh.authorize(keys + QStringLiteral("/id_ed25519.pub"));
        testing::writeAll(keys + QStringLiteral("/known_hosts"), ssh.knownHostsLine());
        ftp::sftp::SftpEngine engine;
        QCOMPARE(engine.Connect(ssh.serverName(), testing::SshServer::keyUser(), QString()), 0);
        const QString into = local_.filePath(QStringLiteral("sftp"));
        QVERIFY(QDir().mkpath(into));
        const QString pub = engine.loginFolder() + QStringLiteral("/pub");
        bothWays(engine, pub + QStringLiteral("/tree"), into, pub + QStringLiteral("/up-sftp"));
        QCOMPARE(testing::treeOf(into), testing::kTree);
        QCOMPARE(testing::treeOf(root_.filePath(QStringLiteral("pub/up-sftp"))), testing::kTree);
        const QString x = QStringLiteral("/tree/sub/deep/x.bin");
        QCOMPARE(
            QFileInfo(root_.filePath(QStringLiteral("pub/up-sftp") + x)).lastModified().toSecsSinceEpoch(),
            QFileInfo(root_.filePath(QStringLiteral("pub") + x)).lastModified().toSecsSinceEpoch());
        engine.Close();
    }
};

QTEST_GUILESS_MAIN(FolderWalkTest)
#include "tst_folder_walk.moc"
