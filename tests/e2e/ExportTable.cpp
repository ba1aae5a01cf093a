#include "ExportTable.h"

#include <cstdint>
#include <cstring>
#include <fstream>

#include "ToolRunner.h"

namespace {

// Reads a little-endian integer of `size` bytes at `at`; false past the end.
bool Read(const std::string& bytes, std::size_t at, std::size_t size, std::uint64_t& value) {
  if (at > bytes.size() || size > bytes.size() - at) return false;
  value = 0;
  for (std::size_t i = size; i-- > 0;) {
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  }
  return true;
}

// The zero-terminated string at `at`; false when it runs past the end.
bool ReadString(const std::string& bytes, std::size_t at, std::string& text) {
  if (at >= bytes.size()) return false;
  const std::size_t end = bytes.find('\0', at);
  if (end == std::string::npos) return false;
  text = bytes.substr(at, end - at);
  return true;
}

// ELF64, little-endian: the dynamic symbol table and its string table.
bool ReadElfNames(const std::string& bytes, std::vector<ExportName>& names, std::string& error) {
  std::uint64_t sectionTable = 0, entrySize = 0, sections = 0;
  if (bytes.size() < 64 || bytes[4] != 2 || bytes[5] != 1 || !Read(bytes, 0x28, 8, sectionTable) ||
      !Read(bytes, 0x3A, 2, entrySize) || !Read(bytes, 0x3C, 2, sections) || entrySize < 64) {
    error = "not a 64-bit little-endian ELF file";
    return false;
  }
  auto field = [&](std::uint64_t section, std::size_t at, std::size_t size) -> std::uint64_t {
    std::uint64_t value = 0;
    if (!Read(bytes, sectionTable + section * entrySize + at, size, value))
      return ~std::uint64_t{0};
    return value;
  };
  constexpr std::uint64_t kDynamicSymbols = 11;  // SHT_DYNSYM
  for (std::uint64_t section = 0; section < sections; ++section) {
    if (field(section, 4, 4) != kDynamicSymbols) continue;
    const std::uint64_t offset = field(section, 0x18, 8), size = field(section, 0x20, 8);
    const std::uint64_t link = field(section, 0x28, 4), symbolSize = field(section, 0x38, 8);
    const std::uint64_t strings = field(link, 0x18, 8);
    if (symbolSize != 24 || link >= sections || strings == ~std::uint64_t{0}) break;
    for (std::uint64_t symbol = 1; symbol < size / symbolSize; ++symbol) {
      std::uint64_t name = 0;
      ExportName entry;
      if (!Read(bytes, offset + symbol * symbolSize, 4, name) ||
          !ReadString(bytes, strings + name, entry.name)) {
        error = "a dynamic symbol's name lies outside the file";
        return false;
      }
      entry.offset = strings + name;
      names.push_back(entry);
    }
    return true;
  }
  error = "no dynamic symbol table";
  return false;
}

// PE32+: the name pointer table of the export directory.
bool ReadPeNames(const std::string& bytes, std::vector<ExportName>& names, std::string& error) {
  std::uint64_t header = 0, sections = 0, optionalSize = 0, magic = 0;
  if (!Read(bytes, 0x3C, 4, header) || bytes.compare(header, 4, std::string("PE\0\0", 4)) != 0 ||
      !Read(bytes, header + 6, 2, sections) || !Read(bytes, header + 20, 2, optionalSize) ||
      !Read(bytes, header + 24, 2, magic) || magic != 0x20B) {
    error = "not a PE32+ file";
    return false;
  }
  const std::uint64_t optional = header + 24;
  const std::uint64_t sectionTable = optional + optionalSize;
  // The file offset of a relative virtual address, through the section holding it.
  auto offsetOf = [&](std::uint64_t rva, std::uint64_t& offset) {
    for (std::uint64_t section = 0; section < sections; ++section) {
      std::uint64_t size = 0, address = 0, raw = 0;
      const std::uint64_t at = sectionTable + section * 40;
      if (!Read(bytes, at + 8, 4, size) || !Read(bytes, at + 12, 4, address) ||
          !Read(bytes, at + 20, 4, raw)) {
        return false;
      }
      if (rva >= address && rva < address + size) {
        offset = raw + (rva - address);
        return true;
      }
    }
    return false;
  };
  std::uint64_t directoryRva = 0, directory = 0, count = 0, tableRva = 0, table = 0;
  if (!Read(bytes, optional + 112, 4, directoryRva) || directoryRva == 0 ||
      !offsetOf(directoryRva, directory) || !Read(bytes, directory + 24, 4, count) ||
      !Read(bytes, directory + 32, 4, tableRva) || !offsetOf(tableRva, table)) {
    error = "no export directory";
    return false;
  }
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint64_t nameRva = 0, offset = 0;
    ExportName entry;
    if (!Read(bytes, table + 4 * i, 4, nameRva) || !offsetOf(nameRva, offset) ||
        !ReadString(bytes, offset, entry.name)) {
      error = "an export name lies outside the file";
      return false;
    }
    entry.offset = offset;
    names.push_back(entry);
  }
  return true;
}

}  // namespace

bool ReadExportNames(const std::string& bytes, std::vector<ExportName>& names, std::string& error) {
  names.clear();
  if (bytes.compare(0, 4,
                    "\x7f"
                    "ELF") == 0)
    return ReadElfNames(bytes, names, error);
  if (bytes.compare(0, 2, "MZ") == 0) return ReadPeNames(bytes, names, error);
  error = "neither an ELF nor a PE file";
  return false;
}

bool WriteCopyWithout(const std::string& library, const std::string& copy, const std::string& name,
                      std::string& error) {
  std::string bytes = ReadFile(library);
  std::vector<ExportName> before;
  if (!ReadExportNames(bytes, before, error)) return false;
  std::size_t found = before.size();
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i].name != name) continue;
    if (found != before.size()) {
      error = name + " is in the export table twice";
      return false;
    }
    found = i;
  }
  if (found == before.size() || name.empty()) {
    error = name + " is not in the export table";
    return false;
  }
  const std::size_t at = before[found].offset;
  if (at == 0 || bytes[at - 1] != '\0' || bytes[at + name.size()] != '\0') {
    error = name + " is not a string of its own in the export table";
    return false;
  }
  // The last character becomes another one; the name keeps its length.
  char& last = bytes[at + name.size() - 1];
  last = last == 'X' ? 'Y' : 'X';
  const std::string patched = bytes.substr(at, name.size());

  std::vector<ExportName> after;
  if (!ReadExportNames(bytes, after, error)) return false;
  if (after.size() != before.size()) {
    error = "the patched copy's table has another length";
    return false;
  }
  for (std::size_t i = 0; i < after.size(); ++i) {
    const std::string& expected = i == found ? patched : before[i].name;
    if (after[i].name != expected ||
        (i != found && (after[i].name == name || after[i].name == patched))) {
      error = "the patch changed " + before[i].name + " into " + after[i].name;
      return false;
    }
  }
  std::ofstream out(copy, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out || ReadFile(copy) != bytes) {
    error = "cannot write " + copy;
    return false;
  }
  return true;
}
