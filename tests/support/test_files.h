// SPDX-License-Identifier: MIT
// Temporary files for tests, removed when the test program ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes bytes to a new file in the tests' temporary folder and returns its path. The name
// keeps the given ending (".g00", ".pdt", ...), since the plug-in looks at it.
std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes);

// The tests' temporary folder.
std::string TempFolder();
