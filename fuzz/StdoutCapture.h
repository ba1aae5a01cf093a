// Collects what the code under test writes on standard output: file
// descriptor 1 is pointed once at an anonymous in-memory file, which each run
// empties first and reads back after.
#pragma once

#include <string>

class StdoutCapture {
 public:
  // Points descriptor 1 at the in-memory file; aborts when it cannot.
  StdoutCapture();
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  // Empties the file before a run.
  void Begin();
  // Everything written on standard output since Begin().
  std::string End();

 private:
  int file_ = -1;
};
