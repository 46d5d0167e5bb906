// The main window while a call runs on the engine's thread: it keeps painting and
// answering timers, holds user input back, and after half a second shows the progress
// window, whose "中止" and frame close both cancel. The component is a slow double behind
// the real ThreadedComponent.
#include "mainwindow/frmTesselFTP.h"
#include "ftp/component/CallControl.h"
#include "ftp/component/ThreadedComponent.h"
#include "platform/CallProgress.h"
#include "platform/ProgressText.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <thread>

namespace {

// Connect takes `connectMs` and GetFile `transferMs` unless cancelled; the rest answer at
// once.
class SlowComponent : public ftp::FtpComponent {
public:
    SlowComponent(int connectMs, int transferMs) : connectMs_(connectMs), transferMs_(transferMs) {}
    void setCallControl(platform::CallControl* control) override { control_ = control; }
    int OpenLog(const QString& path, int) override {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile log(path);
        return log.open(QIODevice::WriteOnly) ? 0 : -1;
    }
    int Connect(const QString&, const QString&, const QString&) override {
        return waitOut(connectMs_, 0) ? 0 : 9;
    }
    int PutFile(const QString&, const QString&, int&) override { return 1; }
    int GetFile(const QString&, const QString&, int&) override {
        control_->setTotal(qint64(transferMs_) * 1000);
        if (!waitOut(transferMs_, 1000))
            throw ftp::FtpError(QStringLiteral("Cancelled by the user."));
        return 1;
    }
    int DeleteFile(const QString&) override { return 1; }
    int Command(const QString&) override { return 2; }
    QString GetReply() override { return QString(); }
    int CloseLog() override { return 0; }
    void Close() override {}

protected:
    ftp::DirList listNames(const QString&, bool) override { return std::nullopt; }

private:
    int connectMs_;
    int transferMs_;
    platform::CallControl* control_ = nullptr;

    // False when cancelled; `perMs` bytes of progress each millisecond.
    bool waitOut(int ms, qint64 perMs) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            if (control_->isCancelled())
                return false;
            control_->setDone(timer.elapsed() * perMs);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
};

void installSlow(int connectMs, int transferMs = 0) {
    ftp::registerComponent(ftp::kFtpComponentId, [connectMs, transferMs] {
        return std::make_unique<ftp::ThreadedComponent>(
            [connectMs, transferMs] { return std::make_unique<SlowComponent>(connectMs, transferMs); });
    });
}

QWidget* progressWindow() {
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (window->objectName() == u"ProgressWindow" && window->isVisible())
            return window;
    return nullptr;
}

template <typename T> T* child(QWidget& w, const char* name) {
    return w.findChild<T*>(QString::fromLatin1(name));
}

// Presses a button or a menu item as a screen reader does: no input hold filters it.
void pressAccessibly(QWidget& w, const QString& name) {
    QObject* target = w.findChild<QObject*>(name);
    QAccessibleInterface* node =
        target->isWidgetType() ? QAccessible::queryAccessibleInterface(target) : nullptr;
    for (QWidget* menu : w.findChildren<QWidget*>()) {
        QAccessibleInterface* owner = QAccessible::queryAccessibleInterface(menu);
        for (int i = 0;
             !node && (menu->inherits("QMenuBar") || menu->inherits("QMenu")) && i < owner->childCount(); ++i)
            node = owner->child(i)->object() == target ? owner->child(i) : nullptr;
    }
    node->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

// Runs `start` in the program's main loop; whether the program was ended meanwhile (a new
// event loop then returns at once).
bool endsTheProgram(const std::function<void()>& start) {
    QTimer::singleShot(0, [&] {
        start();
        QEventLoop probe;
        QTimer::singleShot(0, &probe, [&probe] { probe.exit(0); });
        if (probe.exec() == 0)
            QCoreApplication::exit(1);
    });
    return QCoreApplication::exec() == 0;
}

} // namespace

class CallProgressTest : public QObject {
    Q_OBJECT

    // Runs `during` `afterMs` into a connect through the menu, then lets the connect end.
    void connectWith(frmTesselFTP& w, int afterMs, const std::function<void()>& during) {
        child<QComboBox>(w, "Combo1")->setEditText(QStringLiteral("ftp.example.jp"));
        QTimer::singleShot(afterMs, &w, during);
        child<QAction>(w, "mnuConect")->trigger();
    }

private slots:
    void cleanup() { ftp::registerComponent(ftp::kFtpComponentId, &ftp::createThreadedFtpEngine); }

    void theWindowLivesWhileACallRunsAndTakesNoInput() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        installSlow(1'500);
        frmTesselFTP w;
        w.show();
        auto* status = child<QLabel>(w, "Label2");
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(50);
        int paints = 0;
        struct PaintCounter : QObject {
            int& count;
            explicit PaintCounter(int& c) : count(c) {}
            bool eventFilter(QObject*, QEvent* e) override {
                count += e->type() == QEvent::Paint;
                return false;
            }
        } counter(paints);
        status->installEventFilter(&counter);
        bool shownEarly = false, shownLate = false;
        QString what;
        QTimer::singleShot(300, &w, [&] { shownEarly = progressWindow() != nullptr; });
        connectWith(w, 200, [&] {
            status->setText(QStringLiteral("描画の確認"));
            // A click on "Save" while the call runs is held back: no server is added.
            QTest::mouseClick(child<QPushButton>(w, "Command2"), Qt::LeftButton);
            QTimer::singleShot(700, &w, [&] {
                QWidget* progress = progressWindow();
                shownLate = progress != nullptr;
                if (progress)
                    what = progress->findChild<QLabel*>(QStringLiteral("ProgressWhat"))->text();
            });
        });
        QVERIFY(ticks >= 10);
        QVERIFY(paints > 0);
        QCOMPARE(child<QComboBox>(w, "Combo1")->count(), 0);
        QVERIFY(!shownEarly);
        QVERIFY(shownLate);
        QCOMPARE(what, QStringLiteral("接続中: ftp.example.jp"));
        QCOMPARE(status->text(), QStringLiteral("接続成功。"));
        QVERIFY(!progressWindow());
        QVERIFY(boxes.shown.isEmpty());
    }

    void aFastCallShowsNoProgressWindow() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        installSlow(0);
        frmTesselFTP w;
        w.show();
        bool shown = false;
        struct ShowWatch : QObject {
            bool& shown;
            explicit ShowWatch(bool& s) : shown(s) {}
            bool eventFilter(QObject* o, QEvent* e) override {
                shown |= e->type() == QEvent::Show && o->objectName() == u"ProgressWindow";
                return false;
            }
        } watch(shown);
        qApp->installEventFilter(&watch);
        connectWith(w, 0, [] {});
        QTest::qWait(kSettleMs);
        qApp->removeEventFilter(&watch);
        QVERIFY(!shown);
        QCOMPARE(child<QLabel>(w, "Label2")->text(), QStringLiteral("接続成功。"));
        QVERIFY(boxes.shown.isEmpty());
    }

    void cancelButtonAndFrameCloseBothCancel_data() {
        QTest::addColumn<bool>("byFrame");
        QTest::newRow("中止") << false;
        QTest::newRow("frame") << true;
    }
    void cancelButtonAndFrameCloseBothCancel() {
        QFETCH(bool, byFrame);
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        installSlow(20'000);
        frmTesselFTP w;
        w.show();
        QElapsedTimer timer;
        timer.start();
        connectWith(w, 700, [&] {
            QWidget* progress = progressWindow();
            QVERIFY(progress);
            if (byFrame)
                progress->close();
            else
                QTest::mouseClick(progress->findChild<QPushButton*>(QStringLiteral("ProgressCancel")),
                                  Qt::LeftButton);
        });
        QVERIFY(timer.elapsed() < 5'000);
        QCOMPARE(child<QLabel>(w, "Label2")->text(), QStringLiteral("接続できませんでした。"));
        QVERIFY(boxes.shown.isEmpty());
    }

    void aCancelledDownloadEndsInTheErrorBox() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        boxes.answers = {platform::MsgResult::Cancel};
        installSlow(0, 20'000);
        frmTesselFTP w;
        w.show();
        connectWith(w, 0, [] {});
        child<QComboBox>(w, "Combo4")->setEditText(QStringLiteral("/pub/a.txt"));
        child<QLineEdit>(w, "Text3")->setText(env.appFolder());
        QString detail;
        int barMaximum = -1;
        QTimer::singleShot(900, &w, [&] {
            QWidget* progress = progressWindow();
            QVERIFY(progress);
            QCOMPARE(progress->findChild<QLabel*>(QStringLiteral("ProgressWhat"))->text(),
                     QStringLiteral("受信中: a.txt"));
            detail = progress->findChild<QLabel*>(QStringLiteral("ProgressDetail"))->text();
            barMaximum = progress->findChild<QProgressBar*>(QStringLiteral("ProgressBar"))->maximum();
            QTest::mouseClick(progress->findChild<QPushButton*>(QStringLiteral("ProgressCancel")),
                              Qt::LeftButton);
        });
        QTest::mouseClick(child<QPushButton>(w, "Command6"), Qt::LeftButton);
        QVERIFY2(detail.contains(QStringLiteral(" / 19.1 MB")), qPrintable(detail));
        QVERIFY(barMaximum > 0);
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("Error!")});
        QCOMPARE(child<QLabel>(w, "Label2")->text(), QStringLiteral("ファイルの受信中です"));
    }

    // One owner of a call's life: a press through accessibility during a call waits for
    // it; "サーバーから切断" and "終了" cancel it first, and all is done within 2 s.
    void actionsDuringACall_data() {
        QTest::addColumn<bool>("download"); // the running call: a download, else a connect
        QTest::addColumn<int>("callMs");    // how long it runs unless cancelled
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("status"); // at the end; none: the program ended
        QTest::addColumn<QString>("box");    // the one box shown, if any
        const QString received = QStringLiteral("ファイルの受信完了です");
        // The download put the folder back into the path box: no file is named any more.
        QTest::newRow("download, download")
            << true << 1'500 << "Command6" << received
            << QStringLiteral("ファイル名が選択されていないか、保存場所を指定されていません。");
        QTest::newRow("download, 切断")
            << true << 20'000 << "mnuClose" << QStringLiteral("切断しました") << QString();
        QTest::newRow("download, 終了") << true << 20'000 << "mnuEnd2" << QString() << QString();
        QTest::newRow("connect, 終了") << false << 20'000 << "mnuEnd2" << QString() << QString();
        QTest::newRow("connect, 接続")
            << false << 1'500 << "mnuConect" << QStringLiteral("接続成功。") << QString();
    }
    void actionsDuringACall() {
        QFETCH(bool, download);
        QFETCH(int, callMs);
        QFETCH(QString, action);
        QFETCH(QString, status);
        QFETCH(QString, box);
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        installSlow(download ? 0 : callMs, download ? callMs : 0);
        frmTesselFTP w;
        w.show();
        if (download) {
            connectWith(w, 0, [] {});
            child<QComboBox>(w, "Combo4")->setEditText(QStringLiteral("/pub/a.txt"));
            child<QLineEdit>(w, "Text3")->setText(env.appFolder());
        }
        QElapsedTimer sincePress, sinceTick;
        qint64 longestFreeze = 0; // the window answers timers throughout
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout,
                         [&] { longestFreeze = std::max(longestFreeze, sinceTick.restart()); });
        const bool ended = endsTheProgram([&] {
            sinceTick.start();
            ticker.start(20);
            QTimer::singleShot(100, &w, [&] {
                sincePress.start();
                pressAccessibly(w, action);
            });
            download ? child<QPushButton>(w, "Command6")->click() : connectWith(w, 0, [] {});
        });
        QVERIFY(sincePress.isValid() && (callMs < 20'000 || sincePress.elapsed() < 2'000));
        QVERIFY2(longestFreeze < 600, qPrintable(QString::number(longestFreeze)));
        QCOMPARE(ended, status.isEmpty());
        if (!ended)
            QCOMPARE(child<QLabel>(w, "Label2")->text(), status);
        QCOMPARE(boxes.texts(), box.isEmpty() ? QStringList() : QStringList{box});
    }

    // Giving up a transfer never raises, and a component dropped under its running call
    // cancels it instead of waiting for its end.
    void theComponentHoldsUnderItsRunningCall() {
        installSlow(0, 20'000);
        std::unique_ptr<ftp::FtpComponent> component = ftp::CreateObject(ftp::kFtpComponentId);
        QElapsedTimer sinceDrop;
        QTimer::singleShot(100, [&] {
            component->GiveUpTransfer();
            sinceDrop.start();
            component.reset();
        });
        int mode = ftp::BinaryMode;
        QVERIFY_THROWS_EXCEPTION(ftp::FtpError,
                                 component->GetFile(QStringLiteral("/a"), QStringLiteral("a"), mode));
        QVERIFY(sinceDrop.elapsed() < 2'000);
    }

    void progressTexts() {
        QCOMPARE(progresstext::readableBytes(999), QStringLiteral("999 B"));
        QCOMPARE(progresstext::readableBytes(1536), QStringLiteral("1.50 KB"));
        QCOMPARE(progresstext::readableBytes(qint64(5) << 30), QStringLiteral("5.00 GB"));
        QCOMPARE(progresstext::clockTime(23), QStringLiteral("0:23"));
        QCOMPARE(progresstext::clockTime(3723), QStringLiteral("1:02:03"));
        // 1 MiB of 3 MiB in one second: 1 MiB a second, two seconds left.
        QCOMPARE(progresstext::transferLine(1 << 20, 3 << 20, 1000),
                 QStringLiteral("1.00 MB / 3.00 MB　1.00 MB/秒　残り 0:02"));
        QCOMPARE(progresstext::transferLine(1 << 20, -1, 0), QStringLiteral("1.00 MB"));
        QCOMPARE(progresstext::describe({platform::CallKind::Dial, QStringLiteral("isp")}),
                 QStringLiteral("ダイアル中: isp"));
    }

private:
    static constexpr int kSettleMs = 700;
};

QTEST_MAIN(CallProgressTest)
#include "tst_callprogress.moc"
