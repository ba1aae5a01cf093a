// NotesInitExtended, NotesTerm and the environment and status-text calls.
#include "Exports.h"
#include "Session.h"
#include "Status.h"

using namespace standin;

extern "C" NotesStatus NotesInitExtended(int /*argc*/, char** /*argv*/) {
  return Guarded<NotesStatus>(kStatusNoMemory, [] { return TheSession().Init(); });
}

extern "C" void NotesTerm(void) {
  try {
    TheSession().Term();
  } catch (...) {
    // The report could not be written; there is no status to give.
  }
}

extern "C" NotesBool OSGetEnvironmentString(const char* name, char* text, std::uint16_t size) {
  return Guarded<NotesBool>(0, [&] {
    CopyText("", text, size);
    const std::string* value = name != nullptr ? TheSession().Environment(name) : nullptr;
    if (value == nullptr) return 0;
    CopyText(*value, text, size);
    return 1;
  });
}

extern "C" std::uint16_t OSLoadString(void* /*module*/, NotesStatus stringNumber, char* text,
                                      std::uint16_t size) {
  return Guarded<std::uint16_t>(0, [&] { return CopyText(StatusText(stringNumber), text, size); });
}
