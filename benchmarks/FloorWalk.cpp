#include "FloorWalk.h"

std::uint32_t WalkFloor(const NoteCalls& (*calls)(NoteId)) {
  constexpr std::uint16_t kTextSize = 260;
  char text[kTextSize];
  std::uint32_t mailFilesRead = 0;

  DbHandle database = 0;
  NotesApi.NSFDbOpen("names.nsf", &database);
  NoteId viewId = 0;
  NotesApi.NIFFindDesignNoteExt(database, "Mail Users", kNoteClassView, "-G40n^", &viewId, 0);
  CollectionHandle collection = 0;
  NotesApi.NIFOpenCollection(database, database, viewId, 0, 0, &collection, nullptr, nullptr,
                             nullptr, nullptr);
  CollectionPosition position{};
  std::uint16_t signalFlags = 0;
  do {
    MemHandle buffer = 0;
    std::uint16_t bufferLength = 0;
    std::uint32_t returned = 0;
    NotesApi.NIFReadEntries(collection, &position, kNavigateNext, 1, kNavigateNext, kReadAllThatFit,
                            kReadMaskNoteId, &buffer, &bufferLength, nullptr, &returned,
                            &signalFlags);
    if (buffer == 0) break;
    const NoteId* noteIds = static_cast<const NoteId*>(NotesApi.OSLockObject(buffer));
    for (std::uint32_t i = 0; i < returned; ++i) {
      NoteHandle note = 0;
      if (NotesApi.NSFNoteOpen(database, noteIds[i], kNoteOpenSummary, &note) != 0) continue;
      NotesApi.NSFItemGetText(note, "MailServer", text, kTextSize);
      const NoteCalls& next = calls(noteIds[i]);
      if (next.asksResponse) {
        NotesApi.NSFItemInfo(note, "$REF", 4, nullptr, nullptr, nullptr, nullptr);
        if (next.readsMailFile) {
          NotesApi.NSFItemGetText(note, "MailFile", text, kTextSize);
          ++mailFilesRead;
        }
      }
      NotesApi.NSFNoteClose(note);
    }
    NotesApi.OSUnlockObject(buffer);
    NotesApi.OSMemFree(buffer);
  } while (signalFlags & kSignalMoreToDo);
  NotesApi.NIFCloseCollection(collection);
  NotesApi.NSFDbClose(database);
  return mailFilesRead;
}
