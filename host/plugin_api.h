// SPDX-License-Identifier: MIT
// The plug-in's four exports, as a host viewer calls them, over the record, callback and
// result codes of formats/host_contract.h.
#pragma once

#include <cstdint>

#include "formats/host_contract.h"

#if defined(_WIN32)
#define BRASK_EXPORT extern "C"
#else
#define BRASK_EXPORT extern "C" __attribute__((visibility("default")))
#endif

BRASK_EXPORT int32_t BRASK_CALL GetPluginInfo(int32_t index, char* buffer, int32_t buffer_length);
BRASK_EXPORT int32_t BRASK_CALL IsSupported(const char* name, uintptr_t source);
BRASK_EXPORT int32_t BRASK_CALL GetPictureInfo(const char* source, int32_t position,
                                               uint32_t flags, PictureInfoRecord* info);
BRASK_EXPORT int32_t BRASK_CALL GetPicture(const char* source, int32_t position, uint32_t flags,
                                           HLOCAL* info_block, HLOCAL* pixel_block,
                                           ProgressCallback progress, UserData user_data);
