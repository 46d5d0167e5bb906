#pragma once
// How the program's windows wait for a call on a worker thread: user input to the
// program's windows is held back, the window keeps painting, and after half a second an
// application-modal progress window titled "TesselFTP" shows what runs and offers "中止".

#include "platform/WorkerThread.h"

#include <QDialog>
#include <QElapsedTimer>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace platform {

// How long a call runs before the progress window opens.
inline constexpr int kProgressDelayMs = 500;

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    ProgressWindow(QWidget* parent, const platform::CallInfo& info, platform::CallControl& control);

    // Reads the call's progress again (also done by a timer, 5 times a second).
    void refresh();

protected:
    // The frame's close button and Esc count as "中止"; the window stays until the call ends.
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    platform::CallControl& control_;
    bool transfer_;
    QElapsedTimer elapsed_;
    QLabel* what_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* detail_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer* ticker_ = nullptr;

    void cancelCall();
};

// Installs the waiter for the program's windows (once; later calls do nothing).
void installCallProgress();

// While one lives, the calls the program's windows wait for open no progress window and
// hold no input back from `window`, which shows their progress and offers its own cancel:
// `onCall` is given each call's control as the wait begins and nullptr once it has ended.
class OwnProgress {
public:
    OwnProgress(QWidget* window, std::function<void(platform::CallControl*)> onCall);
    ~OwnProgress();
    OwnProgress(const OwnProgress&) = delete;
    OwnProgress& operator=(const OwnProgress&) = delete;

    QWidget* window() const { return window_; }
    void called(platform::CallControl* control) const {
        if (onCall_)
            onCall_(control);
    }
    // The one living on this thread, if any.
    static const OwnProgress* current();

private:
    QWidget* window_;
    std::function<void(platform::CallControl*)> onCall_;
    const OwnProgress* outer_;
};

} // namespace platform
