// The window's ways into batches against a real FTP server on loopback: drops from the
// desktop, several selected files per button, the folder menus (mouse and Shift+F10) and
// drags from the remote lists onto the local pane, checked on the disk that receives.
#include "support/Files.h"
#include "support/MainWindow.h"
#include "support/PyFtpServer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"
#include "support/WindowLogin.h"

#include <QApplication>
#include <QDirIterator>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// Every file and folder below `folder`, relative, folders ending in "/", sorted.
QStringList tree(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        found.append(QDir(folder).relativeFilePath(entry.filePath()) + (entry.isDir() ? u"/" : u""));
    }
    found.sort();
    return found;
}

// Files hold their own relative path.
void fill(const QString& folder, const QStringList& paths) {
    for (const QString& path : paths) {
        QDir(folder).mkpath(path.endsWith(u'/') ? path : QFileInfo(path).path());
        if (!path.endsWith(u'/'))
            testing::writeAll(QDir(folder).filePath(path), path.toUtf8());
    }
}

// Clicks the entry ending in `text` (the local folder list indents sub-folders).
void click(QListWidget* list, const QString& text, Qt::KeyboardModifiers modifiers = {}) {
    const QListWidgetItem* item = list->findItems(text, Qt::MatchEndsWith).value(0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualItemRect(item).center());
}

// A drag entering `list` and dropped there; whether the list took it, as a copy.
bool drop(QListWidget* list, const QMimeData& data) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &enter);
    QDropEvent event(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &event);
    return enter.isAccepted() && event.isAccepted() && event.dropAction() == Qt::CopyAction;
}

// The entries of the menu a right-click or Shift+F10 opens ("(off)": disabled, "?": undescribed).
QString openMenu(QListWidget* list, const QString& entry, bool keyboard = false) {
    const QPoint at = list->visualItemRect(list->findItems(entry, Qt::MatchEndsWith).value(0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    list->setFocus();
    list->setCurrentItem(list->itemAt(at));
    keyboard ? QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier)
             : void(QApplication::sendEvent(list->viewport(), &event));
    QStringList shown;
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    for (const QAction* action : menu ? menu->actions() : QList<QAction*>())
        shown.append(action->text() + (action->isEnabled() ? u""_s : u" (off)"_s) +
                     (action->statusTip().isEmpty() || menu->accessibleName().isEmpty() ? u"?"_s : u""_s));
    if (menu)
        menu->close();
    return shown.join(u'|');
}

} // namespace

class BatchesWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> root, local; // the server's files, the user's files
    std::unique_ptr<testing::PyFtpServer> server;
    std::unique_ptr<testing::TestEnvironment> env;
    std::unique_ptr<testing::ScriptedMessageBoxes> boxes;
    std::unique_ptr<testing::MainWindow> w;

    QString pub() const { return root->filePath(u"pub"_s); }

private slots:
    // A fresh server and local folder, the window connected with /pub listed.
    void init() {
        root = std::make_unique<QTemporaryDir>();
        local = std::make_unique<QTemporaryDir>();
        fill(pub(), {u"a.txt"_s, u"b.bin"_s, u"tree/x.txt"_s, u"tree/deep/y.txt"_s, u"tree/empty/"_s});
        fill(local->path(),
             {u"one.txt"_s, u"two.txt"_s, u"site/s.txt"_s, u"site/in/t.txt"_s, u"site/none/"_s});
        QFile::link(local->filePath(u"site"_s), local->filePath(u"sitelink"_s));
        server = std::make_unique<testing::PyFtpServer>();
        QVERIFY2(server->start(root->path()) != 0, qPrintable(server->errorString()));
        env = std::make_unique<testing::TestEnvironment>();
        boxes = std::make_unique<testing::ScriptedMessageBoxes>();
        w = std::make_unique<testing::MainWindow>();
        w->show();
        QApplication::setActiveWindow(w.get()); // keyboard shortcuts reach only the active window
        w->Dir1->setPath(local->path());
        testing::loginAndList(*w, *server, u"/pub"_s);
    }

    void cleanup() {
        w.reset();
        boxes.reset(); // before the next one: a box service ending uninstalls whatever is in place
        env.reset();
    }

    void eachWayEndsOnDisk_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QStringList>("arrived"); // new below /pub (upload) or the local folder
        const QStringList site = u"site/ site/in/ site/in/t.txt site/none/ site/s.txt"_s.split(u' ');
        const QStringList tree = u"tree/ tree/deep/ tree/deep/y.txt tree/empty/ tree/x.txt"_s.split(u' ');
        const QStringList ab{u"a.txt"_s, u"b.bin"_s};
        QTest::newRow("desktop onto List1") << u"up: drop List1"_s << QStringList{u"one.txt"_s} + site;
        QTest::newRow("desktop onto List2") << u"up: drop List2"_s << QStringList{u"one.txt"_s} + site;
        QTest::newRow("several, upload") << u"up: Command5"_s << QStringList{u"one.txt"_s, u"two.txt"_s};
        QTest::newRow("several, download") << u"down: Command6"_s << ab;
        QTest::newRow("フォルダをダウンロード") << u"down: menu List1"_s << tree;
        QTest::newRow("フォルダをアップロード") << u"up: menu Dir1"_s << site;
        QTest::newRow("List2 onto File1") << u"down: drag List2"_s << ab;
        QTest::newRow("List1 onto Dir1") << u"down: drag List1"_s << tree;
    }
    void eachWayEndsOnDisk() {
        QFETCH(QString, way);
        QFETCH(QStringList, arrived);
        const bool upload = way.startsWith("up"_L1), first = way.endsWith(u'1'); // List1 rather than List2
        const QString receiving = upload ? pub() : local->path();
        QStringList expected = tree(receiving) + arrived;
        expected.sort();
        QListWidget* const lists[] = {w->List1, w->List2, w->Dir1, w->File1};
        QMimeData data; // from the desktop: a file, a folder, a link to a folder and a web page
        data.setUrls({QUrl::fromLocalFile(local->filePath(u"one.txt"_s)),
                      QUrl::fromLocalFile(local->filePath(u"site"_s)),
                      QUrl::fromLocalFile(local->filePath(u"sitelink"_s)),
                      QUrl(u"https://example.com/x.txt"_s)});
        const QString pick = upload ? u"one.txt"_s : first ? u"tree"_s : u"a.txt"_s;
        click(upload ? w->File1 : lists[first ? 0 : 1], pick);
        click(upload ? w->File1 : w->List2, upload ? u"two.txt"_s : u"b.bin"_s, Qt::ShiftModifier);
        if (way.contains("menu"_L1))
            QVERIFY(!openMenu(upload ? lists[2] : lists[0], upload ? u"site"_s : u"tree"_s).isEmpty());
        w->Text3->setText(local->filePath(u"one.txt"_s)); // a file: several come into its folder
        QListWidget* from = lists[first ? 0 : 1];
        const std::unique_ptr<QMimeData> dragged(
            from->model()->mimeData(from->selectionModel()->selectedIndexes()));
        if (way.contains("Command"_L1))
            w->findChild<QPushButton*>(way.section(u' ', 1))->click();
        else if (way.contains("menu"_L1))
            w->findChild<QAction*>(upload ? u"mnuFolderUpload"_s : u"mnuFolderDownload"_s)->trigger();
        else
            QVERIFY(drop(way.contains("drop"_L1) ? from : lists[first ? 2 : 3], dragged ? *dragged : data));
        QTRY_COMPARE_WITH_TIMEOUT(tree(receiving), expected, 20000);
        QCOMPARE(boxes->texts(), QStringList());
        // Whole, and shown in the lists of the side that received it.
        for (const QString& entry : arrived) {
            QListWidget* list = lists[(upload ? 0 : 2) + (entry.contains(u'/') ? 0 : 1)];
            QVERIFY(!list->findItems(entry.section(u'/', 0, 0), Qt::MatchEndsWith).isEmpty());
            if (!entry.endsWith(u'/'))
                QCOMPARE(testing::readAll(QDir(receiving).filePath(entry)), entry.toUtf8());
        }
    }

    void folderMenus_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("entry"); // empty: the open local folder
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("menu");
        const QString download = u"フォルダをダウンロード"_s,
                      upload = u"フォルダをアップロード|ミラーリングアップロード…"_s,
                      off = u"フォルダをアップロード (off)|ミラーリングアップロード… (off)"_s;
        QTest::newRow("remote folder") << u"List1"_s << u"tree"_s << u"mouse"_s << download;
        QTest::newRow("remote, keyboard") << u"List1"_s << u"tree"_s << u"Shift+F10"_s << download;
        QTest::newRow("local sub-folder") << u"Dir1"_s << u"site"_s << u"mouse"_s << upload;
        QTest::newRow("local, keyboard") << u"Dir1"_s << u"site"_s << u"Shift+F10"_s << upload;
        QTest::newRow("the open local folder") << u"Dir1"_s << QString() << u"mouse"_s << QString();
        QTest::newRow("local, no session") << u"Dir1"_s << u"site"_s << u"no session"_s << off;
    }
    void folderMenus() {
        QFETCH(QString, list);
        QFETCH(QString, entry);
        QFETCH(QString, how);
        QFETCH(QString, menu);
        const bool session = how != "no session"_L1;
        if (!session)
            w->mnuClose->trigger();
        const QString target = entry.isEmpty() ? QDir(local->path()).dirName() : entry;
        QCOMPARE(openMenu(w->findChild<QListWidget*>(list), target, how == "Shift+F10"_L1), menu);
        // Nor does a drop from the desktop start anything without a session.
        QMimeData desktop;
        desktop.setUrls({QUrl::fromLocalFile(local->filePath(u"one.txt"_s))});
        QCOMPARE(drop(w->List2, desktop), session);
        QTRY_COMPARE(tree(pub()).contains(u"one.txt"_s), session);
    }

    // A plain click after Ctrl-clicks leaves one entry selected and composes its path as
    // before; several files need Text3 as one does.
    void plainClicksSelectOne() {
        click(w->List2, u"a.txt"_s);
        click(w->List2, u"b.bin"_s, Qt::ControlModifier);
        w->Text3->clear();
        w->Command6->click();
        QCOMPARE(boxes->texts().value(0),
                 u"ファイル名が選択されていないか、保存場所を指定されていません。"_s);
        click(w->List2, u"b.bin"_s);
        QCOMPARE(w->List2->selectedItems().size(), 1);
        QCOMPARE(w->Combo4->currentText(), u"/pub/b.bin"_s);
        click(w->File1, u"one.txt"_s);
        click(w->File1, u"two.txt"_s, Qt::ControlModifier);
        QCOMPARE(w->File1->FileName(), u"two.txt"_s); // the one clicked last
    }
};

QTEST_MAIN(BatchesWindowTest)
#include "tst_batches_window.moc"
