#pragma once
// Running blocking calls off the caller's thread: a WorkerThread runs one call at a time
// on a thread of its own while the caller waits in a local event loop, so that a window
// keeps painting and answering timers while a connect, a transfer or a dial runs.

#include "platform/CallControl.h"

#include <QString>

#include <atomic>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>

class QEventLoop;
class QObject;
class QThread;

namespace platform {

// One call being waited for, as the waiter sees it.
class CallWait {
public:
    CallWait(const CallInfo& info, CallControl& control, QEventLoop& loop, const std::atomic<bool>& finished)
        : info_(info), control_(control), loop_(loop), finished_(finished) {}
    const CallInfo& info() const { return info_; }
    CallControl& control() const { return control_; }
    bool finished() const { return finished_.load(); }
    // Processes events until the call has ended. Call it once, with nothing in between
    // that processes posted events outside it.
    void runUntilFinished();

private:
    const CallInfo& info_;
    CallControl& control_;
    QEventLoop& loop_;
    const std::atomic<bool>& finished_;
};

// How the caller's thread waits: the program's windows install one that shows progress,
// offers a cancel and holds user input back; without one, events are processed as they
// come. A waiter must end by calling wait.runUntilFinished().
class CallWaiter {
public:
    virtual ~CallWaiter() = default;
    // On the caller's thread, before the call is handed to the worker: what the caller
    // showed before the call (a status text) can be painted now.
    virtual void beforeCall(const CallInfo& info) { (void)info; }
    virtual void wait(CallWait& wait) = 0;
};
void setCallWaiter(std::shared_ptr<CallWaiter> waiter);

// Whether the current thread is waiting for a call (in any WorkerThread, nested waits
// included).
bool waitingForCall();
// Cancels every call the current thread is waiting for.
void cancelWaitedCalls();
// While on, every call the current thread starts that would talk to the server (any but
// CallKind::Quick) fails at once with CallRefused (cancelled): for a window that has
// cancelled its running call to end the session or the program.
void refuseNewCalls(bool on);

// A call the worker would not start: another one is still waited for, or new calls are
// refused after a cancel (`cancelled`).
class CallRefused : public std::runtime_error {
public:
    CallRefused(const QString& message, bool cancelled)
        : std::runtime_error(message.toStdString()), message_(message), cancelled_(cancelled) {}
    const QString& message() const noexcept { return message_; }
    bool cancelled() const noexcept { return cancelled_; }

private:
    QString message_;
    bool cancelled_;
};

class WorkerThread {
public:
    WorkerThread();
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs `work` on the worker thread and returns its result; whatever it throws is
    // thrown here. The caller's thread waits through the installed waiter. A call made
    // while another one is waited for (from a timer, say) throws CallRefused at once, as
    // does one made while refuseNewCalls is on.
    template <typename Work> auto run(const CallInfo& info, Work&& work) -> std::invoke_result_t<Work&> {
        using Result = std::invoke_result_t<Work&>;
        if constexpr (std::is_void_v<Result>) {
            runErased(info, [&] { work(); });
        } else {
            std::optional<Result> result;
            runErased(info, [&] { result.emplace(work()); });
            return std::move(*result);
        }
    }

    // Runs `work` on the worker thread, blocking the caller without processing events:
    // for set-up and tear-down that never wait on anything.
    void runBlocking(const std::function<void()>& work);

    CallControl& control() { return control_; }
    // Whether a call is running (its caller waiting for it).
    bool busy() const { return *busy_; }

private:
    std::unique_ptr<QThread> thread_;
    QObject* context_ = nullptr; // lives on thread_; calls are queued to it
    CallControl control_;
    // Shared with the running call's frame, which touches it after the wait even if the
    // worker was destroyed meanwhile.
    std::shared_ptr<bool> busy_ = std::make_shared<bool>(false);

    void runErased(const CallInfo& info, const std::function<void()>& work);
};

} // namespace platform
