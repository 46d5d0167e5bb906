#include "ftp/component/ThreadedComponent.h"

#include "ftp/component/EngineRouter.h"
#include "ftp/component/FtpEngine.h"

#include <QScopeGuard>
#include <QTimer>

#include <mutex>

namespace ftp {

namespace {

std::mutex timingMutex;
KeepAliveTiming& sharedTiming() {
    static KeepAliveTiming timing;
    return timing;
}

// A prompt that the engine calls on the worker: it asks `prompt` on the caller's thread,
// which waits for the call in an event loop that runs the question, and hands the answer
// back. Empty when `prompt` is.
template <typename Answer, typename Question>
std::function<Answer(const Question&)> askedOnCallerThread(QObject* context,
                                                           std::function<Answer(const Question&)> prompt) {
    if (!prompt)
        return {};
    return [context, prompt = std::move(prompt)](const Question& question) {
        Answer answer{};
        QMetaObject::invokeMethod(
            context, [&] { answer = prompt(question); }, Qt::BlockingQueuedConnection);
        return answer;
    };
}

} // namespace

void setKeepAliveTiming(const KeepAliveTiming& timing) {
    const std::lock_guard lock(timingMutex);
    sharedTiming() = timing;
}

KeepAliveTiming keepAliveTiming() {
    const std::lock_guard lock(timingMutex);
    return sharedTiming();
}

ThreadedComponent::ThreadedComponent(const ComponentCreator& create)
    : callerContext_(std::make_unique<QObject>()), timing_(keepAliveTiming()) {
    worker_.runBlocking([&] {
        inner_ = create();
        inner_->setCallControl(&worker_.control());
        keepAlive_ = std::make_unique<QTimer>();
        keepAlive_->setInterval(timing_.intervalMs);
        QObject::connect(keepAlive_.get(), &QTimer::timeout, [this] { keepAliveTick(); });
    });
}

ThreadedComponent::~ThreadedComponent() {
    // Windows never drop a component under its running call; should it happen, the call
    // is cancelled so the wait below is short.
    if (worker_.busy())
        worker_.control().cancel();
    // The engine's sockets, and the timer, are dropped on the thread they belong to.
    worker_.runBlocking([&] {
        keepAlive_.reset();
        inner_.reset();
    });
}

bool ThreadedComponent::forward(const CallInfo& info, const std::function<void(FtpComponent&)>& call) {
    try {
        worker_.run(info, [&] {
            inCall_ = true;
            const auto ended = qScopeGuard([this] {
                inCall_ = false;
                startKeepAlive();
            });
            call(*inner_);
        });
    } catch (const platform::CallRefused& refused) {
        throw FtpError(refused.message(),
                       refused.cancelled() ? FailureDetail(FailureKind::Cancelled) : FailureDetail());
    }
    return true;
}

// On the worker thread, once a call has ended: the idle time counts from now.
void ThreadedComponent::startKeepAlive() {
    sinceCall_.start();
    if (timing_.intervalMs > 0)
        keepAlive_->start();
}

// The timer runs on the worker thread, which takes the next call only once this has returned:
// a keep-alive never overlaps a call, and never runs on the caller's thread.
void ThreadedComponent::keepAliveTick() {
    if (inCall_)
        return;
    if (sinceCall_.elapsed() >= timing_.idleLimitMs) {
        // A forgotten window does not hold the server's slot for ever; the next call logs
        // in again.
        keepAlive_->stop();
        return;
    }
    inner_->keepAlive();
}

void ThreadedComponent::setCertificatePrompt(CertificatePrompt prompt) {
    auto forwarded = askedOnCallerThread(callerContext_.get(), std::move(prompt));
    worker_.runBlocking([&] { inner_->setCertificatePrompt(forwarded); });
}

void ThreadedComponent::setClearTextPrompt(ClearTextPrompt prompt) {
    auto forwarded = askedOnCallerThread(callerContext_.get(), std::move(prompt));
    worker_.runBlocking([&] { inner_->setClearTextPrompt(forwarded); });
}

void ThreadedComponent::setHostKeyPrompt(HostKeyPrompt prompt) {
    auto forwarded = askedOnCallerThread(callerContext_.get(), std::move(prompt));
    worker_.runBlocking([&] { inner_->setHostKeyPrompt(forwarded); });
}

TlsStatus ThreadedComponent::tlsStatus() const {
    TlsStatus status;
    worker_.runBlocking([&] { status = inner_->tlsStatus(); });
    return status;
}

std::unique_ptr<FtpComponent> createThreadedFtpEngine() {
    // FTP or SFTP, as the address given to Connect says.
    return std::make_unique<ThreadedComponent>(&createRoutedEngine);
}

} // namespace ftp
