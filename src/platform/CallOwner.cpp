#include "platform/CallOwner.h"

#include "platform/WorkerThread.h"
#include "platform/MessageBox.h"

#include <QScopeGuard>

#include <algorithm>

namespace platform {

CallOwner::CallOwner(QObject* parent) : QObject(parent) {
    retry_.setInterval(50);
    connect(&retry_, &QTimer::timeout, this, &CallOwner::runPending);
}

std::function<void()> CallOwner::waiting(std::function<void()> handler) {
    const int id = nextId_++;
    return [this, id, handler = std::move(handler)] { request(id, handler, false); };
}

std::function<void()> CallOwner::cancelling(std::function<void()> handler) {
    const int id = nextId_++;
    return [this, id, handler = std::move(handler)] { request(id, handler, true); };
}

bool CallOwner::busy() const {
    return depth_ > 0 || platform::waitingForCall();
}

void CallOwner::request(int id, const std::function<void()>& handler, bool cancelFirst) {
    if (!busy()) {
        runNow(handler);
        runPending();
        return;
    }
    if (cancelFirst) {
        pending_ = {{id, handler}};
        setStopping(true);
        platform::cancelWaitedCalls();
    } else if (!stopping_) {
        const bool asked = std::any_of(pending_.cbegin(), pending_.cend(),
                                       [id](const Pending& pending) { return pending.id == id; });
        if (!asked)
            pending_.append({id, handler});
    }
    // A call no handler made (a dial) ends on its own: look again now and then.
    if (depth_ == 0)
        retry_.start();
}

void CallOwner::runNow(const std::function<void()>& handler) {
    ++depth_;
    const auto done = qScopeGuard([this] { --depth_; });
    handler();
}

// Runs what waited, one after the other, once nothing runs; a handler asked for while one
// of them runs waits in turn. Each runs as an ordinary handler: asking, calling.
void CallOwner::runPending() {
    for (;;) {
        if (busy()) {
            if (!pending_.isEmpty() && depth_ == 0)
                retry_.start();
            return;
        }
        retry_.stop();
        setStopping(false);
        if (pending_.isEmpty())
            return;
        runNow(pending_.takeFirst().handler);
    }
}

void CallOwner::setStopping(bool on) {
    if (stopping_ == on)
        return;
    stopping_ = on;
    answerBoxesSafely(on);
    platform::refuseNewCalls(on);
}

} // namespace platform
