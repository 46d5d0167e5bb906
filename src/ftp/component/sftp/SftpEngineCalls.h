#pragma once
// What the SFTP engine's calls share (inside the engine only).

#include "ftp/component/SessionError.h"
#include "ftp/component/sftp/SftpEngine.h"

#include <new>

namespace ftp::sftp {

[[noreturn]] inline void localError(const QString& message) {
    throw SessionError(SessionError::Local, message);
}

// Every public call lets only FtpError out, whatever went wrong inside; a session whose
// connection broke is ended, so that the next call says so.
template <typename F> auto SftpEngine::guarded(F&& f) -> decltype(f()) {
    try {
        try {
            return f();
        } catch (const SessionError& e) {
            if (!reconnectAfter(e))
                throw;
        }
        return f(); // the failed step once more, on the new session
    } catch (const SessionError& e) {
        if (e.kind() == SessionError::Garbage || e.kind() == SessionError::Timeout)
            ssh_.close(); // out of step with the server: nothing further can be trusted
        throw FtpError(e.message(), e.detail());
    } catch (const std::bad_alloc&) {
        throw FtpError(QStringLiteral("Out of memory."));
    }
}

} // namespace ftp::sftp
