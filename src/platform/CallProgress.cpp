#include "platform/CallProgress.h"

#include "platform/ProgressText.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>

namespace platform {

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::Drop:
    case QEvent::InputMethod:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

// Holds back user input to the windows that were open when the call began; windows that
// open during the call (the progress window, a question the call asks) take input.
class InputHold : public QObject {
public:
    // `free`: a window that takes input all the same.
    explicit InputHold(QWidget* free = nullptr) {
        const QList<QWidget*> windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            if (window != free)
                held_.insert(window);
        }
        qApp->installEventFilter(this);
    }
    ~InputHold() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (!isUserInput(event->type()))
            return false;
        QWidget* window = nullptr;
        if (auto* widget = qobject_cast<QWidget*>(object))
            window = widget->window();
        else if (object->isWindowType())
            return false; // passed on to its widgets, which are looked at then
        else
            window = QApplication::activeWindow(); // shortcuts of actions
        if (window && !held_.contains(window))
            return false;
        event->ignore(); // a held close must not close the window either
        return true;
    }

private:
    QSet<QWidget*> held_;
};

QWidget* progressParent() {
    if (QWidget* active = QApplication::activeWindow())
        return active;
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->isVisible() && !window->isHidden() && window->windowType() != Qt::ToolTip)
            return window;
    }
    return nullptr;
}

class WindowCallWaiter : public platform::CallWaiter {
public:
    void beforeCall(const platform::CallInfo&) override {
        // A status text set just before the call is on the screen before the call starts.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    }

    void wait(platform::CallWait& wait) override {
        if (const OwnProgress* own = OwnProgress::current()) {
            const InputHold hold(own->window());
            own->called(&wait.control());
            wait.runUntilFinished();
            own->called(nullptr);
            return;
        }
        const InputHold hold;
        QPointer<ProgressWindow> window;
        QTimer delay;
        delay.setSingleShot(true);
        QObject::connect(&delay, &QTimer::timeout, [&] {
            if (wait.finished())
                return;
            // A question the call asks (a certificate box) keeps the input: the progress
            // window, modal too, would lock it out. It opens once the question is answered.
            if (QApplication::activeModalWidget()) {
                delay.start(kProgressDelayMs);
                return;
            }
            window = new ProgressWindow(progressParent(), wait.info(), wait.control());
            window->show();
        });
        delay.start(kProgressDelayMs);
        wait.runUntilFinished();
        delete window.data();
    }
};

} // namespace

ProgressWindow::ProgressWindow(QWidget* parent, const platform::CallInfo& info,
                               platform::CallControl& control)
    : QDialog(parent), control_(control),
      transfer_(info.kind == platform::CallKind::Download || info.kind == platform::CallKind::Upload) {
    setObjectName(QStringLiteral("ProgressWindow"));
    setWindowTitle(QStringLiteral("TesselFTP"));
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* layout = new QVBoxLayout(this);
    what_ = new QLabel(progresstext::describe(info), this);
    what_->setObjectName(QStringLiteral("ProgressWhat"));
    what_->setTextFormat(Qt::PlainText);
    what_->setMinimumWidth(360);
    layout->addWidget(what_);
    if (transfer_) {
        bar_ = new QProgressBar(this);
        bar_->setObjectName(QStringLiteral("ProgressBar"));
        bar_->setAccessibleName(QStringLiteral("進み具合"));
        layout->addWidget(bar_);
        detail_ = new QLabel(this);
        detail_->setObjectName(QStringLiteral("ProgressDetail"));
        layout->addWidget(detail_);
    }
    cancel_ = new QPushButton(QStringLiteral("中止"), this);
    cancel_->setObjectName(QStringLiteral("ProgressCancel"));
    cancel_->setAutoDefault(false);
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    connect(cancel_, &QPushButton::clicked, this, &ProgressWindow::cancelCall);

    elapsed_.start();
    ticker_ = new QTimer(this);
    connect(ticker_, &QTimer::timeout, this, &ProgressWindow::refresh);
    ticker_->start(200);
    refresh();
}

void ProgressWindow::refresh() {
    if (!transfer_)
        return;
    const qint64 done = control_.done(), total = control_.total();
    if (total > 0) {
        // The bar counts in KiB, so that sizes beyond 2 GiB fit its int range.
        bar_->setRange(0, int(std::min<qint64>(total / 1024 + 1, std::numeric_limits<int>::max())));
        bar_->setValue(int(std::min<qint64>(done, total) / 1024));
    } else if (total == 0) {
        bar_->setRange(0, 1);
        bar_->setValue(1);
    } else {
        bar_->setRange(0, 0); // busy: the size is not known
    }
    detail_->setText(progresstext::transferLine(done, total, elapsed_.elapsed()));
}

void ProgressWindow::cancelCall() {
    control_.cancel();
    cancel_->setEnabled(false);
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    cancelCall();
}

void ProgressWindow::reject() {
    cancelCall();
}

namespace {
thread_local const OwnProgress* currentOwnProgress = nullptr;
}

OwnProgress::OwnProgress(QWidget* window, std::function<void(platform::CallControl*)> onCall)
    : window_(window), onCall_(std::move(onCall)), outer_(currentOwnProgress) {
    currentOwnProgress = this;
}

OwnProgress::~OwnProgress() {
    currentOwnProgress = outer_;
}

const OwnProgress* OwnProgress::current() {
    return currentOwnProgress;
}

void installCallProgress() {
    static const bool installed = [] {
        platform::setCallWaiter(std::make_shared<WindowCallWaiter>());
        return true;
    }();
    (void)installed;
}

} // namespace platform
