// Handle accounting and the leak report written at NotesTerm.
#include <cstdlib>
#include <random>

#include "StandInTest.h"

namespace standin_test {
namespace {

class LeakReport : public StandInTest {};

TEST_F(LeakReport, CleanRunLeavesItEmpty) {
  WriteFile("leaks.txt", "stale\n");
  ASSERT_EQ(Start(MailUsers(3)), 0);
  EXPECT_EQ(ReadFile("leaks.txt"), "");  // emptied at init
  OpenMailUsers();
  ReadPosition position{};
  const Batch batch = Read(position);
  for (NoteId id : batch.ids) {
    NoteHandle note = 0;
    ASSERT_EQ(NSFNoteOpen(db_, id, kSummaryOnly, &note), 0);
    EXPECT_EQ(NSFNoteClose(note), 0);
  }
  CloseMailUsers();
  EXPECT_EQ(Finish(), "");
}

TEST_F(LeakReport, ListsEveryHandleNotReleased) {
  StartAndOpen(MailUsers(3));
  NoteHandle note = 0;
  ASSERT_EQ(NSFNoteOpen(db_, 4, kSummaryOnly, &note), 0);
  ReadPosition position{};
  const MemHandle memory = ReadBatch(position);
  ASSERT_NE(OSLockObject(memory), nullptr);
  const std::string report = Finish();
  for (const char* piece :
       {"leak: database handle 0x5A", "(names.nsf)", "leak: collection handle 0x",
        "(view \"Mail Users\")", "leak: note handle 0x5A", "(NoteId 0x00000004)",
        "leak: memory handle 0x5A", "(12 bytes), still locked 1 time(s)"}) {
    EXPECT_EQ(Occurrences(report, piece), 1u) << piece << "\n" << report;
  }
  EXPECT_EQ(Occurrences(report, "\n"), 4u) << report;
}

TEST_F(LeakReport, RecordsEveryMisuse) {
  StartAndOpen(MailUsers(3), "StandInBatchSize=1\n");
  ReadPosition position{};
  const MemHandle memory = ReadBatch(position);
  const MemHandle locked = ReadBatch(position);
  NoteHandle note = 0, none = 0;
  ASSERT_EQ(NSFNoteOpen(db_, 4, kSummaryOnly, &note), 0);
  EXPECT_EQ(NSFNoteClose(note), 0);
  const std::uint64_t unknown = 0x1234;
  NoteId view = 0;
  CollectionHandle other = 0;
  char text[260] = "unset";
  // Each call below is one misuse.
  EXPECT_EQ(NSFNoteClose(note), 0x0107);
  EXPECT_EQ(NSFDbClose(static_cast<std::uint32_t>(db_)), 0x0107);
  EXPECT_EQ(NSFNoteOpen(unknown, 4, kSummaryOnly, &none), 0x0107);
  EXPECT_EQ(NIFFindDesignNoteExt(unknown, "Mail Users", kViewNoteClass, "-G40n^", &view, 0),
            0x0107);
  EXPECT_EQ(NIFOpenCollection(unknown, unknown, 0xFFFF0004, 0, 0, &other, nullptr, nullptr, nullptr,
                              nullptr),
            0x0107);
  MemHandle noBatch = 0;
  std::uint16_t length = 0, flags = 0;
  std::uint32_t returned = 0;
  EXPECT_EQ(NIFReadEntries(0, &position, 1, 1, 1, 0xFFFFFFFF, 1, &noBatch, &length, nullptr,
                           &returned, &flags),
            0x0107);
  EXPECT_EQ(NIFCloseCollection(0), 0x0107);
  EXPECT_EQ(NSFItemGetText(note, "FirstName", text, sizeof text), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(NSFItemInfo(note, "$REF", 4, nullptr, nullptr, nullptr, nullptr), 0x0107);
  EXPECT_EQ(OSLockObject(unknown), nullptr);
  EXPECT_EQ(OSMemFree(unknown), 0x0107);
  EXPECT_EQ(OSUnlockObject(memory), 0);
  ASSERT_NE(OSLockObject(locked), nullptr);
  EXPECT_EQ(OSMemFree(locked), 0);
  EXPECT_EQ(OSMemFree(memory), 0);
  CloseMailUsers();
  const std::string report = Finish();
  for (const char* line : {"misuse: NSFNoteClose of unknown handle 0x5A00020000",
                           "misuse: NSFDbClose of unknown handle 0x00000000",
                           "misuse: NSFNoteOpen of unknown handle 0x0000000000001234",
                           "misuse: NIFFindDesignNoteExt of unknown handle 0x0000000000001234",
                           "misuse: NIFOpenCollection of unknown handle 0x0000000000001234",
                           "misuse: NIFReadEntries of unknown handle 0x0000\n",
                           "misuse: NIFCloseCollection of unknown handle 0x0000\n",
                           "misuse: NSFItemGetText of unknown handle 0x5A00020000",
                           "misuse: NSFItemInfo of unknown handle 0x5A00020000",
                           "misuse: OSLockObject of unknown handle 0x0000000000001234",
                           "misuse: OSMemFree of unknown handle 0x0000000000001234",
                           "that is not locked", "while it is locked"}) {
    EXPECT_EQ(Occurrences(report, line), 1u) << line << "\n" << report;
  }
  EXPECT_EQ(Occurrences(report, "\n"), 13u) << report;
}

void SetEnvironment(const char* name, const std::string& value) {
#if defined(_WIN32)
  _putenv_s(name, value.c_str());  // an empty value removes the variable
#else
  if (value.empty()) {
    unsetenv(name);
  } else {
    setenv(name, value.c_str(), 1);
  }
#endif
}

TEST(LeakReportDeathTest, ExitWithoutNotesTermIsReported) {
  // On Windows the death test's child is a new run of this program; it finds
  // the directory the parent prepared through the inherited environment.
  const char* const kVariable = "STANDIN_EXIT_TEST_DIR";
  const char* inherited = std::getenv(kVariable);
  const fs::path directory =
      inherited != nullptr
          ? fs::path(inherited)
          : fs::temp_directory_path() / ("standin-exit-" + std::to_string(std::random_device()()));
  if (inherited == nullptr) {
    fs::create_directories(directory);
    WriteFile(directory / "notes.ini", "StandInLeakReport=leaks.txt\n");
    WriteFile(directory / "names.nsf", MailUsers(1));
    SetEnvironment(kVariable, directory.string());
  }
  EXPECT_EXIT(
      {
        fs::current_path(directory);
        DbHandle db = 0;
        if (InitAsTool() == 0 && NSFDbOpen("names.nsf", &db) == 0) std::exit(0);
        std::exit(1);
      },
      ::testing::ExitedWithCode(0), "");
  SetEnvironment(kVariable, "");
  const std::string report = ReadFile(directory / "leaks.txt");
  EXPECT_NE(report.find("misuse: NotesTerm not called"), std::string::npos) << report;
  EXPECT_NE(report.find("leak: database handle"), std::string::npos) << report;
  std::error_code ignored;
  fs::remove_all(directory, ignored);
}

}  // namespace
}  // namespace standin_test
