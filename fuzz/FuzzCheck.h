// What the fuzz targets share: invariants, and standard output collected.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// A violated invariant names itself on standard error and aborts, which
// libFuzzer reports as a crash and saves the input.
inline void Require(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "fuzz invariant violated: %s\n", invariant);
  std::abort();
}

// Collects what the code under test writes on standard output: descriptor 1
// is pointed once at an anonymous temporary file, which each run empties
// first and reads back after. Both descriptors share one file offset.
class StdoutCapture {
 public:
  StdoutCapture() {
    std::fflush(stdout);
    Require(file_ != nullptr && dup2(fileno(file_), STDOUT_FILENO) == STDOUT_FILENO,
            "standard output can be captured");
  }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  void Begin() {
    std::fflush(stdout);
    Require(ftruncate(fileno(file_), 0) == 0, "captured output can be emptied");
    std::rewind(file_);
  }
  // Everything written on standard output since Begin().
  std::string End() {
    Require(std::fflush(stdout) == 0, "standard output is flushed");
    std::rewind(file_);
    std::string text;
    char block[4096];
    while (std::size_t got = std::fread(block, 1, sizeof block, file_)) text.append(block, got);
    Require(std::ferror(file_) == 0, "captured output can be read");
    return text;
  }

 private:
  std::FILE* file_ = std::tmpfile();
};
