#pragma once
// Helpers the engine's calls share (inside the engine only).

#include "ftp/component/ControlChannel.h"
#include "ftp/component/FtpEngine.h"
#include "ftp/component/SessionError.h"

#include <new>

namespace ftp {

[[noreturn]] inline void localError(const QString& message) {
    throw SessionError(SessionError::Local, message);
}

[[noreturn]] inline void refused(const QString& message) {
    throw SessionError(SessionError::Refused, message);
}

// The whole reply on one line, for messages.
inline QString replyForMessage(const Reply& reply) {
    return reply.lines.isEmpty() ? QStringLiteral("(no reply)") : reply.oneLine();
}

// Every public call lets only FtpError out, whatever went wrong inside.
template <typename F> auto FtpEngine::guarded(F&& f) -> decltype(f()) {
    try {
        try {
            return f();
        } catch (const SessionError& e) {
            if (!reconnectAfter(e))
                throw;
        }
        return f(); // the failed step once more, on the new session
    } catch (const SessionError& e) {
        FtpError error(e.message(), e.detail());
        // A refusal is the server's word: its reply says why.
        const Reply& last = control_.lastReply();
        if (error.detail().kind == FailureKind::Refused && error.detail().serverReply.isEmpty() &&
            last.isRefusal())
            error.detail().serverReply = last.oneLine();
        throw error;
    } catch (const std::bad_alloc&) {
        throw FtpError(QStringLiteral("Out of memory."));
    }
}

} // namespace ftp
