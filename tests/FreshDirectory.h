// Scratch directories of a test process's own. Every process that runs the
// same test at the same time (the native and the sanitizer build, a second
// clone, the mutation stage) must have its own: one that removed another's
// would pull the files from under a running test.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

inline unsigned long ProcessId() {
#if defined(_WIN32)
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

// Whether a process of this id runs; one this process may not see counts.
inline bool ProcessRuns(unsigned long id) {
#if defined(_WIN32)
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return runs;
#else
  return kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
#endif
}

// "name-ID" under the temp directory, ID this process's, created empty. What
// a failed test left under the same name stays for a look until the next
// run, which removes the directories of processes that no longer run.
inline std::filesystem::path FreshDirectory(const std::string& name) {
  namespace fs = std::filesystem;
  const fs::path temp = fs::temp_directory_path();
  std::error_code ignored;
  std::vector<fs::path> stale;
  for (const fs::directory_entry& entry : fs::directory_iterator(temp, ignored)) {
    const std::string file = entry.path().filename().string();
    const std::string id = file.substr(std::min(file.size(), name.size() + 1));
    if (file.compare(0, name.size() + 1, name + "-") == 0 && !id.empty() && id.size() < 10 &&
        id.find_first_not_of("0123456789") == std::string::npos && !ProcessRuns(std::stoul(id))) {
      stale.push_back(entry.path());
    }
  }
  for (const fs::path& directory : stale) fs::remove_all(directory, ignored);
  const fs::path directory = temp / (name + "-" + std::to_string(ProcessId()));
  fs::remove_all(directory);
  fs::create_directories(directory);
  return directory;
}
