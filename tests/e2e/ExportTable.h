// The names a shared library exports, read from its file, and copies of it
// with one export name patched so that the loader no longer finds it: the
// names of the dynamic symbol table of an ELF library, or the export name
// table of a PE DLL.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ExportName {
  std::string name;
  std::size_t offset;  // of its first byte in the file
};

// The names of the file's export table in table order; false with a reason
// when `bytes` is no library of the kind this build makes. For ELF every
// symbol of the dynamic symbol table is listed, the ones it imports as well.
bool ReadExportNames(const std::string& bytes, std::vector<ExportName>& names, std::string& error);

// Writes `copy` as `library` with the last character of the export `name`
// changed, nothing else. Checks that the name is in the table exactly once,
// as a string of its own (delimited by zero bytes), and that in the copy
// every other name is as it was. False with a reason otherwise.
bool WriteCopyWithout(const std::string& library, const std::string& copy, const std::string& name,
                      std::string& error);
