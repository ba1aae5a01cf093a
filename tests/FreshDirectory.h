// Scratch directories of a test process's own. Every process that runs the
// same test at the same time (the native and the sanitizer build, a second
// clone, the mutation stage) must have its own: one that removed another's
// would pull the files from under a running test.
#pragma once

#include <filesystem>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

inline unsigned long ProcessId() {
#if defined(_WIN32)
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

// `name` and this process's id, under the temp directory, created empty. No
// live process shares the id; what a dead one left under it goes.
inline std::filesystem::path FreshDirectory(const std::string& name) {
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / (name + "-" + std::to_string(ProcessId()));
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  return directory;
}
