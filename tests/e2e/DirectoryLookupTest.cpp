// Finding the Notes library through the registry, the way an installed
// server or client records its program directory. The keys are real keys of
// this machine's registry, created and removed by each case.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "InstallationKeys.h"
#include "NotesBinding.h"
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

TEST(DirectoryLookupTest, PathValueBecomesTheDllDirectoryOnlyWhenWhole) {
  const std::wstring kPrevious = L"C:\\previous";
  constexpr auto kString = InstallationKeys::ValueType::String;
  constexpr auto kBinary = InstallationKeys::ValueType::Binary;
  struct Case {
    const char* name;
    bool keyExists;
    bool hasPath;
    std::string value;  // the "Path" bytes
    InstallationKeys::ValueType type;
    std::wstring expected;  // the DLL directory afterwards
    std::string out;
  };
  const std::vector<Case> cases = {
      {"directory", true, true, Bytes(L"C:\\Domino", true), kString, L"C:\\Domino", ""},
      {"259 units and the terminator", true, true, Bytes(PathOfLength(259), true), kString,
       PathOfLength(259), ""},
      {"259 units without terminator", true, true, Bytes(PathOfLength(259), false), kBinary,
       PathOfLength(259), ""},
      {"260 units and the terminator", true, true, Bytes(PathOfLength(260), true), kString, L"",
       ""},
      {"260 units as a string without terminator", true, true, Bytes(PathOfLength(260), false),
       kString, L"", ""},
      {"260 units as binary data without terminator", true, true, Bytes(PathOfLength(260), false),
       kBinary, L"", ""},
      {"far too long", true, true, Bytes(PathOfLength(4000), true), kString, L"", ""},
      {"empty value", true, true, Bytes(L"", true), kString, L"", ""},
      {"no Path value", true, false, "", kString, L"", ""},
      {"no key: left as it was", false, false, "", kString, kPrevious, kNoInstallation},
  };
  for (const Case& c : cases) {
    InstallationKeys keys;
    if (c.keyExists && c.hasPath) keys.SetPathBytes(InstallationKey::Domino, c.value, c.type);
    if (c.keyExists && !c.hasPath) keys.Create(InstallationKey::Domino);
    ASSERT_TRUE(SetDllDirectoryW(kPrevious.c_str()));
    testing::internal::CaptureStdout();
    LocateNotesDirectory();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out) << c.name;
    EXPECT_TRUE(DllDirectory() == c.expected) << c.name;
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
