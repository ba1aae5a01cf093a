#include "StdoutCapture.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "FuzzCheck.h"

StdoutCapture::StdoutCapture() {
  std::fflush(stdout);
  file_ = memfd_create("quorvane-fuzz-stdout", 0);
  Require(file_ >= 0 && dup2(file_, STDOUT_FILENO) == STDOUT_FILENO,
          "standard output can be captured");
}

void StdoutCapture::Begin() {
  std::fflush(stdout);
  Require(ftruncate(file_, 0) == 0 && lseek(file_, 0, SEEK_SET) == 0,
          "captured output can be emptied");
}

std::string StdoutCapture::End() {
  Require(std::fflush(stdout) == 0, "standard output is flushed");
  struct stat status {};
  Require(fstat(file_, &status) == 0, "captured output has a size");
  std::string text(static_cast<std::size_t>(status.st_size), '\0');
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t got = pread(file_, &text[done], text.size() - done, static_cast<off_t>(done));
    Require(got > 0, "captured output can be read");
    done += static_cast<std::size_t>(got);
  }
  return text;
}
