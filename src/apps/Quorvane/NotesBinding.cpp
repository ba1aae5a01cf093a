#include "NotesBinding.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

NotesApiTable NotesApi{};

namespace {

// Every entry point passes through this type between lookup and the table.
using AnyFunction = void (*)(void);

constexpr const char* kEntryPointNames[] = {
#define NOTES_ENTRY_POINT_NAME(result, name, parameters) #name,
    NOTES_ENTRY_POINTS(NOTES_ENTRY_POINT_NAME)
#undef NOTES_ENTRY_POINT_NAME
};
static_assert(sizeof(kEntryPointNames) / sizeof(kEntryPointNames[0]) == kNotesEntryPointCount,
              "one name per entry point");

#if defined(_WIN32)
using LibraryHandle = HMODULE;
LibraryHandle OpenLibrary() { return LoadLibraryW(L"nnotes.dll"); }
AnyFunction FindEntryPoint(LibraryHandle library, const char* name) {
  return reinterpret_cast<AnyFunction>(GetProcAddress(library, name));
}
void CloseLibrary(LibraryHandle library) { FreeLibrary(library); }
#else
using LibraryHandle = void*;
LibraryHandle OpenLibrary() { return dlopen("libnnotes.so", RTLD_NOW | RTLD_LOCAL); }
AnyFunction FindEntryPoint(LibraryHandle library, const char* name) {
  return reinterpret_cast<AnyFunction>(dlsym(library, name));
}
void CloseLibrary(LibraryHandle library) { dlclose(library); }
#endif

}  // namespace

NotesLibraryLoad LoadNotesLibrary() {
  LibraryHandle library = OpenLibrary();
  if (!library) return NotesLibraryLoad::LibraryNotFound;

  AnyFunction resolved[kNotesEntryPointCount];
  for (int i = 0; i < kNotesEntryPointCount; ++i) {
    resolved[i] = FindEntryPoint(library, kEntryPointNames[i]);
  }
  for (AnyFunction function : resolved) {
    if (!function) {
      CloseLibrary(library);
      return NotesLibraryLoad::EntryPointMissing;
    }
  }

  int next = 0;
#define NOTES_BIND_ENTRY_POINT(result, name, parameters) \
  NotesApi.name = reinterpret_cast<decltype(NotesApi.name)>(resolved[next++]);
  NOTES_ENTRY_POINTS(NOTES_BIND_ENTRY_POINT)
#undef NOTES_BIND_ENTRY_POINT
  return NotesLibraryLoad::Bound;
}
