#pragma once
// Passive data connections (RFC 2428 EPSV first, RFC 959 PASV as the fallback), always
// opened to the control connection's peer address, and the fixed-buffer loops that
// stream a transfer through them.

#include "ftp/component/Timeouts.h"
#include "ftp/component/Transport.h"

#include <QString>

#include <functional>
#include <memory>

class QIODevice;

namespace ftp {

class ControlChannel;

class PassiveOpener {
public:
    // Asks for a passive port and connects to it. Throws SessionError: Refused when
    // the server grants no passive port, Network when the port cannot be reached.
    std::unique_ptr<Transport> open(ControlChannel& control, const Timeouts& timeouts);

private:
    bool epsvUsable_ = true; // cleared once a server refuses EPSV or its port fails
};

// The size of the one buffer a transfer streams through.
inline constexpr qint64 kStreamBufferSize = 256 * 1024;

struct StreamResult {
    enum Outcome { Done, Timeout, Broken, LocalFailure, Cancelled };
    Outcome outcome = Done;
    qint64 bytes = 0; // bytes that crossed the data connection
    QString detail;   // what went wrong, for the error message
};

// Reads `data` to its end, handing every chunk to `sink`; a sink that cannot take a
// chunk returns false with a reason in `detail`. The bytes count as progress of the
// call that `data` is cancelled through.
using ChunkSink = std::function<bool(const char* bytes, qint64 size, QString& detail)>;
StreamResult receiveStream(Transport& data, int timeoutMs, const ChunkSink& sink);

// Sends `source` to its end over `data`, LF turned into CR LF when `textMode`, then
// closes the data connection so that the server sees the end of the file. The bytes
// read from `source` count as progress.
StreamResult sendStream(QIODevice& source, Transport& data, int timeoutMs, bool textMode);

} // namespace ftp
