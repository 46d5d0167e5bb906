#pragma once

#include <QString>

namespace sessionlog {

// The log pane shows at most this much of the end of a very long transcript, so that
// a session of many megabytes never freezes the window.
inline constexpr qsizetype kPaneLimitChars = 512 * 1024;

// Reads the transcript whole, in CP932. Throws ftp::FtpError when it cannot be read.
QString readTranscript(const QString& path);

} // namespace sessionlog
