// The floor of a census: the library calls a census makes, with the same
// arguments, and nothing else. What a census costs above this walk is the
// tool's own work.
#pragma once

#include <cstdint>

#include "NotesApi.h"

// The calls a census makes for a note after opening it and reading
// "MailServer": whether it asks for "$REF", and whether it then reads
// "MailFile".
struct NoteCalls {
  bool asksResponse;
  bool readsMailFile;
};

// Walks the "Mail Users" view of names.nsf through NotesApi: opens each note,
// reads "MailServer", then makes the calls `calls` gives for the note, so the
// walk need not compare what it read. Returns the number of notes whose
// "MailFile" was read.
std::uint32_t WalkFloor(const NoteCalls& (*calls)(NoteId));
