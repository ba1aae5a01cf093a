// run_measured: runs a program and reports its wall time and peak resident
// memory (the kernel's high-water mark for the process, as wait4 returns it).
//
//   run_measured OUTPUT PROGRAM [ARGUMENTS...]
//
// The program's standard output goes to the file OUTPUT. When it has ended,
// one line is printed: "wall_ms=<ms> cpu_ms=<user + system> peak_rss_kib=<KiB>
// status=<exit status>". CPU time is given too because on a shared machine
// the wall time includes waiting for a processor.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: run_measured OUTPUT PROGRAM [ARGUMENTS...]\n", stderr);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("run_measured: fork");
    return 1;
  }
  if (child == 0) {
    const int output = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (output < 0 || dup2(output, STDOUT_FILENO) < 0) {
      std::perror("run_measured: output");
      _exit(127);
    }
    close(output);
    execvp(argv[2], argv + 2);
    std::perror("run_measured: exec");
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) {
    std::perror("run_measured: wait4");
    return 1;
  }
  const double milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const double cpuMilliseconds =
      1e3 * static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
      1e-3 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  std::printf("wall_ms=%.1f cpu_ms=%.1f peak_rss_kib=%ld status=%d\n", milliseconds,
              cpuMilliseconds, usage.ru_maxrss,
              WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return 0;
}
