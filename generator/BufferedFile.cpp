#include "BufferedFile.h"

BufferedFile::~BufferedFile() {
  // Still open only when the file was abandoned after a failure, which the
  // caller already reports; the close result adds nothing.
  if (file_ != nullptr) (void)std::fclose(file_);
}

bool BufferedFile::Open(const std::filesystem::path& file) {
  file_ = std::fopen(file.string().c_str(), "wb");
  buffer_.clear();
  buffer_.reserve(kFlushSize + std::size_t{64} * 1024);
  written_ = 0;
  failed_ = file_ == nullptr;
  return !failed_;
}

bool BufferedFile::Close() {
  Flush();
  if (file_ != nullptr && std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_;
}

void BufferedFile::AppendDecimal(std::uint64_t value) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) buffer_.push_back(digits[--count]);
}

void BufferedFile::AppendHex(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char digits[16];
  int count = 0;
  do {
    digits[count++] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  buffer_ += "0x";
  while (count > 0) buffer_.push_back(digits[--count]);
}

void BufferedFile::Flush() {
  if (file_ != nullptr && !buffer_.empty() &&
      std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
    failed_ = true;
  }
  written_ += buffer_.size();
  buffer_.clear();
}
