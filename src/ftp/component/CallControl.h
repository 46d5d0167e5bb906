#pragma once
// The engine's names for what the window's thread and the engine's thread share while a
// call runs (platform/CallControl.h): the cancel, the progress and the cancel shield.

#include "platform/CallControl.h"

namespace ftp {

using platform::CallControl;
using platform::CallInfo;
using platform::CallKind;
using platform::CancelShield;
using platform::kCancelPollMs;

} // namespace ftp
