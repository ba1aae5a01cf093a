// Finding the Notes library through the registry, the way an installed
// server or client records its program directory. The keys are real keys of
// this machine's registry, created and removed by each case: every test here
// skips outside the build tree's private Wine prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "ImportPatch.h"
#include "InstallationKeys.h"
#include "NotesBinding.h"
#include "PrivatePrefix.h"
#include "ToolRunner.h"
#include "ToolTexts.h"

namespace {

namespace fs = std::filesystem;

const fs::path kTool = BuildPath(QUORVANE_TOOL);
const fs::path kStandIn = BuildPath(STANDIN_DIR);

std::wstring DllDirectory() {
  wchar_t directory[1024] = {};
  DWORD length = GetDllDirectoryW(1024, directory);
  return std::wstring(directory, length);
}

// What a key's "Path" holds, in raw bytes: the value as the registry keeps
// it, terminator or not. The registry completes a string value that lacks its
// terminator when it is read; binary data it hands back as it is, so only
// binary data reaches the tool unterminated.
std::string Bytes(const std::wstring& units, bool terminated) {
  std::string bytes(reinterpret_cast<const char*>(units.c_str()), units.size() * sizeof(wchar_t));
  if (terminated) bytes.append(sizeof(wchar_t), '\0');
  return bytes;
}

// A directory name of exactly n UTF-16 units.
std::wstring PathOfLength(std::size_t n) { return L"C:\\" + std::wstring(n - 3, L'd'); }

// The keys the lookup must try, in this order, each exactly so spelled.
constexpr const wchar_t* kKeyNames[] = {
    L"SOFTWARE\\Lotus\\Domino\\",
    L"SOFTWARE\\Wow6432Node\\Lotus\\Domino\\",
    L"SOFTWARE\\Lotus\\Notes\\",
    L"SOFTWARE\\Wow6432Node\\Lotus\\Notes\\",
};
constexpr int kKeyCount = sizeof kKeyNames / sizeof kKeyNames[0];
constexpr REGSAM kKeyRead = 0x20019;
constexpr DWORD kPathBytes = 520;

// What Windows hands back from an open that fails. It promises nothing about
// the handle then; this one is no key, so a lookup that goes on to use it is
// caught.
const HKEY kNotAKey = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x5EED0000));

std::string Narrow(const wchar_t* text) {
  if (text == nullptr) return "(null)";
  std::string narrow;
  for (; *text; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
  return narrow;
}

std::string Hex(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%lX", value);
  return text;
}

// The registry and loader calls of one LocateNotesDirectory as Windows sees
// them. While a RegistryCalls lives, the program's calls of RegOpenKeyExW,
// RegQueryValueExW, RegCloseKey and SetDllDirectoryW go to wrappers that
// check every argument and the order of the calls, write down whatever
// differs from what the lookup must do, and forward to the real functions.
// Wine enforces no access rights, never refuses a DLL directory and leaves no
// trace of a key left open; the wrappers see all of that.
class RegistryCalls {
 public:
  // With `refuseDirectory`, SetDllDirectoryW reports failure and changes
  // nothing, as Windows does for a directory it will not take.
  explicit RegistryCalls(bool refuseDirectory) : refuseDirectory_(refuseDirectory) {
    active_ = this;
  }
  ~RegistryCalls() { active_ = nullptr; }
  RegistryCalls(const RegistryCalls&) = delete;
  RegistryCalls& operator=(const RegistryCalls&) = delete;

  bool patched() const {
    return open_.patched() && query_.patched() && close_.patched() && set_.patched();
  }

  int opens = 0;
  int queries = 0;
  int closes = 0;
  int sets = 0;
  std::wstring handed;  // what SetDllDirectoryW was given
  std::vector<std::string> misuses;

 private:
  using OpenFunction = decltype(&RegOpenKeyExW);
  using QueryFunction = decltype(&RegQueryValueExW);
  using CloseFunction = decltype(&RegCloseKey);
  using SetFunction = decltype(&SetDllDirectoryW);

  void Misuse(const std::string& what) { misuses.push_back(what); }

  static LONG WINAPI Open(HKEY parent, LPCWSTR name, DWORD options, REGSAM access, PHKEY result) {
    RegistryCalls& calls = *active_;
    const int attempt = calls.opens++;
    if (calls.opened_ != nullptr) calls.Misuse("RegOpenKeyExW: a try after a key opened");
    if (parent != HKEY_LOCAL_MACHINE) calls.Misuse("RegOpenKeyExW: not under HKEY_LOCAL_MACHINE");
    if (attempt >= kKeyCount || name == nullptr || std::wcscmp(name, kKeyNames[attempt]) != 0) {
      calls.Misuse("RegOpenKeyExW: try " + std::to_string(attempt + 1) + " opens " + Narrow(name));
    }
    if (options != 0) calls.Misuse("RegOpenKeyExW: options " + Hex(options));
    if (access != kKeyRead) calls.Misuse("RegOpenKeyExW: access mask " + Hex(access));
    if (result == nullptr) {
      calls.Misuse("RegOpenKeyExW: no place for the key");
      return ERROR_INVALID_PARAMETER;
    }
    LONG status = calls.open_.original<OpenFunction>()(parent, name, options, access, result);
    if (status == ERROR_SUCCESS) {
      calls.opened_ = *result;
    } else {
      *result = kNotAKey;
    }
    return status;
  }

  static LONG WINAPI Query(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                           LPDWORD size) {
    RegistryCalls& calls = *active_;
    if (++calls.queries > 1) calls.Misuse("RegQueryValueExW: queried again");
    if (calls.closes > 0) calls.Misuse("RegQueryValueExW: after the key was closed");
    if (name == nullptr || std::wcscmp(name, L"Path") != 0) {
      calls.Misuse("RegQueryValueExW: value " + Narrow(name));
    }
    if (reserved != nullptr) calls.Misuse("RegQueryValueExW: reserved is not null");
    if (type == nullptr) calls.Misuse("RegQueryValueExW: no place for the type");
    if (data == nullptr || size == nullptr) {
      calls.Misuse("RegQueryValueExW: no buffer or no size");
      return ERROR_INVALID_PARAMETER;
    }
    if (*size != kPathBytes)
      calls.Misuse("RegQueryValueExW: told " + std::to_string(*size) + " bytes");
    // Only the bytes the lookup owns are looked at: at most its 520.
    const DWORD told = *size < kPathBytes ? *size : kPathBytes;
    for (DWORD i = 0; i < told; ++i) {
      if (data[i] != 0) {
        calls.Misuse("RegQueryValueExW: buffer not zero-filled at byte " + std::to_string(i));
        break;
      }
    }
    if (calls.opened_ == nullptr || key != calls.opened_) {
      calls.Misuse("RegQueryValueExW: a key that is not the one opened");
      return ERROR_INVALID_HANDLE;
    }
    return calls.query_.original<QueryFunction>()(key, name, reserved, type, data, size);
  }

  static LONG WINAPI Close(HKEY key) {
    RegistryCalls& calls = *active_;
    if (calls.opened_ == nullptr || key != calls.opened_) {
      calls.Misuse("RegCloseKey: a key that is not the one opened");
      return ERROR_INVALID_HANDLE;
    }
    if (++calls.closes > 1) {
      calls.Misuse("RegCloseKey: closed again");
      return ERROR_INVALID_HANDLE;
    }
    if (calls.queries == 0) calls.Misuse("RegCloseKey: before the query");
    return calls.close_.original<CloseFunction>()(key);
  }

  static BOOL WINAPI Set(LPCWSTR path) {
    RegistryCalls& calls = *active_;
    if (++calls.sets > 1) calls.Misuse("SetDllDirectoryW: called again");
    if (calls.opened_ == nullptr) calls.Misuse("SetDllDirectoryW: no key opened");
    if (calls.closes == 0) calls.Misuse("SetDllDirectoryW: before the key was closed");
    if (path == nullptr) calls.Misuse("SetDllDirectoryW: no text");
    calls.handed = path != nullptr ? path : L"";
    if (calls.refuseDirectory_) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    return calls.set_.original<SetFunction>()(path);
  }

  static RegistryCalls* active_;
  const bool refuseDirectory_;
  HKEY opened_ = nullptr;
  ImportPatch open_{"advapi32.dll", "RegOpenKeyExW", AsAnyFunction(&Open)};
  ImportPatch query_{"advapi32.dll", "RegQueryValueExW", AsAnyFunction(&Query)};
  ImportPatch close_{"advapi32.dll", "RegCloseKey", AsAnyFunction(&Close)};
  ImportPatch set_{"kernel32.dll", "SetDllDirectoryW", AsAnyFunction(&Set)};
};

RegistryCalls* RegistryCalls::active_ = nullptr;

// Leaves a pattern in the stack below the caller's frame, where the next
// function it calls keeps its locals: a buffer that function does not clear
// then holds these bytes, not the zeros a fresh stack may happen to have.
[[gnu::noinline]] void ScribbleOnTheStack() {
  volatile unsigned char area[16384];
  for (std::size_t i = 0; i < sizeof area; ++i) area[i] = 0xA5;
}

enum class Windows { Accepts, Refuses };  // how SetDllDirectoryW answers

TEST(DirectoryLookupTest, PathValueBecomesTheDllDirectoryOnlyWhenWhole) {
  if (std::string why = RegistrySkipMessage(); !why.empty()) GTEST_SKIP() << why;
  const std::wstring kPrevious = L"C:\\previous";
  constexpr auto kString = InstallationKeys::ValueType::String;
  constexpr auto kBinary = InstallationKeys::ValueType::Binary;
  constexpr auto kDomino = InstallationKey::Domino;
  const std::string kRefused = "Error: Unable to set dll directory.\n";
  struct Case {
    const char* name;
    bool keyExists;
    bool hasPath;
    std::string value;  // the "Path" bytes
    InstallationKeys::ValueType type;
    InstallationKey key;  // the one key there is
    // What SetDllDirectoryW is handed; when Windows accepts it, the DLL
    // directory afterwards. Without a key it is not called, and the DLL
    // directory stays as it was.
    std::wstring handed;
    Windows windows;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"directory", true, true, Bytes(L"C:\\Domino", true), kString, kDomino, L"C:\\Domino",
       Windows::Accepts, ""},
      {"259 units and the terminator", true, true, Bytes(PathOfLength(259), true), kString, kDomino,
       PathOfLength(259), Windows::Accepts, ""},
      {"259 units without terminator", true, true, Bytes(PathOfLength(259), false), kBinary,
       kDomino, PathOfLength(259), Windows::Accepts, ""},
      {"260 units and the terminator", true, true, Bytes(PathOfLength(260), true), kString, kDomino,
       L"", Windows::Accepts, ""},
      {"260 units as a string without terminator", true, true, Bytes(PathOfLength(260), false),
       kString, kDomino, L"", Windows::Accepts, ""},
      {"260 units as binary data without terminator", true, true, Bytes(PathOfLength(260), false),
       kBinary, kDomino, L"", Windows::Accepts, ""},
      {"far too long", true, true, Bytes(PathOfLength(4000), true), kString, kDomino, L"",
       Windows::Accepts, ""},
      {"empty value", true, true, Bytes(L"", true), kString, kDomino, L"", Windows::Accepts, ""},
      {"no Path value", true, false, "", kString, kDomino, L"", Windows::Accepts, ""},
      {"no key: left as it was", false, false, "", kString, kDomino, L"", Windows::Accepts,
       kNoInstallation},
      {"the third key, after two that do not open", true, true, Bytes(L"D:\\Notes", true), kString,
       InstallationKey::Notes, L"D:\\Notes", Windows::Accepts, ""},
      {"the fourth key, after three that do not open", true, true, Bytes(L"D:\\Notes32", true),
       kString, InstallationKey::NotesWow6432, L"D:\\Notes32", Windows::Accepts, ""},
      {"Windows refuses the directory", true, true, Bytes(L"C:\\Domino", true), kString, kDomino,
       L"C:\\Domino", Windows::Refuses, kRefused},
      {"Windows refuses the empty directory of a key without Path", true, false, "", kString,
       kDomino, L"", Windows::Refuses, kRefused},
  };
  for (const Case& c : cases) {
    InstallationKeys keys;
    if (c.keyExists && c.hasPath) keys.SetPathBytes(c.key, c.value, c.type);
    if (c.keyExists && !c.hasPath) keys.Create(c.key);
    ASSERT_TRUE(SetDllDirectoryW(kPrevious.c_str()));
    testing::internal::CaptureStdout();
    int opens = 0, queries = 0, closes = 0, sets = 0;
    std::wstring handed;
    std::vector<std::string> misuses;
    {
      RegistryCalls calls(c.windows == Windows::Refuses);
      ASSERT_TRUE(calls.patched()) << "the program does not import the lookup's functions";
      ScribbleOnTheStack();
      LocateNotesDirectory();
      opens = calls.opens, queries = calls.queries, closes = calls.closes, sets = calls.sets;
      handed = calls.handed;
      misuses = calls.misuses;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out) << c.name;
    // The tries stop at the first key that opens; InstallationKey lists the
    // keys in the order they are tried.
    EXPECT_EQ(opens, c.keyExists ? static_cast<int>(c.key) + 1 : kKeyCount) << c.name;
    const int once = c.keyExists ? 1 : 0;
    EXPECT_EQ(queries, once) << c.name;
    EXPECT_EQ(closes, once) << c.name;
    EXPECT_EQ(sets, once) << c.name;
    if (c.keyExists) {
      EXPECT_TRUE(handed == c.handed) << c.name;
    }
    EXPECT_EQ(misuses, std::vector<std::string>{}) << c.name;
    const bool changed = c.keyExists && c.windows == Windows::Accepts;
    EXPECT_TRUE(DllDirectory() == (changed ? c.handed : kPrevious)) << c.name;
  }
  SetDllDirectoryW(nullptr);
}

// Where a key's "Path" points.
enum class Target {
  Library,  // a directory holding the library
  Empty,    // a directory without it
  NoValue,  // the key has no "Path" value
};

struct ProcessCase {
  const char* name;
  std::vector<std::pair<InstallationKey, Target> > keys;
  bool libraryOnSearchPath;  // the library on PATH as well
  std::vector<std::string> arguments;
  std::string out;
  int status;
};

class DirectoryLookupProcessTest : public testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = RegistrySkipMessage(); !why.empty()) GTEST_SKIP() << why;
    fs::remove_all(root_);
    fs::create_directories(library_);
    fs::create_directories(empty_);
    fs::create_directories(data_);
    // The library lives only in its own directory: not beside the program,
    // not on the search path.
    fs::copy_file(kStandIn / "nnotes.dll", library_ / "nnotes.dll");
    WriteFile(data_ / "notes.ini", kIni);
    WriteFile(data_ / "names.nsf",
              "view Mail Users\n"
              "note\nMailServer: CN=Alpha/O=Acme\nMailFile: mail\\one.nsf\n"
              "note\nMailServer: CN=Beta/O=Acme\nMailFile: mail\\two.nsf\n"
              "note\nMailServer: CN=Alpha/O=Acme\nMailFile: mail\\three.nsf\n");
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(root_);
  }

  void Expect(const ProcessCase& c) {
    InstallationKeys keys;
    for (const auto& [key, target] : c.keys) {
      if (target == Target::NoValue) {
        keys.Create(key);
      } else {
        keys.SetPath(key, (target == Target::Library ? library_ : empty_).wstring());
      }
    }
    ToolRun run = RunProgram(kTool, c.arguments, data_, c.libraryOnSearchPath ? library_ : empty_);
    EXPECT_EQ(run.out, AsWritten(c.out)) << c.name;
    EXPECT_EQ(run.status, c.status) << c.name;
  }

  fs::path root_ = fs::temp_directory_path() / "quorvane-lookup";
  fs::path library_ = root_ / "Domino";
  fs::path empty_ = root_ / "Elsewhere";
  fs::path data_ = root_ / "data";
};

TEST_F(DirectoryLookupProcessTest, FirstKeyThatOpensDecidesWhereTheLibraryIsLoadedFrom) {
  using K = InstallationKey;
  using T = Target;
  const std::vector<ProcessCase> cases = {
      {"Domino key", {{K::Domino, T::Library}}, false, {}, Count(2), 0},
      {"Domino preferred to Notes",
       {{K::Domino, T::Library}, {K::Notes, T::Empty}},
       false,
       {},
       Count(2),
       0},
      {"Notes not consulted after Domino",
       {{K::Domino, T::Empty}, {K::Notes, T::Library}},
       false,
       {},
       kLoadFailed,
       1},
      {"64-bit view preferred to its Wow6432Node twin",
       {{K::Domino, T::Library}, {K::DominoWow6432, T::Empty}},
       false,
       {},
       Count(2),
       0},
      {"Wow6432Node twin not consulted after the 64-bit key",
       {{K::Domino, T::Empty}, {K::DominoWow6432, T::Library}},
       false,
       {},
       kLoadFailed,
       1},
      {"32-bit Domino before 64-bit Notes",
       {{K::DominoWow6432, T::Library}, {K::Notes, T::Empty}},
       false,
       {},
       Count(2),
       0},
      {"64-bit Notes before 32-bit Notes",
       {{K::Notes, T::Library}, {K::NotesWow6432, T::Empty}},
       false,
       {},
       Count(2),
       0},
      {"only the fourth key", {{K::NotesWow6432, T::Library}}, false, {}, Count(2), 0},
      {"key without Path ends the search",
       {{K::Domino, T::NoValue}, {K::Notes, T::Library}},
       false,
       {},
       kLoadFailed,
       1},
      {"key without Path leaves the default search",
       {{K::Domino, T::NoValue}},
       true,
       {},
       Count(2),
       0},
      {"no key: the default search", {}, true, {}, kNoInstallation + Count(2), 0},
      {"no key and no library", {}, false, {}, kNoInstallation + kLoadFailed, 1},
      {"no key: the message comes before the listing",
       {},
       true,
       {"/names"},
       kNoInstallation + "\nMailboxes:\n\nmail\\one.nsf\nmail\\three.nsf\n" + Count(2),
       0},
      {"usage does not look", {}, false, {"/help"}, kUsage, 0},
      {"path error does not look", {}, false, {"/path"}, "Path not specified.\n", 1},
      {"failed directory change does not look",
       {},
       false,
       {"/path", "missing"},
       "Error: Unable to change directory (missing).\n",
       1},
  };
  for (const ProcessCase& c : cases) Expect(c);
}

}  // namespace
