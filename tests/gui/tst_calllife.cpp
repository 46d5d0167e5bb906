// The life of a call: while one runs on the engine's thread, what a screen reader or
// speech input triggers through accessibility actions (which no input hold filters)
// neither crashes nor hangs the program. Another call waits for the running one;
// "サーバーから切断" and "終了" cancel it first and are done within 2 s.
#include "support/FakeFtpComponent.h"
#include "support/MainWindow.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// Ends the test program when a case has not finished in time: a hung window would
// otherwise hold the whole run until its time-out.
class Watchdog {
public:
    explicit Watchdog(int ms)
        : thread_([this, ms] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return finished_; }))
                  qFatal("The window did not answer for %d ms", ms);
          }) {}
    ~Watchdog() {
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

// Presses a button or a menu item of the window as a screen reader does.
void pressAccessibly(QMainWindow& w, QObject* target) {
    QAccessibleInterface* node = nullptr;
    if (auto* widget = qobject_cast<QWidget*>(target))
        node = QAccessible::queryAccessibleInterface(widget);
    QList<QWidget*> menus{w.menuBar()};
    for (QMenu* menu : w.findChildren<QMenu*>())
        menus.append(menu);
    for (QWidget* menu : menus) {
        QAccessibleInterface* owner = QAccessible::queryAccessibleInterface(menu);
        for (int i = 0; !node && i < owner->childCount(); ++i)
            if (owner->child(i)->object() == target)
                node = owner->child(i);
    }
    QVERIFY(node && node->actionInterface());
    node->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

// Whether the program was told to end: a new event loop then returns at once.
bool quitRequested() {
    QEventLoop probe;
    QTimer::singleShot(0, &probe, [&probe] { probe.exit(0); });
    return probe.exec() != 0;
}

QStringList ops(const char* names) {
    return QString::fromLatin1(names).split(u' ');
}

QStringList operations(const QStringList& calls) {
    QStringList names;
    for (const QString& call : calls)
        names.append(call.left(call.indexOf(u'(')));
    return names;
}

} // namespace

class CallLifeTest : public QObject {
    Q_OBJECT

private slots:
    void actionsDuringACall_data() {
        QTest::addColumn<QString>("blocked");      // the call that runs
        QTest::addColumn<QString>("action");       // pressed meanwhile
        QTest::addColumn<bool>("release");         // the running call then ends on its own
        QTest::addColumn<QString>("status");       // Label2 at the end; empty: the program ended
        QTest::addColumn<int>("live");             // component instances at the end
        QTest::addColumn<QStringList>("sequence"); // the calls made from the first one on
        QTest::addColumn<QString>("box");          // the one box shown, if any

        const auto row = [](const char* name, const char* blocked, const char* action, bool release,
                            const QString& status, int live, const char* sequence, const QString& box = {}) {
            QTest::newRow(name) << QString::fromLatin1(blocked) << QString::fromLatin1(action) << release
                                << status << live << ops(sequence) << box;
        };
        const QString received = QStringLiteral("ファイルの受信完了です");
        // The second press waits for the first download, which puts the remote folder back
        // into the path box: no file is named any more.
        row("download, download", "GetFile", "Command6", true, received, 1, "GetFile",
            QStringLiteral("ファイル名が選択されていないか、保存場所を指定されていません。"));
        row("download, 変更", "GetFile", "Command1", true, received, 1, "GetFile GetDir GetDir");
        row("download, 切断", "GetFile", "mnuClose", false, QStringLiteral("切断しました"), 0,
            "GetFile GiveUpTransfer CloseLog Close");
        row("download, 終了", "GetFile", "mnuEnd2", false, QString(), 1, "GetFile GiveUpTransfer");
        row("connect, 終了", "Connect", "mnuEnd2", false, QString(), 1, "OpenLog Connect");
        row("connect, 接続", "Connect", "mnuConect", true, QStringLiteral("接続成功。"), 1,
            "OpenLog Connect GetDir GetDir OpenLog Connect GetDir GetDir");
    }
    void actionsDuringACall() {
        QFETCH(QString, blocked);
        QFETCH(QString, action);
        QFETCH(bool, release);
        QFETCH(QString, status);
        QFETCH(int, live);
        QFETCH(QStringList, sequence);
        QFETCH(QString, box);
        testing::TestEnvironment env;
        testing::FakeFtpInstall fake(true);
        testing::ScriptedMessageBoxes boxes;
        QTemporaryDir local;
        testing::MainWindow w;
        w.show();
        testing::FakeFtpRecord& record = fake.record();
        if (blocked == u"GetFile") {
            fake.script().files[QStringLiteral("/pub")] = QStringList{QStringLiteral("a.txt")};
            w.mnuConect->trigger();
            w.Combo4->setEditText(QStringLiteral("/pub"));
            w.Command1->click();
            w.List2->setCurrentRow(0);
            w.Text3->setText(local.path() + u'/');
        }
        fake.script().blocking = {blocked + QStringLiteral(":1")};
        const qsizetype mark = record.calls.size();

        const Watchdog watchdog(15'000);
        QElapsedTimer sincePress;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (record.blocked == 0)
                return;
            poll.stop();
            pressAccessibly(w, w.findChild<QObject*>(action));
            sincePress.start();
            if (release)
                QTimer::singleShot(300, [&] { record.released = true; });
        });
        poll.start(5);
        bool ended = false;
        QTimer::singleShot(0, &w, [&] {
            if (blocked == u"Connect")
                w.mnuConect->trigger();
            else
                w.Command6->click();
            ended = quitRequested();
            if (!ended)
                QCoreApplication::exit(0);
        });
        QCoreApplication::exec();

        QVERIFY(sincePress.isValid());
        if (!release)
            QVERIFY2(sincePress.elapsed() < 2'000, qPrintable(QString::number(sincePress.elapsed())));
        QCOMPARE(ended, status.isEmpty());
        if (!ended)
            QCOMPARE(w.Label2->text(), status);
        QCOMPARE(operations(record.calls.mid(mark)), sequence);
        QCOMPARE(record.liveInstances, live);
        QCOMPARE(boxes.texts(), box.isEmpty() ? QStringList() : QStringList{box});
    }

    // The component on its own: giving up a transfer never raises, and one dropped under
    // its running call cancels it instead of waiting for its end.
    void theComponentHoldsUnderItsRunningCall() {
        testing::TestEnvironment env;
        testing::FakeFtpInstall fake(true);
        fake.script().blocking = {QStringLiteral("GetFile")};
        std::unique_ptr<ftp::FtpComponent> component = ftp::CreateObject(ftp::kFtpComponentId);
        const Watchdog watchdog(15'000);
        bool gaveUp = false;
        QElapsedTimer sinceDrop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (fake.record().blocked == 0)
                return;
            poll.stop();
            try {
                component->GiveUpTransfer();
                gaveUp = true;
            } catch (const std::exception&) {
            }
            sinceDrop.start();
            component.reset();
        });
        poll.start(5);
        int mode = ftp::BinaryMode;
        try {
            component->GetFile(QStringLiteral("/a.bin"), env.appFolder() + QStringLiteral("a.bin"), mode);
            QFAIL("the call was not cancelled");
        } catch (const ftp::FtpError& error) {
            QCOMPARE(error.detail().kind, ftp::FailureKind::Cancelled);
        }
        QVERIFY(gaveUp);
        QVERIFY(sinceDrop.elapsed() < 2'000);
        QCOMPARE(fake.record().liveInstances, 0);
    }
};

QTEST_MAIN(CallLifeTest)
#include "tst_calllife.moc"
