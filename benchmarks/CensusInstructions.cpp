// One census or one floor walk over the synthetic view, for counting
// instructions under callgrind:
//
//   valgrind --tool=callgrind --toggle-collect=MeasuredWalk census_instructions census|floor NOTES
//
// Only MeasuredWalk and what it calls are counted, so setting up and the
// process around it are left out.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Census.h"
#include "FloorWalk.h"
#include "SyntheticNotes.h"

extern "C" __attribute__((noinline)) std::uint32_t MeasuredWalk(bool census) {
  if (!census) return WalkFloor(SyntheticNoteCalls);
  std::uint32_t total = 0;
  return CountMailboxes(kSyntheticServer, total, false, false) ? total : 0xFFFFFFFF;
}

int main(int argc, char** argv) {
  const bool census = argc == 3 && std::strcmp(argv[1], "census") == 0;
  const bool floor = argc == 3 && std::strcmp(argv[1], "floor") == 0;
  const long notes = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 0;
  if ((!census && !floor) || notes <= 0) {
    std::fputs("usage: census_instructions census|floor NOTES\n", stderr);
    return 2;
  }
  InstallSyntheticNotes(static_cast<std::uint32_t>(notes));
  const std::uint32_t result = MeasuredWalk(census);
  if (census && result != SyntheticMailboxes(static_cast<std::uint32_t>(notes))) {
    std::fprintf(stderr, "census_instructions: the census counted %u\n", result);
    return 1;
  }
  std::printf("%s over %ld notes: %u\n", census ? "census" : "floor", notes, result);
  return 0;
}
