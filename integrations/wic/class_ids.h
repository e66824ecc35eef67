// SPDX-License-Identifier: MIT
// The DLL's own identifiers: its classes, the two container formats and its vendor, with
// the names and file types registration writes for each format.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "brask/brask.h"

namespace brask_wic {

extern const CLSID kClsidG00Decoder;
extern const CLSID kClsidPdtDecoder;
extern const CLSID kClsidThumbnailProvider;
extern const CLSID kClsidPropertyHandler;
extern const GUID kContainerG00;
extern const GUID kContainerPdt;
extern const GUID kVendor;

// One picture format as programs and Explorer see it.
struct FormatNames {
  brask_format format;
  const CLSID* decoder;
  const GUID* container;
  const wchar_t* friendly_name;
  const wchar_t* extension;  // with its dot, lower case
  const wchar_t* mime_type;
};

// G00 first, then PDT.
extern const FormatNames kFormats[2];

// The format whose decoder class is clsid, or null.
const FormatNames* FormatOfDecoder(REFCLSID clsid);

}  // namespace brask_wic
