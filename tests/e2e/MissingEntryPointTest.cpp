// A Notes library that lacks one of the seventeen entry points, each in turn:
// copies of the stand-in with that one export name patched. The tool must
// say so, call nothing in the library, and free it again.
#include <string>
#include <vector>

#include "EndToEnd.h"
#include "NotesBinding.h"
#include "ToolTexts.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

namespace fs = std::filesystem;

// The entry points in the order the tool resolves them.
const char* const kEntryPoints[] = {
    "NotesInitExtended", "NSFDbOpen",
    "NSFDbClose",        "NotesTerm",
    "NSFNoteClose",      "OSGetEnvironmentString",
    "OSLoadString",      "OSUnlockObject",
    "OSLockObject",      "OSMemFree",
    "NSFItemGetText",    "NSFNoteOpen",
    "NIFOpenCollection", "NIFCloseCollection",
    "NIFReadEntries",    "NIFFindDesignNoteExt",
    "NSFItemInfo",
};

const std::string kMissing = "Error: unable to obtain function from dll.\n";

// The stand-in's call log, written by the tool's process while this lives.
// A fresh log removes what a file of that name held; a device is named with
// fresh false, so that it is never removed.
class CallLog {
 public:
  explicit CallLog(const fs::path& file, bool fresh = true) : file_(file) {
    if (fresh) fs::remove(file_);
    SetCallLog(file_);
  }
  ~CallLog() { SetCallLog({}); }
  CallLog(const CallLog&) = delete;
  CallLog& operator=(const CallLog&) = delete;

  bool Created() const { return fs::exists(file_); }
  std::string Calls() const { return ReadFile(file_); }

 private:
  fs::path file_;
};

// The library as this process loads it by its full path, and whether a
// module of that file is still loaded.
#if defined(_WIN32)
const char* const kLibraryFile = "nnotes.dll";
using Module = HMODULE;
Module LoadByPath(const fs::path& file) { return LoadLibraryW(file.wstring().c_str()); }
bool Exports(Module module, const char* name) { return GetProcAddress(module, name) != nullptr; }
void Release(Module module) { FreeLibrary(module); }
bool IsLoaded(const fs::path& file) {
  return GetModuleHandleW(file.wstring().c_str()) != nullptr ||
         GetModuleHandleW(L"nnotes.dll") != nullptr;
}
#else
const char* const kLibraryFile = "libnnotes.so";
using Module = void*;
Module LoadByPath(const fs::path& file) { return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL); }
bool Exports(Module module, const char* name) { return dlsym(module, name) != nullptr; }
void Release(Module module) { dlclose(module); }
bool IsLoaded(const fs::path& file) {
  for (const std::string& name : {file.string(), std::string("libnnotes.so")}) {
    if (Module module = dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      dlclose(module);
      return true;
    }
  }
  return false;
}
#endif

// Writes `copy` as `library` with every string `name` (a zero byte on either
// side) given another last character, so that the loader no longer finds
// the export of that name. Besides the export table, an unstripped build
// holds the name in its symbol and debug string tables and the stand-in's
// call log in its read-only data; the loader reads none of these, and no
// call reaches the copy's code without a line in the call log. The test
// loads the copy to see that exactly this export is gone.
void WriteCopyWithout(const fs::path& library, const fs::path& copy, const std::string& name) {
  std::string bytes = ReadFile(library);
  const std::string whole = std::string(1, '\0') + name + '\0';
  std::string patched = whole;
  char& last = patched[name.size()];
  last = last == 'X' ? 'Y' : 'X';
  ASSERT_EQ(bytes.find(patched), std::string::npos) << "the patched name is in the library";
  std::size_t count = 0;
  for (std::size_t at = bytes.find(whole); at != std::string::npos; at = bytes.find(whole, at)) {
    bytes.replace(at, whole.size(), patched);
    ++count;
  }
  ASSERT_GT(count, 0u) << name << " is no string of " << library;
  WriteFile(copy, bytes);
  ASSERT_EQ(ReadFile(copy), bytes) << "cannot write " << copy;
}

class MissingEntryPoint : public EndToEndTest {};

TEST_F(MissingEntryPoint, ReleasedModuleIsSeenGone) {
  // The check below can tell a module still referenced from one unloaded.
  const fs::path copy = root_ / kLibraryFile;
  fs::copy_file(kStandIn / kLibraryFile, copy);
  ASSERT_FALSE(IsLoaded(copy));
  Module first = LoadByPath(copy);
  Module second = LoadByPath(copy);
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(second, first);
  for (const char* name : kEntryPoints) EXPECT_TRUE(Exports(first, name)) << name;
  Release(second);
  EXPECT_TRUE(IsLoaded(copy));
  Release(first);
  EXPECT_FALSE(IsLoaded(copy));
}

TEST_F(MissingEntryPoint, CallLogListsEveryCall) {
  // The log the tests below require empty records calls: this run makes
  // every one of the seventeen.
  const fs::path directory =
      MakeDirectory("data", kIni + "StandInFault_NIFCloseCollection=status=0x0107\n",
                    "view Mail Users\nnote\nMailServer: CN=Alpha/O=Acme\nMailFile: mail\\a.nsf\n");
  CallLog log(root_ / "calls.txt");
  Expect({"every entry point called", "", "", {}, kCountFailed, "Invalid handle\n", 1}, directory);
  EXPECT_EQ(log.Calls(),
            "NotesInitExtended\nOSGetEnvironmentString\nNSFDbOpen\nNIFFindDesignNoteExt\n"
            "NIFOpenCollection\nNIFReadEntries\nOSLockObject\nNSFNoteOpen\nNSFItemGetText\n"
            "NSFItemInfo\nNSFItemGetText\nNSFNoteClose\nOSUnlockObject\nOSMemFree\n"
            "NIFCloseCollection\nOSLoadString\nNSFDbClose\nNotesTerm\n");
}

TEST_F(MissingEntryPoint, EachEntryPointMissingInTurn) {
  const fs::path original = kStandIn / kLibraryFile;
  const fs::path directory = MakeDirectory("data", kIni, "view Mail Users\n");
  for (const char* name : kEntryPoints) {
    SCOPED_TRACE(name);
    const fs::path folder = root_ / (std::string("without-") + name);
    fs::create_directories(folder);
    const fs::path copy = folder / kLibraryFile;
    ASSERT_NO_FATAL_FAILURE(WriteCopyWithout(original, copy, name));

    // In this process: the copy lacks exactly this export, the tool's binding
    // finds the module already loaded under its library name, refuses it and
    // drops its reference, so that releasing this one unloads it.
    ASSERT_FALSE(IsLoaded(copy));
    Module module = LoadByPath(copy);
    ASSERT_NE(module, nullptr);
    for (const char* other : kEntryPoints) {
      EXPECT_EQ(Exports(module, other), other != name) << other;
    }
    EXPECT_EQ(LoadNotesLibrary(), NotesLibraryLoad::EntryPointMissing);
    Release(module);
    EXPECT_FALSE(IsLoaded(copy)) << "the tool kept the library loaded";

    // The tool as a process: the message, and not one call into the library,
    // which was loaded (the log is created as it loads).
    CallLog log(folder / "calls.txt");
    Expect({"an entry point missing", "", "", {}, kMissing, "", 1, Runtime::NotStarted}, directory,
           folder);
    EXPECT_TRUE(log.Created()) << "the tool did not load the copy";
    EXPECT_EQ(log.Calls(), "");
  }
}

}  // namespace

TEST_F(MissingEntryPoint, CallLogThatCannotBeKeptStopsTheProcess) {
  // A log the stand-in could not create or write would read as calls never
  // made; the process must not end as if the run had been clean.
  const fs::path directory = MakeDirectory("data", kIni, "view Mail Users\n");
  struct Row {
    const char* what;
    fs::path log;
    std::string message;  // the line, whatever line end the C runtime gives it
  };
  std::vector<Row> rows = {
      {"log in a folder that does not exist", root_ / "absent" / "calls.txt",
       "stand-in: the call log (STANDIN_CALL_LOG) cannot be created"},
  };
#if !defined(_WIN32)
  rows.push_back({"log on a device that takes no byte", "/dev/full",
                  "stand-in: the call log (STANDIN_CALL_LOG) could not be written"});
#endif
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    CallLog log(row.log, false);
    const ToolRun run = RunProgram(kTool, {"/path", directory.string()}, root_, standIn_);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.status, 1);
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
  }
}
