#include "StandInTest.h"

#include "../FreshDirectory.h"
#include "Session.h"

namespace standin_test {

Status InitAsTool() {
  static char program[] = "Quorvane.exe";
  static char* argv[] = {program, nullptr};
  return NotesInitExtended(1, argv);
}

std::string TextOf(Status status) {
  char text[512];
  OSLoadString(nullptr, status & kStatusTextMask, text, sizeof text);
  return text;
}

std::size_t Occurrences(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

std::string MailUsers(int count) {
  std::string names = "view Mail Users\n";
  for (int index = 1; index <= count; ++index) {
    names += "note\nFirstName: User" + std::to_string(index) + "\nMailFile: mail/u" +
             std::to_string(index) + ".nsf\n";
  }
  return names;
}

void StandInTest::SetUp() {
  previous_ = fs::current_path();
  directory_ = FreshDirectory(std::string("standin-") +
                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::current_path(directory_);
}

void StandInTest::TearDown() {
  NotesTerm();
  fs::current_path(previous_);
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
}

Status StandInTest::Start(const std::string& names, const std::string& iniLines) {
  WriteFile("names.nsf", names);
  WriteFile("notes.ini", "StandInLeakReport=leaks.txt\n" + iniLines);
  seenMisuses_ = 0;
  return InitAsTool();
}

void StandInTest::StartAndOpen(const std::string& names, const std::string& iniLines) {
  ASSERT_EQ(Start(names, iniLines), 0);
  OpenMailUsers();
}

std::string StandInTest::Finish() {
  NotesTerm();
  return ReadFile("leaks.txt");
}

void StandInTest::OpenMailUsers() {
  ASSERT_EQ(NSFDbOpen("names.nsf", &db_), 0);
  ASSERT_EQ(NIFFindDesignNoteExt(db_, "Mail Users", kViewNoteClass, "-G40n^", &view_, 0), 0);
  ASSERT_EQ(
      NIFOpenCollection(db_, db_, view_, 0, 0, &collection_, nullptr, nullptr, nullptr, nullptr),
      0);
}

void StandInTest::CloseMailUsers() {
  EXPECT_EQ(NIFCloseCollection(collection_), 0);
  EXPECT_EQ(NSFDbClose(db_), 0);
}

Batch StandInTest::Read(ReadPosition& position, std::uint32_t count, bool keepMemory) {
  Batch batch;
  batch.status =
      NIFReadEntries(collection_, &position, kNextNavigator, 1, kNextNavigator, count, kNoteIdMask,
                     &batch.memory, &batch.length, nullptr, &batch.returned, &batch.flags);
  if (batch.memory != 0 && !keepMemory) {
    const auto* ids = static_cast<const NoteId*>(OSLockObject(batch.memory));
    if (ids != nullptr) batch.ids.assign(ids, ids + batch.returned);
    OSUnlockObject(batch.memory);
    OSMemFree(batch.memory);
  }
  return batch;
}

MemHandle StandInTest::ReadBatch(ReadPosition& position) {
  const Batch batch = Read(position, kAllThatFit, true);
  EXPECT_EQ(batch.status, 0);
  return batch.memory;
}

std::vector<std::string> StandInTest::NewMisuses() {
  const std::vector<std::string> all = TheSession().misuses();
  if (seenMisuses_ > all.size()) seenMisuses_ = 0;  // a new session began
  std::vector<std::string> fresh(all.begin() + static_cast<std::ptrdiff_t>(seenMisuses_),
                                 all.end());
  seenMisuses_ = all.size();
  return fresh;
}

void StandInTest::ExpectMisuses(const std::string& call,
                                const std::vector<std::string>& arguments) {
  const std::vector<std::string> misuses = NewMisuses();
  std::vector<std::string> named;
  for (const std::string& line : misuses) {
    for (const std::string& argument : arguments) {
      if (line.rfind("misuse: " + call + " with " + argument + " ", 0) == 0) {
        named.push_back(argument);
        break;
      }
    }
  }
  EXPECT_EQ(named, arguments) << ::testing::PrintToString(misuses);
  EXPECT_EQ(misuses.size(), arguments.size()) << ::testing::PrintToString(misuses);
}

std::vector<NoteId> StandInTest::ReadAll(std::vector<std::uint32_t>* sizes, std::uint32_t count) {
  ReadPosition position{};
  std::vector<NoteId> ids;
  Batch batch;
  do {
    batch = Read(position, count);
    EXPECT_EQ(batch.status, 0);
    ids.insert(ids.end(), batch.ids.begin(), batch.ids.end());
    if (sizes != nullptr) sizes->push_back(batch.returned);
  } while (batch.status == 0 && (batch.flags & kMoreToDo) != 0);
  return ids;
}

}  // namespace standin_test
