// SPDX-License-Identifier: MIT
// The rule that picks a format handler for an input.
#pragma once

#include <cstdint>

#include "formats/format_handler.h"

// The number of head bytes the selection rule looks at.
constexpr int32_t kSelectionHeadBytes = 5;

// Picks the handler for an input: G00 by the name's ".g00" ending (more than four bytes
// long, any case) and a type byte below 3, else PDT by "PDT1" and a version byte below '2'.
// `head` must hold at least kSelectionHeadBytes bytes; `name` may be null (memory input).
const FormatHandler* SelectHandler(const char* name, const uint8_t* head);
