#include "platform/WorkerThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QScopeGuard>
#include <QThread>

#include <mutex>
#include <vector>

namespace platform {

namespace {

std::mutex waiterMutex;
std::shared_ptr<CallWaiter>& installedWaiter() {
    static std::shared_ptr<CallWaiter> waiter;
    return waiter;
}

std::shared_ptr<CallWaiter> currentWaiter() {
    const std::lock_guard lock(waiterMutex);
    return installedWaiter();
}

// The calls this thread waits for, innermost last, and whether it refuses new ones.
thread_local std::vector<CallControl*> waitedCalls;
thread_local bool refusing = false;

} // namespace

bool waitingForCall() {
    return !waitedCalls.empty();
}

void cancelWaitedCalls() {
    for (CallControl* control : waitedCalls)
        control->cancel();
}

void refuseNewCalls(bool on) {
    refusing = on;
}

void setCallWaiter(std::shared_ptr<CallWaiter> waiter) {
    const std::lock_guard lock(waiterMutex);
    installedWaiter() = std::move(waiter);
}

void CallWait::runUntilFinished() {
    // The end of the call is an event for the loop, so it cannot be missed between the
    // check and exec(). Once the application was told to quit, exec() returns at once
    // (until the main loop has returned): the events are then processed here instead.
    while (!finished()) {
        if (loop_.exec() != 0 && !finished())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

WorkerThread::WorkerThread() : thread_(std::make_unique<QThread>()), context_(new QObject) {
    thread_->setObjectName(QStringLiteral("ftp worker"));
    context_->moveToThread(thread_.get());
    thread_->start();
}

WorkerThread::~WorkerThread() {
    thread_->quit();
    thread_->wait();
    delete context_;
}

void WorkerThread::runBlocking(const std::function<void()>& work) {
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        context_,
        [&] {
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error)
        std::rethrow_exception(error);
}

void WorkerThread::runErased(const CallInfo& info, const std::function<void()>& work) {
    if (*busy_)
        throw CallRefused(QStringLiteral("Another call to the server is still running."), false);
    if (refusing && info.kind != CallKind::Quick)
        throw CallRefused(QStringLiteral("Cancelled by the user."), true);
    const std::shared_ptr<bool> busy = busy_;
    *busy = true;
    const auto notBusy = qScopeGuard([busy] { *busy = false; });
    control_.reset();

    const auto waiter = currentWaiter();
    if (waiter)
        waiter->beforeCall(info);
    QEventLoop loop;
    std::atomic<bool> finished{false};
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        context_,
        [&] {
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            // The end is marked on the caller's thread, in its loop: once it is marked,
            // nothing of the caller's stack is touched here again.
            QMetaObject::invokeMethod(
                &loop,
                [&] {
                    finished.store(true);
                    loop.quit();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);

    CallWait wait(info, control_, loop, finished);
    waitedCalls.push_back(&control_);
    {
        const auto waited = qScopeGuard([] { waitedCalls.pop_back(); });
        if (waiter)
            waiter->wait(wait);
        // Whatever the waiter did, the call's stack must outlive the call.
        wait.runUntilFinished();
    }
    if (error)
        std::rethrow_exception(error);
}

} // namespace platform
