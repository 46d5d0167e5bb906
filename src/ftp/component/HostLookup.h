#pragma once
// Name lookups that a cancel or a timeout can end, for every engine's connect.

#include "ftp/component/CallControl.h"

#include <QHostInfo>
#include <QString>

#include <optional>

namespace ftp {

// Looks `host` up, giving up (nothing) after `timeoutMs` or once `cancel` says the call
// was cancelled. The lookup runs on a thread of its own so that a resolver that never
// answers cannot hold the caller: on a timeout the thread is left to finish on its own.
std::optional<QHostInfo> lookUpHost(const QString& host, int timeoutMs, const CallControl* cancel);

} // namespace ftp
