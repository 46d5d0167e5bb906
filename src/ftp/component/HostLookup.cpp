#include "ftp/component/HostLookup.h"

#include "ftp/component/CallControl.h"
#include "ftp/component/FtpEngine.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace ftp {

std::optional<QHostInfo> lookUpHost(const QString& host, int timeoutMs, const CallControl* cancel) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<QHostInfo> info;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, host] {
        QHostInfo info = QHostInfo::fromName(host);
        const std::lock_guard lock(shared->mutex);
        shared->info = std::move(info);
        shared->done.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    const QDeadlineTimer deadline(timeoutMs);
    while (!shared->info && !deadline.hasExpired() && !(cancel && cancel->isCancelled())) {
        const qint64 slice = std::min<qint64>(deadline.remainingTime(), kCancelPollMs);
        shared->done.wait_for(lock, std::chrono::milliseconds(slice),
                              [&] { return shared->info.has_value(); });
    }
    return shared->info;
}

ServerAddresses addressesOf(const QString& host, bool isLiteral, int timeoutMs, const CallControl* cancel) {
    if (isLiteral)
        return {{QHostAddress(host)}, ConnectOk};
    const auto info = lookUpHost(host, timeoutMs, cancel);
    if (!info)
        return {{}, cancel && cancel->isCancelled() ? ConnectCancelled : ConnectTimedOut};
    if (info->error() != QHostInfo::NoError || info->addresses().isEmpty())
        return {{}, ConnectHostNotFound};
    return {info->addresses(), ConnectOk};
}

} // namespace ftp
