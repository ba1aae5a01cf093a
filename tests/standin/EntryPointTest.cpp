// Initialisation, environment, status texts, items and collection outputs.
#include <algorithm>
#include <cstring>

#include "StandInTest.h"

namespace standin_test {
namespace {

class EntryPoints : public StandInTest {};

TEST_F(EntryPoints, InitNeedsAValidNotesIni) {
  EXPECT_EQ(InitAsTool(), 0x0101);
  EXPECT_EQ(TextOf(0x0101), "notes.ini not found");
  const char* const badLines[] = {
      "StandInFault_Bogus=call=1",
      "StandInFault_NSFDbOpen=colour=red",
      "StandInFault_NSFDbOpen=call=0",
      "StandInFault_NSFDbOpen=status=0",
      "StandInFault_NSFDbOpen=call=2 3",
      "StandInFault_NSFDbOpen=note=4",
      "StandInFault_NSFNoteOpen=memory",
      "StandInFault_NIFReadEntries=repeat=2",
      "StandInFault_OSLockObject=status=5",
      "StandInFault_NSFItemGetText=call=1",
      "StandInBatchSize=0",
      "StandInBatchSize=16385",
      "StandInBatchSize=ten",
      "StandInLeakReprot=leaks.txt",
      "StandInUnterminatedTexts=2",
      "StandInUnterminatedTexts=",
      "StandInUnterminatedTexts=yes",
      "StandInStatusText_0=zero is no status",
      "StandInStatusText_0x4000=beyond the string numbers",
      "StandInStatusText_=no code",
      "StandInStatusText_0x01O8=not a number",
  };
  for (const char* line : badLines) {
    WriteFile("notes.ini", std::string(line) + "\nMailServer=x\n");
    EXPECT_EQ(InitAsTool(), 0x0108) << line;
    char text[8] = "unset";
    EXPECT_EQ(OSGetEnvironmentString("MailServer", text, sizeof text), 0) << line;
    DbHandle db = 0;
    EXPECT_EQ(NSFDbOpen("names.nsf", &db), 0x010B) << line;
  }
  char arg0[] = "Quorvane", arg1[] = "%s%n\xFF", *argv[] = {arg0, arg1, nullptr};
  WriteFile("notes.ini", "");
  EXPECT_EQ(NotesInitExtended(2, argv), 0);
  EXPECT_EQ(NotesInitExtended(2, argv), 0);  // a second init keeps the session
}

TEST_F(EntryPoints, EnvironmentComesFromNotesIni) {
  WriteFile("notes.ini",
            "[Notes]\r\nMailServer=CN=Alpha/O=Acme\r\n; Commented=1\n# Hashed=1\n"
            "  Spaced Key = v \nEmpty=\nmailserver2=second\n");
  ASSERT_EQ(InitAsTool(), 0);
  const struct {
    const char* name;
    std::uint16_t size;
    Bool found;
    const char* text;
  } cases[] = {
      {"MailServer", 260, 1, "CN=Alpha/O=Acme"},
      {"MAILSERVER", 5, 1, "CN=A"},
      {"Spaced Key", 260, 1, " v "},
      {"Empty", 260, 1, ""},
      {"Commented", 260, 0, ""},
      {"Hashed", 260, 0, ""},
      {"Absent", 260, 0, ""},
      {"MailServer2", 260, 1, "second"},
  };
  for (const auto& test : cases) {
    char text[260] = "unset";
    EXPECT_EQ(OSGetEnvironmentString(test.name, text, test.size), test.found) << test.name;
    EXPECT_STREQ(text, test.text) << test.name;
    // Served all the same, but the tool passes 260.
    ExpectMisuses("OSGetEnvironmentString", std::vector<std::string>(test.size != 260, "size"));
  }
}

TEST_F(EntryPoints, LoadStringGivesTheTextOfEachCode) {
  const struct {
    Status code;
    std::uint16_t size;
    const char* text;
  } cases[] = {
      {0x0101, 512, "notes.ini not found"},
      {0x0102, 512, "File does not exist"},
      {0x0104, 512, "Cannot locate view"},
      {0x0105, 512, "Note cannot be opened"},
      {0x0106, 512, "Item not found"},
      {0x0107, 512, "Invalid handle"},
      {0x0108, 512, "Invalid argument"},
      {0x0109, 512, "Server not responding"},
      {0x010A, 512, "Insufficient memory"},
      {0x0ABC, 512, "Stand-in status 0x0ABC"},
      {0x0001, 512, "Stand-in status 0x0001"},
      {0x0108, 6, "Inval"},
      {0x0108, 1, ""},
  };
  for (const auto& test : cases) {
    char text[512];
    EXPECT_EQ(OSLoadString(nullptr, test.code, text, test.size), std::strlen(test.text));
    EXPECT_STREQ(text, test.text);
    ExpectMisuses("OSLoadString", std::vector<std::string>(test.size != 512, "size"));
  }
}

TEST_F(EntryPoints, ItemTextIsCutToTheBuffer) {
  const std::string longValue(300, 'x');
  StartAndOpen("view Mail Users\nnote 4\nLong: " + longValue + "\n$REF: 0123\n");
  NoteHandle note = 0;
  ASSERT_EQ(NSFNoteOpen(db_, 4, kSummaryOnly, &note), 0);
  char text[300];
  std::memset(text, '#', sizeof text);
  EXPECT_EQ(NSFItemGetText(note, "Long", text, 260), 259u);
  EXPECT_EQ(std::string(text), longValue.substr(0, 259));
  EXPECT_EQ(text[260], '#');
  std::memset(text, '#', sizeof text);
  ExpectMisuses("NSFItemGetText", {});
  EXPECT_EQ(NSFItemGetText(note, "Long", text, 0), 0u);
  EXPECT_EQ(text[0], '#');
  ExpectMisuses("NSFItemGetText", {"size"});
  EXPECT_EQ(NSFItemGetText(note, "Missing", text, 260), 0u);
  EXPECT_STREQ(text, "");
  ExpectMisuses("NSFItemGetText", {});

  const struct {
    const char* name;
    std::uint16_t length;
    Status status;
    std::uint32_t valueLength;
  } cases[] = {{"$REF", 4, 0, 4},     {"$refuse", 4, 0, 4},      {"Long", 4, 0, 300},
               {"$RE", 3, 0x0106, 7}, {"Missing", 7, 0x0106, 7}, {"", 0, 0x0106, 7}};
  for (const auto& test : cases) {
    char blocks[2][16] = {"untouched", "untouched"};
    std::uint16_t type = 7;
    std::uint32_t length = 7;
    EXPECT_EQ(NSFItemInfo(note, test.name, test.length, blocks[0], &type, blocks[1], &length),
              test.status)
        << test.name;
    EXPECT_EQ(type, test.status == 0 ? 0x0500 : 7) << test.name;
    EXPECT_EQ(length, test.valueLength) << test.name;
    EXPECT_STREQ(blocks[0], "untouched");
    EXPECT_STREQ(blocks[1], "untouched");
    // The outputs are served, and recorded: the tool asks for none of them.
    std::vector<std::string> misused = {"item block output", "data type output",
                                        "value block output", "value length output"};
    if (test.length != std::strlen(test.name)) misused.insert(misused.begin(), "name length");
    ExpectMisuses("NSFItemInfo", misused);
  }
  EXPECT_EQ(NSFItemInfo(note, "$REF", 4, nullptr, nullptr, nullptr, nullptr), 0);
  ExpectMisuses("NSFItemInfo", {});
  EXPECT_EQ(NSFNoteClose(note), 0);
}

TEST_F(EntryPoints, OpenCollectionClearsOptionalOutputsOnly) {
  StartAndOpen(MailUsers(1));
  NoteHandle viewNote = 7;
  MemHandle collapsed = 7, selected = 7;
  char unid[16] = "untouched";
  CollectionHandle collection = 0;
  ASSERT_EQ(
      NIFOpenCollection(db_, db_, view_, 0, 0, &collection, &viewNote, unid, &collapsed, &selected),
      0);
  EXPECT_NE(collection, 0);
  EXPECT_NE(collection, collection_);
  EXPECT_EQ(viewNote + collapsed + selected, 0u);
  EXPECT_STREQ(unid, "untouched");
  ExpectMisuses("NIFOpenCollection", {"view note output", "view UNID output",
                                      "collapsed list output", "selected list output"});
  EXPECT_EQ(NIFCloseCollection(collection), 0);
  EXPECT_EQ(
      NIFOpenCollection(db_, db_, view_ + 4, 0, 0, &collection, nullptr, nullptr, nullptr, nullptr),
      0x0104);
  ExpectMisuses("NIFOpenCollection", {});
  EXPECT_EQ(NIFFindDesignNoteExt(db_, "Mail Users", 0x0004, "-G40n^", &view_, 0), 0x0108);
  ExpectMisuses("NIFFindDesignNoteExt", {"note class"});
}

class UnterminatedTexts : public StandInTest {};

// With StandInUnterminatedTexts=1 a text that does not fit fills the whole
// buffer and is not terminated; one that fits is written as usual. A sentinel
// after the buffer shows that nothing is written beyond it.
TEST_F(UnterminatedTexts, TextsThatDoNotFitFillTheBuffer) {
  const std::string status600(600, 's'), status512(512, 't'), status511(511, 'u');
  const std::string env300(300, 'e'), env260(260, 'f'), env259(259, 'g');
  const std::string item300(300, 'i'), item260(260, 'j'), item259(259, 'k');
  const std::string ini = "StandInStatusText_0x0109=" + status600 +
                          "\nStandInStatusText_0x3FFE=" + status512 +
                          "\nStandInStatusText_1=" + status511 + "\nEnv300=" + env300 +
                          "\nEnv260=" + env260 + "\nEnv259=" + env259 + "\n";
  const std::string nsf = "view Mail Users\nnote\nItem300: " + item300 + "\nItem260: " + item260 +
                          "\nItem259: " + item259 + "\n";
  enum class Call { Status, Environment, Item };
  const struct {
    Call call;
    const char* name;  // item or variable
    Status code;
    const std::string* text;
  } cases[] = {
      {Call::Status, "", 0x0109, &status600},    {Call::Status, "", 0x3FFE, &status512},
      {Call::Status, "", 0x0001, &status511},    {Call::Environment, "Env300", 0, &env300},
      {Call::Environment, "Env260", 0, &env260}, {Call::Environment, "Env259", 0, &env259},
      {Call::Item, "Item300", 0, &item300},      {Call::Item, "Item260", 0, &item260},
      {Call::Item, "Item259", 0, &item259},
  };
  for (const char* setting : {"0", "1"}) {
    const bool unterminated = setting[0] == '1';
    StartAndOpen(nsf, ini + "StandInUnterminatedTexts=" + setting + "\n");
    NoteHandle note = 0;
    ASSERT_EQ(NSFNoteOpen(db_, 4, kSummaryOnly, &note), 0);
    for (const auto& test : cases) {
      SCOPED_TRACE(std::string(setting) + " " + test.name + " " + std::to_string(test.code));
      const std::uint16_t size = test.call == Call::Status ? 512 : 260;
      std::string buffer(size + 1, '#');
      std::uint16_t written = 0;
      if (test.call == Call::Status) {
        written = OSLoadString(nullptr, test.code, &buffer[0], size);
      } else if (test.call == Call::Environment) {
        EXPECT_EQ(OSGetEnvironmentString(test.name, &buffer[0], size), 1);
      } else {
        written = NSFItemGetText(note, test.name, &buffer[0], size);
      }
      const bool fits = test.text->size() < size;
      const std::string expected = !fits && unterminated ? test.text->substr(0, size) + "#"
                                                         : test.text->substr(0, size - 1) + '\0';
      EXPECT_EQ(buffer.substr(0, expected.size()), expected);
      if (test.call != Call::Environment) {
        EXPECT_EQ(written, !fits && unterminated
                               ? size
                               : std::min<std::size_t>(test.text->size(), size - 1u));
      }
    }
    EXPECT_EQ(NSFNoteClose(note), 0);
    CloseMailUsers();
    EXPECT_EQ(Finish(), "");
  }
}

}  // namespace
}  // namespace standin_test
