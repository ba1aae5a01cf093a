#include "InstallationKeys.h"

#if defined(_WIN32)

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "PrivatePrefix.h"

namespace {

const wchar_t* KeyName(InstallationKey key) {
  switch (key) {
    case InstallationKey::Domino:
      return L"SOFTWARE\\Lotus\\Domino";
    case InstallationKey::DominoWow6432:
      return L"SOFTWARE\\Wow6432Node\\Lotus\\Domino";
    case InstallationKey::Notes:
      return L"SOFTWARE\\Lotus\\Notes";
    case InstallationKey::NotesWow6432:
      return L"SOFTWARE\\Wow6432Node\\Lotus\\Notes";
  }
  return L"";
}

// A registry the test cannot arrange makes every result meaningless.
void Check(LONG result, const char* what) {
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
    std::fprintf(stderr, "registry: %s failed (%ld)\n", what, static_cast<long>(result));
    std::abort();
  }
}

HKEY CreateKey(InstallationKey key) {
  RefuseUnlessPrivate();
  HKEY created = nullptr;
  Check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyName(key), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &created, nullptr),
        "RegCreateKeyExW");
  return created;
}

void SetValue(InstallationKey key, DWORD type, const BYTE* data, DWORD size) {
  HKEY created = CreateKey(key);
  Check(RegSetValueExW(created, L"Path", 0, type, data, size), "RegSetValueExW");
  RegCloseKey(created);
}

}  // namespace

InstallationKeys::InstallationKeys() { RemoveAll(); }

InstallationKeys::~InstallationKeys() { RemoveAll(); }

void InstallationKeys::Create(InstallationKey key) { RegCloseKey(CreateKey(key)); }

void InstallationKeys::SetPath(InstallationKey key, const std::wstring& path) {
  SetValue(key, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
           static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}

void InstallationKeys::SetPathBytes(InstallationKey key, const std::string& bytes, ValueType type) {
  SetValue(key, type == ValueType::String ? REG_SZ : REG_BINARY,
           reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
}

void InstallationKeys::RemoveAll() {
  // Deleting the keys of a real installation is what must never happen: the
  // tests skip outside the private prefix, and this is the second line.
  RefuseUnlessPrivate();
  Check(RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Lotus"), "RegDeleteTreeW");
  Check(RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Lotus"), "RegDeleteTreeW");
}

#endif
