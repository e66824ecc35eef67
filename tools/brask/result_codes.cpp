// SPDX-License-Identifier: MIT
#include "tools/brask/result_codes.h"

#include "host/plugin_api.h"

namespace brask {

std::string DescribeResult(int32_t code) {
  switch (code) {
    case kSuccess: return "success";
    case kCancelled: return "cancelled";
    case kNotSupported: return "not supported (not a G00 or PDT picture, or its header or data were refused as damaged)";
    case kOutOfMemory: return "out of memory (the picture is too large, or its data is damaged)";
    case kMappingFailed: return "the file could not be mapped into memory (empty or unreadable)";
    case kFileError: return "file error (the file could not be opened or read)";
    case kNotProvided: return "operation not provided by the plug-in";
    default: return "unknown result";
  }
}

}  // namespace brask
