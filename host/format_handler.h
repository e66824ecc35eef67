// The interface every format handler implements, and the rule that picks one. A handler
// gets the input's bytes and the host's variables; it returns a result code and owns
// nothing once it returns, so one constant instance serves every call on every thread.
#pragma once

#include <cstdint>

#include "host/plugin_api.h"

class FormatHandler {
 public:
  // Slot 0: fills the record from the image's first bytes.
  virtual int32_t GetInfo(const uint8_t* head, int32_t head_length,
                          PictureInfoRecord* info) const = 0;
  // Slot 1: decodes the whole image into the two blocks handed to the host.
  virtual int32_t Decode(const uint8_t* data, int32_t data_length, HLOCAL* info_block,
                         HLOCAL* pixel_block, ProgressCallback progress,
                         UserData user_data) const = 0;
  // Slots 2 to 8: operations of the host's interface that this module does not provide.
  virtual int32_t Unprovided2(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) const {
    return kNotProvided;
  }
  virtual int32_t Unprovided3(int32_t, int32_t, int32_t) const { return kNotProvided; }
  virtual int32_t Unprovided4(int32_t, int32_t, int32_t, int32_t, int32_t) const {
    return kNotProvided;
  }
  virtual int32_t Unprovided5(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) const {
    return kNotProvided;
  }
  virtual int32_t Unprovided6(int32_t, int32_t, int32_t) const { return kNotProvided; }
  virtual int32_t Unprovided7(int32_t, int32_t, int32_t, int32_t, int32_t) const {
    return kNotProvided;
  }
  virtual int32_t Unprovided8(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) const {
    return kNotProvided;
  }

 protected:
  constexpr FormatHandler() = default;
  ~FormatHandler() = default;  // handlers are constants, never deleted through this interface
};

// The number of head bytes the selection rule looks at.
constexpr int32_t kSelectionHeadBytes = 5;

// Picks the handler for an input: G00 by the name's ".g00" ending (more than four bytes
// long, any case) and a type byte below 3, else PDT by "PDT1" and a version byte below '2'.
// `head` must hold at least kSelectionHeadBytes bytes; `name` may be null (memory input).
const FormatHandler* SelectHandler(const char* name, const uint8_t* head);
