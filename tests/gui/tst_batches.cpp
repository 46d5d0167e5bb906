// The window's ways into batches over the component double: the folder menus on both
// folder lists (mouse and keyboard), selecting several entries without changing what a
// plain click does, the buttons' checks with several files, and drops refused when no
// session is open. Batches that run are tested against a real server (net).
#include "platform/LocalLists.h"
#include "support/FakeFtpComponent.h"
#include "support/MainWindow.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

struct Session {
    testing::TestEnvironment env;
    testing::FakeFtpInstall fake;
    testing::ScriptedMessageBoxes boxes;
    QTemporaryDir local;
    testing::MainWindow w;

    Session() {
        fake.script().folders[QStringLiteral("/pub")] = QStringList{QStringLiteral("sub")};
        fake.script().files[QStringLiteral("/pub")] =
            QStringList{QStringLiteral("a.txt"), QStringLiteral("b.bin"), QStringLiteral("c.txt")};
        QDir(local.path()).mkdir(QStringLiteral("site"));
        for (const char* name : {"x.txt", "y.txt"})
            QFile(local.filePath(QLatin1String(name))).open(QIODevice::WriteOnly);
        w.Dir1->setPath(local.path());
        w.show();
        QApplication::setActiveWindow(&w); // keyboard shortcuts reach only the active window
    }
    void connectAndList() {
        w.mnuConect->trigger();
        w.Combo4->setEditText(QStringLiteral("/pub"));
        w.Command1->click();
    }
    QListWidget* list(const QString& name) { return w.findChild<QListWidget*>(name); }
    QStringList calls() { return fake.record().calls; }
};

QPoint centreOf(QListWidget* list, const QString& text) {
    const QListWidgetItem* item = list->findItems(text, Qt::MatchExactly).value(0);
    return item ? list->visualItemRect(item).center() : QPoint();
}

void click(QListWidget* list, const QString& text, Qt::KeyboardModifiers modifiers = {}) {
    const QPoint at = centreOf(list, text);
    QVERIFY2(!at.isNull(), qPrintable(text));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, at);
}

// Opens the list's context menu on an entry by a right-click, or by Shift+F10 on the
// entry made current. Returns the menu that opened, or nullptr.
QMenu* openMenu(QListWidget* list, const QString& text, bool keyboard) {
    const QPoint at = centreOf(list, text);
    if (keyboard) {
        list->setFocus();
        list->setCurrentItem(list->findItems(text, Qt::MatchExactly).value(0));
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    } else {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &event);
    }
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QString describe(const QMenu* menu) {
    QStringList entries;
    for (const QAction* action : menu->actions())
        entries.append(action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)")));
    return entries.join(u'|');
}

} // namespace

class BatchesTest : public QObject {
    Q_OBJECT

private slots:
    void folderMenus_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("keyboard");
        QTest::addColumn<QString>("menu"); // empty: no menu opens
        const QString download = QStringLiteral("フォルダをダウンロード");
        const QString upload = QStringLiteral("フォルダをアップロード|ミラーリングアップロード…");
        QTest::newRow("remote folder") << "List1"
                                       << "sub" << true << false << download;
        QTest::newRow("remote folder, keyboard") << "List1"
                                                 << "sub" << true << true << download;
        QTest::newRow("local sub-folder") << "Dir1"
                                          << "  site" << true << false << upload;
        QTest::newRow("local sub-folder, keyboard") << "Dir1"
                                                    << "  site" << true << true << upload;
        QTest::newRow("local sub-folder, no session")
            << "Dir1"
            << "  site" << false << false
            << QStringLiteral("フォルダをアップロード (off)|ミラーリングアップロード… (off)");
        QTest::newRow("the open local folder")
            << "Dir1" << QDir(QDir::tempPath()).dirName() << true << false << "";
    }
    void folderMenus() {
        QFETCH(QString, list);
        QFETCH(QString, entry);
        QFETCH(bool, connected);
        QFETCH(bool, keyboard);
        QFETCH(QString, menu);
        Session s;
        if (connected)
            s.connectAndList();
        if (entry.isEmpty()) // the open folder, shown by its name
            entry = QDir(s.local.path()).dirName();
        QMenu* opened = openMenu(s.list(list), entry, keyboard);
        QCOMPARE(opened ? describe(opened) : QString(), menu);
        if (opened) {
            QVERIFY(!opened->accessibleName().isEmpty());
            for (const QAction* action : opened->actions())
                QVERIFY(!action->statusTip().isEmpty());
            opened->close();
        }
        QVERIFY(s.calls().filter(QStringLiteral("File(")).isEmpty());
    }

    // Ctrl and Shift add entries; a plain click leaves one selected and composes its path
    // as before.
    void severalEntriesAreSelected() {
        Session s;
        s.connectAndList();
        click(s.w.List2, QStringLiteral("a.txt"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub/a.txt"));
        click(s.w.List2, QStringLiteral("c.txt"), Qt::ShiftModifier);
        QCOMPARE(s.w.List2->selectedItems().size(), 3);
        click(s.w.List2, QStringLiteral("b.bin"), Qt::ControlModifier);
        QCOMPARE(s.w.List2->selectedItems().size(), 2);
        click(s.w.List2, QStringLiteral("b.bin"));
        QCOMPARE(s.w.List2->selectedItems().size(), 1);
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub/b.bin"));

        click(s.w.File1, QStringLiteral("x.txt"));
        click(s.w.File1, QStringLiteral("y.txt"), Qt::ControlModifier);
        QCOMPARE(s.w.File1->selectedItems().size(), 2);
        QCOMPARE(s.w.File1->FileName(), QStringLiteral("y.txt")); // the one clicked last
        click(s.w.File1, QStringLiteral("y.txt"));
        QCOMPARE(s.w.File1->FileName(), QStringLiteral("y.txt"));
    }

    // With several files selected the download keeps the check on Text3, and a name that
    // would leave the folder stops the whole batch before anything is sent.
    void severalFilesNeedAPlaceAndSafeNames() {
        Session s;
        s.fake.script().files[QStringLiteral("/pub")] =
            QStringList{QStringLiteral("a.txt"), QStringLiteral("..")};
        s.connectAndList();
        click(s.w.List2, QStringLiteral("a.txt"));
        click(s.w.List2, QStringLiteral(".."), Qt::ControlModifier);
        s.w.Text3->clear();
        QTest::mouseClick(s.w.Command6, Qt::LeftButton);
        s.w.Text3->setText(s.local.path() + u'/');
        QTest::mouseClick(s.w.Command6, Qt::LeftButton);
        QCOMPARE(
            s.boxes.texts(),
            (QStringList{QStringLiteral("ファイル名が選択されていないか、保存場所を指定されていません。"),
                         QStringLiteral("このファイル名では保存できません。")}));
        QVERIFY(s.calls().filter(QStringLiteral("GetFile(")).isEmpty());
    }

    // Files from the desktop are taken only while a session is open.
    void dropsNeedASession() {
        Session s;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(s.local.filePath(QStringLiteral("x.txt")))});
        for (QListWidget* list : {s.w.List1, s.w.List2}) {
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(list->viewport(), &enter);
            QVERIFY(!enter.isAccepted());
        }
        QCOMPARE(s.w.List2->count(), 0); // nothing added by the list's own drop handling
    }
};

QTEST_MAIN(BatchesTest)
#include "tst_batches.moc"
