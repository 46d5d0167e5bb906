#pragma once
// Replaces the message-box service while alive: records every box and answers from a
// script (answers run out → the first button: OK, Yes or Retry... see answerFor).

#include "platform/MessageBox.h"

#include <QList>
#include <QString>

namespace testing {

struct ShownBox {
    QString text;
    platform::MsgButtons buttons;
    platform::MsgIcon icon;
    QString title;
    QString informative; // the cause a failure box gives under its text
};

class ScriptedMessageBoxes : public platform::MessageBoxBackend {
public:
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes() override;

    // Answers given in order; when none is left: Ok for OK-only boxes, No for Yes/No,
    // Cancel for Retry/Cancel (the answers that end a loop).
    QList<platform::MsgResult> answers;
    QList<ShownBox> shown;

    QStringList texts() const;

    platform::MsgResult show(QWidget* parent, const QString& text, platform::MsgButtons buttons,
                             platform::MsgIcon icon, const QString& title, const QString& informative) override;
};

} // namespace testing
