// SPDX-License-Identifier: MIT
// The results in words, and the library's version.
#include "brask/brask.h"
#include "brask_version.h"

extern "C" {

const char* brask_result_text(brask_result result) {
  switch (result) {
    case BRASK_OK: return "success";
    case BRASK_INVALID_ARGUMENT: return "invalid argument";
    case BRASK_NOT_SUPPORTED: return "not a G00 or PDT picture";
    case BRASK_OVER_MEMORY_LIMIT: return "the picture needs more memory than the limit allows";
    case BRASK_OUT_OF_MEMORY: return "out of memory";
    case BRASK_FILE_ERROR: return "the file could not be opened or read";
    case BRASK_BUFFER_TOO_SMALL: return "the buffer is too small";
    case BRASK_NO_SUCH_PART: return "no such part";
    case BRASK_NOT_INDEXED: return "the picture has no palette";
    case BRASK_TOO_MANY_COLOURS: return "more than 256 colours for an indexed mode";
    case BRASK_TOO_LARGE: return "too large for the format";
    case BRASK_ALPHA_NOT_STORED: return "the mode stores no alpha";
    case BRASK_DAMAGED: return "a G00 or PDT picture that is damaged or cut short";
  }
  return "unknown result";
}

const char* brask_version(void) { return BRASK_RELEASE_VERSION; }

}  // extern "C"
