// Small text helpers shared by the notes.ini reader, the directory parser and
// the entry points.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace standin {

bool IsBlank(char c);
std::string_view TrimBlanks(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string Lowercase(std::string_view text);

// Parses a decimal or 0x-prefixed hexadecimal number no greater than `max`.
bool ParseNumber(std::string_view text, std::uint64_t max, std::uint64_t& value);

// "0x" followed by `digits` upper-case hexadecimal digits.
std::string Hex(std::uint64_t value, int digits);

// Copies at most size-1 bytes of `text` and a terminating zero into `out`;
// returns the number of bytes copied. Writes nothing when size is 0.
std::uint16_t CopyText(std::string_view text, char* out, std::uint16_t size);

// Reads a whole regular file; false when it is missing or unreadable.
bool ReadWholeFile(const std::filesystem::path& file, std::string& bytes);

}  // namespace standin
