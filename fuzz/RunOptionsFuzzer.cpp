// Drives the command-line scan with arbitrary argument vectors: the input's
// bytes split at each zero byte are the arguments after the program name (an
// empty input is a bare command line). Each run starts in a private sandbox
// directory holding a subdirectory "data" (with "data/deeper") and a file
// "notes.ini"; afterwards the working directory is the one the process
// started in again, where libFuzzer keeps its corpus and artifacts.
//
// A reference model decides from the arguments alone what the scan must do:
// the options it must set, whether it must succeed, what it must print and
// which directory it must end in. Whether a directory can be entered only the
// kernel knows, so the model enters, in a pass of its own before the scan,
// each directory that its own reading of the arguments names. Both passes
// then resolve every name alike, "/proc/self/cwd" and "/dev/fd/N" included:
// they start in the same directory and neither holds a descriptor the other
// lacks.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Driver.h"
#include "FuzzCheck.h"

namespace {

constexpr std::size_t kMaxArguments = 64;

// The sandbox, made once per process and removed at exit.
struct Sandbox {
  std::string root;
  int directory = -1;  // open on root
  int home = -1;       // open on the working directory the process started in
};

Sandbox* sandbox = nullptr;

void RemoveSandbox() {
  std::error_code ignored;
  if (sandbox != nullptr) std::filesystem::remove_all(sandbox->root, ignored);
}

void MakeSandbox() {
  sandbox = new Sandbox;
  sandbox->home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  Require(sandbox->home >= 0, "starting directory opens");
  char name[] = "/tmp/quorvane-fuzz-XXXXXX";
  Require(mkdtemp(name) != nullptr, "sandbox directory is made");
  sandbox->root = name;
  sandbox->directory = open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  Require(sandbox->directory >= 0, "sandbox directory opens");
  std::error_code error;
  std::filesystem::create_directories(sandbox->root + "/data/deeper", error);
  Require(!error && std::ofstream(sandbox->root + "/notes.ini"), "sandbox content is made");
  std::atexit(RemoveSandbox);
}

// The same directory, by device and inode.
bool SameDirectory(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

struct Expected {
  bool proceeds = true;
  Options options;
  std::string out;
  struct stat directory {};  // where the scan must leave the working directory
};

// The arguments are words[1] on.
Expected Model(const std::vector<std::string>& words) {
  Expected expected;
  bool pathEntered = false;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "/names") expected.options.listNames = true;
    if (word == "/details") expected.options.listDetails = true;
    if (word == "/help" || word == "/?") expected.options.helpRequested = true;
    if (word == "/check") expected.options.check = true;
    if (word == "/servers") expected.options.allServers = true;
    if (word == "/path") {
      if (i + 1 == words.size()) {
        expected.proceeds = false;
        expected.out = "Path not specified.\n";
        break;
      }
      const std::string& target = words[++i];
      if (chdir(target.c_str()) != 0) {
        expected.proceeds = false;
        expected.out = "Error: Unable to change directory (" + target + ").\n";
        break;
      }
      pathEntered = true;
    }
  }
  // A bare command line counts; otherwise an option word must ask for work
  // before the scan ends, and a "/path" that failed ended it.
  expected.options.run = words.size() == 1 || pathEntered || expected.options.listNames ||
                         expected.options.listDetails || expected.options.check ||
                         expected.options.allServers;
  Require(stat(".", &expected.directory) == 0, "model's directory can be examined");
  Require(fchdir(sandbox->directory) == 0, "model puts the working directory back");
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static StdoutCapture* capture = nullptr;
  if (sandbox == nullptr) {
    MakeSandbox();
    capture = new StdoutCapture;
  }
  Require(fchdir(sandbox->directory) == 0, "run starts in the sandbox");

  std::vector<std::string> words{"Quorvane"};
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (std::size_t start = 0; size > 0 && words.size() <= kMaxArguments;) {
    const std::size_t end = text.find('\0', start);
    words.push_back(text.substr(start, end - start));  // to the end when there is no zero
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  Expected expected = Model(words);
  Options options;
  capture->Begin();
  bool proceeds = RunOptions(static_cast<int>(words.size()), argv.data(), options);
  std::string out = capture->End();

  struct stat now {};
  Require(stat(".", &now) == 0, "working directory can be examined");
  Require(fchdir(sandbox->home) == 0, "working directory is put back");

  Require(proceeds == expected.proceeds, "scan succeeds exactly when the model does");
  Require(out == expected.out, "scan prints exactly the expected message");
  Require(options.listNames == expected.options.listNames, "/names sets listNames");
  Require(options.listDetails == expected.options.listDetails, "/details sets listDetails");
  Require(options.helpRequested == expected.options.helpRequested, "/help and /? set help");
  Require(options.check == expected.options.check, "/check sets check");
  Require(options.allServers == expected.options.allServers, "/servers sets allServers");
  Require(options.run == expected.options.run, "run is set exactly when there is work");
  Require(SameDirectory(now, expected.directory), "working directory is the last one entered");
  return 0;
}
