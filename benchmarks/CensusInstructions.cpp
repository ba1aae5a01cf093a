// One walk over the synthetic view, for counting instructions under
// callgrind: the floor, the census of a plain count, the census of /check
// (with the details it shows) or that of /servers:
//
//   valgrind --tool=callgrind --toggle-collect=MeasuredWalk census_instructions WALK NOTES
//
// Only MeasuredWalk and what it calls are counted, so setting up and the
// process around it are left out.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Census.h"
#include "FloorWalk.h"
#include "SyntheticNotes.h"

extern "C" __attribute__((noinline)) std::uint32_t MeasuredWalk(Census* census) {
  if (census == nullptr) return WalkFloor(SyntheticNoteCalls);
  return TakeCensus(*census) ? census->Tally(NoteVerdict::Mailbox) : 0xFFFFFFFF;
}

int main(int argc, char** argv) {
  const std::string walk = argc == 3 ? argv[1] : "";
  const long notes = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 0;
  Census census;
  census.serverName = kSyntheticServer;
  census.details = walk == "check";
  census.allServers = walk == "servers";
  if ((walk != "floor" && walk != "census" && !census.details && !census.allServers) ||
      notes <= 0) {
    std::fputs("usage: census_instructions floor|census|check|servers NOTES\n", stderr);
    return 2;
  }
  InstallSyntheticNotes(static_cast<std::uint32_t>(notes));
  const std::uint32_t result = MeasuredWalk(walk == "floor" ? nullptr : &census);
  if (result == 0xFFFFFFFF || (walk != "floor" && !census.allServers &&
                               result != SyntheticMailboxes(static_cast<std::uint32_t>(notes)))) {
    std::fprintf(stderr, "census_instructions: the %s walk counted %u\n", walk.c_str(), result);
    return 1;
  }
  std::printf("%s over %ld notes: %u\n", walk.c_str(), notes, result);
  return 0;
}
