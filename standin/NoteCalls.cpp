// Notes and their text items.
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include "CallLog.h"
#include "Exports.h"
#include "Session.h"
#include "Status.h"

using namespace standin;

namespace {
// The data type NSFItemInfo reports: every stand-in item is text.
constexpr std::uint16_t kItemTypeText = 0x0500;
}  // namespace

// Any open flags are served: every item of a stand-in note is a summary item.
extern "C" Status NSFNoteOpen(DbHandle database, NoteId noteId, std::uint16_t flags,
                              NoteHandle* note) {
  LogCall("NSFNoteOpen");
  return Guarded<Status>(kStatusNoMemory, [&]() -> Status {
    Session& session = TheSession();
    std::this_thread::sleep_for(session.noteDelay);
    const Fault* fault = session.faults.Call(FaultPoint::kNSFNoteOpen, noteId);
    session.ExpectNumber(flags == kSummaryOnly, "NSFNoteOpen", "flags", flags, 4, "0x0001");
    session.ExpectNull(false, note, "NSFNoteOpen", "note output");
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

extern "C" Status NSFNoteClose(NoteHandle note) {
  LogCall("NSFNoteClose");
  return Guarded<Status>(kStatusNoMemory, [&]() -> Status {
    Session& session = TheSession();
    if (session.Find(session.notes, note, "NSFNoteClose") == nullptr) return kStatusInvalidHandle;
    session.notes.erase(note);
    return 0;
  });
}

extern "C" std::uint16_t NSFItemGetText(NoteHandle note, const char* itemName, char* text,
                                        std::uint16_t size) {
  LogCall("NSFItemGetText");
  return Guarded<std::uint16_t>(0, [&]() -> std::uint16_t {
    Session& session = TheSession();
    const char* call = "NSFItemGetText";
    session.ExpectNull(false, itemName, call, "item name");
    session.ExpectNull(false, text, call, "text buffer");
    session.ExpectNumber(size == kItemTextSize, call, "size", size, 0, "260");
    CopyText("", text, size);
    OpenNote* open = session.Find(session.notes, note, call);
    if (open == nullptr || itemName == nullptr) return 0;
    const Item* item = open->directory->FindItem(*open->note, itemName);
    return item != nullptr ? session.WriteText(open->directory->Value(*item), text, size) : 0;
  });
}

// The name's first nameLength bytes are looked up. Of the optional outputs
// only the data type and the value length are written; the tool asks for
// none of the four.
extern "C" Status NSFItemInfo(NoteHandle note, const char* itemName, std::uint16_t nameLength,
                              void* itemBlock, std::uint16_t* dataType, void* valueBlock,
                              std::uint32_t* valueLength) {
  LogCall("NSFItemInfo");
  return Guarded<Status>(kStatusNoMemory, [&]() -> Status {
    Session& session = TheSession();
    const char* call = "NSFItemInfo";
    session.ExpectNull(false, itemName, call, "item name");
    if (itemName != nullptr && nameLength != std::strlen(itemName)) {
      session.Expect(false, call, "name length", std::to_string(nameLength),
                     ("the name's length " + std::to_string(std::strlen(itemName))).c_str());
    }
    session.ExpectNull(true, itemBlock, call, "item block output");
    session.ExpectNull(true, dataType, call, "data type output");
    session.ExpectNull(true, valueBlock, call, "value block output");
    session.ExpectNull(true, valueLength, call, "value length output");
    OpenNote* open = session.Find(session.notes, note, call);
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
