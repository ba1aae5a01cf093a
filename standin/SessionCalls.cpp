// NotesInitExtended, NotesTerm and the environment and status-text calls.
#include "CallLog.h"
#include "Exports.h"
#include "Session.h"
#include "Status.h"

using namespace standin;

// The tool hands on its own argument count and vector: at least the program
// name, and the vector ends with a null entry as a C runtime delivers it.
extern "C" Status NotesInitExtended(int argc, char** argv) {
  LogCall("NotesInitExtended");
  return Guarded<Status>(kStatusNoMemory, [&]() -> Status {
    Session& session = TheSession();
    const Status status = session.Init();
    // Misuses are recorded in the session that the call leaves running.
    if (!session.initialized()) return status;
    const char* call = "NotesInitExtended";
    session.Expect(argc >= 1, call, "argc", std::to_string(argc), "at least 1");
    session.ExpectNull(false, argv, call, "argv");
    if (argc >= 1 && argv != nullptr) {
      session.Expect(argv[argc] == nullptr, call, "argv[argc]", "non-null", "null");
    }
    return status;
  });
}

extern "C" void NotesTerm(void) {
  LogCall("NotesTerm");
  try {
    TheSession().Term();
  } catch (...) {
    // The report could not be written; there is no status to give.
  }
}

extern "C" Bool OSGetEnvironmentString(const char* name, char* text, std::uint16_t size) {
  LogCall("OSGetEnvironmentString");
  return Guarded<Bool>(0, [&] {
    Session& session = TheSession();
    const char* call = "OSGetEnvironmentString";
    session.ExpectNull(false, name, call, "name");
    session.ExpectNull(false, text, call, "text buffer");
    session.ExpectNumber(size == kEnvironmentTextSize, call, "size", size, 0, "260");
    CopyText("", text, size);
    const std::string* value = name != nullptr ? session.Environment(name) : nullptr;
    if (value == nullptr) return 0;
    session.WriteText(*value, text, size);
    return 1;
  });
}

extern "C" std::uint16_t OSLoadString(void* module, Status stringNumber, char* text,
                                      std::uint16_t size) {
  LogCall("OSLoadString");
  return Guarded<std::uint16_t>(0, [&] {
    Session& session = TheSession();
    const char* call = "OSLoadString";
    session.ExpectNull(true, module, call, "module");
    session.ExpectNumber(stringNumber <= kStatusTextMask, call, "string number", stringNumber, 4,
                         "the status masked with 0x3FFF");
    session.ExpectNull(false, text, call, "text buffer");
    session.ExpectNumber(size == kStatusTextSize, call, "size", size, 0, "512");
    return session.WriteText(session.TextOf(stringNumber), text, size);
  });
}
