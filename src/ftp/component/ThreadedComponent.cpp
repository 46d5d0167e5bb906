#include "ftp/component/ThreadedComponent.h"

#include "ftp/component/FtpEngine.h"

namespace ftp {

ThreadedComponent::ThreadedComponent(const ComponentCreator& create)
    : callerContext_(std::make_unique<QObject>()) {
    worker_.runBlocking([&] {
        inner_ = create();
        inner_->setCallControl(&worker_.control());
    });
}

ThreadedComponent::~ThreadedComponent() {
    // Windows never drop a component under its running call; should it happen, the call
    // is cancelled so the wait below is short.
    if (worker_.busy())
        worker_.control().cancel();
    // The engine's sockets are dropped on the thread they belong to.
    worker_.runBlocking([&] { inner_.reset(); });
}

bool ThreadedComponent::forward(const CallInfo& info, const std::function<void(FtpComponent&)>& call) {
    try {
        worker_.run(info, [&] { call(*inner_); });
    } catch (const platform::CallRefused& refused) {
        throw FtpError(refused.message(),
                       refused.cancelled() ? FailureDetail(FailureKind::Cancelled) : FailureDetail());
    }
    return true;
}

void ThreadedComponent::setCertificatePrompt(CertificatePrompt prompt) {
    CertificatePrompt onCallerThread;
    if (prompt) {
        onCallerThread = [context = callerContext_.get(), prompt](const CertificateQuestion& question) {
            CertificateAnswer answer;
            // The caller's thread is waiting for the call in an event loop, which runs this.
            QMetaObject::invokeMethod(
                context, [&] { answer = prompt(question); }, Qt::BlockingQueuedConnection);
            return answer;
        };
    }
    worker_.runBlocking([&] { inner_->setCertificatePrompt(onCallerThread); });
}

void ThreadedComponent::setClearTextPrompt(ClearTextPrompt prompt) {
    ClearTextPrompt onCallerThread;
    if (prompt) {
        onCallerThread = [context = callerContext_.get(), prompt](const ClearTextQuestion& question) {
            bool answer = false;
            QMetaObject::invokeMethod(
                context, [&] { answer = prompt(question); }, Qt::BlockingQueuedConnection);
            return answer;
        };
    }
    worker_.runBlocking([&] { inner_->setClearTextPrompt(onCallerThread); });
}

TlsStatus ThreadedComponent::tlsStatus() const {
    TlsStatus status;
    worker_.runBlocking([&] { status = inner_->tlsStatus(); });
    return status;
}

std::unique_ptr<FtpComponent> createThreadedFtpEngine() {
    return std::make_unique<ThreadedComponent>(&createFtpEngine);
}

} // namespace ftp
