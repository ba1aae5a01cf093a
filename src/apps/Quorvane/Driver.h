// The command line and the run sequence: from the arguments to the exit
// status.
#pragma once

// What the command line asks for. All false at start.
struct Options {
  bool listNames = false;      // "/names"
  bool listDetails = false;    // "/details"
  bool helpRequested = false;  // "/help" or "/?"
  bool run = false;            // there is something to do
  bool check = false;          // "/check": show what the count rests on
  bool allServers = false;     // "/servers": every server's mailboxes
};

// Scans the arguments from index 1 on into options. Option words match whole,
// byte for byte and case-sensitively; other arguments are ignored. "/path DIR"
// changes the working directory at once. Returns false when the run must end
// with status 1: "/path" had no directory, or the change failed; the message
// is then printed.
bool RunOptions(int argc, char** argv, Options& options);

// Prints the usage text on standard output.
void PrintUsage();

// With NotesApi bound: initializes the Notes runtime with the process's own
// arguments, counts the server's mailboxes (or every server's), prints the
// result and with check its evidence, terminates the runtime. Returns the
// exit status.
int RunNotesSession(int argc, char** argv, const Options& options);

// The whole tool: scan, usage or load and run. Returns the exit status; 1
// also when standard output could not be written.
int RunQuorvane(int argc, char** argv);
