// An in-process Notes library for unit tests: a "Mail Users" view held in
// memory, every call's status settable, and every handle accounted for.
// Every argument whose value the tool's run sequence fixes is checked on
// every call (flags, counts, masks, sizes, the module, the names, the outputs
// that must be null or given); any other value is a misuse, and Problems()
// lists it. Install() points NotesApi at it; tests may then replace single
// entries.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "NotesApi.h"

struct FakeNote {
  NoteId id = 0;
  std::map<std::string, std::string> items;
  bool openable = true;
  NotesStatus openStatus = 0x0105;  // NSFNoteOpen's status when not openable
};

// What the k-th NIFReadEntries call (1-based) does instead of succeeding.
struct FakeReadFault {
  NotesStatus status = 0x0109;
  bool withMemory = false;      // the batch still comes back
  std::uint16_t flagsLeft = 0;  // signal flags left after the failure
};

struct FakeNotes {
  // The directory.
  std::vector<FakeNote> view;  // the view's notes, in order
  std::uint32_t batchSize = 16384;
  std::map<std::string, std::string> environment;

  // Statuses of the calls; 0 means the call succeeds.
  NotesStatus initStatus = 0;
  NotesStatus dbOpenStatus = 0;
  NotesStatus findViewStatus = 0;
  NotesStatus openCollectionStatus = 0;
  NotesStatus closeCollectionStatus = 0;
  NotesStatus dbCloseStatus = 0;
  std::map<int, FakeReadFault> readFaults;  // by call number
  bool readFaultsRepeat = false;            // the last fault repeats forever
  std::set<int> lockFailures;               // OSLockObject calls giving no address
  // By NIFReadEntries call number: at most this many NoteIds instead of
  // batchSize, and the signal flags a successful read reports instead of
  // whether entries remain.
  std::map<int, std::uint32_t> batchSizes;
  std::map<int, std::uint16_t> readFlags;
  // By NIFReadEntries call number: the read hands back a memory handle that
  // holds no entry at all.
  std::set<int> emptyMemoryReads;
  // NSFItemGetText, OSGetEnvironmentString and OSLoadString fill a buffer
  // that a text does not fit to the last byte, with no terminator, and
  // return its size.
  bool unterminatedTexts = false;
  // OSLoadString's text for a string number; "text of 0xNNNN" otherwise.
  std::map<NotesStatus, std::string> statusTexts;
  // Entry point name -> the call of it (1-based) that throws
  // std::runtime_error before it does anything.
  std::map<std::string, int> throwsOn;
  // Runs inside NSFNoteOpen before it opens the note; may throw.
  std::function<void(NoteId)> beforeNoteOpen;

  // What happened.
  std::map<std::string, int> calls;  // entry point name -> number of calls
  std::vector<NoteId> opened;        // NoteIds opened, in order
  std::vector<std::string> misuses;
  int initArgc = -1;
  char** initArgv = nullptr;
  std::string loadedStringNumbers;  // "0x0104 " per OSLoadString call

  // Handles given out and not released, and misuses, one line each.
  std::string Problems() const;

  // Points NotesApi at this fake (the active one).
  void Install();

  // State behind the handles.
  std::uint64_t nextHandle = 0x5A00000000000001;
  // Handles as given out: 64 bits each, NoteIds of 32 bits, whatever widths
  // the tool's own types have.
  std::set<std::uint64_t> databases;
  std::set<CollectionHandle> collections;
  std::map<std::uint64_t, const FakeNote*> notes;
  std::map<NoteId, std::size_t> index;  // NoteId -> position in the view
  const FakeNote* Find(NoteId id);
  struct Batch {
    std::vector<std::uint32_t> ids;
    int locks = 0;
  };
  std::map<std::uint64_t, Batch> memory;
  std::size_t readPosition = 0;  // entries returned so far
  bool readFailed = false;       // the last NIFReadEntries failed
};

// Builds a note of the view.
FakeNote Mailbox(NoteId id, const std::string& server, const std::string& mailFile);
