// Where the program keeps its files: beside a writable executable as before, in the
// per-user data folder once installed, and the files that come with the program from the
// user's copy or else from the shared folder of the installed root.
#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using apppaths::ProgramFolders;

namespace {
void touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}
} // namespace

class AppPathsTest : public QObject {
    Q_OBJECT

private slots:
    void aWritableFolderKeepsEverythingBesideTheProgram() {
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("bin")));
        const ProgramFolders folders = apppaths::programFolders(root.path() + QStringLiteral("/bin"), true,
                                                                QStringLiteral("/home/u/.local/share"));
        QVERIFY(!folders.installed());
        QCOMPARE(folders.application, root.path() + QStringLiteral("/bin/"));
        QCOMPARE(apppaths::programFile(folders, QStringLiteral("PUPU.wav")),
                 root.path() + QStringLiteral("/bin/PUPU.wav"));
    }

    // Not writable (installed under /usr), or an installed root wherever it lies (the
    // share folder beside bin), even for a user who may write there, such as root.
    void anInstalledProgramUsesThePerUserFolder_data() {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("withShareFolder");
        QTest::newRow("read-only folder") << false << false;
        QTest::newRow("installed root") << true << true;
        QTest::newRow("read-only installed root") << false << true;
    }
    void anInstalledProgramUsesThePerUserFolder() {
        QFETCH(bool, writable);
        QFETCH(bool, withShareFolder);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("usr/bin")));
        if (withShareFolder)
            QVERIFY(QDir(root.path()).mkpath(QStringLiteral("usr/share/tesselftp")));
        const ProgramFolders folders = apppaths::programFolders(
            root.path() + QStringLiteral("/usr/bin"), writable, root.path() + QStringLiteral("/data"));
        QVERIFY(folders.installed());
        QCOMPARE(folders.application, root.path() + QStringLiteral("/data/TesselFTP/"));
        QCOMPARE(folders.shared, root.path() + QStringLiteral("/usr/share/tesselftp/"));
    }

    void theUsersCopyOfAProgramFileComesFirst() {
        QTemporaryDir root;
        const ProgramFolders folders{root.path() + QStringLiteral("/mine/"),
                                     root.path() + QStringLiteral("/shared/")};
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("mine")));
        QCOMPARE(apppaths::programFile(folders, QStringLiteral("FtpHelp.htm")),
                 root.path() + QStringLiteral("/shared/FtpHelp.htm"));
        touch(root.path() + QStringLiteral("/mine/FtpHelp.htm"));
        QCOMPARE(apppaths::programFile(folders, QStringLiteral("FtpHelp.htm")),
                 root.path() + QStringLiteral("/mine/FtpHelp.htm"));
        QCOMPARE(apppaths::programFile(folders, QStringLiteral("PUPU.wav")),
                 root.path() + QStringLiteral("/shared/PUPU.wav"));
    }

    void thePerUserFolderIsCreatedForItsOwnerOnly() {
        QTemporaryDir root;
        const QString folder = root.path() + QStringLiteral("/data/TesselFTP");
        QVERIFY(apppaths::ensurePrivateFolder(folder));
        QCOMPARE(QFileInfo(folder).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // An existing folder is used as it is.
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ReadGroup | QFile::ExeGroup));
        QVERIFY(apppaths::ensurePrivateFolder(folder));
        QVERIFY(QFileInfo(folder).permissions() & QFile::ReadGroup);
        touch(root.path() + QStringLiteral("/file"));
        QVERIFY(!apppaths::ensurePrivateFolder(root.path() + QStringLiteral("/file/sub")));
    }
};

QTEST_GUILESS_MAIN(AppPathsTest)
#include "tst_apppaths.moc"
