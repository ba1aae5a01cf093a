#include "GeneratedNotes.h"

#include <cctype>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

const std::string* GeneratedNote::Find(const std::string& name) const {
  for (const auto& item : items) {
    if (EqualsIgnoringCase(item.first, name)) return &item.second;
  }
  return nullptr;
}

std::vector<GeneratedNote> ReadGeneratedNotes(const std::string& names) {
  std::vector<GeneratedNote> notes;
  std::string view;
  std::size_t start = 0;
  while (start < names.size()) {
    std::size_t end = names.find('\n', start);
    if (end == std::string::npos) end = names.size();
    std::string line = names.substr(start, end - start);
    start = end + 1;
    bool crlf = false;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
      crlf = true;
    }
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    line.erase(0, first);
    if (line.rfind("view ", 0) == 0) {
      view = line.substr(5);
    } else if (line == "note" || line.rfind("note ", 0) == 0) {
      GeneratedNote note;
      note.view = view;
      note.crlf = crlf;
      note.unopenable = line.find(" unopenable") != std::string::npos;
      note.explicitId = line.rfind("note 0x", 0) == 0;
      notes.push_back(note);
    } else if (!notes.empty()) {
      const std::size_t colon = line.find(':');
      std::string value = colon + 1 < line.size() ? line.substr(colon + 1) : "";
      if (!value.empty() && value[0] == ' ') value.erase(0, 1);
      notes.back().items.emplace_back(line.substr(0, colon), value);
    }
  }
  return notes;
}
