#include "EndToEnd.h"

#include <cstdlib>
#include <cstring>
#if defined(_WIN32)
#include <windows.h>
#endif
#include <sstream>
#include <utility>

#include "FreshDirectory.h"
#include "InstallationKeys.h"
#include "ToolTexts.h"

namespace fs = std::filesystem;

const fs::path kTool = ProgramUnderTest();
const fs::path kStandIn = StandInFolder();
const fs::path kSamples = SamplesFolder();
#if defined(_WIN32)
const char kLibraryFile[] = "nnotes.dll";
#else
const char kLibraryFile[] = "libnnotes.so";
#endif

std::string LargeView(unsigned n, unsigned step) {
  std::ostringstream nsf;
  nsf << "view Mail Users\n";
  for (unsigned i = 0; i < n; ++i) {
    nsf << "note\nMailServer: " << (i % step == 0 ? "CN=Alpha/O=Acme" : "CN=Beta/O=Acme")
        << "\nMailFile: mail\\u" << i << ".nsf\n";
  }
  return nsf.str();
}

std::string LookupMessage() {
#if defined(_WIN32)
  if (!InstallationKeyOpens()) return kNoInstallation;
#endif
  return "";
}

void SetCallLog(const fs::path& file) {
#if defined(_WIN32)
  SetEnvironmentVariableW(L"STANDIN_CALL_LOG", file.empty() ? nullptr : file.wstring().c_str());
#else
  if (file.empty()) {
    unsetenv("STANDIN_CALL_LOG");
  } else {
    setenv("STANDIN_CALL_LOG", file.c_str(), 1);
  }
#endif
}

void EndToEndTest::SetUp() {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  root_ =
      FreshDirectory("quorvane-e2e-" + std::string(test->test_suite_name()) + "-" + test->name());
  standIn_ = kStandIn;
#if defined(_WIN32)
  standIn_ = root_ / "standin";
  fs::create_directories(standIn_);
  fs::copy_file(kStandIn / "nnotes.dll", standIn_ / "nnotes.dll");
#endif
  SetCallLog(root_ / "calls.txt");
}

void EndToEndTest::TearDown() {
  SetCallLog({});
  if (!HasFailure()) fs::remove_all(root_);
}

fs::path EndToEndTest::MakeDirectory(const std::string& name, const std::string& ini,
                                     const std::string& nsf) {
  fs::path directory = root_ / name;
  fs::create_directories(directory);
  if (!ini.empty()) WriteFile(directory / "notes.ini", ini);
  WriteFile(directory / "names.nsf", nsf);
  return directory;
}

void EndToEndTest::Expect(const Case& c, const fs::path& directory, fs::path library,
                          fs::path runtimeDirectory) {
  if (library.empty()) library = standIn_;
  if (runtimeDirectory.empty()) runtimeDirectory = directory;
  std::string out = c.out;
  if (c.runtime != Runtime::EndedByCommandLine) out = LookupMessage() + out;
  // A /check block names the library the run loaded and its data directory.
  for (auto [mark, text] : {std::pair{"{library}", (library / kLibraryFile).string()},
                            std::pair{"{data}", runtimeDirectory.string()}}) {
    for (std::size_t at = out.find(mark); at != std::string::npos; at = out.find(mark, at)) {
      out.replace(at, std::strlen(mark), text);
    }
  }
  // A library of ours is found first, even where an installation key names
  // the real one: a run the command line ended must not load it.
  const fs::path calls = root_ / "calls.txt";
  fs::remove(calls);
  ToolRun run = RunProgram(kTool, c.arguments, directory, library);
  if (c.runtime == Runtime::EndedByCommandLine) {
    EXPECT_FALSE(fs::exists(calls)) << c.name << ": the library was loaded";
  } else if (c.runtime == Runtime::Started) {
    EXPECT_TRUE(fs::exists(calls)) << c.name << ": the stand-in does not record its loading";
  }
  EXPECT_EQ(run.out, AsWritten(out)) << c.name;
  EXPECT_EQ(run.err, AsWritten(c.err)) << c.name;
  EXPECT_EQ(run.status, c.status) << c.name;
  fs::path report = runtimeDirectory / "leaks.txt";
  if (c.runtime == Runtime::Started) {
    EXPECT_TRUE(fs::exists(report)) << c.name;
    EXPECT_EQ(ReadFile(report), "") << c.name;
  } else {
    EXPECT_FALSE(fs::exists(report)) << c.name;
  }
}

void EndToEndTest::ExpectAll(const std::vector<Case>& cases) {
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    Expect(c, MakeDirectory("case" + std::to_string(i), c.ini, c.nsf));
  }
}
