// Whole files as bytes, for the tests' scratch directories.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// The whole content of a file, bytes as they are. Read through the stream
// buffer in blocks: a character iterator costs seconds on a stand-in of
// megabytes in an unoptimised sanitizer build.
inline std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Replaces the file's content with these bytes.
inline void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}
