// The seventeen entry points the stand-in exports, one prototype each in the
// stand-in's own types, in the order the tool resolves them.
#pragma once

#include <cstdint>

#include "LibraryTypes.h"

#if defined(_WIN32)
#define STANDIN_EXPORT __declspec(dllexport)
#else
#define STANDIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

STANDIN_EXPORT standin::Status NotesInitExtended(int argc, char** argv);
STANDIN_EXPORT standin::Status NSFDbOpen(const char* path, standin::DbHandle* database);
STANDIN_EXPORT standin::Status NSFDbClose(standin::DbHandle database);
STANDIN_EXPORT void NotesTerm(void);
STANDIN_EXPORT standin::Status NSFNoteClose(standin::NoteHandle note);
STANDIN_EXPORT standin::Bool OSGetEnvironmentString(const char* name, char* text,
                                                    std::uint16_t size);
STANDIN_EXPORT std::uint16_t OSLoadString(void* module, standin::Status stringNumber, char* text,
                                          std::uint16_t size);
STANDIN_EXPORT standin::Bool OSUnlockObject(standin::MemHandle memory);
STANDIN_EXPORT void* OSLockObject(standin::MemHandle memory);
STANDIN_EXPORT standin::Status OSMemFree(standin::MemHandle memory);
STANDIN_EXPORT std::uint16_t NSFItemGetText(standin::NoteHandle note, const char* itemName,
                                            char* text, std::uint16_t size);
STANDIN_EXPORT standin::Status NSFNoteOpen(standin::DbHandle database, standin::NoteId noteId,
                                           std::uint16_t flags, standin::NoteHandle* note);
STANDIN_EXPORT standin::Status NIFOpenCollection(
    standin::DbHandle viewDatabase, standin::DbHandle dataDatabase, standin::NoteId viewNoteId,
    std::uint16_t flags, standin::UnreadList unreadList, standin::CollectionHandle* collection,
    standin::NoteHandle* viewNote, void* viewUnid, standin::MemHandle* collapsedList,
    standin::MemHandle* selectedList);
STANDIN_EXPORT standin::Status NIFCloseCollection(standin::CollectionHandle collection);
STANDIN_EXPORT standin::Status NIFReadEntries(standin::CollectionHandle collection,
                                              standin::ReadPosition* position,
                                              std::uint16_t skipNavigator, std::uint32_t skipCount,
                                              std::uint16_t returnNavigator,
                                              std::uint32_t returnCount, std::uint32_t returnMask,
                                              standin::MemHandle* buffer,
                                              std::uint16_t* bufferLength, std::uint32_t* skipped,
                                              std::uint32_t* returned, std::uint16_t* signalFlags);
STANDIN_EXPORT standin::Status NIFFindDesignNoteExt(standin::DbHandle database, const char* name,
                                                    std::uint16_t noteClass,
                                                    const char* flagsPattern,
                                                    standin::NoteId* noteId, std::uint32_t options);
STANDIN_EXPORT standin::Status NSFItemInfo(standin::NoteHandle note, const char* itemName,
                                           std::uint16_t nameLength, void* itemBlock,
                                           std::uint16_t* dataType, void* valueBlock,
                                           std::uint32_t* valueLength);

}  // extern "C"
