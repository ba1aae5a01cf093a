#include "InstallationKeys.h"

#if defined(_WIN32)

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "PrivatePrefix.h"

namespace {

// The four keys, in the order of InstallationKey.
const char* const kNames[] = {"SOFTWARE\\Lotus\\Domino", "SOFTWARE\\Wow6432Node\\Lotus\\Domino",
                              "SOFTWARE\\Lotus\\Notes", "SOFTWARE\\Wow6432Node\\Lotus\\Notes"};

// The cases' mark: a string value no installer writes, in every key they
// create.
const char kMark[] = "QuorvaneTestKey";
const char kMarkData[] = "created by quorvane_lookup_tests";

// A registry the test cannot arrange makes every result meaningless.
void Check(LONG result, const char* what) {
  if (result != ERROR_SUCCESS) {
    std::fprintf(stderr, "registry: %s failed (%ld)\n", what, static_cast<long>(result));
    std::abort();
  }
}

bool HasValue(HKEY key, const char* name) {
  return RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

enum class Found { Absent, Ours, Other };

// Whether the key `name` of HKLM is absent, the cases' own, or holds
// anything that is not: theirs carries the mark and no subkey, and no value
// but the mark and, where `pathIsOurs`, the "Path" they write. A key that
// cannot be read is not theirs.
Found Look(const char* name, bool pathIsOurs) {
  HKEY key = nullptr;
  LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, name, 0, KEY_READ, &key);
  if (opened == ERROR_FILE_NOT_FOUND) return Found::Absent;
  if (opened != ERROR_SUCCESS) return Found::Other;
  DWORD subkeys = 0, values = 0;
  bool ours = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
              subkeys == 0 && HasValue(key, kMark) &&
              values == (pathIsOurs && HasValue(key, "Path") ? 2u : 1u);
  RegCloseKey(key);
  return ours ? Found::Ours : Found::Other;
}

// The second line behind the fixture's skips.
void RefuseUnlessOurs() {
  RefuseUnlessNamed();
  if (std::string why = InstallationSkipMessage(); !why.empty()) {
    std::fprintf(stderr, "registry: refusing to change HKLM\\SOFTWARE\\Lotus: %s\n", why.c_str());
    std::abort();
  }
}

}  // namespace

std::string InstallationSkipMessage() {
  for (const char* name : kNames) {
    if (Look(name, true) == Found::Other) {
      return std::string("HKLM\\") + name +
             " exists, and the registry cases did not create it: the keys of a Notes or Domino "
             "installation are left alone, whatever QUORVANE_REGISTRY_TESTS says";
    }
  }
  return "";
}

void InstallationKeys::SetPath(InstallationKey key, const std::wstring& path) {
  RefuseUnlessOurs();
  // One level at a time below SOFTWARE, so that every key created is marked:
  // RegCreateKeyExA tells only whether the last level of a name is new.
  const std::string name = kNames[static_cast<int>(key)];
  HKEY created = nullptr;
  for (std::size_t end = name.find('\\', name.find('\\') + 1);; end = name.find('\\', end + 1)) {
    if (created != nullptr) RegCloseKey(created);
    DWORD disposition = 0;
    Check(RegCreateKeyExA(HKEY_LOCAL_MACHINE, name.substr(0, end).c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &created, &disposition),
          "RegCreateKeyExA");
    if (disposition == REG_CREATED_NEW_KEY) {
      Check(RegSetValueExA(created, kMark, 0, REG_SZ, reinterpret_cast<const BYTE*>(kMarkData),
                           sizeof kMarkData),
            "RegSetValueExA");
    }
    if (end == std::string::npos) break;
  }
  Check(RegSetValueExW(created, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
        "RegSetValueExW");
  RegCloseKey(created);
}

bool InstallationKeyOpens() {
  for (const char* name : kNames) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, name, 0, KEY_READ, &opened) == ERROR_SUCCESS) {
      RegCloseKey(opened);
      return true;
    }
  }
  return false;
}

InstallationKeys::InstallationKeys() { RemoveOurs(); }

InstallationKeys::~InstallationKeys() { RemoveOurs(); }

void InstallationKeys::RemoveOurs() {
  // Each key only while nothing but the cases' own is in it, after its
  // subkeys; never a whole tree.
  RefuseUnlessOurs();
  for (const char* name : kNames) {
    if (Look(name, true) == Found::Ours) {
      Check(RegDeleteKeyA(HKEY_LOCAL_MACHINE, name), "RegDeleteKeyA");
    }
  }
  for (const char* parent :
       {"SOFTWARE\\Lotus", "SOFTWARE\\Wow6432Node\\Lotus", "SOFTWARE\\Wow6432Node"}) {
    if (Look(parent, false) == Found::Ours) {
      Check(RegDeleteKeyA(HKEY_LOCAL_MACHINE, parent), "RegDeleteKeyA");
    }
  }
}

#endif
