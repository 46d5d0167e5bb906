// The help window "Internet Browser" and the main window's "ヘルプを表示".
#include "support/MainWindow.h"
#include "help/HelpWindows.h"
#include "help/frmBrowser22.h"
#include "platform/AppPaths.h"
#include "platform/Twips.h"
#include "platform/WebView.h"
#include "support/LocalHttpServer.h"
#include "support/TestEnvironment.h"
#include "support/WidgetText.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using testing::entries;

namespace {

// The help window the main window opened, found among the top-level windows.
frmBrowser22* openHelpWindow() {
    frmBrowser22* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* browser = qobject_cast<frmBrowser22*>(w); browser && browser->isVisible())
            found = browser;
    return found;
}

void typeEnter(QComboBox* box) {
    QTest::keyClick(box, Qt::Key_Return);
}

} // namespace

class HelpBrowserTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(!openHelpWindow()); }
    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!qobject_cast<QMessageBox*>(w), "no message box may show");
    }

    void helpMenuOpensModelessWindowWithHelpAddress() {
        testing::TestEnvironment env;
        testing::MainWindow main;
        main.show();
        main.mnuHelpPrint->trigger();
        frmBrowser22* help = openHelpWindow();
        QVERIFY(help);
        QCOMPARE(help->windowTitle(), QStringLiteral("Internet Browser"));
        QCOMPARE(help->parent(), nullptr); // no owner window
        QCOMPARE(help->windowModality(), Qt::NonModal);
        QVERIFY(!help->windowIcon().isNull());
        QCOMPARE(help->Combo1->currentText(), env.appFolder() + QStringLiteral("FtpHelp.htm"));
        QCOMPARE(entries(help->Combo1), help::presetAddresses());
        QCOMPARE(help->Label3->text(), QStringLiteral("URL"));
        // The load step went to the address box while it was still empty: blank page.
        QCOMPARE(help->WB->address(), QString());
        QVERIFY(help->WB->toPlainText().isEmpty());
        // The main window stays usable.
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(main.isEnabled());
        delete help;
    }

    void toolbarButtons() {
        frmBrowser22 help;
        help.show();
        const QList<QAction*> actions = help.Toolbar1->actions();
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions.at(0)->text(), QStringLiteral("ヘルプ表示"));
        QCOMPARE(actions.at(0)->data().toString(), QStringLiteral("Print"));
        QCOMPARE(actions.at(1)->text(), QStringLiteral("終了"));
        QCOMPARE(actions.at(1)->data().toString(), QStringLiteral("Exit"));
        QCOMPARE(help.ImageList1.size(), 3);
        for (const QIcon& icon : help.ImageList1)
            QCOMPARE(icon.availableSizes().value(0), QSize(16, 16));
        QVERIFY(!actions.at(0)->icon().isNull());
        QVERIFY(!actions.at(1)->icon().isNull());
        QCOMPARE(help.Toolbar1->geometry(), QRect(0, 0, help.width(), twips::toPixels(528)));
    }

    void onlyEnterButtonOrBackgroundNavigate() {
        frmBrowser22 help;
        help.show();
        QSignalSpy went(help.WB, &platform::WebView::navigateRequested);

        // Choosing a preset (arrow keys pick the next entry) only changes the text.
        help.Combo1->setFocus();
        QTest::keyClick(help.Combo1, Qt::Key_Down);
        QVERIFY(help::presetAddresses().contains(help.Combo1->currentText()));
        help.Combo1->setCurrentIndex(3);
        emit help.Combo1->activated(3);
        QCOMPARE(help.Combo1->currentText(), help::presetAddresses().at(3));
        QTest::keyClicks(help.Combo1, QStringLiteral("x"));
        QTest::keyClick(help.Combo1, Qt::Key_Backspace);
        QCOMPARE(went.count(), 0);

        // Enter goes to the text as it stands; the keystroke still reaches the box, which
        // adds nothing to its list.
        help.Combo1->setEditText(QStringLiteral("no-such-host-name "));
        typeEnter(help.Combo1);
        QCOMPARE(went.count(), 1);
        QCOMPARE(went.at(0).at(0).toString(), QStringLiteral("no-such-host-name "));
        QCOMPARE(help.Combo1->count(), 4);
        QTest::keyClick(help.Combo1, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(went.count(), 2);

        // The "ヘルプ表示" button.
        auto* print = help.Toolbar1->findChild<QToolButton*>(QStringLiteral("Print"));
        QVERIFY(print);
        QTest::mouseClick(print, Qt::LeftButton);
        QCOMPARE(went.count(), 3);

        // A click on the window itself, not on the label or another control.
        QTest::mouseClick(help.Label3, Qt::LeftButton);
        QCOMPARE(went.count(), 3);
        QTest::mouseClick(&help, Qt::LeftButton, {}, QPoint(4, twips::toPixels(700)));
        QCOMPARE(went.count(), 4);
        QTest::mouseClick(&help, Qt::RightButton, {}, QPoint(4, twips::toPixels(700)));
        QCOMPARE(went.count(), 4);
        for (const QList<QVariant>& call : went)
            QCOMPARE(call.at(0).toString(), went.at(0).at(0).toString());
    }

    void typedAddressIsNotCompletedFromPresets() {
        frmBrowser22 help;
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QSignalSpy went(help.WB, &platform::WebView::navigateRequested);
        help.Combo1->setFocus();
        QWidget* typingInto = QApplication::focusWidget();
        QVERIFY(typingInto);
        // The start of the third preset, typed key by key where the keyboard sends it.
        const QString typed = help::presetAddresses().at(2).left(20);
        QTest::keyClicks(typingInto, typed);
        QCOMPARE(help.Combo1->currentText(), typed);
        QTest::keyClick(typingInto, Qt::Key_Return);
        QCOMPARE(went.count(), 1);
        QCOMPARE(went.at(0).at(0).toString(), typed);
    }

    void enterWithEmptyAddressGivesBlankPage() {
        frmBrowser22 help;
        help.show();
        help.WB->setHtml(QStringLiteral("<p>something</p>"));
        QSignalSpy went(help.WB, &platform::WebView::navigateRequested);
        help.Combo1->setEditText(QString());
        typeEnter(help.Combo1);
        QCOMPARE(went.count(), 1);
        QCOMPARE(went.at(0).at(0).toString(), QString());
        QVERIFY(help.WB->toPlainText().isEmpty());
        QVERIFY(help.isVisible());
    }

    void toolbarDispatchByExactKey() {
        auto* help = new frmBrowser22;
        QPointer<frmBrowser22> alive(help);
        help->show();
        help->Combo1->setEditText(QStringLiteral("http://127.0.0.1:1/"));
        QSignalSpy went(help->WB, &platform::WebView::navigateRequested);
        help->Toolbar1_ButtonClick(QStringLiteral("print"));
        help->Toolbar1_ButtonClick(QStringLiteral("EXIT"));
        help->Toolbar1_ButtonClick(QStringLiteral("Other"));
        help->Toolbar1_ButtonClick(QString());
        QCOMPARE(went.count(), 0);
        QVERIFY(help->isVisible());
        help->Toolbar1_ButtonClick(QStringLiteral("Print"));
        QCOMPARE(went.count(), 1);
        QCOMPARE(went.at(0).at(0).toString(), QStringLiteral("http://127.0.0.1:1/"));
        help->Toolbar1_ButtonClick(QStringLiteral("Exit"));
        QVERIFY(!help->isVisible());
        QTRY_VERIFY(alive.isNull()); // closing unloads the window
    }

    void secondOpeningResetsAddressOnly() {
        testing::TestEnvironment env;
        env.writeFile(QStringLiteral("FtpHelp.htm"),
                      "<html><head><meta charset=\"UTF-8\"><title>テスト用ヘルプ</title></head>"
                      "<body><p>help text</p></body></html>");
        testing::MainWindow main;
        main.mnuHelpPrint->trigger();
        QPointer<frmBrowser22> help = openHelpWindow();
        QVERIFY(help);
        typeEnter(help->Combo1);
        QCOMPARE(help->WB->documentTitle(), QStringLiteral("テスト用ヘルプ"));
        help->Combo1->setEditText(QStringLiteral("typed text"));

        QSignalSpy went(help->WB, &platform::WebView::navigateRequested);
        main.mnuHelpPrint->trigger();
        QCOMPARE(openHelpWindow(), help.data()); // the same window
        QCOMPARE(help->Combo1->currentText(), env.path(QStringLiteral("FtpHelp.htm")));
        QCOMPARE(went.count(), 0);
        QCOMPARE(help->WB->documentTitle(), QStringLiteral("テスト用ヘルプ"));

        // Minimised, it comes back.
        help->showMinimized();
        main.mnuHelpPrint->trigger();
        QVERIFY(!help->isMinimized());
        delete help.data();
    }

    void freshWindowAfterExit() {
        testing::TestEnvironment env;
        env.writeFile(QStringLiteral("FtpHelp.htm"), "<p>help text</p>");
        testing::MainWindow main;
        main.mnuHelpPrint->trigger();
        QPointer<frmBrowser22> first = openHelpWindow();
        typeEnter(first->Combo1);
        first->Combo1->removeItem(1);
        first->Combo1->setEditText(QStringLiteral("typed"));
        auto* exit = first->Toolbar1->findChild<QToolButton*>(QStringLiteral("Exit"));
        QVERIFY(exit);
        QTest::mouseClick(exit, Qt::LeftButton);
        QTRY_VERIFY(first.isNull());

        main.mnuHelpPrint->trigger();
        frmBrowser22* second = openHelpWindow();
        QVERIFY(second);
        QCOMPARE(entries(second->Combo1), help::presetAddresses());
        QVERIFY(second->WB->toPlainText().isEmpty());
        QCOMPARE(second->Combo1->currentText(), env.path(QStringLiteral("FtpHelp.htm")));
        delete second;
    }

    void closeBoxUnloadsToo() {
        testing::TestEnvironment env;
        testing::MainWindow main;
        main.mnuHelpPrint->trigger();
        QPointer<frmBrowser22> help = openHelpWindow();
        QVERIFY(help->close());
        QTRY_VERIFY(help.isNull());
        QVERIFY(testing::MainWindowAccess::helpWindows(main)->browser.isNull());
    }

    void endingTheProgramClosesHelp() {
        testing::TestEnvironment env;
        auto* main = new testing::MainWindow;
        main->mnuHelpPrint->trigger();
        QPointer<frmBrowser22> help = openHelpWindow();
        QVERIFY(help);
        delete main;
        QVERIFY(help.isNull());
    }

    void layoutAtDesignSize() {
        frmBrowser22 help;
        help.show();
        QCOMPARE(help.size(), twips::size(frmBrowser22::kClientWidth, frmBrowser22::kClientHeight));
        const auto expected = help::browserLayout(float(help.width() * 15), float(help.height() * 15));
        QVERIFY(expected);
        auto px = [](float twipsValue) { return int(std::lround(twipsValue / 15.0f)); };
        QCOMPARE(help.WB->geometry(), QRect(twips::toPixels(120), twips::toPixels(1080),
                                            px(expected->browserWidth), px(expected->browserHeight)));
        QCOMPARE(help.Combo1->geometry(), QRect(twips::toPixels(720), twips::toPixels(600),
                                                px(expected->addressWidth), twips::toPixels(300)));
        // In pixels the design size is 647 x 422: within a pixel of 9608 x 5286 and 8868 twips.
        QVERIFY(qAbs(help.WB->width() - 9608 / 15) <= 1);
        QVERIFY(qAbs(help.WB->height() - 5286 / 15) <= 1);
        QVERIFY(qAbs(help.Combo1->width() - 8868 / 15) <= 1);

        help.resize(900, 600);
        QCOMPARE(help.WB->size(), QSize(900 - px(100), 600 - px(1050)));
        QCOMPARE(help.Combo1->width(), 900 - px(840));
        QCOMPARE(help.Toolbar1->width(), 900);
    }

    void tinyWindowKeepsSizes() {
        frmBrowser22 help;
        help.show();
        const QSize browser = help.WB->size();
        const QSize address = help.Combo1->size();
        help.resize(30, 20);
        QCOMPARE(help.WB->size(), browser);
        QCOMPARE(help.Combo1->size(), address);
        help.showMinimized();
        help.showNormal();
        help.resize(700, 500);
        QCOMPARE(help.Combo1->width(), 700 - 56);
    }

    void helpPageRenders() {
        // The help page the build puts beside the program.
        frmBrowser22 help;
        help.resize(900, 700);
        help.show();
        help.Combo1->setEditText(apppaths::MyPath() + QStringLiteral("FtpHelp.htm"));
        typeEnter(help.Combo1);
        QCOMPARE(help.WB->documentTitle(), QStringLiteral("TesselFTP ヘルプ"));
        const QString text = help.WB->toPlainText();
        QVERIFY(text.contains(QStringLiteral("TesselFTP ヘルプ")));
        for (const char* heading : {"サーバーへの接続と切断", "リモートフォルダの移動", "コマンドの送信",
                                    "ダイアルアップ接続", "メニュー"})
            QVERIFY2(text.contains(QString::fromUtf8(heading)), heading);
        // Its table of contents scrolls within the page.
        QSignalSpy went(help.WB, &platform::WebView::navigateRequested);
        emit help.WB->anchorClicked(QUrl(QStringLiteral("#menu")));
        QVERIFY(help.WB->verticalScrollBar()->value() > 0);
        QCOMPARE(went.count(), 0);
    }

    void webPageThroughTheAddressBox() {
        testing::LocalHttpServer http;
        QVERIFY(http.isListening());
        http.serveHtml(QStringLiteral("/index.htm"),
                       QStringLiteral("<html><body><h1>ようこそ</h1><p>a page over http</p></body></html>"));
        frmBrowser22 help;
        help.show();
        QSignalSpy finished(help.WB, &platform::WebView::loadFinished);
        help.Combo1->setEditText(http.url(QStringLiteral("/index.htm")).toString());
        typeEnter(help.Combo1);
        QVERIFY(finished.wait(10000));
        QVERIFY(help.WB->toPlainText().contains(QStringLiteral("ようこそ")));
        QVERIFY(help.WB->toPlainText().contains(QStringLiteral("a page over http")));
    }
};

QTEST_MAIN(HelpBrowserTest)
#include "tst_helpbrowser.moc"
