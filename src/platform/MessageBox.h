#pragma once
// The program's one message-box service. Windows show a QMessageBox; tests install a
// backend that records each box and answers from a script, so no box ever blocks.

#include <QString>

class QWidget;

namespace platform {

enum class MsgButtons { OkOnly, YesNo, RetryCancel };
enum class MsgIcon { None, Question, Stop };
enum class MsgResult { Ok, Yes, No, Retry, Cancel };

inline const QString kAppTitle = QStringLiteral("TesselFTP");

class MessageBoxBackend {
public:
    virtual ~MessageBoxBackend() = default;
    // `informative` is the smaller text under the main one (empty: none).
    virtual MsgResult show(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                           const QString& title, const QString& informative) = 0;
};

// Shows a modal box and returns the button pressed. The title defaults to the
// application's title.
MsgResult MsgBox(QWidget* parent, const QString& text, MsgButtons buttons = MsgButtons::OkOnly,
                 MsgIcon icon = MsgIcon::None, const QString& title = kAppTitle);

// A box that reports a failure: its fixed text, title and buttons, and the cause (why it
// failed, in the user's words) as its informative text.
MsgResult FailureBox(QWidget* parent, const QString& text, const QString& cause,
                     MsgButtons buttons = MsgButtons::OkOnly);

// While on, no box is shown: each returns at once the answer that asks for nothing more
// (OK, No, Cancel), and the boxes already open are closed with that answer. For a window
// that ends the session or the program while a handler runs.
void answerBoxesSafely(bool on);

// Replaces the backend (nullptr puts the QMessageBox one back). Not owned.
void setMessageBoxBackend(MessageBoxBackend* backend);

} // namespace platform
