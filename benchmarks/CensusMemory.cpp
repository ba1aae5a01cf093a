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
#include "FloorWalk.h"
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

// A census's calls for every note, whatever it holds: the walk of "calls".
const NoteCalls& EveryCall(NoteId) {
  static const NoteCalls every{true, true};
  return every;
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
    result = WalkFloor(EveryCall);
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
