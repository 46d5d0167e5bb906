#pragma once
// The component the main window gets: it owns the engine on a thread of its own (so the
// engine's sockets keep one owner) and forwards every call there, while the window's
// thread waits for the outcome in a local event loop and so keeps painting, shows
// progress and can cancel. Callers see the same blocking calls as on the engine itself.

#include "ftp/component/FtpComponent.h"
#include "platform/WorkerThread.h"

#include <QElapsedTimer>

class QTimer;

namespace ftp {

// How an idle session is kept: a keep-alive every `intervalMs` (0: never) on the session's
// thread, until `idleLimitMs` have passed without a call; the next call then starts it again.
struct KeepAliveTiming {
    int intervalMs = 30'000;
    int idleLimitMs = 30 * 60'000;
};
// For the components created from now on (tests shorten it).
void setKeepAliveTiming(const KeepAliveTiming& timing);
KeepAliveTiming keepAliveTiming();

class ThreadedComponent final : public FtpComponent {
public:
    // `create` makes the wrapped component; it runs on the worker thread.
    explicit ThreadedComponent(const ComponentCreator& create);
    ~ThreadedComponent() override;

    // The wrapped component's cancel and progress; the worker's own control is used.
    void setCallControl(CallControl*) override {}
    CallControl& callControl() { return worker_.control(); }

    // The engine asks on its own thread; `prompt` runs on the caller's thread, the engine
    // waiting for its answer. The same for the question about a login without TLS.
    void setCertificatePrompt(CertificatePrompt prompt) override;
    void setClearTextPrompt(ClearTextPrompt prompt) override;
    TlsStatus tlsStatus() const override;
    // The same for an SSH server's host key.
    void setHostKeyPrompt(HostKeyPrompt prompt) override;

protected:
    // Every call: on the worker thread, the caller waiting through the installed waiter.
    bool forward(const CallInfo& info, const std::function<void(FtpComponent&)>& call) override;

private:
    std::unique_ptr<QObject> callerContext_; // lives on the caller's thread
    mutable platform::WorkerThread worker_;
    std::unique_ptr<FtpComponent> inner_;
    // On the worker thread: the keep-alive's timer, and the time since the last call ended.
    const KeepAliveTiming timing_;
    std::unique_ptr<QTimer> keepAlive_;
    QElapsedTimer sinceCall_;
    bool inCall_ = false;

    void startKeepAlive();
    void keepAliveTick();
};

// The engine behind a ThreadedComponent: what the factory registers under kFtpComponentId.
std::unique_ptr<FtpComponent> createThreadedFtpEngine();

} // namespace ftp
