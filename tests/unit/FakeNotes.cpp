#include "FakeNotes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

FakeNotes* active = nullptr;
constexpr CollectionHandle kCollection = 0x7A31;

void Count(const char* name) { ++active->calls[name]; }
void Misuse(const std::string& what) { active->misuses.push_back(what); }

std::uint16_t CopyText(const std::string& value, char* text, std::uint16_t size) {
  if (size == 0) return 0;
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
  active->initArgc = argc;
  active->initArgv = argv;
  return active->initStatus;
}

NotesStatus FakeNSFDbOpen(const char* path, DbHandle* database) {
  Count("NSFDbOpen");
  if (std::strcmp(path, "names.nsf") != 0) Misuse(std::string("opened ") + path);
  if (active->dbOpenStatus != 0) return active->dbOpenStatus;
  *database = active->nextHandle++;
  active->databases.insert(*database);
  return 0;
}

NotesStatus FakeNSFDbClose(DbHandle database) {
  Count("NSFDbClose");
  if (active->databases.erase(database) == 0) Misuse("NSFDbClose of unknown handle");
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
  auto found = active->environment.find(name);
  CopyText(found == active->environment.end() ? "" : found->second, text, size);
  return found != active->environment.end();
}

std::uint16_t FakeOSLoadString(void* module, NotesStatus number, char* text, std::uint16_t size) {
  Count("OSLoadString");
  if (module != nullptr) Misuse("OSLoadString with a module");
  char code[16];
  std::snprintf(code, sizeof code, "0x%04X ", static_cast<unsigned>(number));
  active->loadedStringNumbers += code;
  return CopyText("text of " + std::string(code, 6), text, size);
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
  int call = ++active->calls["OSLockObject"];
  auto found = active->memory.find(handle);
  if (found == active->memory.end()) {
    Misuse("OSLockObject of unknown memory");
    return nullptr;
  }
  if (active->lockFailures.count(call) != 0) return nullptr;
  ++found->second.locks;
  return found->second.ids.data();
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

std::uint16_t FakeNSFItemGetText(NoteHandle note, const char* item, char* text,
                                 std::uint16_t size) {
  Count("NSFItemGetText");
  const std::string* value = FindItem(note, item);
  if (value != nullptr && active->unterminatedTexts && value->size() >= size) {
    std::memcpy(text, value->data(), size);
    return size;
  }
  return CopyText(value ? *value : "", text, size);
}

NotesStatus FakeNSFNoteOpen(DbHandle database, NoteId noteId, std::uint16_t flags,
                            NoteHandle* note) {
  Count("NSFNoteOpen");
  if (active->databases.count(database) == 0) Misuse("NSFNoteOpen on unknown database");
  if (flags != kNoteOpenSummary) Misuse("NSFNoteOpen without summary flags");
  if (active->beforeNoteOpen) active->beforeNoteOpen(noteId);
  active->opened.push_back(noteId);
  const FakeNote* candidate = active->Find(noteId);
  if (candidate == nullptr || !candidate->openable) return 0x0105;
  *note = active->nextHandle++;
  active->notes[*note] = candidate;
  return 0;
}

NotesStatus FakeNIFOpenCollection(DbHandle viewDatabase, DbHandle dataDatabase, NoteId,
                                  std::uint16_t, UnreadList, CollectionHandle* collection,
                                  NoteHandle*, void*, MemHandle*, MemHandle*) {
  Count("NIFOpenCollection");
  if (active->databases.count(viewDatabase) == 0 || viewDatabase != dataDatabase) {
    Misuse("NIFOpenCollection on unknown database");
  }
  if (active->openCollectionStatus != 0) return active->openCollectionStatus;
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
                               std::uint16_t* bufferLength, std::uint32_t*, std::uint32_t* returned,
                               std::uint16_t* signalFlags) {
  int call = ++active->calls["NIFReadEntries"];
  if (active->collections.count(collection) == 0) Misuse("NIFReadEntries of unknown collection");
  if (skipNavigator != kNavigateNext || skipCount != 1 || returnNavigator != kNavigateNext ||
      returnCount != kReadAllThatFit || returnMask != kReadMaskNoteId) {
    Misuse("NIFReadEntries with other arguments");
  }
  if (call == 1 && (position->Level != 0 || position->Tumbler[0] != 0)) {
    Misuse("NIFReadEntries from a position not at the start");
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
  std::uint32_t batchSize =
      scriptedSize == active->batchSizes.end() ? active->batchSize : scriptedSize->second;

  *buffer = 0;
  *returned = 0;
  if (fault == nullptr || fault->withMemory) {
    std::size_t begin = active->readPosition;
    std::size_t end = std::min<std::size_t>(active->view.size(), begin + batchSize);
    if (end > begin) {
      FakeNotes::Batch batch;
      for (std::size_t i = begin; i < end; ++i) batch.ids.push_back(active->view[i].id);
      *buffer = active->nextHandle++;
      *returned = static_cast<std::uint32_t>(batch.ids.size());
      *bufferLength = static_cast<std::uint16_t>(batch.ids.size() * sizeof(NoteId));
      active->memory[*buffer] = std::move(batch);
      active->readPosition = end;
      position->Tumbler[0] = static_cast<std::uint32_t>(end);
    }
    *signalFlags = end < active->view.size() ? kSignalMoreToDo : 0;
    auto scriptedFlags = active->readFlags.find(call);
    if (scriptedFlags != active->readFlags.end()) *signalFlags = scriptedFlags->second;
  }
  if (fault == nullptr) return 0;
  *signalFlags = fault->flagsLeft;
  return fault->status;
}

NotesStatus FakeNIFFindDesignNoteExt(DbHandle database, const char* name, std::uint16_t noteClass,
                                     const char* pattern, NoteId* noteId, std::uint32_t options) {
  Count("NIFFindDesignNoteExt");
  if (active->databases.count(database) == 0) Misuse("NIFFindDesignNoteExt on unknown database");
  if (std::strcmp(name, "Mail Users") != 0 || noteClass != kNoteClassView ||
      std::strcmp(pattern, "-G40n^") != 0 || options != 0) {
    Misuse("NIFFindDesignNoteExt with other arguments");
  }
  if (active->findViewStatus != 0) return active->findViewStatus;
  *noteId = 0x11A;
  return 0;
}

NotesStatus FakeNSFItemInfo(NoteHandle note, const char* item, std::uint16_t nameLength, void*,
                            std::uint16_t*, void*, std::uint32_t*) {
  Count("NSFItemInfo");
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
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto found = index.find(id);
    if (found != index.end() && found->second < view.size() && view[found->second].id == id) {
      return &view[found->second];
    }
    index.clear();
    for (std::size_t i = 0; i < view.size(); ++i) index[view[i].id] = i;
  }
  return nullptr;
}

void FakeNotes::Install() {
  active = this;
#define FAKE_INSTALL_ENTRY_POINT(result, name, parameters) NotesApi.name = Fake##name;
  NOTES_ENTRY_POINTS(FAKE_INSTALL_ENTRY_POINT)
#undef FAKE_INSTALL_ENTRY_POINT
}

std::string FakeNotes::Problems() const {
  std::string problems;
  for (DbHandle handle : databases) problems += "database open " + std::to_string(handle) + "\n";
  for (CollectionHandle handle : collections)
    problems += "collection open " + std::to_string(handle) + "\n";
  for (const auto& note : notes) problems += "note open " + std::to_string(note.second->id) + "\n";
  for (const auto& batch : memory)
    problems += "memory not freed " + std::to_string(batch.first) + "\n";
  for (const std::string& misuse : misuses) problems += "misuse: " + misuse + "\n";
  return problems;
}
