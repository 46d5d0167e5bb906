// Every way into a batch, against a real FTP server on loopback: drops from the desktop
// onto the remote lists, several selected files per button, the folder menus, and drags
// from the remote lists onto the local pane; checked on the disk that receives.
#include "platform/LocalLists.h"
#include "support/Files.h"
#include "support/MainWindow.h"
#include "support/PyFtpServer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"
#include "support/WindowLogin.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

using testing::PyFtpServer;
using testing::readAll;
using testing::writeAll;

namespace {

// Every file and folder below `folder`, relative, folders ending in "/", sorted.
QStringList tree(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        found.append(QDir(folder).relativeFilePath(it.filePath()) + (it.fileInfo().isDir() ? u"/" : u""));
    }
    found.sort();
    return found;
}

QStringList names(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}

QPoint centreOf(QListWidget* list, const QString& text) {
    const QListWidgetItem* item = list->findItems(text, Qt::MatchExactly).value(0);
    return item ? list->visualItemRect(item).center() : QPoint(-1, -1);
}

void click(QListWidget* list, const QString& text, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, centreOf(list, text));
}

void drop(QListWidget* list, const QMimeData& data) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent event(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &event);
    QVERIFY(event.isAccepted());
    QCOMPARE(event.dropAction(), Qt::CopyAction); // the entries stay where they came from
}

// The menu entry `action` of the context menu opened on `entry` by a right-click.
void chooseFromMenu(QListWidget* list, const QString& entry, const char* action) {
    const QPoint at = centreOf(list, entry);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QAction* chosen = menu->findChild<QAction*>(QLatin1String(action));
    QVERIFY(chosen && chosen->isEnabled());
    menu->close();
    chosen->trigger();
}

// Presses "実行" in the mirror's preview once it opens.
void runMirrorWhenAsked() {
    QTimer::singleShot(50, [] {
        QWidget* preview = QApplication::activeModalWidget();
        if (!preview || preview->objectName() != QLatin1String("frmMirror"))
            return runMirrorWhenAsked();
        preview->findChild<QPushButton*>(QStringLiteral("cmdMirrorRun"))->click();
    });
}

// What a drag of the selected entries of a remote list carries.
QMimeData* dragOf(QListWidget* list) {
    return list->model()->mimeData(list->selectionModel()->selectedIndexes());
}

} // namespace

class BatchesWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> root;  // the server's files
    std::unique_ptr<QTemporaryDir> local; // the user's files
    std::unique_ptr<PyFtpServer> server;
    std::unique_ptr<testing::TestEnvironment> env;
    std::unique_ptr<testing::ScriptedMessageBoxes> boxes;
    std::unique_ptr<testing::MainWindow> w;

    QString pub() const { return root->filePath(QStringLiteral("pub")); }
    QString onLocal(const QString& name) const { return QDir::toNativeSeparators(local->filePath(name)); }

    void fill(const QString& folder, const QStringList& paths) {
        for (const QString& path : paths) {
            QVERIFY(QDir(folder).mkpath(path.endsWith(u'/') ? path : QFileInfo(path).path()));
            if (!path.endsWith(u'/'))
                writeAll(QDir(folder).filePath(path), path.toUtf8());
        }
    }

private slots:
    // A fresh server and local folder, the window connected with /pub listed.
    void init() {
        root = std::make_unique<QTemporaryDir>();
        local = std::make_unique<QTemporaryDir>();
        fill(pub(), {QStringLiteral("a.txt"), QStringLiteral("b.bin"), QStringLiteral("tree/x.txt"),
                     QStringLiteral("tree/deep/y.txt"), QStringLiteral("tree/empty/")});
        fill(local->path(),
             {QStringLiteral("one.txt"), QStringLiteral("two.txt"), QStringLiteral("site/s.txt"),
              QStringLiteral("site/in/t.txt"), QStringLiteral("site/none/")});
        server = std::make_unique<PyFtpServer>();
        QVERIFY2(server->start(root->path()) != 0, qPrintable(server->errorString()));
        env = std::make_unique<testing::TestEnvironment>();
        boxes = std::make_unique<testing::ScriptedMessageBoxes>();
        w = std::make_unique<testing::MainWindow>();
        w->show();
        w->Dir1->setPath(local->path());
        testing::loginAndList(*w, *server, QStringLiteral("/pub"));
    }

    void cleanup() {
        if (w && w->mnuClose->isEnabled())
            w->mnuClose->trigger();
        w.reset();
        boxes.reset();
        env.reset();
        server.reset();
    }

    void eachWayEndsOnDisk_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("upload");
        QTest::addColumn<QStringList>("arrived"); // new below /pub (upload) or the local folder
        const QStringList site = names({"site/", "site/in/", "site/in/t.txt", "site/none/", "site/s.txt"});
        const QStringList tree =
            names({"tree/", "tree/deep/", "tree/deep/y.txt", "tree/empty/", "tree/x.txt"});
        QTest::newRow("desktop onto List1") << "drop List1" << true << (names({"one.txt"}) + site);
        QTest::newRow("desktop onto List2") << "drop List2" << true << (names({"one.txt"}) + site);
        QTest::newRow("several files, upload") << "upload button" << true << names({"one.txt", "two.txt"});
        QTest::newRow("several files, download") << "download button" << false << names({"a.txt", "b.bin"});
        QTest::newRow("フォルダをダウンロード") << "menu List1" << false << tree;
        QTest::newRow("フォルダをアップロード") << "menu Dir1" << true << site;
        QTest::newRow("ミラーリングアップロード…") << "mirror Dir1" << true << site;
        QTest::newRow("List2 onto File1") << "drag List2" << false << names({"a.txt", "b.bin"});
        QTest::newRow("List1 onto Dir1") << "drag List1" << false << tree;
    }
    void eachWayEndsOnDisk() {
        QFETCH(QString, way);
        QFETCH(bool, upload);
        QFETCH(QStringList, arrived);
        const QString receiving = upload ? pub() : local->path();
        QStringList expected = tree(receiving) + arrived;
        expected.sort();

        QMimeData desktop;
        desktop.setUrls({QUrl::fromLocalFile(local->filePath(QStringLiteral("one.txt"))),
                         QUrl::fromLocalFile(local->filePath(QStringLiteral("site"))),
                         QUrl(QStringLiteral("https://example.com/not-local.txt"))});
        if (way.startsWith(QLatin1String("drop")))
            drop(way.endsWith(u'1') ? w->List1 : w->List2, desktop);
        if (way == QLatin1String("upload button")) {
            click(w->File1, QStringLiteral("one.txt"), {});
            click(w->File1, QStringLiteral("two.txt"), Qt::ControlModifier);
            w->Command5->click();
        }
        if (way == QLatin1String("download button") || way == QLatin1String("drag List2")) {
            click(w->List2, QStringLiteral("a.txt"), {});
            click(w->List2, QStringLiteral("b.bin"), Qt::ShiftModifier);
        }
        if (way == QLatin1String("download button")) {
            w->Text3->setText(onLocal(QString()));
            w->Command6->click();
        }
        if (way == QLatin1String("menu List1"))
            chooseFromMenu(w->List1, QStringLiteral("tree"), "mnuFolderDownload");
        if (way == QLatin1String("menu Dir1"))
            chooseFromMenu(w->Dir1, QStringLiteral("  site"), "mnuFolderUpload");
        if (way == QLatin1String("mirror Dir1")) {
            runMirrorWhenAsked();
            chooseFromMenu(w->Dir1, QStringLiteral("  site"), "mnuMirrorUpload");
        }
        if (way == QLatin1String("drag List1"))
            click(w->List1, QStringLiteral("tree"), {});
        if (way.startsWith(QLatin1String("drag"))) {
            const std::unique_ptr<QMimeData> data(dragOf(way.endsWith(u'1') ? w->List1 : w->List2));
            QVERIFY(data);
            drop(way.endsWith(u'1') ? static_cast<QListWidget*>(w->Dir1) : w->File1, *data);
        }
        QTRY_COMPARE_WITH_TIMEOUT(tree(receiving), expected, 20000);
        QCOMPARE(boxes->texts(), QStringList());
        const QString done = way.startsWith(QLatin1String("mirror"))
                                 ? QStringLiteral("ミラーリングアップロード完了です")
                             : upload ? QStringLiteral("フォルダの送信完了です")
                                      : QStringLiteral("フォルダの受信完了です");
        QTRY_COMPARE(w->Label2->text(), done);
        // What arrived shows in the lists of the side that received it.
        for (const QString& entry : arrived) {
            const QString top = entry.section(u'/', 0, 0);
            const bool folder = entry.contains(u'/');
            QListWidget* list = upload ? (folder ? w->List1 : w->List2)
                                       : (folder ? static_cast<QListWidget*>(w->Dir1) : w->File1);
            QVERIFY2(!list->findItems(top, Qt::MatchEndsWith).isEmpty(), qPrintable(entry));
        }
        const QString sample = upload ? QStringLiteral("site/in/t.txt") : QStringLiteral("tree/deep/y.txt");
        if (arrived.contains(sample))
            QCOMPARE(readAll(QDir(receiving).filePath(sample)), sample.toUtf8());
    }
};

QTEST_MAIN(BatchesWindowTest)
#include "tst_batches_window.moc"
