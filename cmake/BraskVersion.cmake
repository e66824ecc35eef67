# SPDX-License-Identifier: MIT
# The release's version, set once by project(VERSION) at the top, and everything made from
# it: a generated header any target (or another build: the setup program, the web page) can
# include, a plain text file for scripts, and the Windows version resource.
#
#   #include "brask_version.h"        BRASK_RELEASE_VERSION "1.0.0", its three numbers, and
#                                     BRASK_RELEASE_VERSION_COMMAS 1,0,0,0 for resources
#   ${PROJECT_BINARY_DIR}/generated/brask_version.txt   "1.0.0" and a newline
#   brask_version_resource(TARGET "what it is" FILE_NAME)  the Windows version resource
#
# The interface version (BRASK_VERSION_MAJOR in include/brask/brask.h) is another number: it
# changes only when the C interface breaks, and the library's soname carries it.

set(BRASK_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/brask_version.h.in
               ${BRASK_GENERATED_DIR}/brask_version.h @ONLY)
file(WRITE ${BRASK_GENERATED_DIR}/brask_version.txt.tmp "${PROJECT_VERSION}\n")
file(COPY_FILE ${BRASK_GENERATED_DIR}/brask_version.txt.tmp ${BRASK_GENERATED_DIR}/brask_version.txt
     ONLY_IF_DIFFERENT)

add_library(brask_version INTERFACE)
target_include_directories(brask_version INTERFACE ${BRASK_GENERATED_DIR})

# The interface version, read from the public header so that the number lives in one place.
file(STRINGS ${PROJECT_SOURCE_DIR}/include/brask/brask.h brask_interface_lines
     REGEX "^#define BRASK_VERSION_(MAJOR|MINOR) [0-9]+$")
foreach(line IN LISTS brask_interface_lines)
  string(REGEX MATCH "(MAJOR|MINOR) ([0-9]+)" ignored "${line}")
  set(BRASK_INTERFACE_VERSION_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
endforeach()
if(NOT DEFINED BRASK_INTERFACE_VERSION_MAJOR OR NOT DEFINED BRASK_INTERFACE_VERSION_MINOR)
  message(FATAL_ERROR "include/brask/brask.h defines no BRASK_VERSION_MAJOR and _MINOR")
endif()

# Windows: a VERSIONINFO resource (file and product version, description, file name,
# licence). It is data in the .rsrc section and adds no import.
function(brask_version_resource target description file_name)
  if(NOT WIN32)
    return()
  endif()
  set(BRASK_RESOURCE_DESCRIPTION "${description}")
  set(BRASK_RESOURCE_FILE_NAME "${file_name}")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(BRASK_RESOURCE_FILE_TYPE VFT_APP)
  else()
    set(BRASK_RESOURCE_FILE_TYPE VFT_DLL)
  endif()
  set(rc ${BRASK_GENERATED_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version_resource.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${BRASK_GENERATED_DIR}/brask_version.h)
  target_include_directories(${target} PRIVATE ${BRASK_GENERATED_DIR})
endfunction()
