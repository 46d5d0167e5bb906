// Every call of the component reaches the wrapped one on the worker thread, announced to
// the waiter with what the progress shows; one no component does fails cleanly.
#include "ftp/component/ThreadedComponent.h"
#include "platform/WorkerThread.h"

#include <QTest>
#include <QThread>

namespace {

// Does every call itself, noting it and the thread it ran on.
class Recorder : public ftp::FtpComponent {
public:
    QStringList* calls;
    QThread** thread;
    Recorder(QStringList* c, QThread** t) : calls(c), thread(t) {}
    int note(const QString& call) {
        calls->append(call);
        *thread = QThread::currentThread();
        return 7;
    }
    int OpenLog(const QString& path, int) override { return note(u"OpenLog " + path); }
    int Connect(const QString& server, const QString&, const QString&) override {
        return note(u"Connect " + server);
    }
    int PutFile(const QString& local, const QString&, int&) override { return note(u"PutFile " + local); }
    int GetFile(const QString& remote, const QString&, int&) override { return note(u"GetFile " + remote); }
    int DeleteFile(const QString& remote) override { return note(u"DeleteFile " + remote); }
    int Command(const QString& line) override { return note(u"Command " + line); }
    int CloseLog() override { return note(QStringLiteral("CloseLog")); }

protected:
    ftp::DirList listNames(const QString& path, bool) override {
        note(u"GetDir " + path);
        return QStringList{path};
    }
};

class Waiter : public platform::CallWaiter {
public:
    QList<platform::CallInfo> seen;
    void wait(platform::CallWait& wait) override {
        seen.append(wait.info());
        wait.runUntilFinished();
    }
};

} // namespace

class TestThreadedComponent : public QObject {
    Q_OBJECT
private slots:
    void callsRunOnTheWorker_data() {
        QTest::addColumn<int>("call");
        QTest::addColumn<QString>("recorded");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");
        using K = platform::CallKind;
        QTest::newRow("OpenLog") << 0 << "OpenLog /l" << int(K::Quick) << "/l";
        QTest::newRow("Connect") << 1 << "Connect h" << int(K::Connect) << "h";
        QTest::newRow("GetDir") << 2 << "GetDir " << int(K::Listing) << "/";
        QTest::newRow("PutFile") << 3 << "PutFile /d/a.txt" << int(K::Upload) << "a.txt";
        QTest::newRow("GetFile") << 4 << "GetFile /r/b.bin" << int(K::Download) << "b.bin";
        QTest::newRow("DeleteFile") << 5 << "DeleteFile /r/c" << int(K::Command) << "DELE /r/c";
        QTest::newRow("Command") << 6 << "Command PASS secret" << int(K::Command) << "PASS ****";
        QTest::newRow("CloseLog") << 7 << "CloseLog" << int(K::Quick) << "";
    }
    void callsRunOnTheWorker() {
        QFETCH(int, call);
        QStringList calls;
        QThread* thread = nullptr;
        auto waiter = std::make_shared<Waiter>();
        platform::setCallWaiter(waiter);
        ftp::ThreadedComponent component([&] { return std::make_unique<Recorder>(&calls, &thread); });
        int mode = ftp::BinaryMode;
        const std::function<void()> invoke[] = {
            [&] { QCOMPARE(component.OpenLog(QStringLiteral("/l"), 0), 7); },
            [&] { QCOMPARE(component.Connect(QStringLiteral("h"), {}, {}), 7); },
            [&] { QCOMPARE(component.GetDir(QString()), ftp::DirList(QStringList{QString()})); },
            [&] { QCOMPARE(component.PutFile(QStringLiteral("/d/a.txt"), {}, mode), 7); },
            [&] { QCOMPARE(component.GetFile(QStringLiteral("/r/b.bin"), {}, mode), 7); },
            [&] { QCOMPARE(component.DeleteFile(QStringLiteral("/r/c")), 7); },
            [&] { QCOMPARE(component.Command(QStringLiteral("PASS secret")), 7); },
            [&] { QCOMPARE(component.CloseLog(), 7); }};
        invoke[call]();
        platform::setCallWaiter(nullptr);
        QCOMPARE(calls.size(), 1);
        QTEST(calls.value(0), "recorded");
        QVERIFY(thread && thread != QThread::currentThread());
        QCOMPARE(waiter->seen.size(), 1);
        QTEST(int(waiter->seen.first().kind), "kind");
        QTEST(waiter->seen.first().subject, "shown");
    }

    // A call the wrapped component does not do, nor forwards: an FtpError, not a crash;
    // the ones that may be left out keep their quiet defaults.
    void aCallNoOneDoesFails() {
        QStringList calls;
        QThread* thread = nullptr;
        ftp::ThreadedComponent component([&] { return std::make_unique<Recorder>(&calls, &thread); });
        QVERIFY_THROWS_EXCEPTION(ftp::FtpError, component.GetReply());
        QVERIFY_THROWS_EXCEPTION(ftp::FtpError, component.Close());
        QVERIFY(component.lastError().message().isEmpty());
        component.LogNote(QStringLiteral("note"));
        component.GiveUpTransfer();
        QVERIFY(calls.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestThreadedComponent)
#include "tst_threadedcomponent.moc"
