// Notes and their text items.
#include <string_view>

#include "Exports.h"
#include "Session.h"
#include "Status.h"

using namespace standin;

namespace {
// The data type NSFItemInfo reports: every stand-in item is text.
constexpr std::uint16_t kItemTypeText = 0x0500;
}  // namespace

extern "C" NotesStatus NSFNoteOpen(DbHandle database, NoteId noteId, std::uint16_t /*flags*/,
                                   NoteHandle* note) {
  return Guarded<NotesStatus>(kStatusNoMemory, [&]() -> NotesStatus {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kNSFNoteOpen, noteId);
    if (note != nullptr) *note = 0;
    OpenDatabase* open = session.Find(session.databases, database, "NSFNoteOpen");
    if (open == nullptr) return kStatusInvalidHandle;
    if (note == nullptr) return kStatusInvalidArgument;
    if (fault != nullptr) return fault->status;
    const Note* found = open->directory->FindNote(noteId);
    if (found == nullptr || found->unopenable) return kStatusNoteNotOpenable;
    *note = session.NewHandle(HandleKind::kNote);
    session.notes[*note] = {found, open->directory};
    return 0;
  });
}

extern "C" NotesStatus NSFNoteClose(NoteHandle note) {
  return Guarded<NotesStatus>(kStatusNoMemory, [&]() -> NotesStatus {
    Session& session = TheSession();
    if (session.Find(session.notes, note, "NSFNoteClose") == nullptr) return kStatusInvalidHandle;
    session.notes.erase(note);
    return 0;
  });
}

extern "C" std::uint16_t NSFItemGetText(NoteHandle note, const char* itemName, char* text,
                                        std::uint16_t size) {
  return Guarded<std::uint16_t>(0, [&]() -> std::uint16_t {
    Session& session = TheSession();
    CopyText("", text, size);
    OpenNote* open = session.Find(session.notes, note, "NSFItemGetText");
    if (open == nullptr || itemName == nullptr) return 0;
    const Item* item = open->directory->FindItem(*open->note, itemName);
    return item != nullptr ? CopyText(open->directory->Value(*item), text, size) : 0;
  });
}

extern "C" NotesStatus NSFItemInfo(NoteHandle note, const char* itemName, std::uint16_t nameLength,
                                   void* /*itemBlock*/, std::uint16_t* dataType,
                                   void* /*valueBlock*/, std::uint32_t* valueLength) {
  return Guarded<NotesStatus>(kStatusNoMemory, [&]() -> NotesStatus {
    Session& session = TheSession();
    OpenNote* open = session.Find(session.notes, note, "NSFItemInfo");
    if (open == nullptr) return kStatusInvalidHandle;
    if (itemName == nullptr && nameLength != 0) return kStatusInvalidArgument;
    const std::string_view name = nameLength != 0 ? std::string_view(itemName, nameLength) : "";
    const Item* item = open->directory->FindItem(*open->note, name);
    if (item == nullptr) return kStatusItemNotFound;
    if (dataType != nullptr) *dataType = kItemTypeText;
    if (valueLength != nullptr) *valueLength = item->valueLength;
    return 0;
  });
}
