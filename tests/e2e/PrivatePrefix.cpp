#include "PrivatePrefix.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// One spelling per directory: forward slashes, none repeated or trailing,
// a drive letter in lower case.
std::string Normalised(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '\\') c = '/';
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out += c;
  }
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  if (out.size() >= 2 && out[1] == ':' && std::isalpha(static_cast<unsigned char>(out[0]))) {
    out[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(out[0])));
  }
  return out;
}

bool IsAbsolute(const std::string& path) {
  return (!path.empty() && (path[0] == '/' || path[0] == '\\')) ||
         (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/'));
}

}  // namespace

std::string WhyNotPrivatePrefix(const PrefixFacts& facts, const std::string& expected) {
  if (!IsAbsolute(expected)) return "the build tree names no prefix of its own";
  if (!facts.underWine) return "this is not Wine";
  // Without WINEPREFIX Wine runs in the user's own prefix.
  if (!facts.prefixVariable) return "WINEPREFIX is not set";
  if (Normalised(*facts.prefixVariable) != Normalised(expected)) {
    return "WINEPREFIX is " + *facts.prefixVariable;
  }
  // The variable is only what the environment says: a parent may hand a
  // child any environment it likes. The prefix Wine really runs in is the
  // one its drive C: lives in.
  if (!facts.driveC) return "Wine does not say where drive C: is";
  if (Normalised(*facts.driveC) != Normalised(expected) + "/dosdevices/c:") {
    return "drive C: is " + *facts.driveC;
  }
  return "";
}

std::string RegistrySkipMessage(const PrefixFacts& facts, const std::string& expected) {
  std::string why = WhyNotPrivatePrefix(facts, expected);
  if (why.empty()) return "";
  return "registry tests run only inside the project's private Wine prefix (" + expected +
         "); this machine's keys under HKLM\\SOFTWARE\\Lotus are left alone: " + why;
}

void RefuseUnlessPrivate(const PrefixFacts& facts, const std::string& expected) {
  std::string why = WhyNotPrivatePrefix(facts, expected);
  if (why.empty()) return;
  std::fprintf(stderr,
               "registry: refusing to change HKLM\\SOFTWARE\\Lotus outside the project's private "
               "Wine prefix (%s): %s\n",
               expected.c_str(), why.c_str());
  std::abort();
}

#if defined(_WIN32)

namespace {

std::string Utf8(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "";
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
  bytes.pop_back();
  return bytes;
}

PrefixFacts Observe() {
  PrefixFacts facts;
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  facts.underWine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  if (!facts.underWine) return facts;

  DWORD length = GetEnvironmentVariableW(L"WINEPREFIX", nullptr, 0);
  if (length > 0) {
    std::wstring value(length, L'\0');
    length = GetEnvironmentVariableW(L"WINEPREFIX", value.data(), length);
    value.resize(length);
    facts.prefixVariable = Utf8(value.c_str());
  }

  // Wine's kernel32 names the host file behind a Windows path; the string
  // comes from the process heap.
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  auto unixFileName = reinterpret_cast<UnixFileName>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(kernel32, "wine_get_unix_file_name")));
  if (unixFileName != nullptr) {
    if (char* driveC = unixFileName(L"C:\\")) {
      facts.driveC = driveC;
      HeapFree(GetProcessHeap(), 0, driveC);
    }
  }
  return facts;
}

}  // namespace

const PrefixFacts& ObservedPrefix() {
  static const PrefixFacts facts = Observe();
  return facts;
}

std::string RegistrySkipMessage() {
  return RegistrySkipMessage(ObservedPrefix(), QUORVANE_WINE_PREFIX);
}

void RefuseUnlessPrivate() { RefuseUnlessPrivate(ObservedPrefix(), QUORVANE_WINE_PREFIX); }

#endif
