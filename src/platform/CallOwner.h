#pragma once
// One owner of a call's life. A window's handlers that talk to the server run one at a
// time: one triggered while another runs or a call is waited for (a click let through,
// an accessibility action, a timer) waits until that has ended and then runs. One that
// ends the session or the program cancels the running call first; the running handler
// then ends without asking anything and makes no further call, and the waiting one runs
// as soon as it has returned.

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

namespace platform {

class CallOwner : public QObject {
public:
    explicit CallOwner(QObject* parent);

    // A slot running `handler` now, or once nothing runs (asked for twice meanwhile, it
    // still runs once).
    std::function<void()> waiting(std::function<void()> handler);
    // A slot running `handler` now, or cancelling what runs and running `handler` first
    // once it has ended (the waiting ones, asked for before, are dropped).
    std::function<void()> cancelling(std::function<void()> handler);

    // Whether a handler runs or a call is waited for.
    bool busy() const;

private:
    struct Pending {
        int id;
        std::function<void()> handler;
    };
    int nextId_ = 0;
    int depth_ = 0;
    bool stopping_ = false;
    QList<Pending> pending_;
    QTimer retry_; // while a call that is no handler's is waited for

    void request(int id, const std::function<void()>& handler, bool cancelFirst);
    void runNow(const std::function<void()>& handler);
    void runPending();
    void setStopping(bool on);
};

} // namespace platform
