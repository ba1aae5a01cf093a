#include "ToolRunner.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

#if defined(_WIN32)
const fs::path kRefusingOutput = fs::temp_directory_path() / "quorvane-refusing-output";
#else
const fs::path kRefusingOutput = "/dev/full";
#endif

namespace {

// The path, less its extension, of one run's private output files.
fs::path OutputFileStem() {
  static int serial = 0;
  fs::path where = fs::temp_directory_path() / "quorvane-e2e-output";
  fs::create_directories(where);
#if defined(_WIN32)
  unsigned long process = GetCurrentProcessId();
#else
  unsigned long process = static_cast<unsigned long>(getpid());
#endif
  return where / (std::to_string(process) + "-" + std::to_string(++serial));
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

// The current environment with PATH led by the library directory.
std::wstring Environment(const fs::path& libraryDirectory) {
  std::wstring block;
  wchar_t* current = GetEnvironmentStringsW();
  std::wstring path = L"PATH=" + libraryDirectory.wstring();
  for (const wchar_t* entry = current; *entry; entry += wcslen(entry) + 1) {
    std::wstring line = entry;
    if (_wcsnicmp(line.c_str(), L"PATH=", 5) == 0) {
      path += L";" + line.substr(5);
    } else {
      block += line + L'\0';
    }
  }
  FreeEnvironmentStringsW(current);
  return block + path + L'\0' + L'\0';
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
  std::string commandLine = QuoteArgument(program.string());
  for (const std::string& argument : arguments) commandLine += " " + QuoteArgument(argument);
  HANDLE out;
  if (outFile == kRefusingOutput) {
    // A handle without write access: each write the program tries fails.
    WriteFile(outFile, "");
    out = OpenForChild(outFile, false);
  } else {
    out = OpenForChild(outFile, true);
  }
  HANDLE err = OpenForChild(errFile, true);
  HANDLE in = OpenForChild("NUL", false);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  std::wstring environment = Environment(libraryDirectory);
  std::string workingDirectory = directory.string();
  BOOL started = CreateProcessA(program.string().c_str(), commandLine.data(), nullptr, nullptr,
                                TRUE, CREATE_UNICODE_ENVIRONMENT, environment.data(),
                                workingDirectory.c_str(), &startup, &process);
  CloseHandle(out);
  CloseHandle(err);
  CloseHandle(in);
  if (!started) throw std::runtime_error("cannot start " + program.string());
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  run.status = static_cast<int>(code);
#else
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  // A program named by QUORVANE_E2E_WRAPPER (a memory checker) runs the
  // tool: it is given the tool's path and arguments.
  if (const char* wrapper = std::getenv("QUORVANE_E2E_WRAPPER"))
    words.emplace(words.begin(), wrapper);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) {
    int in = open("/dev/null", O_RDONLY);
    int out = collectOutput ? open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)
                            : open(outFile.c_str(), O_WRONLY);
    int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(directory.c_str()) != 0) {
      _exit(127);
    }
    setenv("LD_LIBRARY_PATH", libraryDirectory.c_str(), 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int waited = 0;
  if (waitpid(child, &waited, 0) != child) throw std::runtime_error("cannot wait");
  run.status = WIFEXITED(waited) ? WEXITSTATUS(waited) : 128 + WTERMSIG(waited);
#endif

  if (collectOutput) {
    run.out = ReadFile(outFile);
    fs::remove(outFile);
  }
  run.err = ReadFile(errFile);
  fs::remove(errFile);
  return run;
}

fs::path BuildPath(const std::string& hostPath) {
#if defined(_WIN32)
  if (!hostPath.empty() && hostPath[0] == '/') {
    std::string windows = "Z:" + hostPath;
    for (char& c : windows) {
      if (c == '/') c = '\\';
    }
    return windows;
  }
#endif
  return hostPath;
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
