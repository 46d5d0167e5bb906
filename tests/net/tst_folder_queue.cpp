// Whole folders and several files through the main window's queue, with the real engine
// against pyftpdlib on loopback: trees with empty folders, Japanese names and a link loop
// both ways, the mirror upload's preview and what it sends, a failure and a stop mid-queue.
#include "support/Files.h"
#include "support/FolderTrees.h"
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

using testing::kTree;
using testing::makeTree;
using testing::PyFtpServer;
using testing::readAll;
using testing::treeOf;
using testing::writeAll;
using Kind = ftp::QueueRequest::Kind;

namespace {

QStringList queueStates(QWidget* window) {
    QStringList states;
    auto* list = window ? window->findChild<QTreeWidget*>(QStringLiteral("QueueList")) : nullptr;
    for (int i = 0; list && i < list->topLevelItemCount(); ++i)
        states.append(list->topLevelItem(i)->text(0) + u' ' + list->topLevelItem(i)->text(1));
    return states;
}

// Answers the mirror's preview once it opens: records what it lists, ticks the deletion box
// when asked, then presses "実行" or "キャンセル".
class PreviewAnswer : public QObject {
public:
    PreviewAnswer(bool deleteRemoteOnly, bool run) : deleteRemoteOnly_(deleteRemoteOnly), run_(run) {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, &PreviewAnswer::look);
        timer_.start();
    }
    QStringList listed;
    QString title;

private:
    QTimer timer_;
    bool deleteRemoteOnly_, run_;

    void look() {
        QWidget* preview = QApplication::activeModalWidget();
        if (!preview || preview->objectName() != QStringLiteral("frmMirror"))
            return;
        timer_.stop();
        title = preview->windowTitle();
        auto* box = preview->findChild<QCheckBox*>(QStringLiteral("chkDeleteRemoteOnly"));
        QVERIFY(box && !box->isChecked() &&
                box->text() == QStringLiteral("サーバーだけにあるファイルを削除"));
        box->setChecked(deleteRemoteOnly_);
        auto* list = preview->findChild<QTreeWidget*>(QStringLiteral("MirrorList"));
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            listed.append(list->topLevelItem(i)->text(0) + u' ' + list->topLevelItem(i)->text(1));
        const QString button = run_ ? QStringLiteral("cmdMirrorRun") : QStringLiteral("cmdMirrorCancel");
        preview->findChild<QPushButton*>(button)->click();
    }
};

// Presses "中止" in the transfer window once the row starting with `row` is being sent.
class StopWhen : public QObject {
public:
    StopWhen(QWidget* parent, const QString& row) : parent_(parent), row_(row) {
        timer_.setInterval(2);
        connect(&timer_, &QTimer::timeout, this, &StopWhen::look);
        timer_.start();
    }

private:
    QTimer timer_;
    QWidget* parent_;
    QString row_;

    void look() {
        auto* window = parent_->findChild<QWidget*>(QStringLiteral("frmQueue"));
        const QStringList states = queueStates(window);
        if (std::none_of(states.cbegin(), states.cend(), [&](const QString& state) {
                return state.startsWith(row_ + QStringLiteral(" 転送中"));
            }))
            return;
        timer_.stop();
        window->findChild<QPushButton*>(QStringLiteral("cmdQueueStop"))->click();
    }
};

void setTime(const QString& path, const QDateTime& time) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
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

    void downloadsSeveralFiles() {
        // Files from two folders, one name that is a folder; each folder listed once.
        run(Kind::Download,
            {QStringLiteral("/pub/tree/a.txt"), QStringLiteral("/pub/tree/日本語/ファイル.bin"),
             QStringLiteral("/pub/tree/sub/deep")},
            {}, local.path());
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(testing::treeOf(local.path()).join(u' '),
                 (QStringList{QStringLiteral("a.txt"), QStringLiteral("deep/"), QStringLiteral("deep/x.bin"),
                              QStringLiteral("ファイル.bin")})
                     .join(u' '));
        // The sizes came with the listings: the window counts them all.
        auto* bytes = queueWindow()->findChild<QLabel*>(QStringLiteral("QueueBytes"));
        QVERIFY2(bytes->text().startsWith(QStringLiteral("69.3 KB / 69.3 KB")), qPrintable(bytes->text()));
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

    void mirrorSendsOnlyNewAndChangedFilesAndDeletesOnlyWhenAsked() {
        const QDateTime then = QDateTime(QDate(2024, 5, 1), QTime(10, 20, 30), Qt::UTC);
        QDir(root.path()).mkpath(QStringLiteral("pub/site"));
        QDir(local.path()).mkpath(QStringLiteral("site/newdir"));
        const auto both = [&](const QString& name, const QByteArray& remote, const QByteArray& mine,
                              const QDateTime& remoteTime) {
            writeAll(onServer(QStringLiteral("pub/site/") + name), remote);
            setTime(onServer(QStringLiteral("pub/site/") + name), remoteTime);
            writeAll(onLocal(QStringLiteral("site/") + name), mine);
            setTime(onLocal(QStringLiteral("site/") + name), then);
        };
        both(QStringLiteral("same.txt"), "same", "same", then);
        both(QStringLiteral("grown.txt"), "old", "longer", then);
        both(QStringLiteral("touched.txt"), "abcd", "wxyz", then.addSecs(-3600));
        writeAll(onServer(QStringLiteral("pub/site/old.txt")), "only on the server");
        writeAll(onLocal(QStringLiteral("site/new.txt")), "new");
        writeAll(onLocal(QStringLiteral("site/newdir/inner.txt")), "inner");
        const QStringList sent = {QStringLiteral("更新 site/grown.txt"), QStringLiteral("新規 site/new.txt"),
                                  QStringLiteral("更新 site/touched.txt"),
                                  QStringLiteral("新規フォルダ site/newdir/"),
                                  QStringLiteral("新規 site/newdir/inner.txt")};

        { // Cancelled: nothing happens.
            PreviewAnswer answer(false, false);
            run(Kind::MirrorUpload, {}, {onLocal(QStringLiteral("site"))}, QStringLiteral("/pub/"));
            QCOMPARE(answer.title, QStringLiteral("ミラーリングアップロード"));
            QCOMPARE(answer.listed, sent);
            QVERIFY(!queueWindow());
            QCOMPARE(readAll(onServer(QStringLiteral("pub/site/grown.txt"))), QByteArray("old"));
        }
        { // Run: only those sent, nothing deleted unasked.
            PreviewAnswer answer(false, true);
            run(Kind::MirrorUpload, {}, {onLocal(QStringLiteral("site"))}, QStringLiteral("/pub/"));
            QCOMPARE(answer.listed, sent);
            QCOMPARE(boxes->texts(), QStringList());
            QCOMPARE(w->Label2->text(), QStringLiteral("ミラーリングアップロード完了です"));
            QCOMPARE(readAll(onServer(QStringLiteral("pub/site/touched.txt"))), QByteArray("wxyz"));
            QCOMPARE(readAll(onServer(QStringLiteral("pub/site/newdir/inner.txt"))), QByteArray("inner"));
            QVERIFY(QFile::exists(onServer(QStringLiteral("pub/site/old.txt"))));
            QCOMPARE(queueStates(queueWindow()).size(), sent.size());
        }
        { // Again, asked to delete: the times were set after the uploads, so only the
            // remote-only file is left to do.
            PreviewAnswer answer(true, true);
            run(Kind::MirrorUpload, {}, {onLocal(QStringLiteral("site"))}, QStringLiteral("/pub/"));
            QCOMPARE(answer.listed, QStringList{QStringLiteral("削除 site/old.txt")});
            QCOMPARE(boxes->texts(), QStringList());
            QVERIFY(!QFile::exists(onServer(QStringLiteral("pub/site/old.txt"))));
            QCOMPARE(
                QFileInfo(onServer(QStringLiteral("pub/site/new.txt"))).lastModified(),
                QFileInfo(onLocal(QStringLiteral("site/new.txt")))
                    .lastModified()
                    .addMSecs(
                        -QFileInfo(onLocal(QStringLiteral("site/new.txt"))).lastModified().time().msec()));
        }
    }

    void aFailingFileIsReportedWhileTheRestArrive() {
        QDir(root.path()).mkpath(QStringLiteral("pub/mixed"));
        for (const char* name : {"1.txt", "2.txt", "3.txt"})
            writeAll(onServer(QStringLiteral("pub/mixed/") + QLatin1String(name)), name);
        // A folder where the second file would go: that file cannot be saved.
        QVERIFY(QDir(local.path()).mkpath(QStringLiteral("mixed/2.txt")));
        run(Kind::Download, {}, {QStringLiteral("/pub/mixed")}, local.path());
        QCOMPARE(boxes->texts(), QStringList{QStringLiteral("転送できなかったファイルがあります。")});
        QVERIFY2(boxes->shown.value(0).informative.startsWith(QStringLiteral("mixed/2.txt: ")),
                 qPrintable(boxes->shown.value(0).informative));
        QVERIFY(queueStates(queueWindow()).value(2).startsWith(QStringLiteral("mixed/2.txt 失敗: ")));
        QCOMPARE(readAll(onLocal(QStringLiteral("mixed/3.txt"))), QByteArray("3.txt"));
        QCOMPARE(treeOf(onLocal(QStringLiteral("mixed"))),
                 (QStringList{QStringLiteral("1.txt"), QStringLiteral("2.txt/"), QStringLiteral("3.txt")}));
        QVERIFY(w->Label2->text() != QStringLiteral("フォルダの受信完了です"));
    }

    void withoutASessionNothingRuns() {
        w->mnuClose->trigger();
        run(Kind::Upload, {}, {onLocal(QString())}, QStringLiteral("/pub/"));
        QCOMPARE(boxes->texts(), QStringList{QStringLiteral("ERROR !!")});
        QVERIFY(!queueWindow());
    }

    void stopEndsTheQueueWithoutPartFiles() {
        QDir(root.path()).mkpath(QStringLiteral("pub/big"));
        writeAll(onServer(QStringLiteral("pub/big/1.txt")), "1");
        writeAll(onServer(QStringLiteral("pub/big/2.bin")), testing::randomBytes(200 << 20, 9));
        writeAll(onServer(QStringLiteral("pub/big/3.txt")), "3");
        const StopWhen stop(w.get(), QStringLiteral("big/2.bin"));
        run(Kind::Download, {}, {QStringLiteral("/pub/big")}, local.path());
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("転送を中止しました"));
        const QStringList states = queueStates(queueWindow());
        QCOMPARE(states.value(2), QStringLiteral("big/2.bin 失敗: 中止しました。"));
        QCOMPARE(states.value(3), QStringLiteral("big/3.txt 待機"));
        // No part file, no half file: only what arrived whole.
        QCOMPARE(treeOf(onLocal(QStringLiteral("big"))), QStringList{QStringLiteral("1.txt")});
        QFile::remove(onServer(QStringLiteral("pub/big/2.bin")));
    }
};

QTEST_MAIN(FolderQueueTest)
#include "tst_folder_queue.moc"
