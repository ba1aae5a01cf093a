#include "PrivatePrefix.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>

#include "ToolRunner.h"
#endif

namespace {

// One spelling per host directory: no slash repeated or trailing.
std::string Normalised(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c != '/' || out.empty() || out.back() != '/') out += c;
  }
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string WhyKeysAreLeftAlone(const PrefixFacts& facts, const std::string& named) {
  if (named.empty()) return "it is not set";
  if (!facts.underWine) {
    if (Upper(named) == Upper(facts.computerName)) return "";
    return "it names " + named + ", and this computer is " + facts.computerName;
  }
  if (named[0] != '/') return "under Wine it must name the prefix by its host path";
  if (!facts.driveC) return "Wine does not say where drive C: is";
  if (Normalised(*facts.driveC) != Normalised(named) + "/dosdevices/c:") {
    return "drive C: is " + *facts.driveC;
  }
  return "";
}

std::string RegistrySkipMessage(const PrefixFacts& facts, const std::string& named) {
  std::string why = WhyKeysAreLeftAlone(facts, named);
  if (why.empty()) return "";
  return "the registry cases create and delete installation keys, so they run only where "
         "QUORVANE_REGISTRY_TESTS names the machine (under Wine the prefix's host path, on Windows "
         "the computer's name: run-tests.cmd /registry); this machine's keys are left alone: "
         "QUORVANE_REGISTRY_TESTS " +
         why;
}

void RefuseUnlessNamed(const PrefixFacts& facts, const std::string& named) {
  std::string why = WhyKeysAreLeftAlone(facts, named);
  if (why.empty()) return;
  std::fprintf(stderr,
               "registry: refusing to change HKLM\\SOFTWARE\\Lotus on a machine that "
               "QUORVANE_REGISTRY_TESTS does not name: %s\n",
               why.c_str());
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

std::string Variable(const wchar_t* name) {
  DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
  if (length == 0) return "";
  std::wstring value(length, L'\0');
  length = GetEnvironmentVariableW(name, value.data(), length);
  value.resize(length);
  return Utf8(value.c_str());
}

PrefixFacts Observe() {
  PrefixFacts facts;
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (GetComputerNameW(computer, &size)) facts.computerName = Utf8(computer);
  facts.underWine = RunsUnderWine();
  if (!facts.underWine) return facts;

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
  return RegistrySkipMessage(ObservedPrefix(), Variable(L"QUORVANE_REGISTRY_TESTS"));
}

void RefuseUnlessNamed() {
  RefuseUnlessNamed(ObservedPrefix(), Variable(L"QUORVANE_REGISTRY_TESTS"));
}

#endif
