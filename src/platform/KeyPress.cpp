#include "platform/KeyPress.h"

#include <QEvent>
#include <QKeyEvent>

namespace platform {

int characterCode(const QKeyEvent& event) {
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter)
        return kKeyEnter;
    const QString text = event.text();
    return text.isEmpty() ? 0 : text.at(0).unicode();
}

KeyPressFilter::KeyPressFilter(QObject* parent, Handler handler)
    : QObject(parent), handler_(std::move(handler)) {}

void KeyPressFilter::watch(QObject* widget) {
    widget->installEventFilter(this);
}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const int code = characterCode(*static_cast<QKeyEvent*>(event));
    if (code == 0)
        return false; // arrows, function keys and the like: the control's own business
    int keyAscii = code;
    handler_(keyAscii);
    return keyAscii == 0;
}

} // namespace platform
