// The stand-in's own reading of the Notes C library's call shapes: the types
// its entry points take and give, and the values the tool is bound to pass.
// Written from the library's contract, independently of the tool's headers,
// so that a mistake on either side shows up as a disagreement between the
// two (the in-process bindings check every shape at compile time).
#pragma once

#include <cstdint>

namespace standin {

// Result of a library call; 0 is success. The low 14 bits select the text.
using Status = std::uint16_t;
constexpr Status kStatusTextMask = 0x3fff;

// A note's identifier within its database.
using NoteId = std::uint32_t;

// Opaque 64-bit handles of databases, notes and memory, and the unread list
// passed to NIFOpenCollection; 0 means none. Collections have 16-bit handles.
using DbHandle = std::uint64_t;
using NoteHandle = std::uint64_t;
using MemHandle = std::uint64_t;
using UnreadList = std::uint64_t;
using CollectionHandle = std::uint16_t;

// The library's boolean, non-zero is true.
using Bool = std::int32_t;

// Where a collection read stands: a 16-bit level, two 8-bit level bounds and
// 32 tumblers of 32 bits. NIFReadEntries advances it from read to read.
struct ReadPosition {
  std::uint16_t level;
  std::uint8_t minLevel;
  std::uint8_t maxLevel;
  std::uint32_t tumbler[32];
};
static_assert(sizeof(ReadPosition) == 132, "16 + 8 + 8 bits, then 32 tumblers of 32 bits");

// The values the tool passes, each the only one it may pass.
constexpr std::uint16_t kViewNoteClass = 0x0008;     // NIFFindDesignNoteExt: views
constexpr const char* kViewPattern = "-G40n^";       // NIFFindDesignNoteExt: view design flags
constexpr std::uint32_t kDesignOptions = 0;          // NIFFindDesignNoteExt options
constexpr std::uint16_t kCollectionFlags = 0;        // NIFOpenCollection flags
constexpr UnreadList kNoUnreadList = 0;              // NIFOpenCollection unread list
constexpr std::uint16_t kNextNavigator = 0x0001;     // NIFReadEntries: step to the next entry
constexpr std::uint32_t kSkipOne = 1;                // NIFReadEntries skip count
constexpr std::uint32_t kAllThatFit = 0xFFFFFFFF;    // NIFReadEntries return count
constexpr std::uint32_t kNoteIdMask = 0x00000001;    // NIFReadEntries: NoteIds only
constexpr std::uint16_t kSummaryOnly = 0x0001;       // NSFNoteOpen flags
constexpr std::uint16_t kItemTextSize = 260;         // NSFItemGetText buffer
constexpr std::uint16_t kEnvironmentTextSize = 260;  // OSGetEnvironmentString buffer
constexpr std::uint16_t kStatusTextSize = 512;       // OSLoadString buffer

// The signal flag NIFReadEntries leaves when entries remain after its batch.
constexpr std::uint16_t kMoreToDo = 0x0020;

}  // namespace standin
