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

// The rows of the tree list `list` in `window`: "first column second column".
QStringList rows(QWidget* window, const QString& list = QStringLiteral("QueueList")) {
    QStringList texts;
    auto* tree = window ? window->findChild<QTreeWidget*>(list) : nullptr;
    for (int i = 0; tree && i < tree->topLevelItemCount(); ++i)
        texts.append(tree->topLevelItem(i)->text(0) + u' ' + tree->topLevelItem(i)->text(1));
    return texts;
}

// Runs `act` once `ready` holds, looked at every few milliseconds while the queue runs.
class Once : public QObject {
public:
    Once(std::function<bool()> ready, std::function<void()> act) {
        connect(&timer_, &QTimer::timeout, this, [this, ready, act] {
            if (ready()) {
                timer_.stop();
                act();
            }
        });
        timer_.start(2);
    }

private:
    QTimer timer_;
};

// Answers the mirror's preview: what it listed and how it looked, the deletion box set as
// asked, then `button` pressed.
struct Preview {
    QStringList listed;
    QString look; // the title, and the deletion box's text and state as it opened
    std::unique_ptr<Once> answer;
    Preview(bool deleting, const QString& button) {
        answer = std::make_unique<Once>(
            [] {
                return QApplication::activeModalWidget() &&
                       QApplication::activeModalWidget()->objectName() == u"frmMirror";
            },
            [this, deleting, button] {
                QWidget* preview = QApplication::activeModalWidget();
                auto* box = preview->findChild<QCheckBox*>(QStringLiteral("chkDeleteRemoteOnly"));
                look = preview->windowTitle() + u' ' + box->text() + (box->isChecked() ? u" ☑" : u" ☐");
                box->setChecked(deleting);
                listed = rows(preview, QStringLiteral("MirrorList"));
                preview->findChild<QPushButton*>(button)->click();
            });
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
        QVERIFY(rows(queueWindow()).contains(QStringLiteral("tree/a.txt 完了")));
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

        const QString mirror = onLocal(QStringLiteral("site"));
        { // Cancelled: nothing happens.
            const Preview preview(false, QStringLiteral("cmdMirrorCancel"));
            run(Kind::MirrorUpload, {}, {mirror}, QStringLiteral("/pub/"));
            QCOMPARE(preview.look,
                     QStringLiteral("ミラーリングアップロード サーバーだけにあるファイルを削除 ☐"));
            QCOMPARE(preview.listed, sent);
            QVERIFY(!queueWindow());
            QCOMPARE(readAll(onServer(QStringLiteral("pub/site/grown.txt"))), QByteArray("old"));
        }
        { // Run: only those sent, nothing deleted unasked.
            const Preview preview(false, QStringLiteral("cmdMirrorRun"));
            run(Kind::MirrorUpload, {}, {mirror}, QStringLiteral("/pub/"));
            QCOMPARE(preview.listed, sent);
            QCOMPARE(boxes->texts(), QStringList());
            QCOMPARE(w->Label2->text(), QStringLiteral("ミラーリングアップロード完了です"));
            QCOMPARE(readAll(onServer(QStringLiteral("pub/site/touched.txt"))), QByteArray("wxyz"));
            QCOMPARE(readAll(onServer(QStringLiteral("pub/site/newdir/inner.txt"))), QByteArray("inner"));
            QVERIFY(QFile::exists(onServer(QStringLiteral("pub/site/old.txt"))));
            QCOMPARE(rows(queueWindow()).size(), sent.size());
        }
        // Again, asked to delete: the times were set after the uploads, so only the remote-only
        // file is left to do.
        const Preview preview(true, QStringLiteral("cmdMirrorRun"));
        run(Kind::MirrorUpload, {}, {mirror}, QStringLiteral("/pub/"));
        QCOMPARE(preview.listed, QStringList{QStringLiteral("削除 site/old.txt")});
        QCOMPARE(boxes->texts(), QStringList());
        QVERIFY(!QFile::exists(onServer(QStringLiteral("pub/site/old.txt"))));
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
        QVERIFY(rows(queueWindow()).value(2).startsWith(QStringLiteral("mixed/2.txt 失敗: ")));
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
        const Once stop(
            [this] {
                const QStringList states = rows(queueWindow());
                return std::any_of(states.cbegin(), states.cend(), [](const QString& state) {
                    return state.startsWith(u"big/2.bin 転送中");
                });
            },
            [this] { queueWindow()->findChild<QPushButton*>(QStringLiteral("cmdQueueStop"))->click(); });
        run(Kind::Download, {}, {QStringLiteral("/pub/big")}, local.path());
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("転送を中止しました"));
        const QStringList states = rows(queueWindow());
        QCOMPARE(states.value(2), QStringLiteral("big/2.bin 失敗: 中止しました。"));
        QCOMPARE(states.value(3), QStringLiteral("big/3.txt 待機"));
        // No part file, no half file: only what arrived whole.
        QCOMPARE(treeOf(onLocal(QStringLiteral("big"))), QStringList{QStringLiteral("1.txt")});
        QFile::remove(onServer(QStringLiteral("pub/big/2.bin")));
    }
};

QTEST_MAIN(FolderQueueTest)
#include "tst_folder_queue.moc"
