// The operating-system calls the program uses, with the names, argument meanings and results of
// the Win32 calls they stand for. Everything above platform/ calls the operating system only
// through this header; the POSIX backend lives in platform/posix/, a Win32 one would replace it
// file for file.
//
// Each area (console files, modules and memory, faults, string tables, registry, locale) has its
// own header below; this one holds the shared types and constants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace platform {

// The shapes of the Win32 types: on the 32-bit Windows target these are exactly windows.h's
// (DWORD is unsigned long, LONG is long), and they keep their 32 bits where long is wider.
using DWORD = std::conditional_t<sizeof(long) == 4, unsigned long, uint32_t>;
using LONG = std::conditional_t<sizeof(long) == 4, long, int32_t>;
using UINT = unsigned int;
using BOOL = int;
using HANDLE = void*;       // on POSIX: the file descriptor, held in the pointer
using HMODULE = uintptr_t;  // a module handle: the module's load base, or a data-file handle
using HINSTANCE = HMODULE;
using HKEY = uintptr_t;

inline constexpr BOOL TRUE_ = 1;
inline constexpr BOOL FALSE_ = 0;

inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(intptr_t{-1});

inline constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
inline constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
inline constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);

inline constexpr DWORD FILE_TYPE_UNKNOWN = 0;
inline constexpr DWORD FILE_TYPE_DISK = 1;
inline constexpr DWORD FILE_TYPE_CHAR = 2;
inline constexpr DWORD FILE_TYPE_PIPE = 3;

// Win32 error codes that the POSIX backend reports through GetLastError.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_DATA = 13;
inline constexpr DWORD ERROR_WRITE_FAULT = 29;
inline constexpr DWORD ERROR_READ_FAULT = 30;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_HANDLE_EOF = 38;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_BROKEN_PIPE = 109;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_NO_DATA = 232;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_OPERATION_ABORTED = 995;
inline constexpr DWORD ERROR_IO_DEVICE = 1117;
inline constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

inline constexpr size_t MAX_PATH = 260;

}  // namespace platform
