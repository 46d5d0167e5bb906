#pragma once
// The engine's internal failure: an FtpError that also says what kind of failure it was,
// so that Connect can turn it into its result number and the engine can tell a dead
// session from a refused command.

#include "ftp/component/FtpComponent.h"

namespace ftp {

class SessionError : public FtpError {
public:
    enum Kind {
        Timeout,   // the server did not answer or send in time
        Closed,    // the server closed the connection
        Garbage,   // the server sent something that is not FTP
        Network,   // the system reported a network failure
        Refused,   // the server refused a command; the session goes on
        Local,     // a local file or an argument is at fault; nothing was sent
        Cancelled, // the user cancelled the call
    };
    SessionError(Kind kind, const QString& message, FailureDetail detail = {})
        : FtpError(message, withKind(std::move(detail), kind)), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;

    static FailureDetail withKind(FailureDetail detail, Kind kind) {
        detail.kind = failureKindOf(kind);
        return detail;
    }
    static FailureKind failureKindOf(Kind kind) {
        switch (kind) {
        case Timeout:
            return FailureKind::Timeout;
        case Closed:
            return FailureKind::Closed;
        case Garbage:
            return FailureKind::Garbage;
        case Network:
            return FailureKind::Network;
        case Refused:
            return FailureKind::Refused;
        case Local:
            return FailureKind::Local;
        case Cancelled:
            return FailureKind::Cancelled;
        }
        return FailureKind::Unknown;
    }
};

} // namespace ftp
