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

// Ctrl+C, Ctrl+Break, and the console being closed. Windows ends the process
// as soon as the handler of a close returns, or when the time it grants runs
// out: that one waits for the clean-up.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  const bool close = event == CTRL_CLOSE_EVENT;
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && !close) return FALSE;
  StopFlag.store(true);
  if (close && completed != nullptr) WaitForSingleObject(completed, INFINITE);
  return TRUE;
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
