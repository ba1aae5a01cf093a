// A request to stop the run: Ctrl+C, Ctrl+Break or closing the console
// window on Windows, SIGINT or SIGTERM elsewhere. The handler only sets a
// flag; the census reads it before each note and ends the walk the way a
// failed read does, releasing everything it holds, and the driver then ends
// the runtime.
#pragma once

#include <atomic>

extern std::atomic<bool> StopFlag;

inline bool StopRequested() { return StopFlag.load(std::memory_order_relaxed); }

// Installs the platform's handler for the rest of the process.
void InstallStopHandler();

// Tells a handler that waits (a console being closed) that the run has
// released what it held, so the process may end.
void StopCompleted();
