// The seventeen entry points as the stand-in exports them. The declarations
// are expanded from the tool's own list, so each call shape is written once.
#pragma once

#include "NotesApi.h"

#if defined(_WIN32)
#define STANDIN_EXPORT __declspec(dllexport)
#else
#define STANDIN_EXPORT __attribute__((visibility("default")))
#endif

#define STANDIN_DECLARE_EXPORT(result, name, parameters) \
  extern "C" STANDIN_EXPORT result name parameters;
NOTES_ENTRY_POINTS(STANDIN_DECLARE_EXPORT)
#undef STANDIN_DECLARE_EXPORT
