#include "Stop.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#endif

std::atomic<bool> StopFlag{false};

namespace {

#if defined(_WIN32)
// Signalled once the run has cleaned up.
HANDLE completed = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      StopFlag.store(true);
      return TRUE;
    case CTRL_CLOSE_EVENT:
      // Windows ends the process when this returns, or when the time it
      // grants a closing console runs out: wait for the clean-up until then.
      StopFlag.store(true);
      if (completed != nullptr) WaitForSingleObject(completed, INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}
#else
extern "C" void OnSignal(int) { StopFlag.store(true); }
#endif

}  // namespace

void InstallStopHandler() {
#if defined(_WIN32)
  completed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
#else
  struct sigaction action = {};
  action.sa_handler = &OnSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
#endif
}

void StopCompleted() {
#if defined(_WIN32)
  if (completed != nullptr) SetEvent(completed);
#endif
}
