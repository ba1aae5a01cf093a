#include "Ini.h"

#include "Text.h"

namespace standin {

std::vector<IniEntry> ParseIni(std::string_view text) {
  std::vector<IniEntry> entries;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t equals = line.find('=');
    const std::string_view key = TrimBlanks(line.substr(0, equals));
    if (equals == std::string_view::npos || key.empty() || key[0] == ';' || key[0] == '#') {
      continue;
    }
    entries.push_back({std::string(key), std::string(line.substr(equals + 1))});
  }
  return entries;
}

}  // namespace standin
