// Databases, the view lookup and collections with their reads.
#include <algorithm>
#include <cstring>

#include "Exports.h"
#include "Session.h"
#include "Status.h"

using namespace standin;

namespace {
// The design-note pattern that selects views.
constexpr const char* kViewPattern = "-G40n^";
}  // namespace

extern "C" NotesStatus NSFDbOpen(const char* path, DbHandle* database) {
  return Guarded<NotesStatus>(kStatusNoMemory, [&]() -> NotesStatus {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kNSFDbOpen);
    if (database != nullptr) *database = 0;
    if (!session.initialized()) return kStatusNotInitialized;
    if (path == nullptr || database == nullptr) return kStatusInvalidArgument;
    if (fault != nullptr) return fault->status;
    std::shared_ptr<const Directory> directory;
    const NotesStatus status = Directory::Load(session.dataDirectory / path, path, directory);
    if (status != 0) return status;
    *database = session.NewHandle(HandleKind::kDatabase);
    session.databases[*database] = {path, std::move(directory)};
    return 0;
  });
}

// A failing close still releases the database: the call failed, but the
// object is gone, so a fault here leaves no leak behind.
extern "C" NotesStatus NSFDbClose(DbHandle database) {
  return Guarded<NotesStatus>(kStatusNoMemory, [&]() -> NotesStatus {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kNSFDbClose);
    if (session.Find(session.databases, database, "NSFDbClose") == nullptr) {
      return kStatusInvalidHandle;
    }
    session.databases.erase(database);
    return fault != nullptr ? fault->status : 0;
  });
}

extern "C" NotesStatus NIFFindDesignNoteExt(DbHandle database, const char* name,
                                            std::uint16_t noteClass, const char* flagsPattern,
                                            NoteId* noteId, std::uint32_t /*options*/) {
  return Guarded<NotesStatus>(kStatusNoMemory, [&]() -> NotesStatus {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kNIFFindDesignNoteExt);
    if (noteId != nullptr) *noteId = 0;
    OpenDatabase* open = session.Find(session.databases, database, "NIFFindDesignNoteExt");
    if (open == nullptr) return kStatusInvalidHandle;
    if (name == nullptr || noteId == nullptr || noteClass != kNoteClassView ||
        flagsPattern == nullptr || std::strcmp(flagsPattern, kViewPattern) != 0) {
      session.Misuse("NIFFindDesignNoteExt of class " + Hex(noteClass, 4) + " pattern \"" +
                     (flagsPattern != nullptr ? flagsPattern : "(null)") + "\"" +
                     (name != nullptr && noteId != nullptr ? "" : " without a name or output") +
                     "; only views (class 0x0008, pattern \"-G40n^\") are served");
      return kStatusInvalidArgument;
    }
    if (fault != nullptr) return fault->status;
    const View* view = open->directory->FindView(name);
    if (view == nullptr) return kStatusNoView;
    *noteId = view->id;
    return 0;
  });
}

extern "C" NotesStatus NIFOpenCollection(DbHandle viewDatabase, DbHandle dataDatabase,
                                         NoteId viewNoteId, std::uint16_t /*flags*/,
                                         UnreadList /*unreadList*/, CollectionHandle* collection,
                                         NoteHandle* viewNote, void* /*viewUnid*/,
                                         MemHandle* collapsedList, MemHandle* selectedList) {
  return Guarded<NotesStatus>(kStatusNoMemory, [&]() -> NotesStatus {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kNIFOpenCollection);
    for (std::uint64_t* output : {viewNote, collapsedList, selectedList}) {
      if (output != nullptr) *output = 0;
    }
    if (collection != nullptr) *collection = 0;
    OpenDatabase* open = session.Find(session.databases, viewDatabase, "NIFOpenCollection");
    if (open == nullptr ||
        session.Find(session.databases, dataDatabase, "NIFOpenCollection") == nullptr) {
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
extern "C" NotesStatus NIFCloseCollection(CollectionHandle collection) {
  return Guarded<NotesStatus>(kStatusNoMemory, [&]() -> NotesStatus {
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
extern "C" NotesStatus NIFReadEntries(CollectionHandle collection, CollectionPosition* position,
                                      std::uint16_t skipNavigator, std::uint32_t skipCount,
                                      std::uint16_t returnNavigator, std::uint32_t returnCount,
                                      std::uint32_t returnMask, MemHandle* buffer,
                                      std::uint16_t* bufferLength, std::uint32_t* skipped,
                                      std::uint32_t* returned, std::uint16_t* signalFlags) {
  return Guarded<NotesStatus>(kStatusNoMemory, [&]() -> NotesStatus {
    Session& session = TheSession();
    const Fault* fault = session.faults.Call(FaultPoint::kNIFReadEntries);
    if (buffer != nullptr) *buffer = 0;
    for (std::uint16_t* output : {bufferLength, signalFlags}) {
      if (output != nullptr) *output = 0;
    }
    for (std::uint32_t* output : {skipped, returned}) {
      if (output != nullptr) *output = 0;
    }
    OpenCollection* open = session.Find(session.collections, collection, "NIFReadEntries");
    if (open == nullptr) return kStatusInvalidHandle;
    if (position == nullptr || skipNavigator != kNavigateNext || returnNavigator != kNavigateNext ||
        returnMask != kReadMaskNoteId) {
      session.Misuse("NIFReadEntries with skip navigator " + Hex(skipNavigator, 4) +
                     ", return navigator " + Hex(returnNavigator, 4) + ", mask " +
                     Hex(returnMask, 8) + (position == nullptr ? ", no position" : "") +
                     "; only navigator 0x0001 and mask 0x00000001 are served");
      return kStatusInvalidArgument;
    }
    if (fault != nullptr && !fault->memory) {
      if (signalFlags != nullptr) *signalFlags = fault->flags;
      return fault->status;
    }
    const std::uint64_t total = open->view->noteCount;
    const std::uint64_t last = position->Tumbler[0];
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
      position->Level = 0;
      position->Tumbler[0] = static_cast<std::uint32_t>(first + count - 1);
      if (bufferLength != nullptr)
        *bufferLength = static_cast<std::uint16_t>(count * sizeof(NoteId));
      if (returned != nullptr) *returned = static_cast<std::uint32_t>(count);
      if (signalFlags != nullptr && first + count - 1 < total) *signalFlags = kSignalMoreToDo;
    }
    if (fault != nullptr) {
      if (signalFlags != nullptr) *signalFlags = fault->flags;
      return fault->status;
    }
    return 0;
  });
}
