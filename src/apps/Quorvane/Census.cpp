#include "Census.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>

#include "Stop.h"

namespace {

constexpr std::uint16_t kItemTextSize = 260;

// Owns one library handle. Where the census can still succeed, the handle is
// given back with Release(), so that a release call that throws reaches the
// census's own handlers. The destructor releases what a failure left open (an
// error path, an exception); an exception from that release is dropped there,
// as one thrown out of a destructor would end the process, and the census is
// failing already. ReleaseFunction points at the table entry that releases
// this kind.
template <typename Handle, auto ReleaseFunction>
class HandleGuard {
 public:
  HandleGuard() = default;
  explicit HandleGuard(Handle handle) : handle_(handle) {}
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;
  ~HandleGuard() {
    if (handle_ == 0) return;
    try {
      (NotesApi.*ReleaseFunction)(handle_);
    } catch (...) {
      // The census is failing already; see above.
    }
  }

  Handle get() const { return handle_; }
  void reset(Handle handle) { handle_ = handle; }
  // Gives the handle back and returns the library's status. The guard
  // forgets the handle first, so a release that throws is never tried again.
  NotesStatus Release() {
    Handle handle = handle_;
    handle_ = 0;
    return (NotesApi.*ReleaseFunction)(handle);
  }

 private:
  Handle handle_ = 0;
};

using DatabaseGuard = HandleGuard<DbHandle, &NotesApiTable::NSFDbClose>;
using CollectionGuard = HandleGuard<CollectionHandle, &NotesApiTable::NIFCloseCollection>;
using NoteGuard = HandleGuard<NoteHandle, &NotesApiTable::NSFNoteClose>;

// One batch of a collection read: locked while its NoteIds are read, then
// unlocked and freed by Release(), or by the destructor when an exception
// leaves it first, as with HandleGuard.
class BatchMemory {
 public:
  explicit BatchMemory(MemHandle handle) : handle_(handle) {}
  BatchMemory(const BatchMemory&) = delete;
  BatchMemory& operator=(const BatchMemory&) = delete;
  ~BatchMemory() {
    if (handle_ == 0) return;
    try {
      Release();
    } catch (...) {
      // The census is failing already.
    }
  }

  const NoteId* Lock() {
    void* contents = NotesApi.OSLockObject(handle_);
    locked_ = contents != nullptr;
    return static_cast<const NoteId*>(contents);
  }

  // Unlocks the memory when it is locked, then frees it. Memory whose unlock
  // throws is not freed: it may still be locked.
  void Release() {
    MemHandle handle = handle_;
    handle_ = 0;
    if (locked_) NotesApi.OSUnlockObject(handle);
    NotesApi.OSMemFree(handle);
  }

 private:
  MemHandle handle_;
  bool locked_ = false;
};

// Reads a text item; true when it is present and not empty.
bool ReadItemText(NoteHandle note, const char* item, char (&text)[kItemTextSize]) {
  std::uint16_t length = NotesApi.NSFItemGetText(note, item, text, kItemTextSize);
  text[kItemTextSize - 1] = '\0';
  return length != 0;
}

// The per-note work is inlined whole into the loop of a batch, where GCC and
// clang would call it: a note then costs little beyond the library's calls.
#if defined(__GNUC__)
#define CENSUS_INLINE_ALL [[gnu::flatten]]
#else
#define CENSUS_INLINE_ALL
#endif

// Judges one batch of NoteIds into census and releases the batch. False when
// the batch could not be read whole. An exception of the per-note work
// abandons the rest of the batch; one from locking or releasing the batch
// leaves here.
CENSUS_INLINE_ALL bool CountBatch(DbHandle database, MemHandle buffer, std::uint32_t entries,
                                  Census& census) {
  BatchMemory memory(buffer);
  const NoteId* noteIds = memory.Lock();
  // Memory that gives no address holds nothing the census can read.
  bool whole = noteIds != nullptr;
  if (whole) {
    try {
      for (std::uint32_t i = 0; i < entries && !StopRequested(); ++i) {
        ++census.verdicts[static_cast<int>(QualifyMailboxNote(database, noteIds[i], census))];
      }
    } catch (...) {
      // The rest of the batch is abandoned; what it judged so far stands.
      whole = false;
    }
  }
  memory.Release();
  return whole;
}

// The census proper, once serverName is known to be there. Exceptions leave
// it through the guards, which release whatever is open; a release that
// throws leaves it the same way.
bool CountInDirectory(Census& census) {
  bool ok = true;

  DatabaseGuard database;
  DbHandle opened = 0;
  NotesStatus status = NotesApi.NSFDbOpen("names.nsf", &opened);
  if (status != 0) {
    PrintNotesStatus(status);
    return false;
  }
  database.reset(opened);

  NoteId viewId = 0;
  status = NotesApi.NIFFindDesignNoteExt(database.get(), "Mail Users", kNoteClassView, "-G40n^",
                                         &viewId, 0);
  if (status != 0) {
    PrintNotesStatus(status);
    return false;
  }

  CollectionGuard collection;
  CollectionHandle openedCollection = 0;
  status = NotesApi.NIFOpenCollection(database.get(), database.get(), viewId, 0, 0,
                                      &openedCollection, nullptr, nullptr, nullptr, nullptr);
  if (status != 0) {
    PrintNotesStatus(status);
    return false;
  }
  collection.reset(openedCollection);

  CollectionPosition position{};  // level 0, before the first entry
  std::uint16_t signalFlags = 0;
  do {
    MemHandle buffer = 0;
    std::uint16_t bufferLength = 0;
    std::uint32_t returned = 0;
    status = NotesApi.NIFReadEntries(collection.get(), &position, kNavigateNext, 1, kNavigateNext,
                                     kReadAllThatFit, kReadMaskNoteId, &buffer, &bufferLength,
                                     nullptr, &returned, &signalFlags);
    if (status != 0) {
      PrintNotesStatus(status);
      ok = false;
    }
    if (buffer != 0 && !CountBatch(database.get(), buffer, returned, census)) {
      ok = false;
    }
    // A stop ends the walk as a failed read does; what is open is released
    // below.
    if (StopRequested()) {
      ok = false;
      break;
    }
    // After a failed read the flags are whatever the library left there; a
    // library that keeps failing must not keep the loop alive.
    if (status != 0) break;
  } while (signalFlags & kSignalMoreToDo);

  status = collection.Release();
  if (status != 0) {
    PrintNotesStatus(status);
    ok = false;
  }
  status = database.Release();
  if (status != 0) {
    PrintNotesStatus(status);
    ok = false;
  }
  return ok;
}

// The items of a /details line after the mail file name, in print order.
constexpr const char* kDetailItems[] = {"FirstName", "LastName",   "FullName",
                                        "Mail",      "MailServer", "MailDomain"};

// The longest line there can be: the mail file name and every detail item,
// each at the longest text ReadItemText gives (kItemTextSize - 1 bytes, as it
// terminates each text within its buffer), each detail after ", ", then the
// line end.
constexpr std::size_t kLongestListingLine =
    (kItemTextSize - 1) + std::size(kDetailItems) * (2 + (kItemTextSize - 1)) + 1;

// One listing line being built: the mail file name and the detail items,
// each after ", ", and the line end. Nothing here checks a length: every
// text appended is one ReadItemText gave, or ", ".
class ListingLine {
 public:
  void Append(const char* text) {
    std::size_t length = std::strlen(text);
    std::memcpy(line_ + used_, text, length);
    used_ += length;
  }
  void Write() {
    line_[used_++] = '\n';
    std::fwrite(line_, 1, used_, stdout);
  }

 private:
  // 1826 bytes: the longest line, whole.
  static constexpr std::size_t kCapacity = 1826;
  static_assert(kCapacity >= kLongestListingLine, "the longest listing line must fit its buffer");
  char line_[kCapacity];
  std::size_t used_ = 0;
};

// Prints the listing line of a mailbox whose note is open: the mail file name
// and, with details, each detail item that has a text, each after ", ". The
// line is written whole, in one call.
void PrintMailboxLine(NoteHandle note, const char* mailFile, bool listDetails) {
  ListingLine line;
  line.Append(mailFile);
  if (listDetails) {
    char text[kItemTextSize] = {};
    for (const char* item : kDetailItems) {
      if (ReadItemText(note, item, text)) {
        line.Append(", ");
        line.Append(text);
      }
    }
  }
  line.Write();
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool AllBlank(const char* text) {
  while (IsBlank(*text)) ++text;
  return *text == '\0';
}

// Whether two server values are equal once ASCII letter case is ignored and
// blanks at either end are dropped: past their leading blanks, they agree up
// to a point from which both hold blanks only. Another server's name differs
// within its first few bytes, so the test costs little.
bool LooselyEqual(const char* a, const char* b) {
  while (IsBlank(*a)) ++a;
  while (IsBlank(*b)) ++b;
  for (; *a != '\0'; ++a, ++b) {
    if (*a != *b && AsciiLower(*a) != AsciiLower(*b)) break;
  }
  return AllBlank(a) && AllBlank(b);
}

// Adds one note to a text's tally.
void Add(TextTally& tally, std::string_view text) {
  auto found = tally.find(text);
  if (found == tally.end()) found = tally.emplace(text, 0).first;
  ++found->second;
}

// The tests of QualifyMailboxNote on a note it has opened, and the listing
// line of a mailbox.
NoteVerdict JudgeOpenNote(NoteHandle note, Census& census) {
  char mailServer[kItemTextSize] = {};
  if (!ReadItemText(note, "MailServer", mailServer)) return NoteVerdict::NoMailServer;
  if (!census.allServers && std::strcmp(mailServer, census.serverName) != 0) {
    if (!census.details || !LooselyEqual(mailServer, census.serverName)) {
      return NoteVerdict::OtherServer;
    }
    Add(census.nearMisses, mailServer);
    return NoteVerdict::NearMiss;
  }
  // A response note carries "$REF"; any failure means it has none.
  constexpr char kResponseItem[] = "$REF";
  if (NotesApi.NSFItemInfo(note, kResponseItem, sizeof kResponseItem - 1, nullptr, nullptr, nullptr,
                           nullptr) == 0) {
    return NoteVerdict::ResponseNote;
  }
  char mailFile[kItemTextSize] = {};
  if (!ReadItemText(note, "MailFile", mailFile)) return NoteVerdict::NoMailFile;
  if (census.allServers) Add(census.servers, mailServer);
  if (census.listNames || census.listDetails) {
    PrintMailboxLine(note, mailFile, census.listDetails);
  }
  return NoteVerdict::Mailbox;
}

}  // namespace

void LoadNotesStatusText(NotesStatus status, char* text, std::uint16_t size) {
  NotesApi.OSLoadString(nullptr, static_cast<NotesStatus>(status & kNotesStatusTextMask), text,
                        size);
  text[size - 1] = '\0';
}

void PrintNotesStatus(NotesStatus status) {
  char text[kStatusTextSize] = {};
  LoadNotesStatusText(status, text, kStatusTextSize);
  // Whatever the tool printed before stays ahead of this text when both
  // streams go to the same file.
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", text);
}

NoteVerdict QualifyMailboxNote(DbHandle database, NoteId noteId, Census& census) {
  NoteHandle opened = 0;
  const NotesStatus status = NotesApi.NSFNoteOpen(database, noteId, kNoteOpenSummary, &opened);
  if (status != 0) {
    if (census.details) ++census.notOpened[status];
    return NoteVerdict::NotOpened;
  }
  NoteGuard note(opened);
  const NoteVerdict verdict = JudgeOpenNote(note.get(), census);
  // The close is part of the note's work: one that throws leaves as the
  // judging's own exceptions do.
  note.Release();
  return verdict;
}

bool TakeCensus(Census& census) {
  if (census.serverName == nullptr) return false;
  // The header stands even when the directory cannot be opened after it.
  if (census.listNames || census.listDetails) std::fputs("\nMailboxes:\n\n", stdout);
  try {
    return CountInDirectory(census);
  } catch (...) {
    return false;
  }
}

bool CountMailboxes(const char* serverName, std::uint32_t& total, bool listNames,
                    bool listDetails) {
  Census census;
  census.serverName = serverName;
  census.listNames = listNames;
  census.listDetails = listDetails;
  const bool ok = TakeCensus(census);
  total += census.Tally(NoteVerdict::Mailbox);
  return ok;
}
