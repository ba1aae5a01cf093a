#include "Status.h"

#include "Text.h"

namespace standin {

namespace {

struct StatusEntry {
  Status code;
  const char* text;
};

constexpr StatusEntry kStatusTexts[] = {
    {kStatusNoIni, "notes.ini not found"},
    {kStatusNoFile, "File does not exist"},
    {kStatusMalformed, "Malformed directory file"},
    {kStatusNoView, "Cannot locate view"},
    {kStatusNoteNotOpenable, "Note cannot be opened"},
    {kStatusItemNotFound, "Item not found"},
    {kStatusInvalidHandle, "Invalid handle"},
    {kStatusInvalidArgument, "Invalid argument"},
    {kStatusServerNotResponding, "Server not responding"},
    {kStatusNoMemory, "Insufficient memory"},
    {kStatusNotInitialized, "NotesInitExtended has not been called"},
};

std::string& MalformedText() {
  static std::string text;
  return text;
}

}  // namespace

std::string StatusText(Status code) {
  if (code == kStatusMalformed && !MalformedText().empty()) return MalformedText();
  for (const StatusEntry& entry : kStatusTexts) {
    if (entry.code == code) return entry.text;
  }
  return "Stand-in status " + Hex(code, 4);
}

void SetMalformedText(std::string text) { MalformedText() = std::move(text); }

}  // namespace standin
