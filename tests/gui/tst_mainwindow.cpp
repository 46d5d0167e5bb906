// The main window as it opens: controls, menus, server list, application folder, exit.
#include "support/MainWindow.h"
#include "platform/AppPaths.h"
#include "platform/LocalLists.h"
#include "platform/Twips.h"
#include "support/FakeFtpComponent.h"
#include "support/TestEnvironment.h"
#include "support/WidgetText.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>

using testing::entries;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void controlsAtStart() {
        testing::TestEnvironment env;
        testing::MainWindow w;
        QCOMPARE(w.windowTitle(), QStringLiteral("TesselFTP"));
        QCOMPARE(w.centralWidget()->size(), twips::size(9876, 7476));
        // Every control is found by its name, where the table puts it.
        const struct {
            const char* name;
            int l, t, wd, h;
        } places[] = {{"Drive1", 120, 240, 2655, 300},     {"Dir1", 120, 600, 2655, 2190},
                      {"File1", 120, 2880, 2295, 2772},    {"Text3", 120, 6000, 5055, 270},
                      {"Combo4", 3480, 240, 5775, 300},    {"List1", 3480, 840, 2652, 1848},
                      {"List2", 3480, 3000, 2535, 2748},   {"Combo1", 240, 480, 3015, 300},
                      {"cmdMkDirOk", 1080, 720, 735, 375}, {"Label2", 6360, 5880, 3420, 420},
                      {"Text2", 8280, 7200, 1575, 270},    {"Check1", 1080, 1680, 1545, 240}};
        for (const auto& p : places) {
            auto* widget = w.findChild<QWidget*>(QLatin1String(p.name));
            QVERIFY2(widget, p.name);
            QCOMPARE(widget->geometry(), twips::rect(p.l, p.t, p.wd, p.h));
        }
        QCOMPARE(w.Combo1->currentText(), QStringLiteral("ftp."));
        QCOMPARE(entries(w.Combo2), QStringList{QStringLiteral("anonymous")});
        QCOMPARE(w.Combo5->count(), 2);
        QCOMPARE(w.Combo5->itemText(0), QString());
        QCOMPARE(w.Combo5->itemText(1).size(), 13);
        QVERIFY(w.Combo5->itemText(1).contains(u'@'));
        QCOMPARE(entries(w.Combo3),
                 (QStringList{QStringLiteral("HELP"), QStringLiteral("RMD"), QStringLiteral("SIZE")}));
        QCOMPARE(w.Combo4->count(), 0);
        QCOMPARE(w.Label2->text(), QStringLiteral("+++"));
        QVERIFY(w.Option1[0]->isChecked());
        QVERIFY(!w.Option1[1]->isChecked());
        QCOMPARE(w.Option1[1]->text(), QStringLiteral("バイナリ"));
        QCOMPARE(w.Frame1->title(), QStringLiteral("FTP Server Connect"));
        QVERIFY(!w.MakeDirTxt->isEnabled());
        QVERIFY(!w.Command6->icon().isNull());
        QVERIFY(!w.Command5->icon().isNull());
        QVERIFY(w.Command6->styleSheet().contains(QStringLiteral("rgb(0, 0, 192)")));
        QVERIFY(w.Label2->styleSheet().contains(QStringLiteral("rgb(255, 255, 255)")));
        // Editable boxes never add what Enter confirms.
        for (QComboBox* box : {w.Combo1, w.Combo2, w.Combo3, w.Combo4, w.Combo5})
            QCOMPARE(box->insertPolicy(), QComboBox::NoInsert);
    }

    void typedTextIsNeverCompletedFromTheList() {
        testing::TestEnvironment env;
        testing::MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.Combo4->addItem(QStringLiteral("/pub/older"));
        w.Combo4->setEditText(QString());
        w.Combo4->setFocus();
        QTest::keyClicks(w.Combo4->lineEdit(), QStringLiteral("/pu"));
        QCOMPARE(w.Combo4->currentText(), QStringLiteral("/pu"));
        w.Combo3->setEditText(QString());
        w.Combo3->setFocus();
        QTest::keyClicks(w.Combo3->lineEdit(), QStringLiteral("H"));
        QCOMPARE(w.Combo3->currentText(), QStringLiteral("H"));
    }

    void focusAndTabOrder() {
        testing::TestEnvironment env;
        testing::MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.List1));
        // Tab walks the controls in the window's order (MakeDirTxt is disabled, so skipped).
        const QList<QWidget*> order = {w.List2,    w.Dir1,       w.File1,    w.Text3,        w.Command4,
                                       w.Command5, w.Command6,   w.Text4,    w.Option1[0],   w.Combo3,
                                       w.Combo4,   w.Drive1,     w.Combo1,   w.Combo2,       w.Combo5,
                                       w.Command1, w.cmdDelfile, w.cmdMkDir, w.cmdMkDirNext, w.cmdMkDirOk,
                                       w.Text1,    w.Text2,      w.Command2, w.Command3};
        for (QWidget* expected : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), expected);
        }
    }

    // "パスワードを保存" beside the password box shows its whole caption, unticked. With no
    // secret store answering (the bus address leads nowhere) it is greyed, still readable,
    // and its tooltip says why.
    void savedLoginBoxWithoutASecretStore() {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tessel-no-bus");
        testing::TestEnvironment env;
        testing::MainWindow w;
        auto* keep = w.findChild<QCheckBox*>(QStringLiteral("Check1"));
        QCOMPARE(keep->text(), QStringLiteral("パスワードを保存"));
        QVERIFY(!keep->isChecked());
        QStyleOptionButton option;
        option.initFrom(keep);
        QVERIFY(keep->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, keep).width() >=
                QFontMetrics(keep->font()).horizontalAdvance(keep->text()));
        QTRY_VERIFY(keep->accessibleDescription().contains(QStringLiteral("Secret Service")));
        QVERIFY(!keep->isEnabled());
        QCOMPARE(keep->toolTip(), keep->accessibleDescription());
        // Greyed, its caption still stands out from the window's grey.
        const QRgb greyText = keep->palette().color(QPalette::Disabled, QPalette::WindowText).rgb();
        QVERIFY(qAbs(qGray(greyText) - qGray(w.centralWidget()->palette().color(QPalette::Window).rgb())) >
                48);
    }

    // What is typed into the password box shows as bullets only, to the eye and to a
    // screen reader; its list keeps its two entries.
    void passwordBoxMasksWhatIsTyped() {
        testing::TestEnvironment env;
        testing::MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.Combo5->setFocus();
        QTest::keyClicks(w.Combo5->lineEdit(), QStringLiteral("hunter2"));
        QCOMPARE(w.Combo5->currentText(), QStringLiteral("hunter2"));
        const QString shown = w.Combo5->lineEdit()->displayText();
        QCOMPARE(shown, QString(7, shown.front()));
        QVERIFY(shown.front() != u'h');
        for (QObject* box : {static_cast<QObject*>(w.Combo5), static_cast<QObject*>(w.Combo5->lineEdit())})
            QVERIFY(
                !QAccessible::queryAccessibleInterface(box)->text(QAccessible::Value).contains(u"hunter"));
        QCOMPARE(w.Combo5->count(), 2);
    }

    void menuBarAndStartStates() {
        testing::TestEnvironment env;
        testing::MainWindow w;
        const QList<QAction*> bar = w.menuBar()->actions();
        QStringList captions;
        for (QAction* a : bar)
            captions.append(a->text());
        QCOMPARE(captions,
                 (QStringList{QStringLiteral("ファイル"), QStringLiteral("サーバーへ接続"),
                              QStringLiteral("サーバーから切断"), QStringLiteral("ディレクトリの変更"),
                              QStringLiteral("ヘルプ"), QStringLiteral("コマンド送信")}));
        QVERIFY(!bar[1]->menu() && !bar[2]->menu() && !bar[3]->menu() && !bar[5]->menu());
        QStringList file;
        for (QAction* a : w.mnuFile->actions())
            file.append(a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(file, (QStringList{QStringLiteral("ダイアルアップ接続 and 切断"), QStringLiteral("-"),
                                    QStringLiteral("終了")}));
        QCOMPARE(w.mnuHelp->actions().size(), 2);
        QCOMPARE(w.mnuHelp->actions()[1]->text(), QStringLiteral("Version情報"));
        QVERIFY(w.mnuConect->isEnabled());
        QVERIFY(!w.mnuClose->isEnabled());
        QVERIFY(!w.mnuCommand->isEnabled());
        QVERIFY(w.mnuDirChenge->isEnabled() && w.mnuFileLine->isEnabled() && w.mnuHelpPrint->isEnabled());
    }

    void serverListAtStart_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("CR LF") << QByteArray("ftp.a\r\nftp.b\r\n")
                               << QStringList{QStringLiteral("ftp.a"), QStringLiteral("ftp.b")};
        QTest::newRow("lone CR") << QByteArray("ftp.a\rftp.b\r")
                                 << QStringList{QStringLiteral("ftp.a"), QStringLiteral("ftp.b")};
        QTest::newRow("no terminator")
            << QByteArray("ftp.a\r\nftp.b") << QStringList{QStringLiteral("ftp.a"), QStringLiteral("ftp.b")};
        QTest::newRow("empty middle line")
            << QByteArray("ftp.a\r\n\r\nftp.b\r\n")
            << QStringList{QStringLiteral("ftp.a"), QString(), QStringLiteral("ftp.b")};
        QTest::newRow("Japanese") << QByteArray("\x83\x54\x81\x5b\x83\x6f\x81\x5b\r\n")
                                  << QStringList{QStringLiteral("サーバー")};
        QTest::newRow("empty file") << QByteArray("") << QStringList();
    }
    void serverListAtStart() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, entries);
        testing::TestEnvironment env;
        env.writeFile(QStringLiteral("ftpsvr.dat"), file);
        testing::MainWindow w;
        QCOMPARE(testing::entries(w.Combo1), entries);
        QCOMPARE(w.Combo1->currentText(), QStringLiteral("ftp."));
    }

    void missingServerListOpensQuietly() {
        testing::TestEnvironment env;
        testing::MainWindow w;
        QCOMPARE(w.Combo1->count(), 0);
        QCOMPARE(w.Combo1->currentText(), QStringLiteral("ftp."));
        QVERIFY(!QFile::exists(env.path(QStringLiteral("ftpsvr.dat"))));
    }

    void myPathHasOneTrailingSeparator() {
        apppaths::overrideApplicationFolder(QStringLiteral("/opt/tessel"));
        QCOMPARE(frmTesselFTP::MyPath(), QStringLiteral("/opt/tessel/"));
        apppaths::overrideApplicationFolder(QStringLiteral("/opt/tessel/"));
        QCOMPARE(frmTesselFTP::MyPath(), QStringLiteral("/opt/tessel/"));
        apppaths::overrideApplicationFolder(QStringLiteral("/"));
        QCOMPARE(frmTesselFTP::MyPath(), QStringLiteral("/"));
        apppaths::overrideApplicationFolder(QString());
        QCOMPARE(frmTesselFTP::MyPath(), QCoreApplication::applicationDirPath() + u'/');
    }

    void factoryRefusesUnknownIdentifiers() {
        QVERIFY_THROWS_EXCEPTION(ftp::FtpError, ftp::CreateObject(QStringLiteral("ftpcomp.FTPX")));
        QVERIFY_THROWS_EXCEPTION(ftp::FtpError, ftp::CreateObject(QStringLiteral("FTPCOMP.FTP")));
        QVERIFY(ftp::CreateObject(ftp::kFtpComponentId) != nullptr);
    }

    void endWhileConnectedSendsNothing() {
        testing::TestEnvironment env;
        testing::FakeFtpInstall fake;
        auto* w = new testing::MainWindow;
        w->show();
        w->mnuConect->trigger();
        QVERIFY(w->mnuClose->isEnabled());
        const qsizetype callsBefore = fake.record().calls.size();
        QTimer::singleShot(0, w->mnuEnd2, &QAction::trigger);
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); }); // would mean 終了 did nothing
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(fake.record().calls.size(), callsBefore); // no CloseLog, no Close
        delete w;
        QCOMPARE(fake.record().liveInstances, 0);
    }

    void closingByFrameEndsTheProgram() {
        testing::TestEnvironment env;
        testing::MainWindow w;
        w.show();
        QWidget other; // stands for any other window still open
        other.show();
        QTimer::singleShot(0, &w, &QWidget::close);
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
