// Invariants of the fuzz targets: a violated one names itself on standard
// error and aborts, which libFuzzer reports as a crash and saves the input.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void Require(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "fuzz invariant violated: %s\n", invariant);
  std::abort();
}
