// Databases, the view lookup and collections with their reads.
#include <algorithm>
#include <cstring>

#include "CallLog.h"
#include "Exports.h"
#include "Session.h"
#include "Status.h"

using namespace standin;

extern "C" Status NSFDbOpen(const char* path, DbHandle* database) {
  LogCall("NSFDbOpen");
  return Guarded<Status>(kStatusNoMemory, [&]() -> Status {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kNSFDbOpen);
    if (database != nullptr) *database = 0;
    if (!session.initialized()) return kStatusNotInitialized;
    session.ExpectNull(false, path, "NSFDbOpen", "path");
    session.ExpectNull(false, database, "NSFDbOpen", "database output");
    if (path == nullptr || database == nullptr) return kStatusInvalidArgument;
    if (fault != nullptr) return fault->status;
    std::shared_ptr<const Directory> directory;
    const Status status = Directory::Load(session.dataDirectory / path, path, directory);
    if (status != 0) return status;
    *database = session.NewHandle(HandleKind::kDatabase);
    session.databases[*database] = {path, std::move(directory)};
    return 0;
  });
}

// A failing close still releases the database: the call failed, but the
// object is gone, so a fault here leaves no leak behind.
extern "C" Status NSFDbClose(DbHandle database) {
  LogCall("NSFDbClose");
  return Guarded<Status>(kStatusNoMemory, [&]() -> Status {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kNSFDbClose);
    if (session.Find(session.databases, database, "NSFDbClose") == nullptr) {
      return kStatusInvalidHandle;
    }
    session.databases.erase(database);
    return fault != nullptr ? fault->status : 0;
  });
}

// Only views are served: another class or pattern is 0x0108. Options other
// than 0 are recorded and otherwise ignored.
extern "C" Status NIFFindDesignNoteExt(DbHandle database, const char* name, std::uint16_t noteClass,
                                       const char* flagsPattern, NoteId* noteId,
                                       std::uint32_t options) {
  LogCall("NIFFindDesignNoteExt");
  return Guarded<Status>(kStatusNoMemory, [&]() -> Status {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kNIFFindDesignNoteExt);
    const char* call = "NIFFindDesignNoteExt";
    session.ExpectNull(false, name, call, "name");
    session.ExpectNumber(noteClass == kViewNoteClass, call, "note class", noteClass, 4, "0x0008");
    const bool viewPattern =
        flagsPattern != nullptr && std::strcmp(flagsPattern, kViewPattern) == 0;
    if (!viewPattern) {
      session.Expect(false, call, "flags pattern",
                     flagsPattern != nullptr ? "\"" + std::string(flagsPattern) + "\"" : "null",
                     "\"-G40n^\"");
    }
    session.ExpectNull(false, noteId, call, "NoteId output");
    session.ExpectNumber(options == kDesignOptions, call, "options", options, 8, "0x00000000");
    if (noteId != nullptr) *noteId = 0;
    OpenDatabase* open = session.Find(session.databases, database, call);
    if (open == nullptr) return kStatusInvalidHandle;
    if (name == nullptr || noteId == nullptr || noteClass != kViewNoteClass || !viewPattern) {
      return kStatusInvalidArgument;
    }
    if (fault != nullptr) return fault->status;
    const View* view = open->directory->FindView(name);
    if (view == nullptr) return kStatusNoView;
    *noteId = view->id;
    return 0;
  });
}

// The view is looked up in the view database. The four optional outputs are
// set to 0 when given (the view UNID is never written), and recorded: the
// tool asks for none of them.
extern "C" Status NIFOpenCollection(DbHandle viewDatabase, DbHandle dataDatabase, NoteId viewNoteId,
                                    std::uint16_t flags, UnreadList unreadList,
                                    CollectionHandle* collection, NoteHandle* viewNote,
                                    void* viewUnid, MemHandle* collapsedList,
                                    MemHandle* selectedList) {
  LogCall("NIFOpenCollection");
  return Guarded<Status>(kStatusNoMemory, [&]() -> Status {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kNIFOpenCollection);
    const char* call = "NIFOpenCollection";
    if (dataDatabase != viewDatabase) {
      session.Expect(
          false, call, "data database",
          Hex(dataDatabase, 16) + " other than the view database " + Hex(viewDatabase, 16),
          "the view database");
    }
    session.ExpectNumber(flags == kCollectionFlags, call, "flags", flags, 4, "0x0000");
    session.ExpectNumber(unreadList == kNoUnreadList, call, "unread list", unreadList, 16,
                         "0x0000000000000000");
    session.ExpectNull(false, collection, call, "collection output");
    session.ExpectNull(true, viewNote, call, "view note output");
    session.ExpectNull(true, viewUnid, call, "view UNID output");
    session.ExpectNull(true, collapsedList, call, "collapsed list output");
    session.ExpectNull(true, selectedList, call, "selected list output");
    for (std::uint64_t* output : {viewNote, collapsedList, selectedList}) {
      if (output != nullptr) *output = 0;
    }
    if (collection != nullptr) *collection = 0;
    OpenDatabase* open = session.Find(session.databases, viewDatabase, call);
    if (open == nullptr || session.Find(session.databases, dataDatabase, call) == nullptr) {
      return kStatusInvalidHandle;
    }
    if (collection == nullptr) return kStatusInvalidArgument;
    if (fault != nullptr) return fault->status;
    const View* view = open->directory->FindView(viewNoteId);
    if (view == nullptr) return kStatusNoView;
    const CollectionHandle handle = session.NewCollectionHandle();
    if (handle == 0) return kStatusNoMemory;
    session.collections[handle] = {view, open->directory};
    *collection = handle;
    return 0;
  });
}

// Like NSFDbClose, a failing close still releases the collection.
extern "C" Status NIFCloseCollection(CollectionHandle collection) {
  LogCall("NIFCloseCollection");
  return Guarded<Status>(kStatusNoMemory, [&]() -> Status {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kNIFCloseCollection);
    if (session.Find(session.collections, collection, "NIFCloseCollection") == nullptr) {
      return kStatusInvalidHandle;
    }
    session.collections.erase(collection);
    return fault != nullptr ? fault->status : 0;
  });
}

// Serves NoteIds as a server does: Tumbler[0] is the 1-based index of the last
// entry read (0 = before the first). The skip moves skipCount entries forward
// from there, and the entries from that one on are returned.
extern "C" Status NIFReadEntries(CollectionHandle collection, ReadPosition* position,
                                 std::uint16_t skipNavigator, std::uint32_t skipCount,
                                 std::uint16_t returnNavigator, std::uint32_t returnCount,
                                 std::uint32_t returnMask, MemHandle* buffer,
                                 std::uint16_t* bufferLength, std::uint32_t* skipped,
                                 std::uint32_t* returned, std::uint16_t* signalFlags) {
  LogCall("NIFReadEntries");
  return Guarded<Status>(kStatusNoMemory, [&]() -> Status {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kNIFReadEntries);
    const char* call = "NIFReadEntries";
    session.ExpectNull(false, position, call, "position");
    session.ExpectNumber(skipNavigator == kNextNavigator, call, "skip navigator", skipNavigator, 4,
                         "0x0001");
    session.ExpectNumber(skipCount == kSkipOne, call, "skip count", skipCount, 0, "1");
    session.ExpectNumber(returnNavigator == kNextNavigator, call, "return navigator",
                         returnNavigator, 4, "0x0001");
    session.ExpectNumber(returnCount == kAllThatFit, call, "return count", returnCount, 8,
                         "0xFFFFFFFF");
    session.ExpectNumber(returnMask == kNoteIdMask, call, "return mask", returnMask, 8,
                         "0x00000001");
    session.ExpectNull(false, buffer, call, "memory output");
    session.ExpectNull(false, bufferLength, call, "length output");
    session.ExpectNull(true, skipped, call, "skipped-count output");
    session.ExpectNull(false, returned, call, "returned-count output");
    session.ExpectNull(false, signalFlags, call, "signal-flags output");
    if (buffer != nullptr) *buffer = 0;
    for (std::uint16_t* output : {bufferLength, signalFlags}) {
      if (output != nullptr) *output = 0;
    }
    for (std::uint32_t* output : {skipped, returned}) {
      if (output != nullptr) *output = 0;
    }
    OpenCollection* open = session.Find(session.collections, collection, call);
    if (open == nullptr) return kStatusInvalidHandle;
    if (position == nullptr || skipNavigator != kNextNavigator ||
        returnNavigator != kNextNavigator || returnMask != kNoteIdMask) {
      return kStatusInvalidArgument;
    }
    if (fault != nullptr && !fault->memory) {
      if (signalFlags != nullptr) *signalFlags = fault->flags;
      return fault->status;
    }
    const std::uint64_t total = open->view->noteCount;
    const std::uint64_t last = position->tumbler[0];
    const std::uint64_t first = last + skipCount;  // the first entry returned
    if (skipped != nullptr)
      *skipped = static_cast<std::uint32_t>(
          std::min<std::uint64_t>(skipCount, total > last ? total - last : 0));
    std::uint64_t count = 0;
    if (first >= 1 && first <= total) {
      count =
          std::min<std::uint64_t>({returnCount, session.batchSize, kMaxBatch, total - first + 1});
    }
    if (count != 0) {
      if (buffer != nullptr) {
        Memory block;
        for (std::uint64_t entry = first; entry < first + count; ++entry) {
          block.noteIds.push_back(open->directory->NoteAt(open->view->firstNote + entry - 1).id);
        }
        const MemHandle handle = session.NewHandle(HandleKind::kMemory);
        session.memory[handle] = std::move(block);
        *buffer = handle;
      }
      position->level = 0;
      position->tumbler[0] = static_cast<std::uint32_t>(first + count - 1);
      if (bufferLength != nullptr)
        *bufferLength = static_cast<std::uint16_t>(count * sizeof(NoteId));
      if (returned != nullptr) *returned = static_cast<std::uint32_t>(count);
      if (signalFlags != nullptr && first + count - 1 < total) *signalFlags = kMoreToDo;
    }
    if (fault != nullptr) {
      if (signalFlags != nullptr) *signalFlags = fault->flags;
      return fault->status;
    }
    return 0;
  });
}
