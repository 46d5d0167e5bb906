#pragma once
// Helpers the engine's calls share (inside the engine only).

#include "ftp/component/ControlChannel.h"
#include "ftp/component/SessionError.h"

#include <new>

namespace ftp {

// Every public call lets only FtpError out, whatever went wrong inside.
template <typename F> auto guarded(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const SessionError& e) {
        throw FtpError(e.message());
    } catch (const std::bad_alloc&) {
        throw FtpError(QStringLiteral("Out of memory."));
    }
}

[[noreturn]] inline void localError(const QString& message) {
    throw SessionError(SessionError::Local, message);
}

[[noreturn]] inline void refused(const QString& message) {
    throw SessionError(SessionError::Refused, message);
}

// The whole reply on one line, for messages.
inline QString replyForMessage(const Reply& reply) {
    return reply.lines.isEmpty() ? QStringLiteral("(no reply)") : reply.lines.join(u' ');
}

} // namespace ftp
