#include "Driver.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <direct.h>
#else
#include <unistd.h>
#endif

#include "Census.h"
#include "Evidence.h"
#include "NotesApi.h"
#include "NotesBinding.h"
#include "Stop.h"

namespace {

// The narrow directory change of the C runtime (SetCurrentDirectoryA on
// Windows), and the current directory.
bool ChangeDirectory(const char* path) {
#if defined(_WIN32)
  return _chdir(path) == 0;
#else
  return chdir(path) == 0;
#endif
}
std::string CurrentDirectory() {
  std::string directory(32768, '\0');
#if defined(_WIN32)
  const bool known = _getcwd(directory.data(), static_cast<int>(directory.size())) != nullptr;
#else
  const bool known = getcwd(directory.data(), directory.size()) != nullptr;
#endif
  directory.resize(known ? std::strlen(directory.c_str()) : 0);
  return directory;
}

bool IsOption(const char* argument, const char* word) { return std::strcmp(argument, word) == 0; }

// Said on standard error, after what standard output holds so far.
void PrintStopped() {
  std::fflush(stdout);
  std::fputs("The run was stopped before the count was complete.\n", stderr);
}

}  // namespace

bool RunOptions(int argc, char** argv, Options& options) {
  if (argc <= 1) {
    options.run = true;
    return true;
  }
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (IsOption(argument, "/names")) {
      options.listNames = true;
    } else if (IsOption(argument, "/details")) {
      options.listDetails = true;
    } else if (IsOption(argument, "/help") || IsOption(argument, "/?")) {
      options.helpRequested = true;
    } else if (IsOption(argument, "/check")) {
      options.check = true;
    } else if (IsOption(argument, "/servers")) {
      options.allServers = true;
    } else if (IsOption(argument, "/path")) {
      if (i + 1 >= argc) {
        std::fputs("Path not specified.\n", stdout);
        return false;
      }
      const char* directory = argv[++i];
      if (!ChangeDirectory(directory)) {
        std::printf("Error: Unable to change directory (%s).\n", directory);
        return false;
      }
      options.run = true;
    }
    if (options.listNames || options.listDetails || options.check || options.allServers) {
      options.run = true;
    }
  }
  return true;
}

void PrintUsage() {
  std::fputs(
      "\nVarnel command-line tool\n"
      "Copyright (C) 2026 Varnel. All rights reserved.\n"
      "\n"
      "Usage: Quorvane.exe [Options]\n"
      "Options:\n"
      "\t/path     Server data path (must be specified for partition servers)\n"
      "\t/names    List mailbox(es)\n"
      "\t/details  List detailed information\n"
      "\t/help     Print this help\n"
      "\t/servers  Count the mailboxes of every server in the directory\n"
      "\t/check    Show what the count rests on (status 2 when in doubt)\n",
      stdout);
}

int RunNotesSession(int argc, char** argv, const Options& options) {
  NotesStatus status = NotesApi.NotesInitExtended(argc, argv);
  if (status != 0) {
    std::printf("\nError: Unable to initialize Notes (%u).\n", static_cast<unsigned>(status));
    return 1;
  }
  // A stop during the start (a password prompt) ends the runtime at once.
  if (StopRequested()) {
    PrintStopped();
    NotesApi.NotesTerm();
    return 1;
  }

  // An unset variable leaves the name empty, and then no note can match.
  char serverName[260] = {};
  NotesApi.OSGetEnvironmentString("MailServer", serverName, sizeof serverName);
  serverName[sizeof serverName - 1] = '\0';

  Census census;
  census.serverName = serverName;
  census.allServers = options.allServers;
  census.listNames = options.listNames;
  census.listDetails = options.listDetails;
  census.details = options.check;
  bool counted = TakeCensus(census);
  if (!counted && StopRequested()) PrintStopped();
  if (!counted) {
    std::fputs("Error: Unable to count mailboxes.\n", stdout);
  } else if (options.allServers) {
    PrintServerTable(census);
  } else {
    std::printf("\nMailbox count: %u\n\n",
                static_cast<unsigned>(census.Tally(NoteVerdict::Mailbox)));
  }
  int result = counted ? 0 : 1;
  if (options.check)
    result = PrintCheck(census, counted, FindNotesLibraryOrigin(), CurrentDirectory());
  NotesApi.NotesTerm();
  return result;
}

namespace {

int Run(int argc, char** argv) {
  Options options;
  if (!RunOptions(argc, argv, options)) return 1;
  if (!options.run || options.helpRequested) {
    PrintUsage();
    return 0;
  }
  InstallStopHandler();
  LocateNotesDirectory();
  switch (LoadNotesLibrary()) {
    case NotesLibraryLoad::LibraryNotFound:
      std::fputs("Error: Unable to load dll (nnotes.dll).\n", stdout);
      return 1;
    case NotesLibraryLoad::EntryPointMissing:
      std::fputs("Error: unable to obtain function from dll.\n", stdout);
      return 1;
    case NotesLibraryLoad::Bound:
      break;
  }
  return RunNotesSession(argc, argv, options);
}

}  // namespace

int RunQuorvane(int argc, char** argv) {
  int status = Run(argc, argv);
  // A report that did not reach its file or pipe (a full disk, a closed
  // pipe) must not pass for a successful run in a script.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) status = 1;
  StopCompleted();
  return status;
}
