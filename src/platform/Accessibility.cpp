#include "platform/Accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace platform {

namespace {

// On Linux, Qt's own interface of a combo box reports the box's text as its name and
// leaves the name to the labelling relation. Here a combo box that was given a name
// keeps it (the text is its value), so a screen reader says "ユーザーID" and not
// whatever happens to be typed in it, or the caption of the frame around it. A box
// without a name of its own is named as Qt names it.
class NamedComboBox : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value || (t == QAccessible::Name && box()->accessibleName().isEmpty())) {
            const QString shown = shownText();
            if (t == QAccessible::Value || !shown.isEmpty())
                return shown;
        }
        return QAccessibleWidget::text(t);
    }

    // The drop-down list comes first, then the line edit of an editable box.
    int childCount() const override { return 1 + QAccessibleWidget::childCount(); }
    QAccessibleInterface* child(int index) const override {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(box()->view());
        return QAccessibleWidget::child(index - 1);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child && child->object() == box()->view())
            return 0;
        const int index = QAccessibleWidget::indexOfChild(child);
        return index < 0 ? index : index + 1;
    }

    // The line edit of an editable box never has the focus itself (the box is its focus
    // proxy), but it is where the typing goes.
    QAccessibleInterface* focusChild() const override {
        if (box()->isEditable() && box()->lineEdit() && box()->hasFocus())
            return QAccessible::queryAccessibleInterface(box()->lineEdit());
        return QAccessibleWidget::focusChild();
    }

    QStringList actionNames() const override {
        return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction())
            box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
    // What the box shows: a box that masks what is typed (the password box) reports the
    // mask, as Qt's own line edit does, never the text.
    QString shownText() const {
        const QLineEdit* edit = box()->lineEdit();
        return edit && edit->echoMode() != QLineEdit::Normal ? edit->displayText() : box()->currentText();
    }
};

QAccessibleInterface* namedComboBoxFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("QComboBox"))
        return nullptr;
    auto* box = qobject_cast<QComboBox*>(object);
    return box && !box->accessibleName().isEmpty() ? new NamedComboBox(box) : nullptr;
}

// Installed after QApplication's own factory, so it is asked first.
void installNamedComboBoxes() {
    static const bool installed = [] {
        QAccessible::installFactory(namedComboBoxFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

// Qt creates a control's interface at its first accessibility event, often while the
// window is still being built; dropping it lets the next query build the named one.
void dropCachedInterface(QWidget* control) {
    if (QAccessibleInterface* cached = QAccessible::queryAccessibleInterface(control))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(cached));
}

} // namespace

void setAccessibleName(QWidget* control, const QString& name) {
    control->setAccessibleName(name);
    if (auto* box = qobject_cast<QComboBox*>(control)) {
        installNamedComboBoxes();
        dropCachedInterface(box);
        if (box->lineEdit())
            box->lineEdit()->setAccessibleName(name);
    }
}

void setAccessibleName(QWidget* control, const QString& name, QLabel* label) {
    setAccessibleName(control, name);
    if (label)
        label->setBuddy(control);
}

namespace {

QWidget* childToName(QWidget* window, const char* objectName) {
    auto* control = window->findChild<QWidget*>(QLatin1String(objectName));
    if (!control)
        qWarning("No control %s to name for screen readers", objectName);
    return control;
}

} // namespace

void nameChild(QWidget* window, const char* objectName, const QString& name, const char* labelName) {
    QWidget* control = childToName(window, objectName);
    if (!control)
        return;
    QLabel* label = labelName ? window->findChild<QLabel*>(QLatin1String(labelName)) : nullptr;
    setAccessibleName(control, name, label);
}

void describeChild(QWidget* window, const char* objectName, const QString& description) {
    QWidget* control = childToName(window, objectName);
    if (!control)
        return;
    control->setAccessibleName(QString());
    control->setAccessibleDescription(description);
}

} // namespace platform
