#include "CallLog.h"

#include <cstdio>
#include <cstdlib>

namespace standin {

namespace {

// Opened when the library is loaded, closed when it is unloaded. Each line is
// flushed at once, so the log is complete even when the process is killed.
class CallLogFile {
 public:
  CallLogFile() {
    const char* path = std::getenv(kCallLogVariable);
    if (path != nullptr && *path != '\0') file_ = std::fopen(path, "wb");
  }
  ~CallLogFile() {
    if (file_ != nullptr) std::fclose(file_);
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
  std::FILE* file_ = nullptr;
};

CallLogFile callLog;

}  // namespace

void LogCall(const char* entryPoint) noexcept { callLog.Append(entryPoint); }

}  // namespace standin
