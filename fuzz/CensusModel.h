// What the census must do with a decoded input, worked out from the input
// alone: the library's answers as FakeNotes gives them, read the way the
// census is documented to read them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CensusInput.h"

struct CensusOutcome {
  bool ok = true;
  std::uint32_t total = 0;
  std::string out;               // standard output: header and listing lines
  std::string reportedStatuses;  // "0xNNNN " per status text printed, masked
  std::vector<NoteId> opened;    // notes opened, in order
};

CensusOutcome ExpectedCensus(const CensusInput& input);

// The NoteId of the i-th note of the view (0-based).
NoteId InputNoteId(std::size_t index);
