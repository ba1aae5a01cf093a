// What every end-to-end test does: build a data directory (notes.ini and
// names.nsf), run the built program as its own process against the stand-in
// runtime, and compare standard output, standard error and the exit status
// byte for byte. Every run that started the runtime must leave an empty leak
// report.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ToolRunner.h"

extern const std::filesystem::path kTool;
extern const std::filesystem::path kStandIn;
extern const std::filesystem::path kSamples;

// A view of n notes, every step-th of them a mailbox of CN=Alpha/O=Acme.
std::string LargeView(unsigned n, unsigned step);

enum class Runtime { Started, NotStarted };

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

class EndToEndTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::filesystem::path MakeDirectory(const std::string& name, const std::string& ini,
                                      const std::string& nsf);

  // Runs the tool in directory and compares. The leak report lies where the
  // runtime started: the directory the tool was started in, or the one
  // "/path" chose. On Windows the library is installed the way a server has
  // it: its directory is in the registry.
  void Expect(const Case& c, const std::filesystem::path& directory,
              const std::filesystem::path& library = kStandIn,
              std::filesystem::path runtimeDirectory = {});

  // Each case in a directory of its own.
  void ExpectAll(const std::vector<Case>& cases);

  std::filesystem::path root_;
};
