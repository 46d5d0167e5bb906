#pragma once
// Logins kept in the desktop's secret store through QtKeychain: the Secret Service over
// D-Bus on Linux (GNOME Keyring, KWallet), the Credential Manager on Windows. Never a
// file of the program's own. One entry per server, keyed by the server text as typed.
//
// Every call answers later, on the calling thread, through the callback it was given: a
// store that is slow (a keyring asking to be unlocked) never holds up the window. A store
// that has not answered within the time limit counts as failed; its late answer is
// dropped. Callbacks are not called once the SecretStore is gone.

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace QKeychain {
class Job;
}

namespace platform {

struct StoredLogin {
    QString user;
    QString password;
};

class SecretStore : public QObject {
    Q_OBJECT
public:
    // The name the entries are filed under in the store.
    static inline const QString kService = QStringLiteral("TesselFTP");
    static constexpr int kDefaultTimeoutMs = 30000; // long enough for a keyring to ask to be unlocked

    struct Answer {
        bool ok = false;                  // the store answered
        QString error;                    // why not, when it did not
        std::optional<StoredLogin> login; // find: the login, when one is stored
    };
    using Done = std::function<void(const Answer&)>;

    explicit SecretStore(QObject* parent = nullptr, int timeoutMs = kDefaultTimeoutMs);

    // Whether a store answers at all (ok, and no login).
    void probe(Done done);
    void find(const QString& server, Done done);
    void save(const QString& server, const StoredLogin& login, Done done);
    void remove(const QString& server, Done done);

private:
    int timeoutMs_;
    void run(QKeychain::Job* job, const QString& server, std::function<Answer(QKeychain::Job*)> read,
             Done done);
};

} // namespace platform
