// The statuses the stand-in returns and the texts OSLoadString gives for them.
#pragma once

#include <string>

#include "LibraryTypes.h"

namespace standin {

constexpr Status kStatusNoIni = 0x0101;
constexpr Status kStatusNoFile = 0x0102;
constexpr Status kStatusMalformed = 0x0103;
constexpr Status kStatusNoView = 0x0104;
constexpr Status kStatusNoteNotOpenable = 0x0105;
constexpr Status kStatusItemNotFound = 0x0106;
constexpr Status kStatusInvalidHandle = 0x0107;
constexpr Status kStatusInvalidArgument = 0x0108;
constexpr Status kStatusServerNotResponding = 0x0109;
constexpr Status kStatusNoMemory = 0x010A;
constexpr Status kStatusNotInitialized = 0x010B;

// The text for `code`; codes outside the table read "Stand-in status 0xNNNN".
std::string StatusText(Status code);

// Sets the text of kStatusMalformed: the file and line of the last directory
// that failed to parse. It outlives NotesTerm so a caller can still print it.
void SetMalformedText(std::string text);

}  // namespace standin
