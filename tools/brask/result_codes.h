// SPDX-License-Identifier: MIT
// What the plug-in's result codes mean, in words a user can act on.
#pragma once

#include <cstdint>
#include <string>

namespace brask {

// "cancelled", "not a picture this plug-in reads or its header is refused", ...
std::string DescribeResult(int32_t code);

}  // namespace brask
