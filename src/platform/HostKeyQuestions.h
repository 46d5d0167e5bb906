#pragma once
// What the SSH engine asks the user about a server's host key, and the answer.
// Plain data, no widgets: the window turns a question into a box of its own.

#include <QString>

namespace platform {

// What the known-hosts files say about a server's key.
enum class HostKeyVerdict {
    Known,   // listed for this host and port: go on without a question
    Unknown, // nothing is listed for this host and port
    Changed, // another key is listed: refused, the user is only told
};

struct HostKeyQuestion {
    QString host;
    quint16 port = 0;
    QString keyType; // "ssh-ed25519", "ecdsa-sha2-nistp256", "ssh-rsa"
    QString sha256;  // "SHA256:" and the unpadded base64 of the key's SHA-256, as OpenSSH shows it
    // True for a key that differs from the listed one: the box only warns, the connect is
    // refused whatever the answer.
    bool changed = false;
};

struct HostKeyAnswer {
    bool connect = false;
    bool trustFromNowOn = false; // add the key to ~/.ssh/known_hosts
};

} // namespace platform
