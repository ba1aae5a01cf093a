#include "SyntheticNotes.h"

#include <cstring>

const char kSyntheticServer[] = "CN=Mail01/O=Acme";

namespace {

constexpr DbHandle kDatabase = 0x5A00010000000001;
constexpr CollectionHandle kCollection = 1;
constexpr NoteId kViewId = 0xFFFF0004;
constexpr MemHandle kBatchMemory = 0x5A00030000000001;
constexpr NoteHandle kNoteTag = 0x5A00020000000000;
constexpr std::uint32_t kBatchSize = 16384;
constexpr std::uint16_t kStatusFailed = 0x0105;
constexpr std::uint16_t kStatusItemNotFound = 0x0106;

struct Item {
  const char* name;
  std::uint16_t nameLength;
  const char* value;
  std::uint16_t valueLength;
};

#define SYNTHETIC_ITEM(name, value) \
  { name, sizeof name - 1, value, sizeof value - 1 }

// The shapes notes come in; a note's shape is its index modulo the count.
// Three of eight are mailboxes, as the census decides them.
struct Shape {
  Item items[7];
  std::uint32_t itemCount;
  bool openable;
  NoteCalls calls;
};

// clang-format off
const Shape kShapes[] = {
    {{SYNTHETIC_ITEM("FirstName", "Ann"), SYNTHETIC_ITEM("LastName", "Archer"),
      SYNTHETIC_ITEM("FullName", "CN=Ann Archer/O=Acme"),
      SYNTHETIC_ITEM("MailServer", "CN=Mail01/O=Acme"),
      SYNTHETIC_ITEM("MailFile", "mail\\aarcher.nsf"), SYNTHETIC_ITEM("MailDomain", "Acme")},
     6, true, {true, true}},
    {{SYNTHETIC_ITEM("FirstName", "Bo"), SYNTHETIC_ITEM("LastName", "Baker"),
      SYNTHETIC_ITEM("MailFile", "mail\\bbaker.nsf"),
      SYNTHETIC_ITEM("MailServer", "CN=Mail01/O=Acme"), SYNTHETIC_ITEM("MailDomain", "Acme")},
     5, true, {true, true}},
    {{SYNTHETIC_ITEM("FirstName", "Carla"), SYNTHETIC_ITEM("LastName", "Cho"),
      SYNTHETIC_ITEM("MailServer", "CN=Mail02/O=Acme"),
      SYNTHETIC_ITEM("MailFile", "mail\\ccho.nsf"), SYNTHETIC_ITEM("MailDomain", "Acme")},
     5, true, {false, false}},
    {{SYNTHETIC_ITEM("FirstName", "Dev"), SYNTHETIC_ITEM("LastName", "Diaz"),
      SYNTHETIC_ITEM("MailServer", "CN=Mail01/O=Acme"),
      SYNTHETIC_ITEM("MailFile", "mail\\ddiaz.nsf"), SYNTHETIC_ITEM("$REF", "0001A2B4")},
     5, true, {true, false}},
    {{SYNTHETIC_ITEM("FirstName", "Emeka"), SYNTHETIC_ITEM("LastName", "Evans"),
      SYNTHETIC_ITEM("FullName", "CN=Emeka Evans/O=Acme"),
      SYNTHETIC_ITEM("MailServer", "CN=Mail01/O=Acme"),
      SYNTHETIC_ITEM("MailFile", "mail\\eevans-with-a-longer-name.nsf"),
      SYNTHETIC_ITEM("MailDomain", "Acme"), SYNTHETIC_ITEM("Comment", "moved in March")},
     7, true, {true, true}},
    {{SYNTHETIC_ITEM("FirstName", "Fatima"), SYNTHETIC_ITEM("LastName", "Fox"),
      SYNTHETIC_ITEM("MailServer", "cn=mail01/o=acme"),
      SYNTHETIC_ITEM("MailFile", "mail\\ffox.nsf")},
     4, true, {false, false}},
    {{SYNTHETIC_ITEM("FirstName", "Gus"), SYNTHETIC_ITEM("LastName", "Garcia"),
      SYNTHETIC_ITEM("MailServer", "CN=Mail01/O=Acme"), SYNTHETIC_ITEM("MailDomain", "Acme")},
     4, true, {true, true}},
    {{SYNTHETIC_ITEM("FirstName", "Hana"), SYNTHETIC_ITEM("LastName", "Holm"),
      SYNTHETIC_ITEM("MailServer", "CN=Mail01/O=Acme"),
      SYNTHETIC_ITEM("MailFile", "mail\\hholm.nsf")},
     4, false, {false, false}},
};
// clang-format on
constexpr std::uint32_t kShapeCount = sizeof kShapes / sizeof kShapes[0];
#undef SYNTHETIC_ITEM

std::uint32_t noteCount = 0;
NoteId batch[kBatchSize];

// The shape of an open note, or null for a handle that is none.
const Shape* ShapeOf(NoteHandle note) {
  if ((note & ~NoteHandle{0xFFFFFFFF}) != kNoteTag) return nullptr;
  const NoteId id = static_cast<NoteId>(note);
  return &kShapes[(id / 4 - 1) % kShapeCount];
}

bool SameName(const Item& item, const char* name, std::size_t length) {
  if (item.nameLength != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    const char a = item.name[i], b = name[i];
    if (a != b && (a | 0x20) != (b | 0x20)) return false;
  }
  return true;
}

const Item* FindItem(const Shape& shape, const char* name, std::size_t length) {
  for (std::uint32_t i = 0; i < shape.itemCount; ++i) {
    if (SameName(shape.items[i], name, length)) return &shape.items[i];
  }
  return nullptr;
}

NotesStatus SyntheticInit(int, char**) { return 0; }
void SyntheticTerm() {}

NotesStatus SyntheticDbOpen(const char*, DbHandle* database) {
  *database = kDatabase;
  return 0;
}
NotesStatus SyntheticDbClose(DbHandle database) {
  return database == kDatabase ? 0 : kStatusFailed;
}

NotesStatus SyntheticFindView(DbHandle, const char* name, std::uint16_t, const char*,
                              NoteId* noteId, std::uint32_t) {
  if (std::strcmp(name, "Mail Users") != 0) return kStatusFailed;
  *noteId = kViewId;
  return 0;
}

NotesStatus SyntheticOpenCollection(DbHandle, DbHandle, NoteId viewNoteId, std::uint16_t,
                                    UnreadList, CollectionHandle* collection, NoteHandle* viewNote,
                                    void*, MemHandle* collapsedList, MemHandle* selectedList) {
  if (viewNoteId != kViewId) return kStatusFailed;
  *collection = kCollection;
  if (viewNote != nullptr) *viewNote = 0;
  if (collapsedList != nullptr) *collapsedList = 0;
  if (selectedList != nullptr) *selectedList = 0;
  return 0;
}
NotesStatus SyntheticCloseCollection(CollectionHandle collection) {
  return collection == kCollection ? 0 : kStatusFailed;
}

NotesStatus SyntheticReadEntries(CollectionHandle, CollectionPosition* position, std::uint16_t,
                                 std::uint32_t skipCount, std::uint16_t, std::uint32_t returnCount,
                                 std::uint32_t, MemHandle* buffer, std::uint16_t* bufferLength,
                                 std::uint32_t* skipped, std::uint32_t* returned,
                                 std::uint16_t* signalFlags) {
  // Tumbler[0] is the 1-based index of the last entry read.
  const std::uint32_t first = position->Tumbler[0] + skipCount;  // 1-based
  std::uint32_t count = 0;
  if (first >= 1 && first <= noteCount) {
    count = noteCount - first + 1;
    if (count > returnCount) count = returnCount;
    if (count > kBatchSize) count = kBatchSize;
  }
  for (std::uint32_t i = 0; i < count; ++i) batch[i] = 4 * (first + i);
  if (count != 0) position->Tumbler[0] = first + count - 1;
  if (buffer != nullptr) *buffer = count != 0 ? kBatchMemory : 0;
  if (bufferLength != nullptr) *bufferLength = static_cast<std::uint16_t>(count * sizeof(NoteId));
  if (skipped != nullptr) *skipped = 0;
  if (returned != nullptr) *returned = count;
  if (signalFlags != nullptr) {
    *signalFlags = count != 0 && position->Tumbler[0] < noteCount ? kSignalMoreToDo : 0;
  }
  return 0;
}

void* SyntheticLock(MemHandle memory) { return memory == kBatchMemory ? batch : nullptr; }
NotesBool SyntheticUnlock(MemHandle memory) { return memory == kBatchMemory; }
NotesStatus SyntheticMemFree(MemHandle memory) {
  return memory == kBatchMemory ? 0 : kStatusFailed;
}

NotesStatus SyntheticNoteOpen(DbHandle database, NoteId noteId, std::uint16_t, NoteHandle* note) {
  *note = 0;
  if (database != kDatabase || noteId % 4 != 0 || noteId == 0 || noteId / 4 > noteCount) {
    return kStatusFailed;
  }
  if (!kShapes[(noteId / 4 - 1) % kShapeCount].openable) return kStatusFailed;
  *note = kNoteTag | noteId;
  return 0;
}
NotesStatus SyntheticNoteClose(NoteHandle note) {
  return ShapeOf(note) != nullptr ? 0 : kStatusFailed;
}

std::uint16_t SyntheticItemGetText(NoteHandle note, const char* itemName, char* text,
                                   std::uint16_t size) {
  if (size == 0) return 0;
  text[0] = '\0';
  const Shape* shape = ShapeOf(note);
  if (shape == nullptr) return 0;
  const Item* item = FindItem(*shape, itemName, std::strlen(itemName));
  if (item == nullptr) return 0;
  const std::uint16_t length = item->valueLength < size ? item->valueLength : size - 1;
  std::memcpy(text, item->value, length);
  text[length] = '\0';
  return length;
}

NotesStatus SyntheticItemInfo(NoteHandle note, const char* itemName, std::uint16_t nameLength,
                              void*, std::uint16_t* dataType, void*, std::uint32_t* valueLength) {
  const Shape* shape = ShapeOf(note);
  if (shape == nullptr) return kStatusFailed;
  const Item* item = FindItem(*shape, itemName, nameLength);
  if (item == nullptr) return kStatusItemNotFound;
  if (dataType != nullptr) *dataType = 0x0500;
  if (valueLength != nullptr) *valueLength = item->valueLength;
  return 0;
}

NotesBool SyntheticEnvironment(const char*, char* text, std::uint16_t size) {
  if (size == 0) return 0;
  std::strncpy(text, kSyntheticServer, size - 1);
  text[size - 1] = '\0';
  return 1;
}

std::uint16_t SyntheticLoadString(void*, NotesStatus, char* text, std::uint16_t size) {
  if (size != 0) text[0] = '\0';
  return 0;
}

}  // namespace

void InstallSyntheticNotes(std::uint32_t notes) {
  noteCount = notes;
  NotesApi.NotesInitExtended = SyntheticInit;
  NotesApi.NSFDbOpen = SyntheticDbOpen;
  NotesApi.NSFDbClose = SyntheticDbClose;
  NotesApi.NotesTerm = SyntheticTerm;
  NotesApi.NSFNoteClose = SyntheticNoteClose;
  NotesApi.OSGetEnvironmentString = SyntheticEnvironment;
  NotesApi.OSLoadString = SyntheticLoadString;
  NotesApi.OSUnlockObject = SyntheticUnlock;
  NotesApi.OSLockObject = SyntheticLock;
  NotesApi.OSMemFree = SyntheticMemFree;
  NotesApi.NSFItemGetText = SyntheticItemGetText;
  NotesApi.NSFNoteOpen = SyntheticNoteOpen;
  NotesApi.NIFOpenCollection = SyntheticOpenCollection;
  NotesApi.NIFCloseCollection = SyntheticCloseCollection;
  NotesApi.NIFReadEntries = SyntheticReadEntries;
  NotesApi.NIFFindDesignNoteExt = SyntheticFindView;
  NotesApi.NSFItemInfo = SyntheticItemInfo;
}

std::uint32_t SyntheticMailboxes(std::uint32_t notes) {
  std::uint32_t mailboxes = 0;
  for (std::uint32_t shape = 0; shape < kShapeCount; ++shape) {
    if (!kShapes[shape].calls.readsMailFile || FindItem(kShapes[shape], "MailFile", 8) == nullptr) {
      continue;
    }
    // Notes with this shape among the first `notes`: indexes shape, shape + 8, ...
    mailboxes += notes / kShapeCount + (shape < notes % kShapeCount ? 1 : 0);
  }
  return mailboxes;
}

const NoteCalls& SyntheticNoteCalls(NoteId noteId) {
  return kShapes[(noteId / 4 - 1) % kShapeCount].calls;
}
