#pragma once

#include <QString>

namespace sessionlog {

// The log pane shows at most this much of the end of a very long transcript, so that
// a session of many megabytes never freezes the window.
inline constexpr qsizetype kPaneLimitChars = 512 * 1024;

// Reads the transcript in CP932: whole, or with `maxBytes` > 0 only its last `maxBytes`
// bytes from the first line start among them, so that a log of any length is read in
// the same short time. Throws ftp::FtpError when it cannot be read.
QString readTranscript(const QString& path, qint64 maxBytes = 0);

} // namespace sessionlog
