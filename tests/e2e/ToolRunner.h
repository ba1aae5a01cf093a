// Runs the built tool as its own process, the way an administrator's console
// or script does, and collects what it wrote and its exit status.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Files.h"

struct ToolRun {
  int status = -1;
  std::string out;  // bytes as written, line ends included
  std::string err;
};

// Runs `program` with `arguments` (index 0 excluded) in `directory`, finding
// its libraries in `libraryDirectory`: natively along LD_LIBRARY_PATH; on
// Windows, which searches a program's own folder first, by running a fresh
// copy of the program placed there for each run. Standard input is empty.
// Standard output goes to `outputFile` when one is given, and is then not
// collected; with kRefusingOutput every write to it fails.
ToolRun RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                   const std::filesystem::path& directory,
                   const std::filesystem::path& libraryDirectory,
                   const std::filesystem::path& outputFile = {});

// Runs `program` like RunProgram, with standard output and standard error
// both written to one pipe, as "2>&1 |" in a shell gives them, and collects
// what came through it into `out`.
ToolRun RunProgramOnePipe(const std::filesystem::path& program,
                          const std::vector<std::string>& arguments,
                          const std::filesystem::path& directory,
                          const std::filesystem::path& libraryDirectory);

// An `outputFile` that takes no byte: natively the device /dev/full; on
// Windows, which has no such device, a file of the run's own that the
// program gets opened for reading only.
extern const std::filesystem::path kRefusingOutput;

// A test program finds what it runs from its own folder, laid out alike in
// the build tree and in the Windows test bundle, so that it names nothing of
// the machine that built it:
//   bin/      the test programs and the tool
//   standin/  the stand-in runtime (nnotes.dll, natively libnnotes.so)
//   samples/  the demo's data directory
std::filesystem::path ProgramFolder();
std::filesystem::path StandInFolder();
std::filesystem::path SamplesFolder();

// The program under test: the exe that QUORVANE_EXE names when it is set
// (another copy of it, such as the zip's own or a signed one), else the tool
// beside this program.
std::filesystem::path ProgramUnderTest();

// Whether this process runs under Wine rather than Windows: Wine's ntdll
// exports wine_get_version.
bool RunsUnderWine();

// The tool writes its output in text mode: on Windows every "\n" reaches the
// file as "\r\n".
std::string AsWritten(const std::string& text);
