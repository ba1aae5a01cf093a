// notes.ini: KEY=VALUE lines read at NotesInitExtended.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace standin {

struct IniEntry {
  std::string key;    // blanks around it trimmed; compare case-insensitively
  std::string value;  // everything after the first '=', verbatim
};

// Splits notes.ini text into entries. Blank lines, lines starting with ';' or
// '#' and lines without '=' (such as "[Notes]") are skipped; a trailing '\r'
// is stripped so CRLF files work.
std::vector<IniEntry> ParseIni(std::string_view text);

}  // namespace standin
