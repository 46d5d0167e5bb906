#include "support/ScriptedMessageBoxes.h"

#include <QStringList>

namespace testing {

ScriptedMessageBoxes::ScriptedMessageBoxes() {
    platform::setMessageBoxBackend(this);
}
ScriptedMessageBoxes::~ScriptedMessageBoxes() {
    platform::setMessageBoxBackend(nullptr);
}

QStringList ScriptedMessageBoxes::texts() const {
    QStringList result;
    for (const ShownBox& box : shown)
        result.append(box.text);
    return result;
}

platform::MsgResult ScriptedMessageBoxes::show(QWidget*, const QString& text, platform::MsgButtons buttons,
                                               platform::MsgIcon icon, const QString& title,
                                               const QString& informative) {
    shown.append({text, buttons, icon, title, informative});
    if (!answers.isEmpty())
        return answers.takeFirst();
    switch (buttons) {
    case platform::MsgButtons::YesNo:
        return platform::MsgResult::No;
    case platform::MsgButtons::RetryCancel:
        return platform::MsgResult::Cancel;
    case platform::MsgButtons::OkOnly:
        break;
    }
    return platform::MsgResult::Ok;
}

} // namespace testing
