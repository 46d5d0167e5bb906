#pragma once
// Key-press handlers in the window's style: a handler receives the character code of the
// key (13 for Enter) by reference and sets it to 0 to swallow the key; any other value
// leaves the key to the control.

#include <QObject>

#include <functional>

class QKeyEvent;

namespace platform {

inline constexpr int kKeyEnter = 13;

// The character code of a key press: 13 for Return and the keypad's Enter, the first
// character of the typed text otherwise, 0 for a key that types nothing.
int characterCode(const QKeyEvent& event);

// Calls `handler` for every key pressed in the watched widget(s).
class KeyPressFilter : public QObject {
public:
    using Handler = std::function<void(int& keyAscii)>;
    KeyPressFilter(QObject* parent, Handler handler);
    // Watches `widget` as well; the filter stays owned by its parent.
    void watch(QObject* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handler handler_;
};

} // namespace platform
