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

}  // namespace

void InstallationKeys::SetPath(InstallationKey key, const std::wstring& path) {
  RefuseUnlessNamed();
  HKEY created = nullptr;
  Check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyName(key), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &created, nullptr),
        "RegCreateKeyExW");
  Check(RegSetValueExW(created, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
        "RegSetValueExW");
  RegCloseKey(created);
}

bool InstallationKeyOpens() {
  for (auto key : {InstallationKey::Domino, InstallationKey::DominoWow6432, InstallationKey::Notes,
                   InstallationKey::NotesWow6432}) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyName(key), 0, KEY_READ, &opened) == ERROR_SUCCESS) {
      RegCloseKey(opened);
      return true;
    }
  }
  return false;
}

InstallationKeys::InstallationKeys() { RemoveAll(); }

InstallationKeys::~InstallationKeys() { RemoveAll(); }

void InstallationKeys::RemoveAll() {
  // Deleting the keys of a real installation is what must never happen: the
  // tests skip on a machine not named to them, and this is the second line.
  RefuseUnlessNamed();
  Check(RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Lotus"), "RegDeleteTreeW");
  Check(RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Lotus"), "RegDeleteTreeW");
}

#endif
