#include "platform/SecretStore.h"

#include <qt6keychain/keychain.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <memory>
#include <utility>

namespace platform {

namespace {

// One secret per server holds both the user and the password, so the two are always
// found, replaced and removed together.
QString encode(const StoredLogin& login) {
    const QJsonObject fields{{QStringLiteral("user"), login.user},
                             {QStringLiteral("password"), login.password}};
    return QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact));
}

std::optional<StoredLogin> decode(const QByteArray& secret) {
    const QJsonDocument document = QJsonDocument::fromJson(secret);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject fields = document.object();
    return StoredLogin{fields.value(QStringLiteral("user")).toString(),
                       fields.value(QStringLiteral("password")).toString()};
}

SecretStore::Answer failed(const QString& error) {
    return {false, error, std::nullopt};
}

// The probe reads an entry no login is ever saved under: a login needs a server text.
const QString kProbeKey;

} // namespace

SecretStore::SecretStore(QObject* parent, int timeoutMs) : QObject(parent), timeoutMs_(timeoutMs) {}

void SecretStore::probe(Done done) {
    find(kProbeKey, [done = std::move(done)](const Answer& answer) {
        done(answer.ok ? Answer{true, QString(), std::nullopt} : answer);
    });
}

void SecretStore::find(const QString& server, Done done) {
    run(
        new QKeychain::ReadPasswordJob(kService), server,
        [](QKeychain::Job* job) {
            if (job->error() == QKeychain::EntryNotFound)
                return Answer{true, QString(), std::nullopt};
            if (job->error() != QKeychain::NoError)
                return failed(job->errorString());
            const auto login = decode(static_cast<QKeychain::ReadPasswordJob*>(job)->binaryData());
            return login ? Answer{true, QString(), login}
                         : failed(QStringLiteral("保存されたログインの形式が違います。"));
        },
        std::move(done));
}

void SecretStore::save(const QString& server, const StoredLogin& login, Done done) {
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setTextData(encode(login));
    run(
        job, server,
        [](QKeychain::Job* finished) {
            return finished->error() == QKeychain::NoError ? Answer{true, QString(), std::nullopt}
                                                           : failed(finished->errorString());
        },
        std::move(done));
}

void SecretStore::remove(const QString& server, Done done) {
    run(
        new QKeychain::DeletePasswordJob(kService), server,
        [](QKeychain::Job* job) {
            const bool gone = job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound;
            return gone ? Answer{true, QString(), std::nullopt} : failed(job->errorString());
        },
        std::move(done));
}

// The job deletes itself once the store has answered, even when this object is gone by
// then (the store's callback still refers to the job); the answer is passed on at most
// once, and only while this object lives.
void SecretStore::run(QKeychain::Job* job, const QString& server, std::function<Answer(QKeychain::Job*)> read,
                      Done done) {
    job->setKey(server);
    job->setAutoDelete(true);
    job->setInsecureFallback(false); // never a file of our own
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    auto answered = std::make_shared<bool>(false);
    auto answer = [answered, timer, done = std::move(done)](const Answer& a) {
        if (std::exchange(*answered, true))
            return;
        timer->deleteLater();
        done(a);
    };
    connect(timer, &QTimer::timeout, this, [answer, seconds = timeoutMs_ / 1000] {
        answer(failed(QStringLiteral("%1 秒待っても応答がありません。").arg(seconds)));
    });
    connect(job, &QKeychain::Job::finished, this,
            [answer, read = std::move(read)](QKeychain::Job* finished) { answer(read(finished)); });
    timer->start(timeoutMs_);
    job->start();
}

} // namespace platform
