#include "NotesBinding.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>
#endif

#include "DirectoryApi.h"

NotesApiTable NotesApi{};

namespace {

// Every entry point passes through this type between lookup and the table.
using AnyFunction = void (*)(void);

constexpr const char* kEntryPointNames[] = {
#define NOTES_ENTRY_POINT_NAME(result, name, parameters) #name,
    NOTES_ENTRY_POINTS(NOTES_ENTRY_POINT_NAME)
#undef NOTES_ENTRY_POINT_NAME
};
static_assert(sizeof(kEntryPointNames) / sizeof(kEntryPointNames[0]) == kNotesEntryPointCount,
              "one name per entry point");

#if defined(_WIN32)
using LibraryHandle = HMODULE;
LibraryHandle OpenLibrary() { return LoadLibraryW(L"nnotes.dll"); }
AnyFunction FindEntryPoint(LibraryHandle library, const char* name) {
  return reinterpret_cast<AnyFunction>(GetProcAddress(library, name));
}
void CloseLibrary(LibraryHandle library) { FreeLibrary(library); }
std::string Narrow(const wchar_t* text, int length) {
  int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, narrow.data(), size, nullptr, nullptr);
  return narrow;
}
// The file name Windows reports; whether the directory of the key's "Path"
// holds it, letter case aside, as Windows compares file names.
NotesLibraryOrigin Origin(LibraryHandle library, const wchar_t* keyName, const wchar_t* keyPath) {
  NotesLibraryOrigin origin;
  if (library == nullptr) return origin;
  std::wstring file(32768, L'\0');
  const DWORD length = GetModuleFileNameW(library, file.data(), static_cast<DWORD>(file.size()));
  if (length == 0 || length >= file.size()) return origin;
  file.resize(length);
  origin.file = Narrow(file.data(), static_cast<int>(length));
  std::wstring path = keyPath;
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  const std::size_t slash = file.rfind(L'\\');
  if (keyName != nullptr && !path.empty() && slash != std::wstring::npos &&
      CompareStringOrdinal(file.data(), static_cast<int>(slash), path.data(),
                           static_cast<int>(path.size()), TRUE) == CSTR_EQUAL) {
    std::wstring key = keyName;
    key.pop_back();  // its trailing backslash
    origin.key = "HKLM\\" + Narrow(key.data(), static_cast<int>(key.size()));
  }
  return origin;
}
const DirectoryApiTable kPlatformDirectoryApi{&RegOpenKeyExW, &RegQueryValueExW, &RegCloseKey,
                                              &SetDllDirectoryW};
#else
using LibraryHandle = void*;
LibraryHandle OpenLibrary() { return dlopen("libnnotes.so", RTLD_NOW | RTLD_LOCAL); }
AnyFunction FindEntryPoint(LibraryHandle library, const char* name) {
  return reinterpret_cast<AnyFunction>(dlsym(library, name));
}
void CloseLibrary(LibraryHandle library) { dlclose(library); }
// The loader's name of the library: where the search found it.
NotesLibraryOrigin Origin(LibraryHandle library, const wchar_t*, const wchar_t*) {
  link_map* map = nullptr;
  if (library == nullptr || dlinfo(library, RTLD_DI_LINKMAP, &map) != 0) return {};
  char* full = realpath(map->l_name, nullptr);
  NotesLibraryOrigin origin{full != nullptr ? full : map->l_name, ""};
  std::free(full);
  return origin;
}
// No registry: the library is found along the loader's own search path.
const DirectoryApiTable kPlatformDirectoryApi{};
#endif

// The library once bound, and the key whose "Path" the lookup made the DLL
// search directory, with that path.
LibraryHandle boundLibrary = nullptr;
const wchar_t* directoryKey = nullptr;
wchar_t directoryPath[260] = {};

}  // namespace

DirectoryApiTable DirectoryApi = kPlatformDirectoryApi;

void LocateNotesDirectory() {
  if (DirectoryApi.RegOpenKeyExW == nullptr) return;

  // A Domino server is preferred to a Notes client, the 64-bit registry view
  // to the 32-bit one.
  static constexpr const wchar_t* kInstallationKeys[] = {
      L"SOFTWARE\\Lotus\\Domino\\",
      L"SOFTWARE\\Wow6432Node\\Lotus\\Domino\\",
      L"SOFTWARE\\Lotus\\Notes\\",
      L"SOFTWARE\\Wow6432Node\\Lotus\\Notes\\",
  };
  constexpr RegistryWord kKeyRead = 0x20019;
  RegistryKey key = nullptr;
  const wchar_t* keyName = nullptr;
  for (const wchar_t* name : kInstallationKeys) {
    if (DirectoryApi.RegOpenKeyExW(kLocalMachine, name, 0, kKeyRead, &key) == kRegistrySuccess) {
      keyName = name;
      break;
    }
    key = nullptr;
  }
  if (key == nullptr) {
    std::fputs("Error: unable to obtain domino dir.\n", stdout);
    return;
  }

  wchar_t path[260] = {};
  constexpr std::size_t kPathUnits = sizeof path / sizeof path[0];
  RegistryWord type = 0;
  RegistryWord size = sizeof path;
  RegistryStatus queried = DirectoryApi.RegQueryValueExW(
      key, L"Path", nullptr, &type, reinterpret_cast<std::uint8_t*>(path), &size);
  DirectoryApi.RegCloseKey(key);
  // Only a whole, terminated path is used; a value too long for the buffer
  // or unreadable is no directory at all, as is a missing one.
  if (queried != kRegistrySuccess || std::wmemchr(path, L'\0', kPathUnits) == nullptr) {
    path[0] = L'\0';
  }

  if (!DirectoryApi.SetDllDirectoryW(path)) {
    std::fputs("Error: Unable to set dll directory.\n", stdout);
    return;
  }
  directoryKey = keyName;
  std::wmemcpy(directoryPath, path, kPathUnits);
}

NotesLibraryLoad LoadNotesLibrary() {
  LibraryHandle library = OpenLibrary();
  if (!library) return NotesLibraryLoad::LibraryNotFound;

  AnyFunction resolved[kNotesEntryPointCount];
  for (int i = 0; i < kNotesEntryPointCount; ++i) {
    resolved[i] = FindEntryPoint(library, kEntryPointNames[i]);
  }
  for (AnyFunction function : resolved) {
    if (!function) {
      CloseLibrary(library);
      return NotesLibraryLoad::EntryPointMissing;
    }
  }

  int next = 0;
#define NOTES_BIND_ENTRY_POINT(result, name, parameters) \
  NotesApi.name = reinterpret_cast<decltype(NotesApi.name)>(resolved[next++]);
  NOTES_ENTRY_POINTS(NOTES_BIND_ENTRY_POINT)
#undef NOTES_BIND_ENTRY_POINT
  boundLibrary = library;
  return NotesLibraryLoad::Bound;
}

NotesLibraryOrigin FindNotesLibraryOrigin() {
  return Origin(boundLibrary, directoryKey, directoryPath);
}
