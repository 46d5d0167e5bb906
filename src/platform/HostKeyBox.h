#pragma once
// The box that asks the user about an SSH server's host key that ~/.ssh/known_hosts does
// not list (host, key type, SHA256 fingerprint; "接続する", "接続しない" and "この鍵を今後も
// 信頼する"), or tells that the listed key has changed (no way to connect from there).

#include "platform/HostKeyQuestions.h"

class QWidget;

namespace platform {

QString hostKeyText(const platform::HostKeyQuestion& question);

// Shows the box (modal, titled "TesselFTP", object name "HostKeyBox"). Closing it by its
// frame or Esc means "接続しない"; a changed key is never connected to.
platform::HostKeyAnswer askAboutHostKey(QWidget* parent, const platform::HostKeyQuestion& question);

} // namespace platform
