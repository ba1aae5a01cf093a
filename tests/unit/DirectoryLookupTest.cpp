// The registry lookup against a fake DirectoryApi: the keys it tries and in
// what order, every argument of every call, what it hands on as the DLL
// directory and what it prints. The same cases run in both builds; on
// Windows the fake stands in for the registry, which is left alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "DirectoryApi.h"
#include "NotesBinding.h"

namespace {

// The keys the lookup must try, in this order, each exactly so spelled.
constexpr const wchar_t* kKeyNames[] = {
    L"SOFTWARE\\Lotus\\Domino\\",
    L"SOFTWARE\\Wow6432Node\\Lotus\\Domino\\",
    L"SOFTWARE\\Lotus\\Notes\\",
    L"SOFTWARE\\Wow6432Node\\Lotus\\Notes\\",
};
constexpr int kKeyCount = sizeof kKeyNames / sizeof kKeyNames[0];
enum Key { kDomino, kDominoWow6432, kNotes, kNotesWow6432 };  // as kKeyNames lists them

// HKEY_LOCAL_MACHINE as Windows x64 defines it.
constexpr std::uintptr_t kLocalMachineValue = 0xFFFFFFFF80000002;
constexpr RegistryWord kKeyRead = 0x20019;
constexpr std::size_t kPathUnits = 260;
constexpr RegistryWord kPathBytes = kPathUnits * sizeof(wchar_t);
constexpr RegistryStatus kSuccess = 0;       // ERROR_SUCCESS
constexpr RegistryStatus kFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
constexpr RegistryStatus kInvalidData = 13;  // ERROR_INVALID_DATA
constexpr RegistryStatus kMoreData = 234;    // ERROR_MORE_DATA
constexpr RegistryStatus kBadHandle = 6;     // ERROR_INVALID_HANDLE
constexpr RegistryStatus kBadArgument = 87;  // ERROR_INVALID_PARAMETER

const std::string kNoInstallation = "Error: unable to obtain domino dir.\n";
const std::string kRefused = "Error: Unable to set dll directory.\n";

// A handle for each key that opens, and what a failed open leaves behind:
// Windows promises nothing about the handle then, and a lookup that goes on
// to use it is caught.
RegistryKey Handle(std::uintptr_t value) { return reinterpret_cast<RegistryKey>(value); }
RegistryKey KeyHandle(int key) { return Handle(0x4B00 + static_cast<std::uintptr_t>(key)); }
const RegistryKey kNotAKey = Handle(0x5EED0000);

// How the calls answer besides what the keys hold: as a registry and
// Windows do, or a query of "Path" fails after it wrote into the buffer, or
// SetDllDirectoryW refuses the directory.
enum class Answer { AsAsked, QueryFailsAfterWriting, WindowsRefuses };

// The keys there are, each with its "Path" as the registry keeps it, terminator
// or not; none: the key has no "Path".
using Keys = std::map<int, std::optional<std::wstring>>;

std::wstring Terminated(const std::wstring& units) { return units + L'\0'; }

// A directory name of exactly n units.
std::wstring PathOfLength(std::size_t n) { return L"C:\\" + std::wstring(n - 3, L'd'); }

std::string Narrow(const wchar_t* text) {
  if (text == nullptr) return "(null)";
  std::string narrow;
  for (; *text; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
  return narrow;
}

// Installed in DirectoryApi while it lives. The registry's answers are those
// of Keys; every call is checked against what the lookup must do, and
// whatever differs is written down as a misuse.
class FakeDirectoryApi {
 public:
  FakeDirectoryApi(Keys keys, Answer answer)
      : keys_(std::move(keys)), answer_(answer), saved_(DirectoryApi) {
    active_ = this;
    DirectoryApi = {&Open, &QueryValue, &Close, &SetDirectory};
  }
  ~FakeDirectoryApi() {
    DirectoryApi = saved_;
    active_ = nullptr;
  }
  FakeDirectoryApi(const FakeDirectoryApi&) = delete;
  FakeDirectoryApi& operator=(const FakeDirectoryApi&) = delete;

  int opens = 0;
  int queries = 0;
  int closes = 0;
  int sets = 0;
  std::wstring handed;  // what SetDllDirectoryW was given
  std::vector<std::string> misuses;

 private:
  void Misuse(const std::string& what) { misuses.push_back(what); }

  static RegistryStatus Open(RegistryKey parent, const wchar_t* name, RegistryWord options,
                             RegistryWord access, RegistryKey* result) {
    FakeDirectoryApi& fake = *active_;
    const int attempt = fake.opens++;
    if (fake.opened_ >= 0) fake.Misuse("RegOpenKeyExW: a try after a key opened");
    if (reinterpret_cast<std::uintptr_t>(parent) != kLocalMachineValue) {
      fake.Misuse("RegOpenKeyExW: not under HKEY_LOCAL_MACHINE");
    }
    if (attempt >= kKeyCount || name == nullptr || std::wcscmp(name, kKeyNames[attempt]) != 0) {
      fake.Misuse("RegOpenKeyExW: try " + std::to_string(attempt + 1) + " opens " + Narrow(name));
    }
    if (options != 0) fake.Misuse("RegOpenKeyExW: options " + std::to_string(options));
    if (access != kKeyRead) fake.Misuse("RegOpenKeyExW: access mask " + std::to_string(access));
    if (result == nullptr) {
      fake.Misuse("RegOpenKeyExW: no place for the key");
      return kBadArgument;
    }
    if (attempt >= kKeyCount || fake.keys_.count(attempt) == 0) {
      *result = kNotAKey;
      return kFileNotFound;
    }
    fake.opened_ = attempt;
    *result = KeyHandle(attempt);
    return kSuccess;
  }

  static RegistryStatus QueryValue(RegistryKey key, const wchar_t* name, RegistryWord* reserved,
                                   RegistryWord* type, std::uint8_t* data, RegistryWord* size) {
    FakeDirectoryApi& fake = *active_;
    if (++fake.queries > 1) fake.Misuse("RegQueryValueExW: queried again");
    if (fake.closes > 0) fake.Misuse("RegQueryValueExW: after the key was closed");
    if (name == nullptr || std::wcscmp(name, L"Path") != 0) {
      fake.Misuse("RegQueryValueExW: value " + Narrow(name));
    }
    if (reserved != nullptr) fake.Misuse("RegQueryValueExW: reserved is not null");
    if (type == nullptr) fake.Misuse("RegQueryValueExW: no place for the type");
    if (data == nullptr || size == nullptr) {
      fake.Misuse("RegQueryValueExW: no buffer or no size");
      return kBadArgument;
    }
    if (*size != kPathBytes) {
      fake.Misuse("RegQueryValueExW: told " + std::to_string(*size) + " bytes");
    }
    // Only the bytes the lookup owns are looked at and written: at most its
    // buffer's.
    const RegistryWord told = *size < kPathBytes ? *size : kPathBytes;
    for (RegistryWord i = 0; i < told; ++i) {
      if (data[i] != 0) {
        fake.Misuse("RegQueryValueExW: buffer not zero-filled at byte " + std::to_string(i));
        break;
      }
    }
    if (fake.opened_ < 0 || key != KeyHandle(fake.opened_)) {
      fake.Misuse("RegQueryValueExW: a key that is not the one opened");
      return kBadHandle;
    }
    const std::optional<std::wstring>& value = fake.keys_.at(fake.opened_);
    if (!value) return kFileNotFound;
    if (type != nullptr) *type = 1;  // REG_SZ
    // The registry hands the value back as it keeps it. One that does not fit
    // fails, and Windows may leave the part that fitted in the buffer.
    const RegistryWord bytes = static_cast<RegistryWord>(value->size() * sizeof(wchar_t));
    std::memcpy(data, value->data(), bytes < told ? bytes : told);
    *size = bytes;
    if (bytes > told) return kMoreData;
    return fake.answer_ == Answer::QueryFailsAfterWriting ? kInvalidData : kSuccess;
  }

  static RegistryStatus Close(RegistryKey key) {
    FakeDirectoryApi& fake = *active_;
    if (fake.opened_ < 0 || key != KeyHandle(fake.opened_)) {
      fake.Misuse("RegCloseKey: a key that is not the one opened");
      return kBadHandle;
    }
    if (++fake.closes > 1) fake.Misuse("RegCloseKey: closed again");
    if (fake.queries == 0) fake.Misuse("RegCloseKey: before the query");
    return kSuccess;
  }

  static PlatformBool SetDirectory(const wchar_t* path) {
    FakeDirectoryApi& fake = *active_;
    if (++fake.sets > 1) fake.Misuse("SetDllDirectoryW: called again");
    if (fake.opened_ < 0) fake.Misuse("SetDllDirectoryW: no key opened");
    if (fake.closes == 0) fake.Misuse("SetDllDirectoryW: before the key was closed");
    if (path == nullptr) fake.Misuse("SetDllDirectoryW: no text");
    fake.handed = path != nullptr ? path : L"";
    return fake.answer_ == Answer::WindowsRefuses ? 0 : 1;
  }

  static FakeDirectoryApi* active_;
  const Keys keys_;
  const Answer answer_;
  const DirectoryApiTable saved_;
  int opened_ = -1;  // the key that opened
};

FakeDirectoryApi* FakeDirectoryApi::active_ = nullptr;

// Leaves a pattern in the stack below the caller's frame, where the next
// function it calls keeps its locals: a buffer that function does not clear
// then holds these bytes, not the zeros a fresh stack may happen to have.
[[gnu::noinline]] void ScribbleOnTheStack() {
  volatile unsigned char area[16384];
  for (std::size_t i = 0; i < sizeof area; ++i) area[i] = 0xA5;
}

TEST(DirectoryLookupTest, FirstKeyThatOpensGivesTheDllDirectoryOnlyWhenItsPathIsWhole) {
  const std::wstring dom = L"C:\\Domino", notes = L"D:\\Notes";
  const std::wstring dom0 = Terminated(dom), notes0 = Terminated(notes);
  const std::wstring units259 = PathOfLength(259), units260 = PathOfLength(260);
  // tries: keys tried; handed: what SetDllDirectoryW is handed, none when no
  // key opened and it is not called.
  auto expect = [](const char* name, const Keys& keys, int tries,
                   const std::optional<std::wstring>& handed, const std::string& out,
                   Answer answer = Answer::AsAsked) {
    FakeDirectoryApi fake(keys, answer);
    testing::internal::CaptureStdout();
    ScribbleOnTheStack();
    LocateNotesDirectory();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), out) << name;
    EXPECT_EQ(fake.opens, tries) << name;
    const int once = handed ? 1 : 0;
    EXPECT_EQ(fake.queries, once) << name;
    EXPECT_EQ(fake.closes, once) << name;
    EXPECT_EQ(fake.sets, once) << name;
    EXPECT_TRUE(fake.handed == handed.value_or(L"")) << name << ": " << Narrow(fake.handed.c_str());
    EXPECT_EQ(fake.misuses, std::vector<std::string>{}) << name;
  };
  expect("directory", {{kDomino, dom0}}, 1, dom, "");
  expect("259 units and the terminator", {{kDomino, Terminated(units259)}}, 1, units259, "");
  expect("259 units without terminator", {{kDomino, units259}}, 1, units259, "");
  expect("260 units and the terminator", {{kDomino, Terminated(units260)}}, 1, L"", "");
  expect("260 units without terminator", {{kDomino, units260}}, 1, L"", "");
  expect("far too long", {{kDomino, Terminated(PathOfLength(4000))}}, 1, L"", "");
  expect("empty value", {{kDomino, Terminated(L"")}}, 1, L"", "");
  expect("no Path value", {{kDomino, std::nullopt}}, 1, L"", "");
  expect("a failed query's text", {{kDomino, dom0}}, 1, L"", "", Answer::QueryFailsAfterWriting);
  expect("no key: the search left as it was", {}, 4, std::nullopt, kNoInstallation);
  expect("the second key", {{kDominoWow6432, dom0}}, 2, dom, "");
  expect("the third key", {{kNotes, notes0}}, 3, notes, "");
  expect("the fourth key", {{kNotesWow6432, notes0}}, 4, notes, "");
  expect("Domino before Notes", {{kDomino, dom0}, {kNotes, notes0}}, 1, dom, "");
  expect("64-bit view before 32-bit", {{kDomino, dom0}, {kDominoWow6432, notes0}}, 1, dom, "");
  expect("32-bit Domino before Notes", {{kDominoWow6432, dom0}, {kNotes, notes0}}, 2, dom, "");
  expect("64-bit Notes before 32-bit", {{kNotes, notes0}, {kNotesWow6432, dom0}}, 3, notes, "");
  expect("a key without Path ends it", {{kDomino, std::nullopt}, {kNotes, notes0}}, 1, L"", "");
  expect("directory refused", {{kDomino, dom0}}, 1, dom, kRefused, Answer::WindowsRefuses);
  expect("empty directory refused", {{kDomino, std::nullopt}}, 1, L"", kRefused,
         Answer::WindowsRefuses);
}

}  // namespace
