#include "FakeNotes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

FakeNotes* active = nullptr;
constexpr CollectionHandle kCollection = 0x7A31;
constexpr NoteId kViewNoteId = 0x11A;
// The sizes the tool gives for item texts, names and status texts.
constexpr std::uint16_t kTextSize = 260;
constexpr std::uint16_t kStatusTextSize = 512;
// The values the library gives meaning to, written here from the library's
// contract rather than taken from the tool, so that a wrong constant in the
// tool cannot agree with itself.
constexpr std::uint16_t kClassView = 0x0008;
constexpr std::uint16_t kOpenSummary = 0x0001;
constexpr std::uint16_t kNextEntry = 0x0001;
constexpr std::uint32_t kAllThatFit = 0xFFFFFFFF;
constexpr std::uint32_t kMaskNoteIds = 0x00000001;
constexpr std::uint16_t kMoreToDo = 0x0020;
constexpr NotesStatus kHighestStringNumber = 0x3FFF;
// Reads past which a census can only be looping without end.
constexpr int kRunawayReads = 100000;

// Counts a call of `name`; the call that FakeNotes::throwsOn names for it
// throws instead of doing anything.
int Count(const char* name) {
  const int call = ++active->calls[name];
  auto thrown = active->throwsOn.find(name);
  if (thrown != active->throwsOn.end() && thrown->second == call) {
    throw std::runtime_error(std::string(name) + " fails");
  }
  return call;
}
void Misuse(const std::string& what) { active->misuses.push_back(what); }
// Records a misuse of `call` when `fine` is false.
void Expect(bool fine, const char* call, const char* what) {
  if (!fine) Misuse(std::string(call) + ": " + what);
}

std::uint16_t CopyText(const std::string& value, char* text, std::uint16_t size) {
  if (text == nullptr || size == 0) return 0;
  if (active->unterminatedTexts && value.size() >= size) {
    std::memcpy(text, value.data(), size);
    return size;
  }
  std::size_t length = std::min<std::size_t>(value.size(), size - 1u);
  std::memcpy(text, value.data(), length);
  text[length] = '\0';
  return static_cast<std::uint16_t>(length);
}

const std::string* FindItem(NoteHandle note, const std::string& name) {
  auto found = active->notes.find(note);
  if (found == active->notes.end()) {
    Misuse("item read from unknown note handle");
    return nullptr;
  }
  auto item = found->second->items.find(name);
  return item == found->second->items.end() ? nullptr : &item->second;
}

NotesStatus FakeNotesInitExtended(int argc, char** argv) {
  Count("NotesInitExtended");
  Expect(argc >= 1 && argv != nullptr && argv[argc] == nullptr, "NotesInitExtended",
         "not the process's argument vector");
  active->initArgc = argc;
  active->initArgv = argv;
  return active->initStatus;
}

NotesStatus FakeNSFDbOpen(const char* path, DbHandle* database) {
  Count("NSFDbOpen");
  Expect(path != nullptr && std::strcmp(path, "names.nsf") == 0, "NSFDbOpen",
         "a path other than names.nsf");
  Expect(database != nullptr, "NSFDbOpen", "no database output");
  if (active->dbOpenStatus != 0) return active->dbOpenStatus;
  // The handle is kept as given out, so a caller that cuts it short no
  // longer names it.
  const std::uint64_t handle = active->nextHandle++;
  *database = handle;
  active->databases.insert(handle);
  return 0;
}

NotesStatus FakeNSFDbClose(DbHandle database) {
  Count("NSFDbClose");
  if (active->databases.erase(database) == 0) Misuse("NSFDbClose of unknown handle");
  if (!active->collections.empty()) Misuse("NSFDbClose with its collection still open");
  return active->dbCloseStatus;
}

void FakeNotesTerm() { Count("NotesTerm"); }

NotesStatus FakeNSFNoteClose(NoteHandle note) {
  Count("NSFNoteClose");
  if (active->notes.erase(note) == 0) Misuse("NSFNoteClose of unknown handle");
  return 0;
}

NotesBool FakeOSGetEnvironmentString(const char* name, char* text, std::uint16_t size) {
  Count("OSGetEnvironmentString");
  Expect(name != nullptr && std::strcmp(name, "MailServer") == 0, "OSGetEnvironmentString",
         "a variable other than MailServer");
  Expect(text != nullptr && size == kTextSize, "OSGetEnvironmentString", "not a 260-byte buffer");
  auto found = name != nullptr ? active->environment.find(name) : active->environment.end();
  CopyText(found == active->environment.end() ? "" : found->second, text, size);
  return found != active->environment.end();
}

std::uint16_t FakeOSLoadString(void* module, NotesStatus number, char* text, std::uint16_t size) {
  Count("OSLoadString");
  Expect(module == nullptr, "OSLoadString", "a module other than 0");
  Expect(number <= kHighestStringNumber, "OSLoadString", "a string number above 0x3FFF");
  Expect(text != nullptr && size == kStatusTextSize, "OSLoadString", "not a 512-byte buffer");
  char code[16];
  std::snprintf(code, sizeof code, "0x%04X ", static_cast<unsigned>(number));
  active->loadedStringNumbers += code;
  auto scripted = active->statusTexts.find(number);
  return CopyText(
      scripted != active->statusTexts.end() ? scripted->second : "text of " + std::string(code, 6),
      text, size);
}

NotesBool FakeOSUnlockObject(MemHandle handle) {
  Count("OSUnlockObject");
  auto found = active->memory.find(handle);
  if (found == active->memory.end() || found->second.locks == 0) {
    Misuse("OSUnlockObject of memory not locked");
    return 0;
  }
  --found->second.locks;
  return 1;
}

void* FakeOSLockObject(MemHandle handle) {
  const int call = Count("OSLockObject");
  auto found = active->memory.find(handle);
  if (found == active->memory.end()) {
    Misuse("OSLockObject of unknown memory");
    return nullptr;
  }
  if (active->lockFailures.count(call) != 0) return nullptr;
  ++found->second.locks;
  // Memory holding no entry still has an address.
  return found->second.ids.empty() ? static_cast<void*>(&found->second.locks)
                                   : found->second.ids.data();
}

NotesStatus FakeOSMemFree(MemHandle handle) {
  Count("OSMemFree");
  auto found = active->memory.find(handle);
  if (found == active->memory.end()) {
    Misuse("OSMemFree of unknown memory");
    return 0x0107;
  }
  if (found->second.locks != 0) Misuse("OSMemFree of locked memory");
  active->memory.erase(found);
  return 0;
}

// The items the census reads: the three it judges a note by and the details.
bool IsReadItem(const char* item) {
  static const std::set<std::string> kItems = {"MailServer", "MailFile", "FirstName", "LastName",
                                               "FullName",   "Mail",     "MailDomain"};
  return item != nullptr && kItems.count(item) != 0;
}

std::uint16_t FakeNSFItemGetText(NoteHandle note, const char* item, char* text,
                                 std::uint16_t size) {
  Count("NSFItemGetText");
  Expect(IsReadItem(item), "NSFItemGetText", "an item the census has no use for");
  Expect(text != nullptr && size == kTextSize, "NSFItemGetText", "not a 260-byte buffer");
  const std::string* value = item != nullptr ? FindItem(note, item) : nullptr;
  return CopyText(value ? *value : "", text, size);
}

NotesStatus FakeNSFNoteOpen(DbHandle database, NoteId noteId, std::uint16_t flags,
                            NoteHandle* note) {
  Count("NSFNoteOpen");
  if (active->databases.count(database) == 0) Misuse("NSFNoteOpen on unknown database");
  Expect(flags == kOpenSummary, "NSFNoteOpen", "flags other than summary items only");
  Expect(note != nullptr, "NSFNoteOpen", "no note output");
  if (active->beforeNoteOpen) active->beforeNoteOpen(noteId);
  active->opened.push_back(noteId);
  const FakeNote* candidate = active->Find(noteId);
  if (candidate != nullptr && !candidate->openable) return candidate->openStatus;
  if (candidate == nullptr || note == nullptr) return 0x0105;
  const std::uint64_t handle = active->nextHandle++;
  *note = handle;
  active->notes[handle] = candidate;
  return 0;
}

NotesStatus FakeNIFOpenCollection(DbHandle viewDatabase, DbHandle dataDatabase, NoteId viewNoteId,
                                  std::uint16_t flags, UnreadList unreadList,
                                  CollectionHandle* collection, NoteHandle* viewNote,
                                  void* viewUnid, MemHandle* collapsedList,
                                  MemHandle* selectedList) {
  Count("NIFOpenCollection");
  if (active->databases.count(viewDatabase) == 0 || viewDatabase != dataDatabase) {
    Misuse("NIFOpenCollection on unknown database");
  }
  Expect(viewNoteId == kViewNoteId, "NIFOpenCollection", "not the Mail Users view");
  Expect(flags == 0, "NIFOpenCollection", "flags other than 0");
  Expect(unreadList == 0, "NIFOpenCollection", "an unread list");
  Expect(collection != nullptr, "NIFOpenCollection", "no collection output");
  Expect(viewNote == nullptr && viewUnid == nullptr && collapsedList == nullptr &&
             selectedList == nullptr,
         "NIFOpenCollection", "an optional output given");
  if (active->openCollectionStatus != 0) return active->openCollectionStatus;
  if (collection == nullptr) return 0x0108;
  *collection = kCollection;
  active->collections.insert(kCollection);
  return 0;
}

NotesStatus FakeNIFCloseCollection(CollectionHandle collection) {
  Count("NIFCloseCollection");
  if (active->collections.erase(collection) == 0) Misuse("NIFCloseCollection of unknown handle");
  return active->closeCollectionStatus;
}

NotesStatus FakeNIFReadEntries(CollectionHandle collection, CollectionPosition* position,
                               std::uint16_t skipNavigator, std::uint32_t skipCount,
                               std::uint16_t returnNavigator, std::uint32_t returnCount,
                               std::uint32_t returnMask, MemHandle* buffer,
                               std::uint16_t* bufferLength, std::uint32_t* skipped,
                               std::uint32_t* returned, std::uint16_t* signalFlags) {
  const int call = Count("NIFReadEntries");
  if (active->collections.count(collection) == 0) Misuse("NIFReadEntries of unknown collection");
  Expect(skipNavigator == kNextEntry && skipCount == 1 && returnNavigator == kNextEntry,
         "NIFReadEntries", "not one step to the next entry");
  Expect(returnCount == kAllThatFit, "NIFReadEntries", "a return count other than all");
  Expect(returnMask == kMaskNoteIds, "NIFReadEntries", "a mask other than NoteIds only");
  Expect(skipped == nullptr, "NIFReadEntries", "a skipped-count output given");
  if (position == nullptr || buffer == nullptr || bufferLength == nullptr || returned == nullptr ||
      signalFlags == nullptr) {
    Misuse("NIFReadEntries: a required output missing");
    return 0x0108;
  }
  // The tool hands the library its own position back unchanged, from the
  // start of the view.
  if (position->Level != 0 || position->Tumbler[0] != active->readPosition) {
    Misuse("NIFReadEntries from a position the library did not leave");
  }
  // A census that reads on after a failure, or without end, is stopped here
  // so that the test fails instead of hanging.
  if (active->readFailed || call > kRunawayReads) {
    Misuse(active->readFailed ? "NIFReadEntries after a failed read" : "NIFReadEntries runaway");
    *buffer = 0;
    *returned = 0;
    *signalFlags = 0;
    return 0x0109;
  }
  const FakeReadFault* fault = nullptr;
  auto found = active->readFaults.find(call);
  if (found != active->readFaults.end()) {
    fault = &found->second;
  } else if (active->readFaultsRepeat && !active->readFaults.empty() &&
             call > active->readFaults.rbegin()->first) {
    fault = &active->readFaults.rbegin()->second;
  }

  auto scriptedSize = active->batchSizes.find(call);
  const std::uint32_t batchSize =
      scriptedSize == active->batchSizes.end() ? active->batchSize : scriptedSize->second;

  *buffer = 0;
  *returned = 0;
  if (fault == nullptr || fault->withMemory) {
    std::size_t begin = active->readPosition;
    std::size_t end = std::min<std::size_t>(active->view.size(), begin + batchSize);
    if (active->emptyMemoryReads.count(call) != 0) {
      const std::uint64_t handle = active->nextHandle++;
      *buffer = handle;
      *bufferLength = 0;
      active->memory[handle] = FakeNotes::Batch{};
    } else if (end > begin) {
      FakeNotes::Batch batch;
      for (std::size_t i = begin; i < end; ++i) batch.ids.push_back(active->view[i].id);
      const std::uint64_t handle = active->nextHandle++;
      *buffer = handle;
      *returned = static_cast<std::uint32_t>(batch.ids.size());
      *bufferLength = static_cast<std::uint16_t>(batch.ids.size() * sizeof(std::uint32_t));
      active->memory[handle] = std::move(batch);
      active->readPosition = end;
      position->Tumbler[0] = static_cast<std::uint32_t>(end);
    }
    *signalFlags = active->readPosition < active->view.size() ? kMoreToDo : 0;
    auto scriptedFlags = active->readFlags.find(call);
    if (scriptedFlags != active->readFlags.end()) *signalFlags = scriptedFlags->second;
  }
  if (fault == nullptr) return 0;
  active->readFailed = true;
  *signalFlags = fault->flagsLeft;
  return fault->status;
}

NotesStatus FakeNIFFindDesignNoteExt(DbHandle database, const char* name, std::uint16_t noteClass,
                                     const char* pattern, NoteId* noteId, std::uint32_t options) {
  Count("NIFFindDesignNoteExt");
  if (active->databases.count(database) == 0) Misuse("NIFFindDesignNoteExt on unknown database");
  Expect(name != nullptr && std::strcmp(name, "Mail Users") == 0, "NIFFindDesignNoteExt",
         "a view other than Mail Users");
  Expect(noteClass == kClassView, "NIFFindDesignNoteExt", "a class other than views");
  Expect(pattern != nullptr && std::strcmp(pattern, "-G40n^") == 0, "NIFFindDesignNoteExt",
         "a pattern other than that of views");
  Expect(options == 0, "NIFFindDesignNoteExt", "options other than 0");
  Expect(noteId != nullptr, "NIFFindDesignNoteExt", "no NoteId output");
  if (active->findViewStatus != 0) return active->findViewStatus;
  if (noteId == nullptr) return 0x0108;
  *noteId = kViewNoteId;
  return 0;
}

NotesStatus FakeNSFItemInfo(NoteHandle note, const char* item, std::uint16_t nameLength,
                            void* itemBlock, std::uint16_t* dataType, void* valueBlock,
                            std::uint32_t* valueLength) {
  Count("NSFItemInfo");
  Expect(item != nullptr && nameLength == 4 && std::strncmp(item, "$REF", 5) == 0, "NSFItemInfo",
         "not the 4-byte name $REF");
  Expect(itemBlock == nullptr && dataType == nullptr && valueBlock == nullptr &&
             valueLength == nullptr,
         "NSFItemInfo", "an optional output given");
  if (item == nullptr) return 0x0108;
  return FindItem(note, std::string(item, nameLength)) ? 0 : 0x0106;
}

}  // namespace

FakeNote Mailbox(NoteId id, const std::string& server, const std::string& mailFile) {
  FakeNote note;
  note.id = id;
  note.items["MailServer"] = server;
  note.items["MailFile"] = mailFile;
  return note;
}

const FakeNote* FakeNotes::Find(NoteId id) {
  // Positions, checked on use: tests may replace the view at any time.
  auto found = index.find(id);
  if (found == index.end() || found->second >= view.size() || view[found->second].id != id) {
    index.clear();
    for (std::size_t i = 0; i < view.size(); ++i) index[view[i].id] = i;
    found = index.find(id);
  }
  return found == index.end() ? nullptr : &view[found->second];
}

void FakeNotes::Install() {
  active = this;
#define FAKE_INSTALL_ENTRY_POINT(result, name, parameters) NotesApi.name = Fake##name;
  NOTES_ENTRY_POINTS(FAKE_INSTALL_ENTRY_POINT)
#undef FAKE_INSTALL_ENTRY_POINT
}

std::string FakeNotes::Problems() const {
  std::string problems;
  auto add = [&](const char* what, std::uint64_t value) {
    problems += what + std::to_string(value) + "\n";
  };
  for (DbHandle handle : databases) add("database open ", handle);
  for (CollectionHandle handle : collections) add("collection open ", handle);
  for (const auto& note : notes) add("note open ", note.second->id);
  for (const auto& batch : memory) add("memory not freed ", batch.first);
  for (const std::string& misuse : misuses) problems += "misuse: " + misuse + "\n";
  return problems;
}
