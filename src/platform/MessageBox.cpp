#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {

// The answer that asks for nothing more.
MsgResult safeAnswer(MsgButtons buttons) {
    return buttons == MsgButtons::YesNo         ? MsgResult::No
           : buttons == MsgButtons::RetryCancel ? MsgResult::Cancel
                                                : MsgResult::Ok;
}

class QtMessageBoxBackend final : public MessageBoxBackend {
public:
    MsgResult show(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                   const QString& title, const QString& informative) override {
        QMessageBox box(parent);
        box.setWindowTitle(title);
        box.setText(text);
        box.setTextFormat(Qt::PlainText);
        box.setInformativeText(informative);
        box.setIcon(icon == MsgIcon::Question ? QMessageBox::Question
                    : icon == MsgIcon::Stop   ? QMessageBox::Critical
                                              : QMessageBox::NoIcon);
        switch (buttons) {
        case MsgButtons::OkOnly:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MsgButtons::RetryCancel:
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        case QMessageBox::Retry:
            return MsgResult::Retry;
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        default:
            // Closing a Yes/No or Retry/Cancel box by its frame counts as the safe answer.
            return safeAnswer(buttons);
        }
    }
};

QtMessageBoxBackend& qtBackend() {
    static QtMessageBoxBackend backend;
    return backend;
}

MessageBoxBackend* currentBackend = nullptr;
bool answeringSafely = false;

MsgResult show(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title,
               const QString& informative) {
    if (answeringSafely)
        return safeAnswer(buttons);
    MessageBoxBackend* backend = currentBackend ? currentBackend : &qtBackend();
    return backend->show(parent, text, buttons, icon, title, informative);
}

} // namespace

MsgResult MsgBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                 const QString& title) {
    return show(parent, text, buttons, icon, title, QString());
}

MsgResult FailureBox(QWidget* parent, const QString& text, const QString& cause, MsgButtons buttons) {
    return show(parent, text, buttons, MsgIcon::None, kAppTitle, cause);
}

void answerBoxesSafely(bool on) {
    answeringSafely = on;
    if (!on)
        return;
    // Closing a box by its frame gives its escape button: the same safe answer (and
    // "接続しない" for a certificate question).
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible())
            box->close();
    }
}

void setMessageBoxBackend(MessageBoxBackend* backend) {
    currentBackend = backend;
}

} // namespace platform
