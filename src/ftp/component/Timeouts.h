#pragma once

namespace ftp {

// How long the engine waits, in milliseconds: for a connection to open, for a reply
// on the control connection, and for the next bytes on a data connection.
struct Timeouts {
    int connectMs = 30'000;
    int replyMs = 60'000;
    int dataMs = 60'000;
};

} // namespace ftp
