// SPDX-License-Identifier: MIT
// The kernel calls the plug-in makes. On Windows these are KERNEL32's own; elsewhere
// platform/posix_kernel.cpp stands in for them with the Windows semantics the code relies
// on. Nothing outside platform/ knows which of the two it is built against.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#else  // POSIX stand-in

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef size_t SIZE_T;
typedef void* HANDLE;
typedef void* HLOCAL;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;

#define WINAPI
#define TRUE 1
#define FALSE 0

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

#define GENERIC_READ 0x80000000u
#define FILE_SHARE_READ 0x00000001u
#define OPEN_EXISTING 3u
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define PAGE_READONLY 0x02u
#define FILE_MAP_READ 0x0004u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

// The few stand-ins a host needs to take over the blocks it is handed are exported from
// the native library; the rest stay internal to it.
#define BRASK_PLATFORM_EXPORT __attribute__((visibility("default")))

extern "C" {
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD flags, HANDLE template_file);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes_to_read, LPDWORD bytes_read,
              void* overlapped);
DWORD GetFileSize(HANDLE file, LPDWORD size_high);
BOOL CloseHandle(HANDLE handle);
HANDLE CreateFileMappingA(HANDLE file, void* security, DWORD protect, DWORD size_high,
                          DWORD size_low, LPCSTR name);
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low,
                     SIZE_T length);
BOOL UnmapViewOfFile(LPCVOID view);

HANDLE GetProcessHeap(void);
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID memory);

BRASK_PLATFORM_EXPORT HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
BRASK_PLATFORM_EXPORT LPVOID LocalLock(HLOCAL block);
BRASK_PLATFORM_EXPORT BOOL LocalUnlock(HLOCAL block);
BRASK_PLATFORM_EXPORT HLOCAL LocalFree(HLOCAL block);
BRASK_PLATFORM_EXPORT SIZE_T LocalSize(HLOCAL block);

int lstrlenA(LPCSTR text);
int lstrcmpiA(LPCSTR left, LPCSTR right);
LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int max_count);
}

#endif  // _WIN32
