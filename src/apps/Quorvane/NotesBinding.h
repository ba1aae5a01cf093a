// Loading the Notes C library and binding its entry points into NotesApi.
#pragma once

#include "NotesApi.h"

enum class NotesLibraryLoad {
  Bound,              // every entry point is in NotesApi
  LibraryNotFound,    // the library could not be loaded
  EntryPointMissing,  // the library lacks an entry point; it has been freed again
};

// Loads the Notes library along the process's library search path and
// resolves every entry point by its exported name, in table order. All are
// looked up before any is tested. On success the library stays loaded for the
// life of the process.
NotesLibraryLoad LoadNotesLibrary();
