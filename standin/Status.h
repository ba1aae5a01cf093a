// The statuses the stand-in returns and the texts OSLoadString gives for them.
#pragma once

#include <string>

#include "NotesApi.h"

namespace standin {

constexpr NotesStatus kStatusNoIni = 0x0101;
constexpr NotesStatus kStatusNoFile = 0x0102;
constexpr NotesStatus kStatusMalformed = 0x0103;
constexpr NotesStatus kStatusNoView = 0x0104;
constexpr NotesStatus kStatusNoteNotOpenable = 0x0105;
constexpr NotesStatus kStatusItemNotFound = 0x0106;
constexpr NotesStatus kStatusInvalidHandle = 0x0107;
constexpr NotesStatus kStatusInvalidArgument = 0x0108;
constexpr NotesStatus kStatusServerNotResponding = 0x0109;
constexpr NotesStatus kStatusNoMemory = 0x010A;
constexpr NotesStatus kStatusNotInitialized = 0x010B;

// The text for `code`; codes outside the table read "Stand-in status 0xNNNN".
std::string StatusText(NotesStatus code);

// Sets the text of kStatusMalformed: the file and line of the last directory
// that failed to parse. It outlives NotesTerm so a caller can still print it.
void SetMalformedText(std::string text);

}  // namespace standin
