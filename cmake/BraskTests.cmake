# SPDX-License-Identifier: MIT
# How the cross builds' tests start their programs: CMAKE_CROSSCOMPILING_EMULATOR, set by the
# toolchain file, is cmake/wine-run (win32 or win64) or cmake/linux32-run.

if(WIN32)
  # The runner with its kind, for tests that start wine themselves, and the file where the
  # wine_probe test leaves its verdict (empty: wine runs Windows programs here).
  set(BRASK_WINE_RUN ${CMAKE_CROSSCOMPILING_EMULATOR})
  set(BRASK_WINE_STATUS ${PROJECT_BINARY_DIR}/wine-status)
endif()

# Marks a test that starts a program under the build's emulator. Under wine it waits for the
# probe and is not started where the probe found that wine cannot run; in the win32 build it
# is then reported as skipped (77) with the probe's reason. wine64 runs must always run.
function(brask_emulated_test test)
  if(NOT WIN32)
    return()
  endif()
  set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED brask_wine
                                          ENVIRONMENT BRASK_WINE_STATUS=${BRASK_WINE_STATUS})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endfunction()
