// Placeholder until the decoder lands: every request is answered "not supported".
#include "formats/pdt.h"

int32_t PdtHandler::GetInfo(const uint8_t*, int32_t, PictureInfoRecord*) const {
  return kNotSupported;
}

int32_t PdtHandler::Decode(const uint8_t*, int32_t, HLOCAL*, HLOCAL*, ProgressCallback,
                            UserData) const {
  return kNotSupported;
}
