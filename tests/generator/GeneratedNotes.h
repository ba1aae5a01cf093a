// A reading of a generated names.nsf that is independent of the stand-in's
// parser, enough to tell which kinds of note and item a file holds.
#pragma once

#include <map>
#include <string>
#include <vector>

struct GeneratedNote {
  std::string view;
  bool explicitId = false;
  bool unopenable = false;
  bool crlf = false;                                       // its lines end in "\r\n"
  std::vector<std::pair<std::string, std::string>> items;  // name as written, value

  // The value of the first item of that name in any letter case, or null.
  const std::string* Find(const std::string& name) const;
};

std::vector<GeneratedNote> ReadGeneratedNotes(const std::string& names);

bool EqualsIgnoringCase(const std::string& a, const std::string& b);
