// Text rules of the local pane and the transfers, and the file-system checks behind the
// local lists.
#include "ftp/rules/LocalFiles.h"
#include "ftp/rules/TransferRules.h"
#include "platform/LocalLists.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using platform::Volume;
using platform::VolumeError;

class LocalPaneRulesTest : public QObject {
    Q_OBJECT
private slots:
    void formatsSizes_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty file") << qint64(0) << QStringLiteral(" 0");
        QTest::newRow("seven digits") << qint64(1234567) << QStringLiteral(" 1234567");
        QTest::newRow("largest plain") << qint64(9999999) << QStringLiteral(" 9999999");
        QTest::newRow("ten million") << qint64(10000000) << QStringLiteral(" 1E+07");
        QTest::newRow("eight digits") << qint64(12345678) << QStringLiteral(" 1.234568E+07");
        QTest::newRow("rounded to single") << qint64(16777217) << QStringLiteral(" 1.677722E+07");
        QTest::newRow("trailing zeros dropped") << qint64(25000000) << QStringLiteral(" 2.5E+07");
        QTest::newRow("2 GiB") << qint64(2147483648LL) << QStringLiteral(" 2.147484E+09");
        QTest::newRow("3 GiB") << qint64(3221225472LL) << QStringLiteral(" 3.221225E+09");
        QTest::newRow("1 TiB") << qint64(1099511627776LL) << QStringLiteral(" 1.099512E+12");
    }
    void formatsSizes() {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(localfiles::formatSize(bytes), text);
    }

    void composesLocalPaths() {
        const QString sep = QDir::separator();
        const QString root = sep;
        const QString work = sep + QStringLiteral("work");
        QCOMPARE(localfiles::composePath(root, QStringLiteral("a.txt")), sep + QStringLiteral("a.txt"));
        QCOMPARE(localfiles::composePath(work, QStringLiteral("a.txt")),
                 work + sep + QStringLiteral("a.txt"));
        // No file selected: the folder, ending in its separator, as the download expects it.
        QCOMPARE(localfiles::composePath(work, QString()), work + sep);
        QCOMPARE(localfiles::composePath(root, QString()), root);
    }

    void checksNamesForADot() {
        QVERIFY(!transferrules::hasDot(QString()));
        QVERIFY(!transferrules::hasDot(QStringLiteral("/data/readme")));
        QVERIFY(transferrules::hasDot(QStringLiteral("/old.files/readme")));
    }

    void choosesTheDownloadName_data() {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("selected entry") << "a.txt"
                                        << "/pub/a.txt"
                                        << "a.txt" << true;
        QTest::newRow("path edited by hand") << "a.txt"
                                             << "/pub/b.txt"
                                             << "b.txt" << true;
        QTest::newRow("edited to a longer name") << "a.txt"
                                                 << "/pub/xa.txt"
                                                 << "xa.txt" << true;
        QTest::newRow("nothing selected") << ""
                                          << "/pub/c.txt"
                                          << "c.txt" << true;
        QTest::newRow("path without separator") << ""
                                                << "c.txt"
                                                << "c.txt" << true;
        QTest::newRow("entry with a slash") << "x/y.txt"
                                            << "/pub/x/y.txt"
                                            << "x/y.txt" << false;
        QTest::newRow("entry with a backslash") << "x\\y.txt"
                                                << "/pub/x\\y.txt"
                                                << "x\\y.txt" << false;
        QTest::newRow("parent folder") << ""
                                       << "/pub.d/.."
                                       << ".." << false;
        QTest::newRow("this folder") << ""
                                     << "/pub.d/."
                                     << "." << false;
        QTest::newRow("trailing separator") << ""
                                            << "/pub.d/"
                                            << "" << false;
        QTest::newRow("escape sequence") << ""
                                         << "/pub/\x1b[31mred.txt"
                                         << "\x1b[31mred.txt" << false;
        QTest::newRow("tab") << ""
                             << "/pub/a\tb.txt"
                             << "a\tb.txt" << false;
        QTest::newRow("delete") << ""
                                << "/pub/a\x7f.txt"
                                << "a\x7f.txt" << false;
        QTest::newRow("right-to-left override") << ""
                                                << "/pub/invoice\u202Etxt.exe"
                                                << "invoice\u202Etxt.exe" << false;
        QTest::newRow("zero-width space") << ""
                                          << "/pub/a\u200B.txt"
                                          << "a\u200B.txt" << false;
        QTest::newRow("C1 control") << ""
                                    << "/pub/a\u009B.txt"
                                    << "a\u009B.txt" << false;
        QTest::newRow("line separator") << ""
                                        << "/pub/a\u2028.txt"
                                        << "a\u2028.txt" << false;
        QTest::newRow("emoji and kana") << ""
                                        << "/pub/\U0001F600かな.txt"
                                        << "\U0001F600かな.txt" << true;
        QTest::newRow("dot file") << ""
                                  << "/pub/.profile"
                                  << ".profile" << true;
    }
    void choosesTheDownloadName() {
        QFETCH(QString, selected);
        QFETCH(QString, remote);
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(transferrules::downloadName(selected, remote), name);
        QCOMPARE(transferrules::isSafeLocalName(name), safe);
    }

    void composesTheDownloadTarget() {
        const QString sep = QDir::separator();
        const QString dl = sep + QStringLiteral("dl");
        const QString name = QStringLiteral("a.txt");
        using transferrules::SaveTo;
        QCOMPARE(transferrules::downloadTarget(dl + sep, name, SaveTo::Folder), dl + sep + name);
        QCOMPARE(transferrules::downloadTarget(dl + QStringLiteral("/"), name, SaveTo::Folder),
                 dl + QStringLiteral("/") + name);
        // An existing folder typed without its separator receives the file.
        QCOMPARE(transferrules::downloadTarget(dl, name, SaveTo::Folder), dl + sep + name);
        // An existing file: the download goes beside it, under the remote name.
        const QString file = dl + QStringLiteral(".x") + sep + QStringLiteral("random.bin");
        QCOMPARE(transferrules::downloadTarget(file, name, SaveTo::File),
                 dl + QStringLiteral(".x") + sep + name);
        // Anything else is joined as typed.
        QCOMPARE(transferrules::downloadTarget(dl, name, SaveTo::Other), dl + name);
    }

    void findsTheVolumeOfAFolder() {
        const QString sep = QDir::separator();
        const QList<Volume> volumes{
            {sep, QString()},
            {sep + QStringLiteral("media") + sep + QStringLiteral("usb") + sep, QStringLiteral("STICK")}};
        const QString usb = sep + QStringLiteral("media") + sep + QStringLiteral("usb");
        QCOMPARE(platform::volumeIndexOf(usb + sep + QStringLiteral("docs"), volumes), 1);
        QCOMPARE(platform::volumeIndexOf(usb, volumes), 1);
        // A sibling whose name merely starts the same lies on the root volume.
        QCOMPARE(platform::volumeIndexOf(usb + QStringLiteral("2"), volumes), 0);
        QCOMPARE(platform::volumeIndexOf(sep + QStringLiteral("home"), volumes), 0);
        QCOMPARE(platform::volumeIndexOf(QStringLiteral("relative"), QList<Volume>{volumes[1]}), -1);

        QCOMPARE(platform::driveText(volumes[0]), sep);
        QCOMPARE(platform::driveText(volumes[1]), usb + QStringLiteral(" [STICK]"));
        QCOMPARE(platform::resolveDriveText(usb + QStringLiteral(" [STICK]"), volumes), volumes[1].root);
        QCOMPARE(platform::resolveDriveText(usb + sep + QStringLiteral("docs"), volumes),
                 usb + sep + QStringLiteral("docs"));
    }

    void systemVolumesTellFailuresApart() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QDir(dir.path()).mkdir(QStringLiteral("sub"));
        QFile file(dir.filePath(QStringLiteral("plain.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        platform::LocalVolumes& volumes = platform::localVolumes();
        QVERIFY(!volumes.mounted().isEmpty());
        volumes.checkFolder(dir.filePath(QStringLiteral("sub"))); // must not throw
        for (const QString& bad :
             {dir.filePath(QStringLiteral("missing")), dir.filePath(QStringLiteral("plain.txt"))}) {
            try {
                volumes.checkFolder(bad);
                QFAIL(qPrintable(QStringLiteral("no error for ") + bad));
            } catch (const VolumeError& error) {
                QCOMPARE(error.kind(), VolumeError::Other);
                QVERIFY(!error.message().isEmpty());
            }
        }
    }
};

QTEST_GUILESS_MAIN(LocalPaneRulesTest)
#include "tst_localpanerules.moc"
