// Loading the Notes C library and binding its entry points into NotesApi.
#pragma once

#include <string>

#include "NotesApi.h"

enum class NotesLibraryLoad {
  Bound,              // every entry point is in NotesApi
  LibraryNotFound,    // the library could not be loaded
  EntryPointMissing,  // the library lacks an entry point; it has been freed again
};

// Makes the Notes or Domino program directory named in the registry the
// process's DLL search directory, so that the library and the libraries it
// depends on load from there. When no installation key exists, or the
// directory cannot be set, it says so on standard output and the run goes on:
// the load that follows decides. Its platform calls go through DirectoryApi
// (DirectoryApi.h); where that table is empty, as where there is no registry,
// it does nothing.
void LocateNotesDirectory();

// Loads the Notes library along the process's library search path and
// resolves every entry point by its exported name, in table order. All are
// looked up before any is tested. On success the library stays loaded for the
// life of the process.
NotesLibraryLoad LoadNotesLibrary();

// Where the bound library came from, for a run's evidence.
struct NotesLibraryOrigin {
  // Its full file name as the platform reports it; empty when none is bound.
  std::string file;
  // "HKLM\SOFTWARE\..." when the library lies in the directory that key's
  // "Path" names; empty when the default search found it.
  std::string key;
};
NotesLibraryOrigin FindNotesLibraryOrigin();
