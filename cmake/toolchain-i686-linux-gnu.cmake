# SPDX-License-Identifier: MIT
# Cross build for 32-bit Linux (i686) with Debian's g++-i686-linux-gnu: 32-bit size_t, 32-bit
# pointers, the same code as the native build. Programs run directly where the kernel runs
# 32-bit programs and under qemu-i386-static where it does not (cmake/linux32-run decides at
# each start).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(BRASK_LINUX32_ROOT /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH ${BRASK_LINUX32_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Programs and libraries use the cross root's loader and libraries, so they need nothing
# 32-bit installed on the machine itself (a fresh machine has no /lib/ld-linux.so.2).
set(brask_linux32_link
    "-Wl,--dynamic-linker=${BRASK_LINUX32_ROOT}/lib/ld-linux.so.2 -Wl,-rpath,${BRASK_LINUX32_ROOT}/lib")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${brask_linux32_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,-rpath,${BRASK_LINUX32_ROOT}/lib")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/linux32-run CACHE STRING "" FORCE)
