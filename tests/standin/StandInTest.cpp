#include "StandInTest.h"

#include <fstream>
#include <random>
#include <sstream>

namespace standin_test {

void WriteFile(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string TextOf(NotesStatus status) {
  char text[512];
  OSLoadString(nullptr, status & kNotesStatusTextMask, text, sizeof text);
  return text;
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
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  directory_ = fs::temp_directory_path() / ("standin-" + std::string(test->name()) + "-" +
                                            std::to_string(std::random_device()()));
  fs::create_directories(directory_);
  fs::current_path(directory_);
}

void StandInTest::TearDown() {
  NotesTerm();
  fs::current_path(previous_);
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
}

NotesStatus StandInTest::Start(const std::string& names, const std::string& iniLines) {
  WriteFile("names.nsf", names);
  WriteFile("notes.ini", "StandInLeakReport=leaks.txt\n" + iniLines);
  return NotesInitExtended(0, nullptr);
}

std::string StandInTest::Finish() {
  NotesTerm();
  return ReadFile("leaks.txt");
}

void StandInTest::OpenMailUsers() {
  NoteId view = 0;
  ASSERT_EQ(NSFDbOpen("names.nsf", &db_), 0);
  ASSERT_EQ(NIFFindDesignNoteExt(db_, "Mail Users", kNoteClassView, "-G40n^", &view, 0), 0);
  ASSERT_EQ(
      NIFOpenCollection(db_, db_, view, 0, 0, &collection_, nullptr, nullptr, nullptr, nullptr), 0);
}

void StandInTest::CloseMailUsers() {
  EXPECT_EQ(NIFCloseCollection(collection_), 0);
  EXPECT_EQ(NSFDbClose(db_), 0);
}

Batch StandInTest::Read(CollectionPosition& position, std::uint32_t count) {
  Batch batch;
  batch.status = NIFReadEntries(collection_, &position, kNavigateNext, 1, kNavigateNext, count,
                                kReadMaskNoteId, &batch.memory, &batch.length, nullptr,
                                &batch.returned, &batch.flags);
  if (batch.memory != 0) {
    const auto* ids = static_cast<const NoteId*>(OSLockObject(batch.memory));
    if (ids != nullptr) batch.ids.assign(ids, ids + batch.returned);
    OSUnlockObject(batch.memory);
    OSMemFree(batch.memory);
  }
  return batch;
}

std::vector<NoteId> StandInTest::ReadAll(std::vector<std::uint32_t>* sizes, std::uint32_t count) {
  CollectionPosition position{};
  std::vector<NoteId> ids;
  Batch batch;
  do {
    batch = Read(position, count);
    EXPECT_EQ(batch.status, 0);
    ids.insert(ids.end(), batch.ids.begin(), batch.ids.end());
    if (sizes != nullptr) sizes->push_back(batch.returned);
  } while (batch.status == 0 && (batch.flags & kSignalMoreToDo) != 0);
  return ids;
}

}  // namespace standin_test
