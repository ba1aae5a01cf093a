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
  if (sandbox == nullptr) return;
  unlinkat(sandbox->directory, "notes.ini", 0);
  unlinkat(sandbox->directory, "data/deeper", AT_REMOVEDIR);
  unlinkat(sandbox->directory, "data", AT_REMOVEDIR);
  rmdir(sandbox->root.c_str());
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
  Require(mkdirat(sandbox->directory, "data", 0755) == 0 &&
              mkdirat(sandbox->directory, "data/deeper", 0755) == 0,
          "sandbox subdirectories are made");
  int file = openat(sandbox->directory, "notes.ini", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  Require(file >= 0 && close(file) == 0, "sandbox file is made");
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

Expected Model(const std::vector<std::string>& arguments) {
  Expected expected;
  bool pathEntered = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word == "/names") expected.options.listNames = true;
    if (word == "/details") expected.options.listDetails = true;
    if (word == "/help" || word == "/?") expected.options.helpRequested = true;
    if (word == "/path") {
      if (i + 1 == arguments.size()) {
        expected.proceeds = false;
        expected.out = "Path not specified.\n";
        break;
      }
      const std::string& target = arguments[++i];
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
  expected.options.run = arguments.empty() || pathEntered || expected.options.listNames ||
                         expected.options.listDetails;
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

  std::vector<std::string> arguments;
  if (size > 0) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (arguments.size() < kMaxArguments) {
      std::size_t end = text.find('\0', start);
      arguments.push_back(text.substr(start, end == std::string::npos ? end : end - start));
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }

  std::vector<std::string> words{"Quorvane"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  Expected expected = Model(arguments);
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
  Require(options.run == expected.options.run, "run is set exactly when there is work");
  Require(SameDirectory(now, expected.directory), "working directory is the last one entered");
  return 0;
}
