// SPDX-License-Identifier: MIT
// The interface every format handler implements. A handler gets the input's bytes and the
// host's variables; it returns a result code and owns nothing once it returns, so one
// constant instance serves every call on every thread.
#pragma once

#include <cstdint>

#include "formats/host_contract.h"

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
