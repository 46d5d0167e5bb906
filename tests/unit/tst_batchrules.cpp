// Text rules of the batches: where several files go, what a desktop drop names, and that
// a drag of remote entries is taken only by the window it came out of.
#include "ftp/rules/BatchRules.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using transferrules::SaveTo;

class BatchRulesTest : public QObject {
    Q_OBJECT
private slots:
    void namesTheRemoteFolder_data() {
        QTest::addColumn<QString>("remoteDir");
        QTest::addColumn<QString>("folder");
        QTest::newRow("nothing listed yet") << ""
                                            << "/";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("folder") << "/pub"
                                << "/pub/";
        QTest::newRow("typed with a separator") << "/pub/"
                                                << "/pub/";
        QTest::newRow("doubled separators kept") << "//pub//"
                                                 << "//pub//";
    }
    void namesTheRemoteFolder() {
        QFETCH(QString, remoteDir);
        QFETCH(QString, folder);
        QCOMPARE(batchrules::remoteFolder(remoteDir), folder);
    }

    // Where a single download from the same box would put a file.
    void namesTheDownloadFolder_data() {
        QTest::addColumn<QString>("saveTo");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("folder");
        QTest::newRow("as 選択 leaves it") << "/dl/" << int(SaveTo::Other) << "/dl/";
        QTest::newRow("folder without separator") << "/dl" << int(SaveTo::Folder) << "/dl/";
        QTest::newRow("a file in the folder") << "/dl/a.txt" << int(SaveTo::File) << "/dl/";
        QTest::newRow("nothing there") << "/dl/x" << int(SaveTo::Other) << "/dl/";
        QTest::newRow("bare name") << "dl" << int(SaveTo::Other) << "";
    }
    void namesTheDownloadFolder() {
        QFETCH(QString, saveTo);
        QFETCH(int, kind);
        QFETCH(QString, folder);
        QCOMPARE(batchrules::downloadFolder(saveTo, SaveTo(kind)), folder);
    }

    void takesLocalFilesAndFoldersFromADrop() {
        QTemporaryDir dir;
        const QString file = QDir::toNativeSeparators(dir.filePath(QStringLiteral("a.txt")));
        const QString folder = QDir::toNativeSeparators(dir.filePath(QStringLiteral("sub")));
        QFile(file).open(QIODevice::WriteOnly);
        QDir(dir.path()).mkdir(QStringLiteral("sub"));
        QVERIFY(QFile::link(folder, dir.filePath(QStringLiteral("link"))));
        QVERIFY(QFile::link(file, dir.filePath(QStringLiteral("filelink"))));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file), QUrl::fromLocalFile(folder), QUrl::fromLocalFile(file),
                      QUrl(QStringLiteral("https://example.com/b.txt")),
                      QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.txt"))),
                      QUrl::fromLocalFile(dir.filePath(QStringLiteral("link"))),
                      QUrl::fromLocalFile(dir.filePath(QStringLiteral("filelink")))});
        const batchrules::Entries entries = batchrules::localEntries(data);
        QCOMPARE(entries.files,
                 (QStringList{file, QDir::toNativeSeparators(dir.filePath(QStringLiteral("filelink")))}));
        QCOMPARE(entries.folders, QStringList{folder});

        QMimeData text;
        text.setText(file); // a path as plain text is no drop of files
        QVERIFY(batchrules::localEntries(text).isEmpty());
    }

    void takesRemoteEntriesOnlyFromTheirWindow() {
        const batchrules::Entries sent{{QStringLiteral("/pub/a.txt"), QStringLiteral("/pub/b c.txt")},
                                       {QStringLiteral("//sub")}};
        const std::unique_ptr<QMimeData> data(batchrules::remoteEntriesData(sent, QStringLiteral("1:2")));
        const auto taken = batchrules::remoteEntriesOf(*data, QStringLiteral("1:2"));
        QVERIFY(taken);
        QCOMPARE(taken->files, sent.files);
        QCOMPARE(taken->folders, sent.folders);
        QVERIFY(!batchrules::remoteEntriesOf(*data, QStringLiteral("1:3")));
        QMimeData garbage;
        garbage.setData(batchrules::kRemoteEntriesType, "\x01\x02");
        QVERIFY(!batchrules::remoteEntriesOf(garbage, QStringLiteral("1:2")));
    }
};

QTEST_GUILESS_MAIN(BatchRulesTest)
#include "tst_batchrules.moc"
