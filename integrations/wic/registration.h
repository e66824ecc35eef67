// SPDX-License-Identifier: MIT
// Writes and removes the DLL's registration: its classes, the two decoders in WIC's decoder
// category with their pattern (PDT only: G00 has no signature, and a loose pattern would take
// other formats' files), and Explorer's thumbnail handler for .g00 and .pdt (per machine also
// its property handler and kind, which Windows reads machine-wide only). Per machine under
// HKLM\Software\Classes, per user under HKCU\Software\Classes, each under its own root only.
#pragma once

#include <string>
#include <vector>

#include "integrations/wic/com_support.h"

namespace brask_wic {

enum class RegistrationScope { kMachine, kUser };

// One value to write (a key alone when type is REG_NONE), and how unregistering treats it.
struct RegistryEntry {
  std::wstring key;   // under the scope's root (HKLM or HKCU)
  std::wstring name;  // empty: the key's default value
  DWORD type;         // REG_SZ, REG_DWORD, REG_BINARY or REG_NONE
  std::vector<BYTE> data;
  // Whose the key is: ours alone (removed whole), or shared with others (only our value
  // goes, and only while it still holds what we wrote).
  bool key_is_ours;
};

// Everything registering writes in `scope` for the DLL at dll_path.
std::vector<RegistryEntry> RegistryEntries(RegistrationScope scope, const std::wstring& dll_path);

// Writes the entries; on failure removes what was written and answers the failure.
HRESULT Register(RegistrationScope scope);
// Removes every key and value Register writes in `scope`.
HRESULT Unregister(RegistrationScope scope);

}  // namespace brask_wic
