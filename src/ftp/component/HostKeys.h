#pragma once
// What the engine asks the window about an SSH server's host key, and the user's answer.

#include "platform/HostKeyQuestions.h"

#include <functional>

namespace ftp {

using platform::HostKeyAnswer;
using platform::HostKeyQuestion;
using platform::HostKeyVerdict;

// Asked on the engine's thread, before anything of the login is sent; it may block until
// the user has answered.
using HostKeyPrompt = std::function<HostKeyAnswer(const HostKeyQuestion&)>;

} // namespace ftp
