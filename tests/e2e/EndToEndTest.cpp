// The built tool against the stand-in Notes runtime: counting, listing,
// the library's failures, the command line and the data directory.
#include <string>
#include <vector>

#include "EndToEnd.h"
#include "InstallationKeys.h"
#include "ToolTexts.h"

namespace {

namespace fs = std::filesystem;

// Three mailboxes of CN=Alpha/O=Acme among notes that are not.
const std::string kMixed = R"(# Mail Users of two servers
view Mail Users
note 0x20A
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\anna.nsf
note 0x20E
  MailServer: CN=Beta/O=Acme
  MailFile: mail\bert.nsf
note 0x212
  MailServer: CN=ALPHA/O=ACME
  MailFile: mail\carl.nsf
note 0x216
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\dora.nsf
  $REF: 0x20A
note 0x21A
  MailServer: CN=Alpha/O=Acme
  MailFile:
note 0x21E
  MailServer: CN=Alpha/O=Acme
note 0x222 unopenable
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\gina.nsf
note 0x226
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\hans%s%n.nsf
note 0x22A
  MailServer: CN=Alpha/O=Acme/
  MailFile: mail\ida.nsf
note 0x22E
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\jan.nsf
view Other
note 0x300
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\kim.nsf
)";

const std::string kMixedNames =
    "\nMailboxes:\n\nmail\\anna.nsf\nmail\\hans%s%n.nsf\nmail\\jan.nsf\n";

TEST_F(EndToEndTest, CountsTheMailboxesOfThisServer) {
  ExpectAll({
      Row("mixed directory", kIni, kMixed, {}, Count(3), "", 0),
      Row("server name differs in letter case",
          "MailServer=cn=alpha/o=acme\nStandInLeakReport=leaks.txt\n", kMixed, {}, Count(0), "", 0),
      Row("MailServer unset", "StandInLeakReport=leaks.txt\n", kMixed, {}, Count(0), "", 0),
      Row("empty view", kIni, "view Mail Users\nview Other\nnote 4\nMailServer: CN=Alpha/O=Acme\n",
          {}, Count(0), "", 0),
      Row("unknown arguments are ignored when there is something to do", kIni, kMixed,
          {"/names", "/NAMES", "extra"}, kMixedNames + Count(3), "", 0),
      Row("view of 16385 entries takes two reads", kIni, LargeView(16385, 1), {}, Count(16385), "",
          0),
      Row("view of three batches", kIni, LargeView(40000, 2), {}, Count(20000), "", 0),
      Row("small batches", kIni + "StandInBatchSize=2\n", kMixed, {}, Count(3), "", 0),
  });
}

// People with every detail item, some of them missing or empty.
const std::string kPeople = R"(view Mail Users
note
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\abel.nsf
  FirstName: Abel
  LastName: Moss
  FullName: CN=Abel Moss/O=Acme
  Mail: abel.moss@acme.example
  MailDomain: AcmeMail
note
  MailServer: CN=Beta/O=Acme
  MailFile: mail\bess.nsf
  FirstName: Bess
note
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\cruz.nsf
  LastName: Cruz
  FullName: CN=Cruz/O=Acme
  Mail:
note
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\100%s%n%d.nsf
  FirstName: 50%
  LastName: %s%n
  FullName: %x%p%%
  MailDomain: \%n
)";

TEST_F(EndToEndTest, ListsTheMailboxesItCounts) {
  const std::string header = "\nMailboxes:\n\n";
  const std::string names = "mail\\abel.nsf\nmail\\cruz.nsf\nmail\\100%s%n%d.nsf\n";
  const std::string details =
      "mail\\abel.nsf, Abel, Moss, CN=Abel Moss/O=Acme, abel.moss@acme.example, "
      "CN=Alpha/O=Acme, AcmeMail\n"
      "mail\\cruz.nsf, Cruz, CN=Cruz/O=Acme, CN=Alpha/O=Acme\n"
      "mail\\100%s%n%d.nsf, 50%, %s%n, %x%p%%, CN=Alpha/O=Acme, \\%n\n";
  // Items of 259 bytes come back whole, longer ones cut to 259 by the library.
  const std::string long259 = std::string(250, 'a') + "123456789";
  const std::string longItems =
      "view Mail Users\nnote\nMailServer: CN=Alpha/O=Acme\nMailFile: " + long259 +
      "\nFirstName: " + long259 + "tail\nLastName: " + std::string(5000, 'z') + "\n";
  // A view read in batches of two, with every seventh note a mailbox.
  std::string manyNames;
  for (unsigned i = 0; i < 30; i += 7) manyNames += "mail\\u" + std::to_string(i) + ".nsf\n";
  std::string manyDetails;
  for (unsigned i = 0; i < 30; i += 7) {
    manyDetails += "mail\\u" + std::to_string(i) + ".nsf, CN=Alpha/O=Acme\n";
  }
  ExpectAll({
      Row("names", kIni, kPeople, {"/names"}, header + names + Count(3), "", 0),
      Row("details alone", kIni, kPeople, {"/details"}, header + details + Count(3), "", 0),
      Row("names with details", kIni, kPeople, {"/names", "/details"}, header + details + Count(3),
          "", 0),
      Row("details with names", kIni, kPeople, {"/details", "/names"}, header + details + Count(3),
          "", 0),
      Row("names across batches", kIni + "StandInBatchSize=2\n", LargeView(30, 7), {"/names"},
          header + manyNames + Count(5), "", 0),
      Row("details across batches", kIni + "StandInBatchSize=2\n", LargeView(30, 7), {"/details"},
          header + manyDetails + Count(5), "", 0),
      Row("items of 259 bytes and longer", kIni, longItems, {"/details"},
          header + long259 + ", " + long259 + ", " + std::string(259, 'z') + ", CN=Alpha/O=Acme\n" +
              Count(1),
          "", 0),
      Row("nothing qualifies: header, then the count",
          "MailServer=CN=Gamma/O=Acme\n"
          "StandInLeakReport=leaks.txt\n",
          kPeople, {"/names"}, header + Count(0), "", 0),
      Row("header stands when the database does not open", kIni + "Directory=nowhere\n", kPeople,
          {"/names"}, header + kCountFailed, "File does not exist\n", 1),
      Row("lines printed before a failed read stay",
          kIni + "StandInBatchSize=2\n"
                 "StandInFault_NIFReadEntries=call=2\n",
          kPeople, {"/names"}, header + "mail\\abel.nsf\n" + kCountFailed,
          "Server not responding\n", 1),
  });
}

// A note of each kind: one does not open, one names this server in other
// letter case, one another server in two spellings.
const std::string kEveryKind = R"(view Mail Users
note 0x20A
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\anna.nsf
note 0x20E unopenable
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\bert.nsf
note 0x212
  MailFile: mail\carl.nsf
note 0x216
  MailServer: CN=Beta/O=Acme
  MailFile: mail\dora.nsf
note 0x21A
  MailServer: cn=alpha/o=acme
  MailFile: mail\emil.nsf
note 0x21E
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\fred.nsf
  $REF: 0x20A
note 0x222
  MailServer: CN=Alpha/O=Acme
note 0x226
  MailServer: CN=BETA/O=Acme
  MailFile: mail\gina.nsf
note 0x22A
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\hans.nsf
)";

// The /check block: the server line (none under /servers), the tallies, the
// result.
std::string Block(const std::string& server, const std::string& tallies, const char* result) {
  return "Check:\n" + server +
         "  Library: {library}\n  Found through: the default search\n  Data directory: {data}\n" +
         tallies + "  Result: " + result + "\n";
}

TEST_F(EndToEndTest, CheckAndServersShowWhatTheCountRestsOn) {
  const std::string alpha = "  Server name: \"CN=Alpha/O=Acme\"\n";
  const std::string lost = kIni + "StandInFault_NSFNoteOpen=note=0x22A\n";
  const std::string brokenRead = kIni + "StandInBatchSize=2\nStandInFault_NIFReadEntries=call=2\n";
  const std::string notOpened =
      "  Not opened: 2\n    1  Note cannot be opened\n    1  Server not responding\n";
  // The table of every server: CN=Alpha/O=Acme's line, the others one each.
  auto table = [](int alpha) {
    return "\nMailboxes per server:\n\n      " + std::to_string(alpha) +
           "  CN=Alpha/O=Acme\n      1  CN=BETA/O=Acme\n      1  CN=Beta/O=Acme\n"
           "      1  cn=alpha/o=acme\n\nMailboxes of all servers: " +
           std::to_string(alpha + 3) + "\n\n";
  };
  ExpectAll({
      Row("every kind of note: doubtful", lost, kEveryKind, {"/check"},
          Count(1) + Block(alpha,
                           "  View entries read: 9\n  Mailboxes counted: 1\n" + notOpened +
                               "  Without a mail server: 1\n  Other servers: 2\n  Near misses: 1\n"
                               "    1  \"cn=alpha/o=acme\"\n  Response notes: 1\n"
                               "  Without a mail file: 1\n",
                           "doubtful"),
          "", 2),
      Row("complete", kIni, LargeView(10, 2), {"/check"},
          Count(5) + Block(alpha,
                           "  View entries read: 10\n  Mailboxes counted: 5\n  Not opened: 0\n"
                           "  Without a mail server: 0\n  Other servers: 5\n  Near misses: 0\n"
                           "  Response notes: 0\n  Without a mail file: 0\n",
                           "complete"),
          "", 0),
      Row("MailServer unset", "StandInLeakReport=leaks.txt\n", kEveryKind, {"/names", "/check"},
          "\nMailboxes:\n\n" + Count(0) +
              Block("  Server name: not set\n",
                    "  View entries read: 9\n  Mailboxes counted: 0\n  Not opened: 1\n"
                    "    1  Note cannot be opened\n  Without a mail server: 1\n  Other servers: 7\n"
                    "  Near misses: 0\n  Response notes: 0\n  Without a mail file: 0\n",
                    "doubtful"),
          "", 2),
      Row("failed read: what was read before", brokenRead, kEveryKind, {"/check"},
          kCountFailed + Block(alpha,
                               "  View entries read: 2\n  Mailboxes counted: 1\n  Not opened: 1\n"
                               "    1  Note cannot be opened\n  Without a mail server: 0\n"
                               "  Other servers: 0\n  Near misses: 0\n  Response notes: 0\n"
                               "  Without a mail file: 0\n",
                               "failed"),
          "Server not responding\n", 1),
      Row("every server", kIni, kEveryKind, {"/servers"}, table(2), "", 0),
      Row("every server, listed and checked", lost, kEveryKind, {"/servers", "/details", "/check"},
          "\nMailboxes:\n\nmail\\anna.nsf, CN=Alpha/O=Acme\nmail\\dora.nsf, CN=Beta/O=Acme\n"
          "mail\\emil.nsf, cn=alpha/o=acme\nmail\\gina.nsf, CN=BETA/O=Acme\n" +
              table(1) +
              Block("",
                    "  View entries read: 9\n  Mailboxes counted: 4\n" + notOpened +
                        "  Without a mail server: 1\n  Response notes: 1\n"
                        "  Without a mail file: 1\n",
                    "doubtful"),
          "", 2),
      Row("every server, no names.nsf", kIni + "Directory=nowhere\n", kEveryKind,
          {"/names", "/servers"}, "\nMailboxes:\n\n" + kCountFailed, "File does not exist\n", 1),
      Row("every server, failed read", brokenRead, kEveryKind, {"/servers", "/check"},
          kCountFailed + Block("",
                               "  View entries read: 2\n  Mailboxes counted: 1\n  Not opened: 1\n"
                               "    1  Note cannot be opened\n  Without a mail server: 0\n"
                               "  Response notes: 0\n  Without a mail file: 0\n",
                               "failed"),
          "Server not responding\n", 1),
      Row("a note not opened, its text with format characters",
          kIni + "StandInStatusText_0x0105=50%% %s\n", kEveryKind, {"/servers", "/check"},
          table(2) + Block("",
                           "  View entries read: 9\n  Mailboxes counted: 5\n  Not opened: 1\n"
                           "    1  50%% %s\n  Without a mail server: 1\n  Response notes: 1\n"
                           "  Without a mail file: 1\n",
                           "doubtful"),
          "", 2),
      Row("runtime does not start: no block", "StandInFault_NotesInitExtended=status=0x0101\n",
          kEveryKind, {"/check", "/servers"}, "\nError: Unable to initialize Notes (257).\n", "", 1,
          Runtime::NotStarted),
  });
}

TEST_F(EndToEndTest, LibraryFailuresAreReportedWithTheirTexts) {
  // Faults come with reads of two notes each: the walk takes several.
  auto fault = [](const std::string& key, const std::string& value) {
    return kIni + "StandInBatchSize=2\nStandInFault_" + key + "=" + value + "\n";
  };
  ExpectAll({
      Row("no names.nsf", kIni + "Directory=nowhere\n", kMixed, {}, kCountFailed,
          "File does not exist\n", 1),
      Row("malformed names.nsf", kIni,
          "# directory\nview Mail Users\nnote 0x20A\nMailServer: CN=Alpha/O=Acme\nnot an item\n",
          {}, kCountFailed, "names.nsf line 5: expected \"Name: value\"\n", 1),
      Row("no Mail Users view", kIni, "view Other\n", {}, kCountFailed, "Cannot locate view\n", 1),
      // Printed as a format, "%%" would lose a percent sign on every build.
      Row("a text with format characters",
          kIni + "Directory=nowhere\nStandInStatusText_0x0102=100%% of %s at %d\n", kMixed, {},
          kCountFailed, "100%% of %s at %d\n", 1),
      Row("database does not open", fault("NSFDbOpen", "status=0x0102"), kMixed, {}, kCountFailed,
          "File does not exist\n", 1),
      Row("status text chosen by the low 14 bits", fault("NSFDbOpen", "status=0xC104"), kMixed, {},
          kCountFailed, "Cannot locate view\n", 1),
      Row("view lookup fails", fault("NIFFindDesignNoteExt", "status=0x0109"), kMixed, {},
          kCountFailed, "Server not responding\n", 1),
      Row("collection does not open", fault("NIFOpenCollection", "status=0x010A"), kMixed, {},
          kCountFailed, "Insufficient memory\n", 1),
      Row("second read fails", fault("NIFReadEntries", "call=2"), kMixed, {}, kCountFailed,
          "Server not responding\n", 1),
      Row("failed read hands back a batch", fault("NIFReadEntries", "call=2,memory"), kMixed, {},
          kCountFailed, "Server not responding\n", 1),
      Row("library keeps failing with more to do",
          fault("NIFReadEntries", "call=1,repeat,flags=0x0020"), kMixed, {}, kCountFailed,
          "Server not responding\n", 1),
      Row("keeps failing after handing back batches",
          fault("NIFReadEntries", "call=1,repeat,memory,flags=0x0020"), kMixed, {}, kCountFailed,
          "Server not responding\n", 1),
      Row("batch memory gives no address", fault("OSLockObject", "call=1"), kMixed, {},
          kCountFailed, "", 1),
      Row("collection does not close", fault("NIFCloseCollection", "status=0x0107"), kMixed, {},
          kCountFailed, "Invalid handle\n", 1),
      Row("database does not close", fault("NSFDbClose", "status=0x0107"), kMixed, {}, kCountFailed,
          "Invalid handle\n", 1),
      Row("both closes fail",
          fault("NIFCloseCollection", "status=0x0107") + "StandInFault_NSFDbClose=status=0x0108\n",
          kMixed, {}, kCountFailed, "Invalid handle\nInvalid argument\n", 1),
      Row("notes that cannot be opened are passed over",
          fault("NSFNoteOpen", "note=0x20A,note=0x22E"), kMixed, {}, Count(1), "", 0),
      Row("runtime does not start", "StandInFault_NotesInitExtended=status=0xFFFF\n", kMixed, {},
          "\nError: Unable to initialize Notes (65535).\n", "", 1, Runtime::NotStarted),
      Row("no notes.ini", "", kMixed, {}, "\nError: Unable to initialize Notes (257).\n", "", 1,
          Runtime::NotStarted),
  });
}

// A text of `length` bytes whose every position shows, so that a text cut
// anywhere else than expected differs.
std::string Text(std::size_t length, char first) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) {
    text += static_cast<char>(first + i % 20);
    if (i % 10 == 9) text.back() = '0' + static_cast<char>(i / 10 % 10);
  }
  return text;
}

TEST_F(EndToEndTest, LibraryTextsThatFillTheirWholeBuffer) {
  // A careless library fills the buffer with a text that does not fit and
  // writes no terminator: the tool takes the text up to its buffer's end, 511
  // bytes of a status text, 259 of an environment value or an item.
  const std::string unterminated = "StandInUnterminatedTexts=1\n";
  const std::string status600 = Text(600, 'a'), status512 = Text(512, 'b');
  const std::string status511 = Text(511, 'c');
  auto statusText = [&](const std::string& text) {
    return kIni + unterminated + "Directory=nowhere\nStandInStatusText_0x0102=" + text + "\n";
  };
  const std::string server = "CN=" + Text(297, 'A');
  const std::string serverNotes =
      "view Mail Users\nnote\nMailServer: " + server.substr(0, 259) +
      "\nMailFile: mail\\a.nsf\nnote\nMailServer: " + server.substr(0, 258) +
      "\nMailFile: mail\\b.nsf\n";
  const std::string mailFile = "mail\\" + Text(295, 'd') + ".nsf";
  const std::string first = Text(300, 'e'), last = Text(260, 'f'), mail = Text(259, 'g');
  const std::string itemNotes =
      "view Mail Users\nnote\nMailServer: CN=Alpha/O=Acme\nMailFile: " + mailFile +
      "\nFirstName: " + first + "\nLastName: " + last + "\nMail: " + mail + "\n";
  const std::string header = "\nMailboxes:\n\n";
  ExpectAll({
      Row("status text of 600 bytes", statusText(status600), kMixed, {}, kCountFailed,
          status600.substr(0, 511) + "\n", 1),
      Row("status text of 512 bytes", statusText(status512), kMixed, {}, kCountFailed,
          status512.substr(0, 511) + "\n", 1),
      Row("status text of 511 bytes fits", statusText(status511), kMixed, {}, kCountFailed,
          status511 + "\n", 1),
      Row("MailServer of 300 bytes matches a note's first 259",
          "MailServer=" + server + "\nStandInLeakReport=leaks.txt\n" + unterminated, serverNotes,
          {"/details"}, header + "mail\\a.nsf, " + server.substr(0, 259) + "\n" + Count(1), "", 0),
      Row("items of 300, 260 and 259 bytes", kIni + unterminated, itemNotes, {"/details"},
          header + mailFile.substr(0, 259) + ", " + first.substr(0, 259) + ", " +
              last.substr(0, 259) + ", " + mail + ", CN=Alpha/O=Acme\n" + Count(1),
          "", 0),
      Row("a mail file of 300 bytes listed", kIni + unterminated, itemNotes, {"/names"},
          header + mailFile.substr(0, 259) + "\n" + Count(1), "", 0),
  });
}

TEST_F(EndToEndTest, UsageAndCommandLineErrorsNeverLoadTheLibrary) {
  // None of these may need a library. The stand-in lies beside the copy of
  // the tool, where Windows looks first, and records being loaded (Expect):
  // a build that loads one anyway fails here, and never reaches the library
  // of an installation.
  const Runtime ended = Runtime::EndedByCommandLine;
  const std::vector<Case> cases = {
      Row("help", kIni, kMixed, {"/help"}, kUsage, "", 0, ended),
      Row("question mark", kIni, kMixed, {"/?"}, kUsage, "", 0, ended),
      Row("nothing to do", kIni, kMixed, {"extra"}, kUsage, "", 0, ended),
      Row("upper case is not an option", kIni, kMixed, {"/HELP"}, kUsage, "", 0, ended),
      Row("help wins after names", kIni, kMixed, {"/names", "/help"}, kUsage, "", 0, ended),
      Row("help wins before details", kIni, kMixed, {"/?", "/details"}, kUsage, "", 0, ended),
      Row("path with help", kIni, kMixed, {"/path", ".", "/help"}, kUsage, "", 0, ended),
      Row("check and servers with help", kIni, kMixed, {"/check", "/servers", "/?"}, kUsage, "", 0,
          ended),
      Row("path without its directory", kIni, kMixed, {"/path"}, "Path not specified.\n", "", 1,
          ended),
      Row("path last after help", kIni, kMixed, {"/help", "/path"}, "Path not specified.\n", "", 1,
          ended),
      Row("path to a missing directory", kIni, kMixed, {"/path", "missing", "/names"},
          "Error: Unable to change directory (missing).\n", "", 1, ended),
      Row("path takes the next word as its directory", kIni, kMixed, {"/path", "/names"},
          "Error: Unable to change directory (/names).\n", "", 1, ended),
      Row("path to a file", kIni, kMixed, {"/path", "names.nsf"},
          "Error: Unable to change directory (names.nsf).\n", "", 1, ended),
      Row("check with a missing directory", kIni, kMixed, {"/check", "/path", "missing"},
          "Error: Unable to change directory (missing).\n", "", 1, ended),
  };
  ExpectAll(cases);
}

TEST_F(EndToEndTest, PathSelectsTheServersDataDirectory) {
  // A partitioned server: each partition has its own notes.ini; the second
  // one keeps its directory elsewhere.
  fs::path first = MakeDirectory("partition1", kIni, kMixed);
  fs::path second = MakeDirectory("partition2", kIni + "Directory=../data2\n", "");
  MakeDirectory("data2", "", LargeView(10, 2));
  fs::path empty = root_ / "elsewhere";
  fs::create_directories(empty);

  Expect({"path to a partition", "", "", {"/path", first.string()}, Count(3), "", 0}, empty, {},
         first);
  Expect({"relative path", "", "", {"/path", "partition1"}, Count(3), "", 0}, root_, {}, first);
  Expect({"data directory from notes.ini", "", "", {"/path", second.string()}, Count(5), "", 0},
         empty, {}, second);
  Expect({"the last path holds",
          "",
          "",
          {"/path", first.string(), "/path", second.string()},
          Count(5),
          "",
          0},
         empty, {}, second);
  Expect({"without path the working directory", "", "", {}, Count(3), "", 0}, first);
}

TEST_F(EndToEndTest, SampleDirectoryOfTheDemo) {
  // The bundled samples, with a leak report added to their notes.ini.
  fs::path samples = root_ / "samples";
  fs::copy(kSamples, samples);
  WriteFile(samples / "notes.ini",
            ReadFile(kSamples / "notes.ini") + "StandInLeakReport=leaks.txt\n");
  Expect({"samples", "", "", {"/path", samples.string()}, Count(6), "", 0}, root_, {}, samples);
}

TEST_F(EndToEndTest, ReportThatCannotBeWrittenIsNoSuccess) {
  // The count and the usage text fail at the last flush, and so does a
  // listing longer than the C library's buffer, whose failed bytes stay
  // buffered. A message longer than the buffer fails while it is printed, and
  // what failed is dropped: nothing is left for the last flush, only the
  // stream's error.
  struct Case {
    const char* name;
    std::string nsf;
    std::vector<std::string> arguments;
    Runtime runtime;
  };
  const std::string hugeMissing = std::string(9990, 'p') + "\\missing";
  const std::vector<Case> cases = {
      {"count", kMixed, {}, Runtime::Started},
      {"usage", kMixed, {"/help"}, Runtime::EndedByCommandLine},
      {"listing longer than the buffer", LargeView(3000, 1), {"/names"}, Runtime::Started},
      {"message longer than the buffer",
       kMixed,
       {"/path", hugeMissing},
       Runtime::EndedByCommandLine},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    fs::path directory = MakeDirectory("case" + std::to_string(i), kIni, c.nsf);
    ToolRun run = RunProgram(kTool, c.arguments, directory, standIn_, kRefusingOutput);
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(run.err, "") << c.name;
    EXPECT_EQ(fs::exists(directory / "leaks.txt"), c.runtime == Runtime::Started) << c.name;
    EXPECT_EQ(ReadFile(directory / "leaks.txt"), "") << c.name;
  }
}

TEST_F(EndToEndTest, LibraryThatCannotBeBound) {
#if defined(_WIN32)
  // With an installation key Windows also searches the installation's
  // directory, where it finds that installation's library.
  if (InstallationKeyOpens()) {
    GTEST_SKIP() << "a Notes or Domino installation key opens on this machine: its library may "
                    "be found";
  }
#endif
  fs::path directory = MakeDirectory("data", kIni, kMixed);
  fs::path nowhere = root_ / "no-library";
  fs::create_directories(nowhere);
  Expect({"library not found", "", "", {}, kLoadFailed, "", 1, Runtime::NotStarted}, directory,
         nowhere);
  // A library lacking an entry point: MissingEntryPointTest.cpp, each in turn.
}

}  // namespace
