// An output file written through one large buffer: text is appended in small
// pieces and reaches the file a megabyte at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

class BufferedFile {
 public:
  BufferedFile() = default;
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;
  ~BufferedFile();

  // Creates or truncates the file; false when it cannot be opened.
  bool Open(const std::filesystem::path& file);
  // Writes what is buffered and closes the file; false when any write failed.
  bool Close();

  void Append(std::string_view text) {
    buffer_.append(text.data(), text.size());
    if (buffer_.size() >= kFlushSize) Flush();
  }
  void Append(char c) { buffer_.push_back(c); }
  void AppendDecimal(std::uint64_t value);
  void AppendHex(std::uint64_t value);  // "0x" and upper-case digits
  std::uint64_t bytes() const { return written_ + buffer_.size(); }

 private:
  static constexpr std::size_t kFlushSize = std::size_t{1} << 20;
  void Flush();

  std::FILE* file_ = nullptr;
  std::string buffer_;
  std::uint64_t written_ = 0;
  bool failed_ = false;
};
