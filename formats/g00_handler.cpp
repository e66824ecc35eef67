// Placeholder until the decoder lands: every request is answered "not supported".
#include "formats/g00.h"

int32_t G00Handler::GetInfo(const uint8_t*, int32_t, PictureInfoRecord*) const {
  return kNotSupported;
}

int32_t G00Handler::Decode(const uint8_t*, int32_t, HLOCAL*, HLOCAL*, ProgressCallback,
                            UserData) const {
  return kNotSupported;
}
