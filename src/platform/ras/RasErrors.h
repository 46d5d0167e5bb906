#pragma once
// The message for each result code of the dial-up services.

#include "platform/ras/RasApi.h"

#include <QString>

namespace ras {

// The Japanese sentence for a code; an unknown code gets a sentence naming its number.
QString errorText(DWORD code);
bool isKnownError(DWORD code);

} // namespace ras
