#pragma once
// Passive data connections (RFC 2428 EPSV first, RFC 959 PASV as the fallback), always
// opened to the control connection's peer address, and the fixed-buffer loops that
// stream a transfer through them.

#include "ftp/component/Timeouts.h"
#include "ftp/component/Transport.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QCryptographicHash;
class QFile;

namespace ftp {

class ControlChannel;
class CrlfToLf;
struct Reply;

class PassiveOpener {
public:
    // Asks for a passive port and starts connecting to it without waiting, so that the
    // transfer's command can go out while the connection opens. Throws SessionError::Refused
    // when the server grants no passive port.
    std::unique_ptr<Transport> begin(ControlChannel& control, const Timeouts& timeouts);
    // After a connection begun on EPSV's port could not be opened: PASV from now on. True
    // when that connection was EPSV's, so that PASV is worth a try.
    bool giveUpExtended();

private:
    bool epsvUsable_ = true; // cleared once a server refuses EPSV or its port fails
    bool extended_ = false;  // the last connection begun is on EPSV's port
};

// How the wait for a data connection begun ended.
enum class DataOpening {
    Open,      // connected
    Refused,   // the server refused the command first (its reply in `first`)
    Failed,    // the connection could not be opened (noted in the data connection)
    TimedOut,  // nor within the connect timeout
    Cancelled, // the user cancelled
};
// Waits for `data`, begun by PassiveOpener, to open, the transfer's command sent meanwhile.
// The command's first reply may come before the connection opens, which is kept in `first`;
// a refusal ends the wait. The connection gets the stream's read cap once open.
DataOpening awaitDataOpen(Transport& data, ControlChannel& control, int connectMs,
                          std::optional<Reply>& first);

// The size of the one buffer a transfer streams through.
inline constexpr qint64 kStreamBufferSize = 1024 * 1024;
// A data connection that moves fewer bytes than this within the data timeout is stalled.
inline constexpr qint64 kStallBytes = 1024;

struct StreamResult {
    enum Outcome { Done, Timeout, Broken, LocalFailure, Cancelled };
    Outcome outcome = Done;
    qint64 bytes = 0; // bytes that crossed the data connection
    QString detail;   // what went wrong, for the error message
};

// Reads `data` to its end, handing every chunk to `sink`, which may change the chunk's
// bytes in place; a sink that cannot take a chunk returns false with a reason in
// `detail`. Fewer than kStallBytes within `timeoutMs` end the stream as a Timeout.
// The bytes count as progress of the call that `data` is cancelled through.
using ChunkSink = std::function<bool(char* bytes, qint64 size, QString& detail)>;
StreamResult receiveStream(Transport& data, int timeoutMs, const ChunkSink& sink);

// A download straight into an open file: the bytes pass from the system's socket into the
// file at its position without a copy in the program's memory (Linux); `written` counts
// them. Only where canReceiveIntoFile(): a plain data connection on a system that can.
// A text download (`lineEnds` set) is spliced in too as long as no CR has come, and
// looked over where it lies; from the first CR on it is read, converted and written. The
// file must be open for reading as well; `written` then counts the bytes it keeps.
// `written` returning false, with a reason in `detail`, stops the stream (LocalFailure).
struct FileTarget {
    int handle = -1;
    std::function<bool(qint64 bytes, QString& detail)> written;
    CrlfToLf* lineEnds = nullptr;
};
bool canReceiveIntoFile(const Transport& data);
StreamResult receiveIntoFile(Transport& data, int timeoutMs, const FileTarget& target);

// What an upload sends: `file` from `offset` to its end, LF turned into CR LF in text
// mode, every byte read also fed to `hash` when there is one.
struct UploadSource {
    QFile& file;
    qint64 offset = 0;
    bool textMode = false;
    QCryptographicHash* hash = nullptr;
};
// Sends the source over `data`, then closes the data connection so that the server sees
// the end of the file; the same stall rule as receiveStream.
StreamResult sendStream(const UploadSource& source, Transport& data, int timeoutMs);

} // namespace ftp
