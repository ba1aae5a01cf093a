// What every end-to-end test does: build a data directory (notes.ini and
// names.nsf), run the built program as its own process against the stand-in
// runtime, and compare standard output, standard error and the exit status
// byte for byte. Every run that started the runtime must leave an empty leak
// report.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "ToolRunner.h"

extern const std::filesystem::path kTool;
extern const std::filesystem::path kStandIn;
extern const std::filesystem::path kSamples;

// A view of n notes, every step-th of them a mailbox of CN=Alpha/O=Acme.
std::string LargeView(unsigned n, unsigned step);

// What a run that reaches the lookup prints first: on Windows, when no
// installation key opens, that there is none.
std::string LookupMessage();

// How far a run gets. Only a run the command line did not end looks for the
// installation in the registry, and on Windows says so first when there is
// none.
enum class Runtime {
  Started,             // the Notes runtime started: a leak report is written
  NotStarted,          // the library was looked for, the runtime did not start
  EndedByCommandLine,  // usage or a "/path" error: nothing was looked for
};

struct Case {
  const char* name;
  std::string ini;  // notes.ini; empty: there is none
  std::string nsf;  // names.nsf
  std::vector<std::string> arguments;
  std::string out;
  std::string err;
  int status;
  Runtime runtime = Runtime::Started;
};

// Names the file the stand-in creates when it is loaded and logs its calls
// to (STANDIN_CALL_LOG) for the programs this process starts; empty: none.
void SetCallLog(const std::filesystem::path& file);

// A row of a case table.
inline Case Row(const char* name, std::string ini, std::string nsf,
                std::vector<std::string> arguments, std::string out, std::string err, int status,
                Runtime runtime = Runtime::Started) {
  return {name,           std::move(ini), std::move(nsf), std::move(arguments),
          std::move(out), std::move(err), status,         runtime};
}

class EndToEndTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::filesystem::path MakeDirectory(const std::string& name, const std::string& ini,
                                      const std::string& nsf);

  // Runs the tool in directory, its library found in `library` (by default
  // the stand-in), and compares. The leak report lies where the runtime
  // started: the directory the tool was started in, or the one "/path"
  // chose.
  void Expect(const Case& c, const std::filesystem::path& directory,
              std::filesystem::path library = {}, std::filesystem::path runtimeDirectory = {});

  // Each case in a directory of its own.
  void ExpectAll(const std::vector<Case>& cases);

  std::filesystem::path root_;  // this test's own, in this process
  // The stand-in where the program finds it: natively the build's; on
  // Windows a copy in the test's own folder, which the program is run beside
  // (RunProgram).
  std::filesystem::path standIn_;
};
