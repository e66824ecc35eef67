# SPDX-License-Identifier: MIT
# Warnings, sanitizers and the plug-in's code-generation options, shared by every target.

# High warnings for our own code; brask_warnings(target) applies them.
function(brask_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion
                                           -Wnon-virtual-dtor -Wcast-align -Wundef)
endfunction()

if(BRASK_SANITIZE)
  add_compile_options(-fsanitize=${BRASK_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${BRASK_SANITIZE})
  # The plug-in has no RTTI, so the dynamic-type check would have no type information to
  # compare against when tests call its handlers directly.
  if(BRASK_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize=vptr)
  endif()
endif()

# The plug-in's own code: no exceptions, no RTTI, nothing from a C++ runtime. On POSIX only
# the exports and the host-facing platform calls are visible.
function(brask_plugin_code target)
  brask_warnings(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
  if(NOT WIN32)
    set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                               VISIBILITY_INLINES_HIDDEN ON)
  endif()
endfunction()

# Fuzz builds: coverage instrumentation for all our code, so libFuzzer sees inside the plug-in.
if(BRASK_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
