// The directory text format as NSFDbOpen reads it.
#include "StandInTest.h"

namespace standin_test {
namespace {

class DirectoryFormat : public StandInTest {};

TEST_F(DirectoryFormat, AcceptsWellFormedFiles) {
  const struct {
    const char* what;
    std::string names;
    std::vector<NoteId> ids;
  } cases[] = {
      {"comments, blank lines, CRLF and indentation",
       "# comment\r\n\r\n  view   Mail Users  \r\n\tnote 0x10\r\n   # note 99\r\n  A: b\r\n",
       {0x10}},
      {"automatic ids follow the previous note",
       "view Mail Users\nnote\nnote 100\nnote\nnote unopenable\n",
       {4, 100, 104, 108}},
      {"numbering continues across views", "view Other\nnote 40\nview Mail Users\nnote\n", {44}},
      {"item lines that start like directives",
       "view Mail Users\nnote 8\nnote: x\nviews: y\nNote:z\nview:\n",
       {8}},
      {"last line without a newline", "view Mail Users\nnote 12", {12}},
      {"an empty view", "view Mail Users\nview Other\nnote 4\n", {}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    StartAndOpen(test.names);
    EXPECT_EQ(ReadAll(), test.ids);
    CloseMailUsers();
    EXPECT_EQ(Finish(), "");
  }
}

TEST_F(DirectoryFormat, ItemValuesAreTheRawRestOfTheLine) {
  StartAndOpen(
      "view Mail Users\nnote 4\nFirstName: Ann\nEmpty:\nNoSpace:value\n"
      "TwoSpaces:  two\nColons: a:b: c\nPercent: 100% %s %n\nBytes: \xC3\xA9\xFF\n"
      "note: not a directive\nTab: x\t\nTabFirst:\tx\nCrlf: value\r\nDup: first\nDup: "
      "second\n");
  NoteHandle note = 0;
  ASSERT_EQ(NSFNoteOpen(db_, 4, kSummaryOnly, &note), 0);
  const struct {
    const char* name;
    std::string value;
  } cases[] = {
      {"FIRSTNAME", "Ann"},
      {"Empty", ""},
      {"NoSpace", "value"},
      {"TwoSpaces", " two"},
      {"Colons", "a:b: c"},
      {"Percent", "100% %s %n"},
      {"Bytes", "\xC3\xA9\xFF"},
      {"note", "not a directive"},
      {"Tab", "x\t"},
      {"TabFirst", "\tx"},
      {"Crlf", "value"},
      {"Dup", "first"},
  };
  for (const auto& test : cases) {
    char text[260];
    EXPECT_EQ(NSFItemGetText(note, test.name, text, sizeof text), test.value.size()) << test.name;
    EXPECT_EQ(text, test.value) << test.name;
  }
  EXPECT_EQ(NSFNoteClose(note), 0);
}

TEST_F(DirectoryFormat, RejectsMalformedFilesNamingTheLine) {
  const struct {
    std::string names;
    int line;
    const char* problem;
  } cases[] = {
      {"Name: x\n", 1, "item before any note"},
      {"view V\nName: x\n", 2, "item before any note"},
      {"note 4\n", 1, "note before any view"},
      {"view V\nnote 4\n\nFirst Name: Ann\n", 4, "item name \"First Name\" contains a blank"},
      {"view V\nnote 4x\n", 2, "bad note id \"4x\""},
      {"view V\nnote 0x\n", 2, "bad note id \"0x\""},
      {"view V\nnote 4294967296\n", 2, "bad note id \"4294967296\""},
      {"view V\nnote 0\n", 2, "note id must not be zero"},
      {"view V\nnote 8\nnote 0x8\n", 3, "duplicate note id 0x00000008 (first at line 2)"},
      {"# c\n\n  \nview V\nnote\nnote 4\n", 6, "duplicate note id 0x00000004 (first at line 5)"},
      {"view V\nnote 0xFFFF0004\n", 2, "note id 0xFFFF0004 is in the range kept for views"},
      {"view V\nnote 4\njust text\n", 3, "expected \"Name: value\""},
      {"view V\nnote 4\n: value\n", 3, "empty item name"},
      {"view V\nnote 4 hidden\n", 2, "unknown word \"hidden\""},
      {"view V\nnote unopenable 4\n", 2, "unknown word \"4\""},
      {"view \n", 1, "view without a name"},
      {"view V\nview v\n", 2, "duplicate view \"v\" (first at line 1)"},
      {"View V\n", 1, "expected \"Name: value\""},
      {"view V\r\nnote 4\r\nbad line\r\n", 3, "expected \"Name: value\""},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.names);
    ASSERT_EQ(Start(test.names), 0);
    DbHandle db = 0;
    EXPECT_EQ(NSFDbOpen("names.nsf", &db), 0x0103);
    EXPECT_EQ(db, 0u);
    const std::string text = TextOf(0x0103);
    EXPECT_EQ(text.rfind("names.nsf line " + std::to_string(test.line) + ": ", 0), 0u) << text;
    EXPECT_NE(text.find(test.problem), std::string::npos) << text;
    EXPECT_EQ(Finish(), "");
  }
}

TEST_F(DirectoryFormat, OpensByPathFromTheDataDirectory) {
  fs::create_directories("data");
  WriteFile("data/names.nsf", MailUsers(2));
  WriteFile("notes.ini", "Directory=data\n");
  ASSERT_EQ(InitAsTool(), 0);
  DbHandle db = 0;
  EXPECT_EQ(NSFDbOpen("missing.nsf", &db), 0x0102);
  EXPECT_EQ(TextOf(0x0102), "File does not exist");
  ASSERT_EQ(NSFDbOpen("names.nsf", &db), 0);
  EXPECT_EQ(NSFDbClose(db), 0);
  ASSERT_EQ(NSFDbOpen((directory_ / "data" / "names.nsf").string().c_str(), &db), 0);
  EXPECT_EQ(NSFDbClose(db), 0);
}

TEST_F(DirectoryFormat, FindsViewsAndOpensOnlyOpenableNotes) {
  StartAndOpen("view Mail Users\nnote 4\nnote 8 unopenable\nnote unopenable\n");
  NoteId view = 0;
  EXPECT_EQ(NIFFindDesignNoteExt(db_, "mail USERS", kViewNoteClass, "-G40n^", &view, 0), 0);
  EXPECT_EQ(NIFFindDesignNoteExt(db_, "Mail", kViewNoteClass, "-G40n^", &view, 0), 0x0104);
  EXPECT_EQ(TextOf(0x0104), "Cannot locate view");
  NoteHandle note = 0;
  for (NoteId id : {NoteId{8}, NoteId{12}, NoteId{16}, NoteId{0xFFFF0004}}) {
    EXPECT_EQ(NSFNoteOpen(db_, id, kSummaryOnly, &note), 0x0105) << id;
  }
  EXPECT_EQ(ReadAll(), (std::vector<NoteId>{4, 8, 12}));  // unopenable notes are still listed
}

}  // namespace
}  // namespace standin_test
