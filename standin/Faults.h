// Fault injection: notes.ini keys StandInFault_<EntryPoint>=<tokens> make
// chosen calls of an entry point fail. Calls are counted per session, every
// call of an entry point counts whatever its outcome.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "LibraryTypes.h"

namespace standin {

enum class FaultPoint {
  kNotesInitExtended,
  kNSFDbOpen,
  kNIFFindDesignNoteExt,
  kNIFOpenCollection,
  kNIFReadEntries,
  kNIFCloseCollection,
  kNSFDbClose,
  kNSFNoteOpen,
  kOSLockObject,
  kCount
};

struct Fault {
  bool armed = false;
  Status status = 0x0109;  // Server not responding
  std::uint32_t call = 1;
  bool repeat = false;
  bool byCall = true;         // false when only note= tokens were given
  std::vector<NoteId> notes;  // NSFNoteOpen: NoteIds that always fail
  bool memory = false;        // NIFReadEntries: still hand out the batch
  std::uint16_t flags = 0;    // NIFReadEntries: signal flags left behind
};

class Faults {
 public:
  // Arms the fault of the entry point named `entryPoint` from the value of its
  // key. False for an unsupported entry point or an unknown or bad token.
  bool Configure(std::string_view entryPoint, std::string_view tokens);

  // Counts one call of `point`; returns its fault when this call must fail.
  const Fault* Call(FaultPoint point, NoteId note = 0);

 private:
  static constexpr std::size_t kPoints = static_cast<std::size_t>(FaultPoint::kCount);
  std::array<Fault, kPoints> faults_{};
  std::array<std::uint32_t, kPoints> calls_{};
};

}  // namespace standin
