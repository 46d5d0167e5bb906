#pragma once
// Names for screen readers. Every control that takes the focus gets a name that says
// what it is for; the label beside it, where there is one, becomes its buddy, so the
// accessibility bus also reports which label describes the control.

#include <QString>

class QLabel;
class QWidget;

namespace platform {

// Gives a control its accessible name. An editable combo box's line edit (the part that
// actually takes the typing) gets the same name. Call before the control is first shown.
void setAccessibleName(QWidget* control, const QString& name);

// Names a control and makes label its buddy; the label's caption stays as it is.
void setAccessibleName(QWidget* control, const QString& name, QLabel* label);

// The child of window called objectName, named as above; a missing child is a
// programming error and is reported on the console.
void nameChild(QWidget* window, const char* objectName, const QString& name, const char* labelName = nullptr);

// The child of window called objectName keeps its caption as its name (what a user sees
// is what a user can say) and gets `description` as what it does.
void describeChild(QWidget* window, const char* objectName, const QString& description);

} // namespace platform
