// The registry lookup as the program makes it, with Windows' own calls:
// real keys of this machine's registry, created and removed by each case, say
// where the library is. The lookup's every call and argument are checked
// in-process (tests/unit/DirectoryLookupTest.cpp); these cases show the
// program makes them. Every case skips unless QUORVANE_REGISTRY_TESTS names
// the machine (PrivatePrefix.h), and where an installation key exists that
// the cases did not create (InstallationKeys.h).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "FreshDirectory.h"
#include "InstallationKeys.h"
#include "PrivatePrefix.h"
#include "ToolRunner.h"
#include "ToolTexts.h"

namespace {

namespace fs = std::filesystem;

const fs::path kTool = ProgramUnderTest();
const fs::path kStandIn = StandInFolder();

// Where a key's "Path" points.
enum class Target {
  Library,  // a directory holding the library
  Empty,    // a directory without it
};

// Where the program is run from (RunProgram runs a copy placed there).
enum class Beside { Library, Nothing };

struct ProcessCase {
  const char* name;
  std::vector<std::pair<InstallationKey, Target>> keys;
  Beside beside;
  std::vector<std::string> arguments;
  std::string out;
  int status;
};

ProcessCase Row(const char* name, std::vector<std::pair<InstallationKey, Target>> keys,
                Beside beside, std::vector<std::string> arguments, std::string out, int status) {
  return {name, std::move(keys), beside, std::move(arguments), std::move(out), status};
}

class DirectoryLookupProcessTest : public testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = RegistrySkipMessage(); !why.empty()) GTEST_SKIP() << why;
    if (std::string why = InstallationSkipMessage(); !why.empty()) GTEST_SKIP() << why;
    root_ = FreshDirectory("quorvane-lookup");
    library_ = root_ / "Domino";
    empty_ = root_ / "Elsewhere";
    data_ = root_ / "data";
    for (const fs::path& directory : {library_, empty_, data_}) fs::create_directories(directory);
    fs::copy_file(kStandIn / "nnotes.dll", library_ / "nnotes.dll");
    WriteFile(data_ / "notes.ini", kIni);
    WriteFile(data_ / "names.nsf",
              "view Mail Users\n"
              "note\nMailServer: CN=Alpha/O=Acme\nMailFile: mail\\one.nsf\n"
              "note\nMailServer: CN=Beta/O=Acme\nMailFile: mail\\two.nsf\n"
              "note\nMailServer: CN=Alpha/O=Acme\nMailFile: mail\\three.nsf\n");
  }
  void TearDown() override {
    if (!root_.empty() && !HasFailure()) fs::remove_all(root_);
  }

  void Expect(const ProcessCase& c) {
    InstallationKeys keys;
    for (const auto& [key, target] : c.keys) {
      keys.SetPath(key, (target == Target::Library ? library_ : empty_).wstring());
    }
    ToolRun run =
        RunProgram(kTool, c.arguments, data_, c.beside == Beside::Library ? library_ : empty_);
    EXPECT_EQ(run.out, AsWritten(c.out)) << c.name;
    EXPECT_EQ(run.status, c.status) << c.name;
  }

  fs::path root_, library_, empty_, data_;
};

TEST_F(DirectoryLookupProcessTest, InstallationKeyDecidesWhereTheLibraryIsLoadedFrom) {
  using K = InstallationKey;
  const std::vector<ProcessCase> cases = {
      Row("the Domino key's directory", {{K::Domino, Target::Library}}, Beside::Nothing, {},
          Count(2), 0),
      Row("the Domino key's directory without the library", {{K::Domino, Target::Empty}},
          Beside::Nothing, {}, kLoadFailed, 1),
      Row("no key: the message, then the default search", {}, Beside::Library, {},
          kNoInstallation + Count(2), 0),
      Row("usage does not look", {}, Beside::Nothing, {"/help"}, kUsage, 0),
      Row("path error does not look", {}, Beside::Nothing, {"/path"}, "Path not specified.\n", 1),
      Row("failed directory change does not look", {}, Beside::Nothing, {"/path", "missing"},
          "Error: Unable to change directory (missing).\n", 1),
  };
  for (const ProcessCase& c : cases) Expect(c);
}

TEST_F(DirectoryLookupProcessTest, CheckNamesTheKeyOnlyWhenItsPathHeldTheLibrary) {
  using K = InstallationKey;
  auto checked = [&](const std::string& key) {
    return Count(2) + "Check:\n  Server name: \"CN=Alpha/O=Acme\"\n  Library: " +
           (library_ / "nnotes.dll").string() + "\n  Found through: " + key +
           "\n  Data directory: " + data_.string() +
           "\n  View entries read: 3\n  Mailboxes counted: 2\n  Not opened: 0\n"
           "  Without a mail server: 0\n  Other servers: 1\n  Near misses: 0\n"
           "  Response notes: 0\n  Without a mail file: 0\n  Result: complete\n";
  };
  const std::vector<ProcessCase> cases = {
      Row("the Domino key", {{K::Domino, Target::Library}}, Beside::Nothing, {"/check"},
          checked("HKLM\\SOFTWARE\\Lotus\\Domino"), 0),
      Row("the 32-bit Notes key", {{K::NotesWow6432, Target::Library}}, Beside::Nothing, {"/check"},
          checked("HKLM\\SOFTWARE\\Wow6432Node\\Lotus\\Notes"), 0),
      Row("a key elsewhere, the library beside the program", {{K::Domino, Target::Empty}},
          Beside::Library, {"/check"}, checked("the default search"), 0),
  };
  for (const ProcessCase& c : cases) Expect(c);
}

}  // namespace
