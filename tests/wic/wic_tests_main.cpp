// SPDX-License-Identifier: MIT
// The WIC tests' program: COM for the main thread (free-threaded, as WIC is), then the
// stage's tests, chosen with --gtest_filter by the run script.
#include <gtest/gtest.h>

#include <objbase.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;
  const int status = RUN_ALL_TESTS();
  CoUninitialize();
  return status;
}
