// The Notes C library as this tool sees it: the types of its call shapes and
// the seventeen entry points the tool binds at run time.
//
// NOTES_ENTRY_POINTS lists every entry point once, in binding order, with its
// result type and parameters. The table NotesApi and the binding loop are
// both expanded from that list, so a call shape is written in exactly one
// place in the tool.
#pragma once

#include <cstdint>

// The handles, the position and the call shapes below are those of the
// 64-bit library; a 32-bit build would bind the wrong shapes.
static_assert(sizeof(void*) == 8,
              "Quorvane is built for x64 only: the Notes library's call shapes are those of x64");

// Result of a library call; 0 is success. The low 14 bits select the text.
using NotesStatus = std::uint16_t;
constexpr NotesStatus kNotesStatusTextMask = 0x3fff;

// A note's identifier within its database.
using NoteId = std::uint32_t;

// Opaque library handles; 0 means none.
using DbHandle = std::uint64_t;
using NoteHandle = std::uint64_t;
using MemHandle = std::uint64_t;
using UnreadList = std::uint64_t;
using CollectionHandle = std::uint16_t;

// The library's boolean: non-zero is true.
using NotesBool = std::int32_t;

// Where a collection read stands. The library advances it from read to read.
struct CollectionPosition {
  std::uint16_t Level;
  std::uint8_t MinLevel;
  std::uint8_t MaxLevel;
  std::uint32_t Tumbler[32];
};
static_assert(sizeof(CollectionPosition) == 132, "position layout is fixed");

// Values the tool passes that the library gives meaning to.
constexpr std::uint16_t kNoteClassView = 0x0008;
constexpr std::uint16_t kNoteOpenSummary = 0x0001;
constexpr std::uint16_t kNavigateNext = 0x0001;
constexpr std::uint32_t kReadMaskNoteId = 0x00000001;
constexpr std::uint32_t kReadAllThatFit = 0xFFFFFFFF;
constexpr std::uint16_t kSignalMoreToDo = 0x0020;

// X(result, name, parameters), in the order the tool resolves them.
// clang-format off
#define NOTES_ENTRY_POINTS(X)                                                                       \
  X(NotesStatus, NotesInitExtended, (int argc, char** argv))                                        \
  X(NotesStatus, NSFDbOpen, (const char* path, DbHandle* database))                                 \
  X(NotesStatus, NSFDbClose, (DbHandle database))                                                   \
  X(void, NotesTerm, (void))                                                                        \
  X(NotesStatus, NSFNoteClose, (NoteHandle note))                                                   \
  X(NotesBool, OSGetEnvironmentString, (const char* name, char* text, std::uint16_t size))          \
  X(std::uint16_t, OSLoadString,                                                                    \
    (void* module, NotesStatus stringNumber, char* text, std::uint16_t size))                       \
  X(NotesBool, OSUnlockObject, (MemHandle memory))                                                  \
  X(void*, OSLockObject, (MemHandle memory))                                                        \
  X(NotesStatus, OSMemFree, (MemHandle memory))                                                     \
  X(std::uint16_t, NSFItemGetText,                                                                  \
    (NoteHandle note, const char* itemName, char* text, std::uint16_t size))                        \
  X(NotesStatus, NSFNoteOpen,                                                                       \
    (DbHandle database, NoteId noteId, std::uint16_t flags, NoteHandle* note))                      \
  X(NotesStatus, NIFOpenCollection,                                                                 \
    (DbHandle viewDatabase, DbHandle dataDatabase, NoteId viewNoteId, std::uint16_t flags,          \
     UnreadList unreadList, CollectionHandle* collection, NoteHandle* viewNote, void* viewUnid,     \
     MemHandle* collapsedList, MemHandle* selectedList))                                            \
  X(NotesStatus, NIFCloseCollection, (CollectionHandle collection))                                 \
  X(NotesStatus, NIFReadEntries,                                                                    \
    (CollectionHandle collection, CollectionPosition* position, std::uint16_t skipNavigator,        \
     std::uint32_t skipCount, std::uint16_t returnNavigator, std::uint32_t returnCount,             \
     std::uint32_t returnMask, MemHandle* buffer, std::uint16_t* bufferLength,                      \
     std::uint32_t* skipped, std::uint32_t* returned, std::uint16_t* signalFlags))                  \
  X(NotesStatus, NIFFindDesignNoteExt,                                                              \
    (DbHandle database, const char* name, std::uint16_t noteClass, const char* flagsPattern,        \
     NoteId* noteId, std::uint32_t options))                                                        \
  X(NotesStatus, NSFItemInfo,                                                                       \
    (NoteHandle note, const char* itemName, std::uint16_t nameLength, void* itemBlock,              \
     std::uint16_t* dataType, void* valueBlock, std::uint32_t* valueLength))
// clang-format on

// One "+1" per entry point, summed after the 0 in front of the list.
// NOLINTNEXTLINE(bugprone-macro-parentheses)
#define NOTES_COUNT_ENTRY_POINT(result, name, parameters) +1
constexpr int kNotesEntryPointCount = 0 NOTES_ENTRY_POINTS(NOTES_COUNT_ENTRY_POINT);
#undef NOTES_COUNT_ENTRY_POINT

// The process-wide table of entry points: filled once when the library is
// bound, read-only afterwards. Unit tests fill it with in-process fakes.
struct NotesApiTable {
// A declaration: parentheses around the type or the name would not compile.
// NOLINTNEXTLINE(bugprone-macro-parentheses)
#define NOTES_DECLARE_POINTER(result, name, parameters) result(*name) parameters;
  NOTES_ENTRY_POINTS(NOTES_DECLARE_POINTER)
#undef NOTES_DECLARE_POINTER
};

extern NotesApiTable NotesApi;
