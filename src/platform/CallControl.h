#pragma once
// What the caller's thread and a worker thread share while one call runs: the user's
// cancel and the call's progress. Every member may be used from either thread.

#include <QString>
#include <QtGlobal>

#include <atomic>

namespace platform {

// What a call is, for the progress the caller's thread shows.
enum class CallKind { Quick, Connect, Listing, Download, Upload, Command, Dial };
struct CallInfo {
    CallKind kind = CallKind::Quick;
    QString subject; // the server, path, file name, command line or entry (never a password)
};

class CallControl {
public:
    // Before each call: not cancelled, nothing done, size unknown.
    void reset() {
        cancelled_.store(false);
        done_.store(0);
        total_.store(-1);
    }

    // The user asked to stop the running call.
    void cancel() { cancelled_.store(true); }
    // Whether the running call should stop now. False inside a CancelShield, where the
    // engine cleans up after a cancel and must not be cancelled again.
    bool isCancelled() const { return cancelled_.load() && shield_.load() == 0; }
    // Whether the user asked to stop, shield or not.
    bool wasCancelled() const { return cancelled_.load(); }

    // Progress of a transfer: bytes done, and the size expected (-1 when unknown).
    void addDone(qint64 bytes) { done_.fetch_add(bytes, std::memory_order_relaxed); }
    void setDone(qint64 bytes) { done_.store(bytes, std::memory_order_relaxed); }
    void setTotal(qint64 bytes) { total_.store(bytes, std::memory_order_relaxed); }
    qint64 done() const { return done_.load(std::memory_order_relaxed); }
    qint64 total() const { return total_.load(std::memory_order_relaxed); }

private:
    friend class CancelShield;
    std::atomic<bool> cancelled_{false};
    std::atomic<int> shield_{0};
    std::atomic<qint64> done_{0};
    std::atomic<qint64> total_{-1};
};

// While it lives, the engine's waits ignore a cancel: the clean-up after a cancel (ABOR
// and its replies) runs to its own short deadline.
class CancelShield {
public:
    explicit CancelShield(CallControl* control) : control_(control) {
        if (control_)
            control_->shield_.fetch_add(1);
    }
    ~CancelShield() {
        if (control_)
            control_->shield_.fetch_sub(1);
    }
    CancelShield(const CancelShield&) = delete;
    CancelShield& operator=(const CancelShield&) = delete;

private:
    CallControl* control_;
};

// How often a blocking wait looks whether the call was cancelled.
inline constexpr int kCancelPollMs = 50;

} // namespace platform
