#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Driver.h"
#include "FakeNotes.h"
#include "FreshDirectory.h"
#include "Stop.h"

namespace {

namespace fs = std::filesystem;

// An argument vector as the C runtime hands it over.
class Arguments {
 public:
  Arguments(std::vector<std::string> words, std::string program = "Quorvane.exe")
      : words_(std::move(words)) {
    words_.insert(words_.begin(), std::move(program));
    for (std::string& word : words_) pointers_.push_back(word.data());
    pointers_.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(words_.size()); }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> words_;
  std::vector<char*> pointers_;
};

// Runs each test in a fresh directory holding a subdirectory "data", and
// puts the working directory back afterwards.
class DriverTest : public testing::Test {
 protected:
  void SetUp() override {
    original_ = fs::current_path();
    root_ =
        FreshDirectory("quorvane-driver-" +
                       std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(root_ / "data" / "deeper");
    fs::current_path(root_);
  }
  void TearDown() override {
    fs::current_path(original_);
    fs::remove_all(root_);
  }
  fs::path original_;
  fs::path root_;
};

TEST_F(DriverTest, ScanTurnsArgumentsIntoOptions) {
  // options: listNames, listDetails, helpRequested, run, check, allServers;
  // directory: the working directory afterwards, relative to the test's root.
  auto expect = [this](const std::vector<std::string>& words, bool proceeds, const Options& want,
                       const std::string& out, const char* directory) {
    std::string label = "arguments:";
    for (const std::string& word : words) label += " [" + word + "]";
    fs::current_path(root_);
    Arguments arguments(words);
    Options options;
    testing::internal::CaptureStdout();
    bool proceeded = RunOptions(arguments.argc(), arguments.argv(), options);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), out) << label;
    EXPECT_EQ(proceeded, proceeds) << label;
    if (proceeds) {
      EXPECT_EQ(options.listNames, want.listNames) << label;
      EXPECT_EQ(options.listDetails, want.listDetails) << label;
      EXPECT_EQ(options.helpRequested, want.helpRequested) << label;
      EXPECT_EQ(options.run, want.run) << label;
      EXPECT_EQ(options.check, want.check) << label;
      EXPECT_EQ(options.allServers, want.allServers) << label;
    }
    EXPECT_TRUE(fs::equivalent(fs::current_path(), root_ / directory)) << label;
  };
  expect({}, true, {false, false, false, true}, "", ".");
  expect({"/names"}, true, {true, false, false, true}, "", ".");
  expect({"/details"}, true, {false, true, false, true}, "", ".");
  expect({"/names", "/details"}, true, {true, true, false, true}, "", ".");
  expect({"/help"}, true, {false, false, true, false}, "", ".");
  expect({"/?"}, true, {false, false, true, false}, "", ".");
  expect({"/names", "/help"}, true, {true, false, true, true}, "", ".");
  expect({"/help", "/names"}, true, {true, false, true, true}, "", ".");
  expect({"extra"}, true, {false, false, false, false}, "", ".");
  expect({"/names", "extra"}, true, {true, false, false, true}, "", ".");
  expect({"/check"}, true, {false, false, false, true, true}, "", ".");
  expect({"/servers"}, true, {false, false, false, true, false, true}, "", ".");
  expect({"/servers", "/check", "/help"}, true, {false, false, true, true, true, true}, "", ".");
  expect({"/CHECK", "/server", "check"}, true, {}, "", ".");
  expect({""}, true, {false, false, false, false}, "", ".");
  // Whole words, byte for byte, in this letter case only.
  expect({"/NAMES"}, true, {false, false, false, false}, "", ".");
  expect({"/Names", "/Details", "/HELP"}, true, {false, false, false, false}, "", ".");
  expect({"/names2"}, true, {false, false, false, false}, "", ".");
  expect({"names"}, true, {false, false, false, false}, "", ".");
  expect({"/help "}, true, {false, false, false, false}, "", ".");
  expect({"-names"}, true, {false, false, false, false}, "", ".");
  // "/path" changes the directory during the scan and consumes its value.
  expect({"/path", "data"}, true, {false, false, false, true}, "", "data");
  expect({"/path", "data", "/help"}, true, {false, false, true, true}, "", "data");
  expect({"/path", "data", "/path", "deeper"}, true, {false, false, false, true}, "",
         "data/deeper");
  expect({"/path", "data", "/names"}, true, {true, false, false, true}, "", "data");
  expect({"/path", "/help"}, false, {}, "Error: Unable to change directory (/help).\n", ".");
  expect({"/path", "no such dir", "/names"}, false, {},
         "Error: Unable to change directory (no such dir).\n", ".");
  expect({"/path", "%s%n"}, false, {}, "Error: Unable to change directory (%s%n).\n", ".");
  expect({"/path", ""}, false, {}, "Error: Unable to change directory ().\n", ".");
  expect({"/path"}, false, {}, "Path not specified.\n", ".");
  expect({"/help", "/path"}, false, {}, "Path not specified.\n", ".");
  expect({"/path", "data", "/path"}, false, {}, "Path not specified.\n", "data");
}

TEST_F(DriverTest, ProgramNameIsNeverTakenForAnOption) {
  // want: listNames, listDetails, helpRequested, run.
  auto expect = [](const char* program, const std::vector<std::string>& words,
                   const Options& want) {
    Arguments arguments(words, program);
    Options options;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(RunOptions(arguments.argc(), arguments.argv(), options)) << program;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << program;
    EXPECT_EQ(options.listNames, want.listNames) << program;
    EXPECT_EQ(options.listDetails, want.listDetails) << program;
    EXPECT_EQ(options.helpRequested, want.helpRequested) << program;
    EXPECT_EQ(options.run, want.run) << program;
  };
  expect("/help", {}, {false, false, false, true});
  expect("/names", {"extra"}, {false, false, false, false});
  expect("/path", {"/details"}, {false, true, false, true});
}

// Options for a run with the given flags set besides.
Options RunWith(bool listNames, bool check, bool allServers) {
  Options options;
  options.run = true;
  options.listNames = listNames;
  options.check = check;
  options.allServers = allServers;
  return options;
}

// What /check prints of the library and the data directory: no library is
// bound in these tests, so it names none.
std::string Bound() {
  return "  Library: \n  Found through: the default search\n  Data directory: " +
         fs::current_path().string() + "\n";
}

struct SessionRun {
  int status;
  std::string out;
  std::string err;
};

SessionRun RunSession(Arguments& arguments, const Options& options) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  int status = RunNotesSession(arguments.argc(), arguments.argv(), options);
  return {status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
}

TEST_F(DriverTest, SessionHandsTheRuntimeTheToolsOwnArguments) {
  FakeNotes fake;
  fake.Install();
  Arguments arguments({"/path", "data", "/names"});
  RunSession(arguments, Options{});
  EXPECT_EQ(fake.initArgc, 4);
  EXPECT_EQ(fake.initArgv, arguments.argv());
  EXPECT_EQ(fake.Problems(), "");
}

TEST_F(DriverTest, SessionReportsTheCountOrTheFailure) {
  // mailServer "-": the variable is unset; unterminated: the library leaves
  // the name unterminated; terminated: the runtime was ended.
  auto expect = [](const char* name, NotesStatus initStatus, const std::string& mailServer,
                   bool unterminated, NotesStatus dbOpenStatus, int status, const std::string& out,
                   const std::string& err, bool terminated) {
    FakeNotes fake;
    fake.Install();
    fake.view = {Mailbox(4, "CN=Alpha/O=Acme", "mail/a.nsf"),
                 Mailbox(8, "CN=Beta/O=Acme", "mail/b.nsf"),
                 Mailbox(12, "CN=Alpha/O=Acme", "mail/c.nsf"),
                 Mailbox(16, std::string(259, 's'), "mail/d.nsf")};
    fake.initStatus = initStatus;
    fake.dbOpenStatus = dbOpenStatus;
    fake.unterminatedTexts = unterminated;
    if (mailServer != "-") fake.environment["MailServer"] = mailServer;
    Arguments arguments({});
    SessionRun run = RunSession(arguments, Options{});
    EXPECT_EQ(run.status, status) << name;
    EXPECT_EQ(run.out, out) << name;
    EXPECT_EQ(run.err, err) << name;
    EXPECT_EQ(fake.calls["NotesTerm"], terminated ? 1 : 0) << name;
    EXPECT_EQ(fake.Problems(), "") << name;
  };
  expect("two mailboxes", 0, "CN=Alpha/O=Acme", false, 0, 0, "\nMailbox count: 2\n\n", "", true);
  expect("other server", 0, "CN=Gamma/O=Acme", false, 0, 0, "\nMailbox count: 0\n\n", "", true);
  expect("MailServer unset", 0, "-", false, 0, 0, "\nMailbox count: 0\n\n", "", true);
  expect("name filling its buffer without a terminator", 0, std::string(300, 's'), true, 0, 0,
         "\nMailbox count: 1\n\n", "", true);
  expect("census fails", 0, "CN=Alpha/O=Acme", false, 0x0102, 1,
         "Error: Unable to count mailboxes.\n", "text of 0x0102\n", true);
  expect("runtime does not start", 0x0101, "CN=Alpha/O=Acme", false, 0, 1,
         "\nError: Unable to initialize Notes (257).\n", "", false);
  expect("status printed unsigned", 0xFFFF, "CN=Alpha/O=Acme", false, 0, 1,
         "\nError: Unable to initialize Notes (65535).\n", "", false);
  expect("high bit kept", 0x8001, "CN=Alpha/O=Acme", false, 0, 1,
         "\nError: Unable to initialize Notes (32769).\n", "", false);
}

TEST_F(DriverTest, CheckAndServersReportWhatTheCountRestsOn) {
  const std::string data = Bound();
  const std::string failed = "Error: Unable to count mailboxes.\n";
  const std::string table =
      "\nMailboxes per server:\n\n      2  CN=Alpha/O=Acme\n      1  CN=Beta/O=Acme\n"
      "      1  cn=alpha/o=acme\n\nMailboxes of all servers: 4\n\n";
  // mailServer "-": the variable is unset; unopenable: the last note does
  // not open, nor one more.
  auto expect = [&](const char* name, const Options& options, const std::string& mailServer,
                    bool unopenable, NotesStatus dbOpenStatus, int status, const std::string& out) {
    FakeNotes fake;
    fake.Install();
    fake.view = {Mailbox(4, "CN=Alpha/O=Acme", "mail/a.nsf"),
                 Mailbox(8, "cn=alpha/o=acme", "mail/b.nsf"),
                 Mailbox(12, "CN=Beta/O=Acme", "mail/c.nsf"), Mailbox(16, "", "mail/d.nsf"),
                 Mailbox(20, "CN=Alpha/O=Acme", "mail/e.nsf")};
    if (unopenable) {  // two statuses of one text
      fake.view[4].openable = false;
      fake.view[4].openStatus = 0xC109;
      fake.view.push_back(fake.view[4]);
      fake.view.back().id = 24;
      fake.view.back().openStatus = 0x0109;
    }
    fake.dbOpenStatus = dbOpenStatus;
    if (mailServer != "-") fake.environment["MailServer"] = mailServer;
    Arguments arguments({});
    SessionRun run = RunSession(arguments, options);
    EXPECT_EQ(run.status, status) << name;
    EXPECT_EQ(run.out, out) << name;
    EXPECT_EQ(run.err, dbOpenStatus != 0 ? "text of 0x0102\n" : "") << name;
    EXPECT_EQ(fake.calls["NotesTerm"], 1) << name;
    EXPECT_EQ(fake.Problems(), "") << name;
  };
  expect("complete", RunWith(false, true, false), "CN=Beta/O=Acme", false, 0, 0,
         "\nMailbox count: 1\n\nCheck:\n  Server name: \"CN=Beta/O=Acme\"\n" + data +
             "  View entries read: 5\n  Mailboxes counted: 1\n  Not opened: 0\n"
             "  Without a mail server: 1\n  Other servers: 3\n  Near misses: 0\n"
             "  Response notes: 0\n  Without a mail file: 0\n  Result: complete\n");
  expect("a near miss and a note not opened", RunWith(false, true, false), "CN=Alpha/O=Acme", true,
         0, 2,
         "\nMailbox count: 1\n\nCheck:\n  Server name: \"CN=Alpha/O=Acme\"\n" + data +
             "  View entries read: 6\n  Mailboxes counted: 1\n  Not opened: 2\n"
             "    2  text of 0x0109\n  Without a mail server: 1\n  Other servers: 1\n"
             "  Near misses: 1\n    1  \"cn=alpha/o=acme\"\n"
             "  Response notes: 0\n  Without a mail file: 0\n  Result: doubtful\n");
  expect("server name not set", RunWith(false, true, false), "-", false, 0, 2,
         "\nMailbox count: 0\n\nCheck:\n  Server name: not set\n" + data +
             "  View entries read: 5\n  Mailboxes counted: 0\n  Not opened: 0\n"
             "  Without a mail server: 1\n  Other servers: 4\n  Near misses: 0\n"
             "  Response notes: 0\n  Without a mail file: 0\n  Result: doubtful\n");
  expect("census fails", RunWith(false, true, false), "CN=Alpha/O=Acme", false, 0x0102, 1,
         failed + "Check:\n  Server name: \"CN=Alpha/O=Acme\"\n" + data +
             "  View entries read: 0\n  Mailboxes counted: 0\n  Not opened: 0\n"
             "  Without a mail server: 0\n  Other servers: 0\n  Near misses: 0\n"
             "  Response notes: 0\n  Without a mail file: 0\n  Result: failed\n");
  expect("every server", RunWith(false, false, true), "-", false, 0, 0, table);
  expect("every server, one note not opened", RunWith(false, true, true), "-", true, 0, 2,
         "\nMailboxes per server:\n\n      1  CN=Alpha/O=Acme\n      1  CN=Beta/O=Acme\n"
         "      1  cn=alpha/o=acme\n\nMailboxes of all servers: 3\n\nCheck:\n" +
             data +
             "  View entries read: 6\n  Mailboxes counted: 3\n  Not opened: 2\n"
             "    2  text of 0x0109\n  Without a mail server: 1\n"
             "  Response notes: 0\n  Without a mail file: 0\n  Result: doubtful\n");
  expect("every server, census fails", RunWith(false, true, true), "-", false, 0x0102, 1,
         failed + "Check:\n" + data +
             "  View entries read: 0\n  Mailboxes counted: 0\n  Not opened: 0\n"
             "  Without a mail server: 0\n  Response notes: 0\n  Without a mail file: 0\n"
             "  Result: failed\n");
}

TEST_F(DriverTest, StopEndsTheRunCleanlyWhereverItComes) {
  const std::string stopped = "The run was stopped before the count was complete.\n";
  const std::string failed = "Error: Unable to count mailboxes.\n";
  // stopAt: the stop comes as this note is opened, 0: during the start;
  // batch: NoteIds per read; opened: notes opened before the walk ended.
  auto expect = [&](const char* name, const Options& options, NoteId stopAt, std::uint32_t batch,
                    const std::string& out, int opened) {
    FakeNotes fake;
    fake.Install();
    for (NoteId id = 4; id <= 40; id += 4) {
      fake.view.push_back(
          Mailbox(id, "CN=Alpha/O=Acme",
                  std::string("mail/") + static_cast<char>('a' + id / 4 - 1) + ".nsf"));
    }
    fake.environment["MailServer"] = "CN=Alpha/O=Acme";
    fake.batchSize = batch;
    fake.beforeNoteOpen = [&](NoteId id) {
      if (id == stopAt) StopFlag = true;
    };
    StopFlag = stopAt == 0;
    Arguments arguments({});
    SessionRun run = RunSession(arguments, options);
    StopFlag = false;
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_EQ(run.out, out) << name;
    EXPECT_EQ(run.err, stopped) << name;
    EXPECT_EQ(fake.opened.size(), static_cast<std::size_t>(opened)) << name;
    EXPECT_EQ(fake.calls["NotesTerm"], 1) << name;
    EXPECT_EQ(fake.Problems(), "") << name;
  };
  expect("during the start", {}, 0, 16384, "", 0);
  expect("during the walk", {}, 8, 16384, failed, 2);
  expect("at a batch's end", {}, 8, 2, failed, 2);
  expect("during a listing", RunWith(true, false, false), 12, 16384,
         "\nMailboxes:\n\nmail/a.nsf\nmail/b.nsf\nmail/c.nsf\n" + failed, 3);
  expect("under /servers with /check", RunWith(false, true, true), 8, 2,
         failed + "Check:\n" + Bound() +
             "  View entries read: 2\n  Mailboxes counted: 2\n  Not opened: 0\n"
             "  Without a mail server: 0\n  Response notes: 0\n  Without a mail file: 0\n"
             "  Result: failed\n",
         2);
}

}  // namespace
