// The platform calls that find the Notes program directory: reading the
// registry and setting the process's DLL search directory. The lookup makes
// them through the table DirectoryApi, which the Windows build fills with
// Windows' own functions. Where there is no registry the table stays empty
// and the lookup does nothing. Unit tests fill it with fakes.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#include <windows.h>

using RegistryKey = HKEY;
using RegistryStatus = LONG;
using RegistryWord = DWORD;
using PlatformBool = BOOL;
inline const RegistryKey kLocalMachine = HKEY_LOCAL_MACHINE;
#else
// The same types as Windows x64 has them: a key is a handle of pointer size,
// LONG and DWORD have 32 bits, and HKEY_LOCAL_MACHINE is 0x80000002
// sign-extended.
struct RegistryKeyObject;
using RegistryKey = RegistryKeyObject*;
using RegistryStatus = std::int32_t;
using RegistryWord = std::uint32_t;
using PlatformBool = std::int32_t;
// NOLINTNEXTLINE(performance-no-int-to-ptr): a predefined key is a number.
inline const RegistryKey kLocalMachine = reinterpret_cast<RegistryKey>(0xFFFFFFFF80000002);
#endif

static_assert(sizeof(RegistryStatus) == 4 && sizeof(RegistryWord) == 4 && sizeof(PlatformBool) == 4,
              "the registry's types have the widths of Windows x64");

// ERROR_SUCCESS.
constexpr RegistryStatus kRegistrySuccess = 0;

struct DirectoryApiTable {
  RegistryStatus (*RegOpenKeyExW)(RegistryKey parent, const wchar_t* name, RegistryWord options,
                                  RegistryWord access, RegistryKey* key);
  RegistryStatus (*RegQueryValueExW)(RegistryKey key, const wchar_t* name, RegistryWord* reserved,
                                     RegistryWord* type, std::uint8_t* data, RegistryWord* size);
  RegistryStatus (*RegCloseKey)(RegistryKey key);
  PlatformBool (*SetDllDirectoryW)(const wchar_t* path);
};

extern DirectoryApiTable DirectoryApi;
