#include "ToolRunner.h"

#include <cstdlib>
#include <stdexcept>

#include "FreshDirectory.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

#if defined(_WIN32)
const fs::path kRefusingOutput = "refusing output";
#else
const fs::path kRefusingOutput = "/dev/full";
#endif

namespace {

// The path, less its extension, of one run's private output files.
fs::path OutputFileStem() {
  static int serial = 0;
  fs::path where = fs::temp_directory_path() / "quorvane-e2e-output";
  fs::create_directories(where);
  return where / (std::to_string(ProcessId()) + "-" + std::to_string(++serial));
}

#if defined(_WIN32)

// Quotes one argument so that the C runtime's parser gives it back unchanged.
std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    return argument;
  }
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"')
      quoted.append(backslashes * 2 + 1, '\\');
    else
      quoted.append(backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

HANDLE OpenForChild(const fs::path& file, bool write) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(file.wstring().c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts a fresh copy of the program placed in `libraryDirectory`, where
// Windows looks for its libraries first, with empty standard input and the
// given output handles, and closes those handles here. Returns the process.
HANDLE StartCopy(const fs::path& program, const std::vector<std::string>& arguments,
                 const fs::path& directory, const fs::path& libraryDirectory, HANDLE out,
                 HANDLE err) {
  // A name of its own for every run's copy: no run overwrites an earlier one's.
  static int runs = 0;
  const fs::path copy = libraryDirectory / (program.stem().string() + "-" + std::to_string(++runs) +
                                            program.extension().string());
  fs::copy_file(program, copy);
  std::string commandLine = QuoteArgument(copy.string());
  for (const std::string& argument : arguments) commandLine += " " + QuoteArgument(argument);
  HANDLE in = OpenForChild("NUL", false);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  std::string workingDirectory = directory.string();
  BOOL started = CreateProcessA(copy.string().c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                0, nullptr, workingDirectory.c_str(), &startup, &process);
  CloseHandle(out);
  if (err != out) CloseHandle(err);
  CloseHandle(in);
  if (!started) {
    throw std::runtime_error("cannot start " + copy.string() + " (error " +
                             std::to_string(GetLastError()) + ")");
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

int ExitStatus(HANDLE process) {
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}

#else

// The words the child runs: the tool and its arguments, led by a wrapper (a
// memory checker) when QUORVANE_E2E_WRAPPER names one.
std::vector<std::string> ChildWords(const fs::path& program,
                                    const std::vector<std::string>& arguments) {
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  if (const char* wrapper = std::getenv("QUORVANE_E2E_WRAPPER"))
    words.emplace(words.begin(), wrapper);
  return words;
}

// In the forked child: empty standard input, the given output descriptors,
// the directory and the library path, then the program. Never returns.
[[noreturn]] void StartChild(std::vector<std::string>& words, int out, int err,
                             const fs::path& directory, const fs::path& libraryDirectory) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  int in = open("/dev/null", O_RDONLY);
  if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
      chdir(directory.c_str()) != 0) {
    _exit(127);
  }
  setenv("LD_LIBRARY_PATH", libraryDirectory.c_str(), 1);
  execv(argv[0], argv.data());
  _exit(127);
}

// The exit status as a shell reports it.
int ExitStatus(int waited) {
  return WIFEXITED(waited) ? WEXITSTATUS(waited) : 128 + WTERMSIG(waited);
}

#endif

}  // namespace

ToolRun RunProgram(const fs::path& program, const std::vector<std::string>& arguments,
                   const fs::path& directory, const fs::path& libraryDirectory,
                   const fs::path& outputFile) {
  fs::path output = OutputFileStem();
  const bool collectOutput = outputFile.empty();
  fs::path outFile = collectOutput ? fs::path(output.string() + ".out") : outputFile;
  fs::path errFile = output.string() + ".err";
  ToolRun run;

#if defined(_WIN32)
  HANDLE out;
  if (outputFile == kRefusingOutput) {
    // A handle without write access: each write the program tries fails.
    outFile = output.string() + ".out";
    WriteFile(outFile, "");
    out = OpenForChild(outFile, false);
  } else {
    out = OpenForChild(outFile, true);
  }
  HANDLE err = OpenForChild(errFile, true);
  run.status = ExitStatus(StartCopy(program, arguments, directory, libraryDirectory, out, err));
#else
  std::vector<std::string> words = ChildWords(program, arguments);
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) {
    int out = collectOutput ? open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)
                            : open(outFile.c_str(), O_WRONLY);
    int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    StartChild(words, out, err, directory, libraryDirectory);
  }
  int waited = 0;
  if (waitpid(child, &waited, 0) != child) throw std::runtime_error("cannot wait");
  run.status = ExitStatus(waited);
#endif

  if (collectOutput) run.out = ReadFile(outFile);
  fs::remove(output.string() + ".out");
  run.err = ReadFile(errFile);
  fs::remove(errFile);
  return run;
}

ToolRun RunProgramOnePipe(const fs::path& program, const std::vector<std::string>& arguments,
                          const fs::path& directory, const fs::path& libraryDirectory) {
  ToolRun run;
  char chunk[4096];
#if defined(_WIN32)
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0) ||
      !SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0)) {
    throw std::runtime_error("cannot make a pipe");
  }
  HANDLE process = StartCopy(program, arguments, directory, libraryDirectory, writeEnd, writeEnd);
  // The pipe ends when the program, the only writer left, has ended.
  for (DWORD got; ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got != 0;) {
    run.out.append(chunk, got);
  }
  CloseHandle(readEnd);
  run.status = ExitStatus(process);
#else
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) throw std::runtime_error("cannot make a pipe");
  std::vector<std::string> words = ChildWords(program, arguments);
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) {
    close(pipeEnds[0]);
    StartChild(words, pipeEnds[1], pipeEnds[1], directory, libraryDirectory);
  }
  close(pipeEnds[1]);
  for (ssize_t got; (got = read(pipeEnds[0], chunk, sizeof chunk)) != 0;) {
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("cannot read the pipe");
    }
    run.out.append(chunk, static_cast<std::size_t>(got));
  }
  close(pipeEnds[0]);
  int waited = 0;
  if (waitpid(child, &waited, 0) != child) throw std::runtime_error("cannot wait");
  run.status = ExitStatus(waited);
#endif
  return run;
}

fs::path ProgramFolder() {
#if defined(_WIN32)
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) throw std::runtime_error("cannot name this program");
    if (length < name.size()) {
      name.resize(length);
      break;
    }
    name.resize(name.size() * 2);
  }
  return fs::path(name).parent_path();
#else
  return fs::read_symlink("/proc/self/exe").parent_path();
#endif
}

fs::path StandInFolder() { return ProgramFolder().parent_path() / "standin"; }

fs::path SamplesFolder() { return ProgramFolder().parent_path() / "samples"; }

fs::path ProgramUnderTest() {
  const char* exe = std::getenv("QUORVANE_EXE");
  if (exe != nullptr && *exe != '\0') return exe;
#if defined(_WIN32)
  return ProgramFolder() / "Quorvane.exe";
#else
  return ProgramFolder() / "Quorvane";
#endif
}

bool RunsUnderWine() {
#if defined(_WIN32)
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

std::string AsWritten(const std::string& text) {
#if defined(_WIN32)
  std::string written;
  for (char c : text) {
    if (c == '\n') written += '\r';
    written += c;
  }
  return written;
#else
  return text;
#endif
}
