// census_memory: the heap a walk of "Mail Users" needs beyond the directory
// the stand-in has loaded, with the stand-in runtime in-process.
//
//   census_memory census|calls DIRECTORY
//
// "census" runs the tool's CountMailboxes; "calls" makes the stand-in calls a
// census makes (every note opened, MailServer, $REF and MailFile asked for)
// and nothing else: the stand-in's own share of a walk. Every operator new and
// delete of the process is accounted here, byte for byte (the stand-in and
// the standard library allocate through them; the census itself keeps its
// buffers on the stack). Right after the stand-in has read names.nsf the peak
// starts again from what is in use, so the peak printed at the end is what
// the walk added. Resident-set counters are no help at this scale: the
// kernel keeps them per CPU and reads them approximately.
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>

#include "Census.h"
#include "StandInBinding.h"

namespace {

std::size_t inUse = 0;
std::size_t peak = 0;

void* Allocate(std::size_t size) {
  void* memory = std::malloc(size != 0 ? size : 1);
  if (memory == nullptr) std::abort();  // no handler: this probe cannot go on without memory
  inUse += malloc_usable_size(memory);
  if (inUse > peak) peak = inUse;
  return memory;
}

void Release(void* memory) {
  if (memory == nullptr) return;
  inUse -= malloc_usable_size(memory);
  std::free(memory);
}

std::size_t inUseAfterLoad = 0;
bool loaded = false;

// NSFDbOpen as the census sees it: the stand-in's, then the peak starts again
// from what is in use.
NotesStatus OpenAndResetPeak(const char* path, DbHandle* database) {
  const NotesStatus status = ::NSFDbOpen(path, database);
  inUseAfterLoad = peak = inUse;
  loaded = status == 0;
  return status;
}

// The stand-in in the tool's table, with NSFDbOpen wrapped.
void BindStandInMeasured() {
  BindStandIn(NotesApi);
  NotesApi.NSFDbOpen = OpenAndResetPeak;
}

// The stand-in calls of a census, made for every note, without the census.
std::uint32_t WalkCalls() {
  char text[260];
  std::uint32_t notes = 0;
  DbHandle database = 0;
  NoteId viewId = 0;
  CollectionHandle collection = 0;
  if (NotesApi.NSFDbOpen("names.nsf", &database) != 0) return 0;
  NotesApi.NIFFindDesignNoteExt(database, "Mail Users", kNoteClassView, "-G40n^", &viewId, 0);
  NotesApi.NIFOpenCollection(database, database, viewId, 0, 0, &collection, nullptr, nullptr,
                             nullptr, nullptr);
  CollectionPosition position{};
  std::uint16_t signalFlags = 0;
  do {
    MemHandle buffer = 0;
    std::uint16_t length = 0;
    std::uint32_t returned = 0;
    NotesApi.NIFReadEntries(collection, &position, kNavigateNext, 1, kNavigateNext, kReadAllThatFit,
                            kReadMaskNoteId, &buffer, &length, nullptr, &returned, &signalFlags);
    if (buffer == 0) break;
    const NoteId* noteIds = static_cast<const NoteId*>(NotesApi.OSLockObject(buffer));
    for (std::uint32_t i = 0; i < returned; ++i) {
      NoteHandle note = 0;
      if (NotesApi.NSFNoteOpen(database, noteIds[i], kNoteOpenSummary, &note) != 0) continue;
      NotesApi.NSFItemGetText(note, "MailServer", text, sizeof text);
      NotesApi.NSFItemInfo(note, "$REF", 4, nullptr, nullptr, nullptr, nullptr);
      NotesApi.NSFItemGetText(note, "MailFile", text, sizeof text);
      NotesApi.NSFNoteClose(note);
      ++notes;
    }
    NotesApi.OSUnlockObject(buffer);
    NotesApi.OSMemFree(buffer);
  } while (signalFlags & kSignalMoreToDo);
  NotesApi.NIFCloseCollection(collection);
  NotesApi.NSFDbClose(database);
  return notes;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { Release(memory); }
void operator delete[](void* memory) noexcept { Release(memory); }
void operator delete(void* memory, std::size_t) noexcept { Release(memory); }
void operator delete[](void* memory, std::size_t) noexcept { Release(memory); }

int main(int argc, char** argv) {
  const bool census = argc == 3 && std::strcmp(argv[1], "census") == 0;
  const bool calls = argc == 3 && std::strcmp(argv[1], "calls") == 0;
  if (!census && !calls) {
    std::fputs("usage: census_memory census|calls DIRECTORY\n", stderr);
    return 2;
  }
  std::error_code error;
  std::filesystem::current_path(argv[2], error);
  if (error) {
    std::fprintf(stderr, "census_memory: cannot enter %s\n", argv[2]);
    return 1;
  }
  BindStandInMeasured();
  if (NotesApi.NotesInitExtended(argc, argv) != 0) {
    std::fputs("census_memory: the stand-in did not start\n", stderr);
    return 1;
  }
  std::uint32_t result = 0;
  bool ok = true;
  if (census) {
    char server[260] = {};
    NotesApi.OSGetEnvironmentString("MailServer", server, sizeof server);
    ok = CountMailboxes(server, result, false, false);
  } else {
    result = WalkCalls();
  }
  const std::size_t walkPeak = peak - inUseAfterLoad;
  NotesApi.NotesTerm();
  if (!ok || !loaded) {
    std::fputs("census_memory: the walk failed\n", stderr);
    return 1;
  }
  std::printf("%s=%u heap_after_load_bytes=%zu walk_heap_peak_bytes=%zu\n",
              census ? "counted" : "notes_walked", result, inUseAfterLoad, walkPeak);
  return 0;
}
