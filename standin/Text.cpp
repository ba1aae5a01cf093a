#include "Text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace standin {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

namespace {
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string Lowercase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
  return lower;
}

bool ParseNumber(std::string_view text, std::uint64_t max, std::uint64_t& value) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && Lower(text[1]) == 'x') {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  value = 0;
  for (char c : text) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && Lower(c) >= 'a' && Lower(c) <= 'f') {
      digit = static_cast<unsigned>(Lower(c) - 'a' + 10);
    } else {
      return false;
    }
    if (value > (max - digit) / base) return false;
    value = value * base + digit;
  }
  return true;
}

std::string Hex(std::uint64_t value, int digits) {
  char text[24];
  // At most 2 + 16 digits and the terminator: it always fits.
  (void)std::snprintf(text, sizeof text, "0x%0*llX", digits,
                      static_cast<unsigned long long>(value));
  return text;
}

std::uint16_t CopyText(std::string_view text, char* out, std::uint16_t size) {
  if (out == nullptr || size == 0) return 0;
  const std::size_t length = std::min<std::size_t>(text.size(), size - 1u);
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
  return static_cast<std::uint16_t>(length);
}

bool ReadWholeFile(const std::filesystem::path& file, std::string& bytes) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return false;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error) return false;
  std::ifstream in(file, std::ios::binary);
  bytes.resize(size);
  return in && in.read(bytes.data(), static_cast<std::streamsize>(size)) &&
         in.gcount() == static_cast<std::streamsize>(size);
}

}  // namespace standin
