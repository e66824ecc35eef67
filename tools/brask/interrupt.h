// SPDX-License-Identifier: MIT
// Ctrl-C: the first press sets a flag that workers and the plug-in's progress callback look
// at; the program then stops taking new files, cancels the decodes in flight and exits.
#pragma once

#include <atomic>

namespace brask {

void InstallInterruptHandler();
// Set once Ctrl-C was pressed (or SIGTERM received).
const std::atomic<bool>& InterruptRequested();

}  // namespace brask
