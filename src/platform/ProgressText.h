#pragma once
// The texts of the progress window: what runs, and how far a transfer has got.

#include "platform/CallControl.h"

#include <QString>

namespace progresstext {

// "接続中: ftp.example.jp", "受信中: a.txt", ...
QString describe(const platform::CallInfo& info);

// 999 B, 1.5 KB, 12.3 MB, 1.00 GB (units of 1024).
QString readableBytes(qint64 bytes);

// "12.3 MB / 1.00 GB　45.6 MB/秒　残り 0:23"; without a known total, only what is done and
// the rate. Nothing but the bytes before the first measurable time.
QString transferLine(qint64 done, qint64 total, qint64 elapsedMs);

// "0:23", "12:05", "1:02:03".
QString clockTime(qint64 seconds);

} // namespace progresstext
