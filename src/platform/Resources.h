#pragma once

namespace platform {
// Registers the pictures compiled into the program (title picture, button pictures,
// icons). Safe to call more than once.
void initResources();
} // namespace platform
