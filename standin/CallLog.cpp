#include "CallLog.h"

#include <cstdio>
#include <cstdlib>

namespace standin {

namespace {

// Opened when the library is loaded, closed when it is unloaded. Each line is
// flushed at once, so the log is complete even when the process is killed.
// A log that could not be created or written would read as calls that were
// never made, so the process is stopped instead (the test then fails on its
// status): at load when the file cannot be created, at unload when a write
// failed, which ferror remembers until the close.
class CallLogFile {
 public:
  CallLogFile() noexcept {
    const char* path = std::getenv(kCallLogVariable);
    if (path == nullptr || *path == '\0') return;
    file_ = std::fopen(path, "wb");
    if (file_ == nullptr) Fail("cannot be created");
  }
  ~CallLogFile() {
    if (file_ == nullptr) return;
    const bool written = !std::ferror(file_);
    if (std::fclose(file_) != 0 || !written) Fail("could not be written");
  }
  CallLogFile(const CallLogFile&) = delete;
  CallLogFile& operator=(const CallLogFile&) = delete;

  void Append(const char* entryPoint) {
    if (file_ == nullptr) return;
    std::fputs(entryPoint, file_);
    std::fputc('\n', file_);
    std::fflush(file_);
  }

 private:
  [[noreturn]] static void Fail(const char* what) noexcept {
    std::fprintf(stderr, "stand-in: the call log (%s) %s\n", kCallLogVariable, what);
    std::abort();
  }

  std::FILE* file_ = nullptr;
};

CallLogFile callLog;

}  // namespace

void LogCall(const char* entryPoint) noexcept { callLog.Append(entryPoint); }

}  // namespace standin
