// The version window "TesselFtpVersion" and the main window's "Version情報".
#include "support/MainWindow.h"
#include "help/frmTesselTitle.h"
#include "platform/Twips.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

frmTesselTitle* openVersionWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* title = qobject_cast<frmTesselTitle*>(w); title && title->isVisible())
            return title;
    return nullptr;
}

// A click as the window system delivers it, so that modal blocking applies.
void systemClick(QWidget* widget) {
    QWidget* window = widget->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                      widget->mapTo(window, widget->rect().center()));
}

} // namespace

class VersionWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(!openVersionWindow()); }

    void showsTitlePictureModally() {
        testing::TestEnvironment env;
        testing::MainWindow main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.mnuVersion->trigger();
        QPointer<frmTesselTitle> title = openVersionWindow();
        QVERIFY(title);
        QCOMPARE(title->windowTitle(), QStringLiteral("TesselFtpVersion"));
        QCOMPARE(title->parent(), nullptr);
        QCOMPARE(title->windowModality(), Qt::ApplicationModal);
        QCOMPARE(QApplication::activeModalWidget(), title.data());
        QVERIFY(!title->windowIcon().isNull());
        QCOMPARE(title->size(), twips::size(frmTesselTitle::kClientWidth, frmTesselTitle::kClientHeight));
        QCOMPARE(title->cmdTessel->geometry(), twips::rect(120, 120, 3855, 2535));
        QVERIFY(title->cmdTessel->text().isEmpty());
        QCOMPARE(title->cmdTessel->iconSize(), QSize(257, 169));
        QVERIFY(title->cmdTessel->hasFocus() || title->focusWidget() == title->cmdTessel);

        // Navy margins around the picture button; the picture on the button's face.
        QVERIFY(QTest::qWaitForWindowExposed(title));
        const QImage shot = title->grab().toImage();
        QCOMPARE(shot.pixelColor(title->width() - 3, title->height() / 2), QColor(0, 0, 64));
        QCOMPARE(shot.pixelColor(title->width() / 2, title->height() - 3), QColor(0, 0, 64));
        const QImage picture(QStringLiteral(":/images/title.jpg"));
        const QPoint onButton = title->cmdTessel->geometry().center();
        const QColor expected = picture.pixelColor(picture.width() / 2, picture.height() / 2);
        const QColor seen = shot.pixelColor(onButton);
        QVERIFY2(qAbs(seen.red() - expected.red()) + qAbs(seen.green() - expected.green()) +
                         qAbs(seen.blue() - expected.blue()) <=
                     30,
                 qPrintable(seen.name() + u" vs " + expected.name()));

        // While it is open the main window takes no clicks: "Save" adds no server.
        const int servers = main.Combo1->count();
        systemClick(main.Command2);
        QCOMPARE(main.Combo1->count(), servers);

        // A click on the margin does nothing; a click on the picture closes it.
        QTest::mouseClick(title, Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(title->isVisible());
        QTest::mouseClick(title->cmdTessel, Qt::LeftButton, {}, QPoint(3, 3)); // near its corner
        QVERIFY(!title->isVisible());
        QTRY_VERIFY(title.isNull()); // unloaded
        QVERIFY(!QApplication::activeModalWidget());

        // The main window carries on.
        systemClick(main.Command2);
        QCOMPARE(main.Combo1->count(), servers + 1);
    }

    void opensAgainUnchanged() {
        testing::TestEnvironment env;
        testing::MainWindow main;
        main.mnuVersion->trigger();
        QPointer<frmTesselTitle> first = openVersionWindow();
        QVERIFY(first);
        const QImage firstLook = first->grab().toImage();
        QVERIFY(first->close()); // the close box unloads it too
        QTRY_VERIFY(first.isNull());

        main.mnuVersion->trigger();
        QPointer<frmTesselTitle> second = openVersionWindow();
        QVERIFY(second);
        QCOMPARE(second->windowTitle(), QStringLiteral("TesselFtpVersion"));
        QCOMPARE(second->windowModality(), Qt::ApplicationModal);
        QCOMPARE(second->grab().toImage(), firstLook);

        // Asking again while it is open shows the same window, not a second one.
        main.mnuVersion->trigger();
        QCOMPARE(openVersionWindow(), second.data());
        QTest::keyClick(second->cmdTessel, Qt::Key_Space); // the button has the focus
        QTRY_VERIFY(second.isNull());
    }

    void endingTheProgramClosesIt() {
        testing::TestEnvironment env;
        auto* main = new testing::MainWindow;
        main->mnuVersion->trigger();
        QPointer<frmTesselTitle> title = openVersionWindow();
        QVERIFY(title);
        delete main;
        QVERIFY(title.isNull());
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(VersionWindowTest)
#include "tst_versionwindow.moc"
