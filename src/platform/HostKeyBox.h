#pragma once
// The box that asks the user about an SSH server's host key that ~/.ssh/known_hosts does
// not list (host, key type, SHA256 fingerprint; "接続する", "接続しない" and "この鍵を今後も
// 信頼する"), or tells that the listed key has changed (no way to connect from there).

#include "ftp/component/HostKeys.h"

class QWidget;

namespace platform {

QString hostKeyText(const ftp::HostKeyQuestion& question);

// Shows the box (modal, titled "TesselFTP", object name "HostKeyBox"). Closing it by its
// frame or Esc means "接続しない"; a changed key is never connected to.
ftp::HostKeyAnswer askAboutHostKey(QWidget* parent, const ftp::HostKeyQuestion& question);

} // namespace platform
