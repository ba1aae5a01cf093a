#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "Census.h"
#include "Driver.h"
#include "FakeNotes.h"

namespace {

const char kServer[] = "CN=Alpha/O=Acme";
// The library's signal that entries remain, as its contract gives it.
constexpr std::uint16_t kMoreToDo = 0x0020;

struct CensusRun {
  bool ok = false;
  std::string out;
  std::string err;
};

CensusRun Count(const char* server, std::uint32_t& total, bool listNames = false,
                bool listDetails = false) {
  CensusRun run;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  run.ok = CountMailboxes(server, total, listNames, listDetails);
  run.out = testing::internal::GetCapturedStdout();
  run.err = testing::internal::GetCapturedStderr();
  return run;
}

// A view of n mailboxes of kServer with NoteIds 4, 8, 12, ...
std::vector<FakeNote> Mailboxes(std::uint32_t n) {
  std::vector<FakeNote> view;
  for (std::uint32_t i = 1; i <= n; ++i) view.push_back(Mailbox(4 * i, kServer, "mail/user.nsf"));
  return view;
}

// Makes `fake` a fresh fake, installed, whose view holds n mailboxes read
// `batch` at a time.
void Fresh(FakeNotes& fake, std::uint32_t n, std::uint32_t batch) {
  fake = FakeNotes{};
  fake.Install();
  fake.view = Mailboxes(n);
  fake.batchSize = batch;
}

class CensusTest : public testing::Test {
 protected:
  void SetUp() override { fake.Install(); }
  void Fresh(std::uint32_t n, std::uint32_t batch) { ::Fresh(fake, n, batch); }
  FakeNotes fake;
};

struct NoteCase {
  const char* name;
  FakeNote note;
  NoteVerdict verdict;
};

FakeNote With(FakeNote note, const std::string& item, const std::string& value) {
  note.items[item] = value;
  return note;
}
FakeNote Without(FakeNote note, const std::string& item) {
  note.items.erase(item);
  return note;
}
FakeNote Unopenable(FakeNote note, NotesStatus status = 0x0105) {
  note.openable = false;
  note.openStatus = status;
  return note;
}

TEST_F(CensusTest, EachNoteIsJudgedOnServerResponseAndMailFile) {
  const FakeNote base = Mailbox(4, kServer, "mail/jdoe.nsf");
  using V = NoteVerdict;
  const std::vector<NoteCase> cases = {
      {"matching mailbox", base, V::Mailbox},
      {"other server", With(base, "MailServer", "CN=Beta/O=Acme"), V::OtherServer},
      {"server in other letter case", With(base, "MailServer", "cn=alpha/o=acme"), V::NearMiss},
      {"server with blanks at either end", With(base, "MailServer", " \tCN=Alpha/O=Acme "),
       V::NearMiss},
      {"both at once", With(base, "MailServer", "  cN=aLPHA/o=aCME\t"), V::NearMiss},
      {"blank inside the name", With(base, "MailServer", "CN=Alpha /O=Acme"), V::OtherServer},
      {"letters beyond ASCII differ", With(base, "MailServer", "CN=Alph\xC0/O=Acme"),
       V::OtherServer},
      {"server with a suffix", With(base, "MailServer", "CN=Alpha/O=Acme2"), V::OtherServer},
      {"server as a prefix", With(base, "MailServer", "CN=Alpha"), V::OtherServer},
      {"no MailServer", Without(base, "MailServer"), V::NoMailServer},
      {"response note", With(base, "$REF", "0x20A"), V::ResponseNote},
      {"response note with empty $REF", With(base, "$REF", ""), V::ResponseNote},
      {"near miss before response", With(With(base, "$REF", ""), "MailServer", "cn=alpha/o=acme"),
       V::NearMiss},
      {"empty MailFile", With(base, "MailFile", ""), V::NoMailFile},
      {"no MailFile", Without(base, "MailFile"), V::NoMailFile},
      {"response before mail file", Without(With(base, "$REF", ""), "MailFile"), V::ResponseNote},
      {"cannot be opened", Unopenable(base), V::NotOpened},
      {"other items do not matter", With(base, "FirstName", "%s%n"), V::Mailbox},
  };
  std::uint32_t expected = 0;
  for (const NoteCase& c : cases) {
    fake.view = {c.note};
    fake.databases.insert(1);
    testing::internal::CaptureStderr();
    Census census;
    census.serverName = kServer;
    census.details = true;
    EXPECT_EQ(QualifyMailboxNote(1, c.note.id, census), c.verdict) << c.name;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.name;
    fake.databases.clear();
    EXPECT_EQ(fake.Problems(), "") << c.name;
    expected += c.verdict == V::Mailbox;
  }

  // The same notes in one view: the census counts exactly the mailboxes.
  fake.view.clear();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    FakeNote note = cases[i].note;
    note.id = static_cast<NoteId>(4 * (i + 1));
    fake.view.push_back(note);
  }
  std::uint32_t total = 0;
  CensusRun run = Count(kServer, total);
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(total, expected);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(fake.Problems(), "");
}

TEST_F(CensusTest, EveryMailboxCountsOnceHoweverTheViewIsBatched) {
  struct Case {
    std::uint32_t notes;
    std::uint32_t batchSize;
    int reads;
  };
  for (const Case& c : std::vector<Case>{
           {0, 4, 1}, {1, 4, 1}, {4, 4, 1}, {5, 4, 2}, {12, 4, 3}, {13, 4, 4}, {16385, 16384, 2}}) {
    Fresh(c.notes, c.batchSize);
    std::uint32_t total = 7;  // the census adds to what the caller has
    CensusRun run = Count(kServer, total);
    EXPECT_TRUE(run.ok) << c.notes;
    EXPECT_EQ(total, 7 + c.notes) << c.notes;
    EXPECT_EQ(fake.calls["NIFReadEntries"], c.reads) << c.notes;
    EXPECT_EQ(fake.opened.size(), c.notes) << c.notes;
    EXPECT_EQ(fake.Problems(), "") << c.notes;
  }
}

TEST_F(CensusTest, ReadsGoOnExactlyWhileTheLibrarySignalsMore) {
  // By read: the NoteIds given (others take 4), the signal flags reported
  // (others tell the truth), and the reads whose memory holds no entry.
  auto expect = [this](const char* name, const std::map<int, std::uint32_t>& batchSizes,
                       const std::map<int, std::uint16_t>& readFlags,
                       const std::set<int>& emptyMemory, std::uint32_t total, int reads) {
    Fresh(10, 4);
    fake.batchSizes = batchSizes;
    fake.readFlags = readFlags;
    fake.emptyMemoryReads = emptyMemory;
    std::uint32_t counted = 0;
    CensusRun run = Count(kServer, counted);
    EXPECT_TRUE(run.ok) << name;
    EXPECT_EQ(counted, total) << name;
    EXPECT_EQ(fake.calls["NIFReadEntries"], reads) << name;
    EXPECT_EQ(fake.calls["OSMemFree"], fake.calls["OSLockObject"]) << name;
    EXPECT_EQ(fake.Problems(), "") << name;
  };
  expect("no more after the first batch", {{1, 3}}, {{1, 0}}, {}, 3, 1);
  expect("every other flag but more-to-do", {}, {{1, 0xFFFF & ~kMoreToDo}}, {}, 4, 1);
  expect("more-to-do among other flags", {}, {{1, 0xFFFF}}, {}, 10, 3);
  expect("uneven batches, one of them empty", {{1, 1}, {2, 5}, {3, 0}}, {}, {}, 10, 4);
  expect("more claimed after the last entry", {{1, 10}}, {{1, kMoreToDo}}, {}, 10, 2);
  expect("memory holding no entry is freed all the same", {}, {}, {1, 3}, 10, 5);
}

// A directory with a note of each kind, some twice, read in batches of three.
std::vector<FakeNote> EveryKind() {
  const FakeNote base = Mailbox(0, kServer, "mail/a.nsf");
  std::vector<FakeNote> view = {base,
                                Unopenable(base, 0x0105),
                                Without(base, "MailServer"),
                                With(base, "MailServer", "CN=Beta/O=Acme"),
                                With(base, "MailServer", "cn=alpha/o=acme"),
                                With(With(base, "$REF", ""), "MailFile", "mail/r.nsf"),
                                Without(base, "MailFile"),
                                Unopenable(With(base, "MailFile", "mail/u.nsf"), 0x4109),
                                With(base, "MailServer", " CN=Alpha/O=Acme"),
                                With(base, "MailServer", "cn=alpha/o=acme"),
                                With(base, "MailServer", "CN=BETA/O=Acme"),
                                With(base, "MailFile", "mail/b.nsf"),
                                Unopenable(base, 0x0105)};
  for (std::size_t i = 0; i < view.size(); ++i) view[i].id = static_cast<NoteId>(4 * (i + 1));
  return view;
}

// Takes the census of EveryKind, read three notes at a time, listing the names:
// the tallies by verdict (in the enumeration's order), the near misses, the
// servers and the listing.
void ExpectTallies(bool allServers, bool details, const std::vector<std::uint32_t>& tallies,
                   const TextTally& nearMisses, const TextTally& servers, const std::string& out) {
  FakeNotes fake;
  Fresh(fake, 0, 3);
  fake.view = EveryKind();
  Census census;
  census.serverName = kServer;
  census.allServers = allServers;
  census.listNames = true;
  census.details = details;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(TakeCensus(census)) << allServers;
  EXPECT_EQ(testing::internal::GetCapturedStdout(), out) << allServers;
  EXPECT_EQ(std::vector<std::uint32_t>(census.verdicts, census.verdicts + kNoteVerdicts), tallies)
      << allServers;
  // The statuses as NSFNoteOpen gave them; their texts are read later.
  using Statuses = std::map<NotesStatus, std::uint32_t>;
  EXPECT_EQ(census.notOpened, (details ? Statuses{{0x0105, 2}, {0x4109, 1}} : Statuses{}));
  EXPECT_EQ(census.nearMisses, nearMisses) << allServers;
  EXPECT_EQ(census.servers, servers) << allServers;
  EXPECT_EQ(fake.calls["OSLoadString"], 0) << allServers;
  EXPECT_EQ(fake.Problems(), "") << allServers;
}

TEST_F(CensusTest, EveryNoteLandsInOneTallyWithItsDetails) {
  ExpectTallies(false, true, {3, 1, 2, 3, 1, 1, 2},
                {{" CN=Alpha/O=Acme", 1}, {"cn=alpha/o=acme", 2}}, {},
                "\nMailboxes:\n\nmail/a.nsf\nmail/b.nsf\n");
  // Without the details, which only /check shows, a near miss is another
  // server's.
  ExpectTallies(false, false, {3, 1, 5, 0, 1, 1, 2}, {}, {},
                "\nMailboxes:\n\nmail/a.nsf\nmail/b.nsf\n");
  // Every server's mailboxes, case variants apart; no note is another's.
  ExpectTallies(true, true, {3, 1, 0, 0, 1, 1, 7}, {},
                {{" CN=Alpha/O=Acme", 1},
                 {"CN=Alpha/O=Acme", 2},
                 {"CN=BETA/O=Acme", 1},
                 {"CN=Beta/O=Acme", 1},
                 {"cn=alpha/o=acme", 2}},
                "\nMailboxes:\n\nmail/a.nsf\nmail/a.nsf\nmail/a.nsf\nmail/a.nsf\nmail/a.nsf\nmail/"
                "a.nsf\nmail/b.nsf\n");
}

TEST_F(CensusTest, BatchTallyIsNotLimitedToSixteenBits) {
  Fresh(70000, 70000);
  std::uint32_t total = 0;
  EXPECT_TRUE(Count(kServer, total).ok);
  EXPECT_EQ(total, 70000u);
  EXPECT_EQ(fake.calls["NIFReadEntries"], 1);
}

TEST_F(CensusTest, NoServerNameFailsWithoutTouchingTheLibrary) {
  std::uint32_t total = 3;
  CensusRun run = Count(nullptr, total);
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(total, 3u);
  EXPECT_TRUE(fake.calls.empty());
}

TEST_F(CensusTest, EmptyServerNameMatchesNothing) {
  fake.view = Mailboxes(3);
  fake.view.push_back(Mailbox(100, "", "mail/blank.nsf"));
  std::uint32_t total = 0;
  CensusRun run = Count("", total);
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(total, 0u);
  EXPECT_EQ(fake.Problems(), "");
}

// Arranges that NIFReadEntries call `call` fails, and with `repeat` every later
// one too.
std::function<void(FakeNotes&)> ReadFails(int call, NotesStatus status, bool withMemory,
                                          std::uint16_t flagsLeft, bool repeat = false) {
  return [=](FakeNotes& f) {
    f.readFaults[call] = {status, withMemory, flagsLeft};
    f.readFaultsRepeat = repeat;
  };
}

// One failing call per row: the census fails, what is reported, what is
// still counted, and that every handle is released all the same.
struct FailureCase {
  const char* name;
  std::function<void(FakeNotes&)> arrange;
  std::uint32_t total;
  std::string loadedStrings;  // status numbers whose texts were printed
  int reads;
  int databaseCloses;
};

TEST_F(CensusTest, FailuresAreReportedAndEverythingIsReleased) {
  const std::vector<FailureCase> cases = {
      {"database does not open", [](FakeNotes& f) { f.dbOpenStatus = 0x0102; }, 0, "0x0102 ", 0, 0},
      {"status high bits are masked", [](FakeNotes& f) { f.dbOpenStatus = 0xC102; }, 0, "0x0102 ",
       0, 0},
      {"no Mail Users view", [](FakeNotes& f) { f.findViewStatus = 0x0104; }, 0, "0x0104 ", 0, 1},
      {"collection does not open", [](FakeNotes& f) { f.openCollectionStatus = 0x0109; }, 0,
       "0x0109 ", 0, 1},
      {"second read fails after the first batch", ReadFails(2, 0x0109, false, kMoreToDo), 4,
       "0x0109 ", 2, 1},
      {"failed read still hands back a batch", ReadFails(2, 0x0109, true, 0), 8, "0x0109 ", 2, 1},
      {"library keeps failing with more to do", ReadFails(1, 0x0109, false, kMoreToDo, true), 0,
       "0x0109 ", 1, 1},
      {"first batch gives no address", [](FakeNotes& f) { f.lockFailures = {1}; }, 6, "", 3, 1},
      {"collection does not close", [](FakeNotes& f) { f.closeCollectionStatus = 0x0107; }, 10,
       "0x0107 ", 3, 1},
      {"database does not close", [](FakeNotes& f) { f.dbCloseStatus = 0x0107; }, 10, "0x0107 ", 3,
       1},
      {"both closes fail",
       [](FakeNotes& f) {
         f.closeCollectionStatus = 0x0107;
         f.dbCloseStatus = 0x0108;
       },
       10, "0x0107 0x0108 ", 3, 1},
  };
  for (const FailureCase& c : cases) {
    Fresh(10, 4);
    c.arrange(fake);
    std::uint32_t total = 0;
    CensusRun run = Count(kServer, total);
    EXPECT_FALSE(run.ok) << c.name;
    EXPECT_EQ(total, c.total) << c.name;
    EXPECT_EQ(fake.loadedStringNumbers, c.loadedStrings) << c.name;
    std::string expectedErr;
    for (std::size_t at = 0; at < c.loadedStrings.size(); at += 7) {
      expectedErr += "text of " + c.loadedStrings.substr(at, 6) + "\n";
    }
    EXPECT_EQ(run.err, expectedErr) << c.name;
    EXPECT_EQ(run.out, "") << c.name;
    EXPECT_EQ(fake.calls["NIFReadEntries"], c.reads) << c.name;
    EXPECT_EQ(fake.calls["NSFDbClose"], c.databaseCloses) << c.name;
    EXPECT_EQ(fake.Problems(), "") << c.name;
  }
}

TEST_F(CensusTest, ExceptionInABatchAbandonsOnlyThatBatch) {
  Fresh(10, 4);
  // The third note of the first batch throws after two were counted; the
  // fourth is never looked at; the next two batches count fully.
  fake.beforeNoteOpen = [](NoteId id) {
    if (id == 12) throw std::runtime_error("library failure");
  };
  std::uint32_t total = 0;
  CensusRun run = Count(kServer, total);
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(total, 2u + 6u);
  EXPECT_EQ(fake.opened, (std::vector<NoteId>{4, 8, 20, 24, 28, 32, 36, 40}));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(fake.Problems(), "");
}

TEST_F(CensusTest, ExceptionOutsideANoteEndsTheCensusAndReleasesAll) {
  // A read that throws leaves no batch to free; a lock that throws leaves
  // one, which the census frees without unlocking it.
  for (const std::string call : {"NIFReadEntries", "OSLockObject"}) {
    Fresh(10, 4);
    fake.throwsOn = {{call, 1}};
    std::uint32_t total = 0;
    CensusRun run = Count(kServer, total);
    EXPECT_FALSE(run.ok) << call;
    EXPECT_EQ(total, 0u) << call;
    EXPECT_EQ(run.err, "") << call;
    EXPECT_EQ(fake.calls["NSFDbClose"], 1) << call;
    EXPECT_EQ(fake.calls["OSMemFree"], call == "OSLockObject" ? 1 : 0) << call;
    EXPECT_EQ(fake.Problems(), "") << call;
  }
}

// One release call that throws per row. A note's close is part of that
// note's work: the rest of its batch is abandoned and the read loop goes on.
// Any other release that throws ends the census at once. Either way every
// other handle is released, nothing more is printed, and the tool reports the
// failure; the release that threw leaves its handle as the library had it.
void ExpectReleaseThrows(const char* name, const std::map<std::string, int>& throwsOn,
                         std::uint32_t total, int reads, const std::vector<NoteId>& notesLeft,
                         std::size_t memoryLeft, const std::vector<int>& locksLeft,
                         bool databaseLeft, const std::string& err = "",
                         const std::function<void(FakeNotes&)>& arrange = nullptr,
                         const std::vector<std::string>& misuses = {}) {
  FakeNotes fake;
  auto start = [&] {
    Fresh(fake, 10, 4);
    fake.environment["MailServer"] = kServer;
    fake.throwsOn = throwsOn;
    if (arrange) arrange(fake);
  };
  start();
  std::uint32_t counted = 0;
  CensusRun run = Count(kServer, counted);
  EXPECT_FALSE(run.ok) << name;
  EXPECT_EQ(counted, total) << name;
  EXPECT_EQ(fake.calls["NIFReadEntries"], reads) << name;
  EXPECT_EQ(run.out, "") << name;
  EXPECT_EQ(run.err, err) << name;
  std::vector<NoteId> notesOpen;
  for (const auto& open : fake.notes) notesOpen.push_back(open.second->id);
  EXPECT_EQ(notesOpen, notesLeft) << name;
  std::vector<int> locks;
  for (const auto& block : fake.memory) locks.push_back(block.second.locks);
  EXPECT_EQ(fake.memory.size(), memoryLeft) << name;
  EXPECT_EQ(locks, locksLeft) << name;
  EXPECT_EQ(fake.databases.size(), databaseLeft ? 1u : 0u) << name;
  EXPECT_EQ(fake.collections.size(), name == std::string("the collection's close") ? 1u : 0u)
      << name;
  EXPECT_EQ(fake.misuses, misuses) << name;

  // The tool around it: its one message, status 1, the runtime ended.
  start();
  char program[] = "Quorvane.exe";
  char* argv[] = {program, nullptr};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = RunNotesSession(1, argv, Options{});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Unable to count mailboxes.\n") << name;
  EXPECT_EQ(testing::internal::GetCapturedStderr(), err) << name;
  EXPECT_EQ(status, 1) << name;
  EXPECT_EQ(fake.calls["NotesTerm"], 1) << name;
}

TEST_F(CensusTest, ReleaseThatThrowsFailsTheCensusAndReleasesEveryOtherHandle) {
  ExpectReleaseThrows("a note's close", {{"NSFNoteClose", 3}}, 2 + 6, 3, {12}, 0, {}, false);
  ExpectReleaseThrows("a note's close after an item read threw",
                      {{"NSFItemGetText", 5}, {"NSFNoteClose", 3}}, 2 + 6, 3, {12}, 0, {}, false);
  ExpectReleaseThrows("the first batch's unlock", {{"OSUnlockObject", 1}}, 4, 1, {}, 1, {1}, false);
  ExpectReleaseThrows("the second batch's free", {{"OSMemFree", 2}}, 8, 2, {}, 1, {0}, false);
  ExpectReleaseThrows("the free of memory that gives no address", {{"OSMemFree", 2}}, 4, 2, {}, 1,
                      {0}, false, "", [](FakeNotes& f) { f.lockFailures = {2}; });
  ExpectReleaseThrows("the free after the lock threw", {{"OSLockObject", 2}, {"OSMemFree", 2}}, 4,
                      2, {}, 1, {0}, false);
  ExpectReleaseThrows("the collection's close", {{"NIFCloseCollection", 1}}, 10, 3, {}, 0, {},
                      false, "", nullptr, {"NSFDbClose with its collection still open"});
  ExpectReleaseThrows("the database's last close", {{"NSFDbClose", 1}}, 10, 3, {}, 0, {}, true);
  ExpectReleaseThrows("the database's close after the view was not found", {{"NSFDbClose", 1}}, 0,
                      0, {}, 0, {}, true, "text of 0x0104\n",
                      [](FakeNotes& f) { f.findViewStatus = 0x0104; });
  ExpectReleaseThrows("the database's close after the collection did not open", {{"NSFDbClose", 1}},
                      0, 0, {}, 0, {}, true, "text of 0x0109\n",
                      [](FakeNotes& f) { f.openCollectionStatus = 0x0109; });
}

FakeNote Person(NoteId id, const std::string& mailFile, const std::string& first,
                const std::string& last) {
  FakeNote note = Mailbox(id, kServer, mailFile);
  note.items["FirstName"] = first;
  note.items["LastName"] = last;
  note.items["FullName"] = "CN=" + first + " " + last + "/O=Acme";
  note.items["Mail"] = first + "@acme.example";
  note.items["MailDomain"] = "AcmeMail";
  return note;
}

// Lists the view, read a note at a time so that lines go on across batches.
void ExpectListing(const char* name, const std::vector<FakeNote>& view, bool listNames,
                   bool listDetails, const std::string& out) {
  FakeNotes fake;
  Fresh(fake, 0, 1);
  fake.view = view;
  std::uint32_t total = 0;
  CensusRun run = Count(kServer, total, listNames, listDetails);
  EXPECT_TRUE(run.ok) << name;
  EXPECT_EQ(run.out, out) << name;
  EXPECT_EQ(run.err, "") << name;
  EXPECT_EQ(fake.Problems(), "") << name;
}

TEST_F(CensusTest, ListingPrintsOneLinePerMailboxInViewOrder) {
  const FakeNote ann = Person(4, "mail/ann.nsf", "Ann", "Berg");
  const FakeNote bob = Person(8, "mail/bob.nsf", "Bob", "Cole");
  const std::string annDetails =
      "mail/ann.nsf, Ann, Berg, CN=Ann Berg/O=Acme, Ann@acme.example, CN=Alpha/O=Acme, AcmeMail\n";
  const std::string bobDetails =
      "mail/bob.nsf, Bob, Cole, CN=Bob Cole/O=Acme, Bob@acme.example, CN=Alpha/O=Acme, AcmeMail\n";
  const std::string header = "\nMailboxes:\n\n";
  ExpectListing("no flag prints nothing", {ann, bob}, false, false, "");
  ExpectListing("names", {ann, bob}, true, false, header + "mail/ann.nsf\nmail/bob.nsf\n");
  ExpectListing("details alone", {ann, bob}, false, true, header + annDetails + bobDetails);
  ExpectListing("names with details", {ann, bob}, true, true, header + annDetails + bobDetails);
  ExpectListing("nothing qualifies: header only", {Without(ann, "MailFile")}, true, true, header);
  ExpectListing(
      "only mailboxes are listed",
      {With(ann, "MailServer", "CN=Beta/O=Acme"), bob, With(ann, "$REF", "x"), Unopenable(ann)},
      false, true, header + bobDetails);
  ExpectListing("missing and empty items leave no separator",
                {With(Without(Without(ann, "FirstName"), "Mail"), "MailDomain", "")}, false, true,
                header + "mail/ann.nsf, Berg, CN=Ann Berg/O=Acme, CN=Alpha/O=Acme\n");
  ExpectListing(
      "format characters are printed as they stand",
      {With(With(Mailbox(4, kServer, "mail/100%s%n.nsf"), "FirstName", "%d%%"), "Mail", "\\%x")},
      false, true, header + "mail/100%s%n.nsf, %d%%, \\%x, CN=Alpha/O=Acme\n");
  ExpectListing(
      "long texts come back cut to 259 bytes",
      {With(Mailbox(4, kServer, std::string(300, 'm')), "FullName", std::string(259, 'f'))}, false,
      true, header + std::string(259, 'm') + ", " + std::string(259, 'f') + ", CN=Alpha/O=Acme\n");
}

TEST_F(CensusTest, ListingKeepsWhatWasPrintedWhenTheCensusFails) {
  auto expect = [this](const char* name, const std::function<void(FakeNotes&)>& arrange,
                       const std::string& out, const std::string& err) {
    Fresh(5, 2);
    arrange(fake);
    std::uint32_t total = 0;
    CensusRun run = Count(kServer, total, true, false);
    EXPECT_FALSE(run.ok) << name;
    EXPECT_EQ(run.out, out) << name;
    EXPECT_EQ(run.err, err) << name;
    EXPECT_EQ(fake.Problems(), "") << name;
  };
  expect(
      "database does not open", [](FakeNotes& f) { f.dbOpenStatus = 0x0102; }, "\nMailboxes:\n\n",
      "text of 0x0102\n");
  expect(
      "no Mail Users view", [](FakeNotes& f) { f.findViewStatus = 0x0104; }, "\nMailboxes:\n\n",
      "text of 0x0104\n");
  expect("second read fails", ReadFails(2, 0x0109, false, 0),
         "\nMailboxes:\n\nmail/user.nsf\nmail/user.nsf\n", "text of 0x0109\n");
}

TEST_F(CensusTest, ListingNeverReadsPastAnUnterminatedText) {
  // A library that fills the whole buffer and leaves no terminator: every
  // item is 300 bytes, so each reads as the buffer's 259 bytes at most.
  const std::string text(300, 'x');
  FakeNote note;
  note.id = 4;
  for (const char* item :
       {"MailServer", "MailFile", "FirstName", "LastName", "FullName", "Mail", "MailDomain"}) {
    note.items[item] = text;
  }
  fake.view = {note};
  fake.unterminatedTexts = true;
  // MailServer reads as 259 x's, so the server name must be that too.
  const std::string name(259, 'x');
  std::uint32_t total = 0;
  CensusRun run = Count(name.c_str(), total, false, true);
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(total, 1u);
  std::string line = name;
  for (int i = 0; i < 6; ++i) line += ", " + name;
  EXPECT_EQ(run.out, "\nMailboxes:\n\n" + line + "\n");
  EXPECT_EQ(fake.Problems(), "");
}

TEST_F(CensusTest, StatusTextIsPrintedVerbatimOnStandardError) {
  // The library's text for the status, whether it leaves it unterminated.
  auto expect = [this](const char* name, const std::string& text, bool unterminated,
                       const std::string& err) {
    fake = FakeNotes{};
    fake.Install();
    fake.statusTexts[0x0109] = text;
    fake.unterminatedTexts = unterminated;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    PrintNotesStatus(0x0109);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), err) << name;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << name;
    EXPECT_EQ(fake.loadedStringNumbers, "0x0109 ") << name;
    EXPECT_EQ(fake.Problems(), "") << name;
  };
  expect("format characters", "100% %s%n done", false, "100% %s%n done\n");
  expect("cut by the library", std::string(600, 'e'), false, std::string(511, 'e') + "\n");
  expect("filling the buffer without a terminator", std::string(600, 'e'), true,
         std::string(511, 'e') + "\n");
}

}  // namespace
