// Fault injection by StandInFault_<EntryPoint> keys in notes.ini.
#include <map>

#include "StandInTest.h"

namespace standin_test {
namespace {

// The tool's sequence once over names.nsf; the status of each call by name.
std::map<std::string, Status> RunOnce() {
  std::map<std::string, Status> status;
  DbHandle db = 0;
  NoteId view = 0;
  CollectionHandle collection = 0;
  ReadPosition position{};
  MemHandle memory = 0;
  std::uint16_t length = 0, flags = 0;
  std::uint32_t returned = 0;
  NoteHandle note = 0;
  status["NSFDbOpen"] = NSFDbOpen("names.nsf", &db);
  status["NIFFindDesignNoteExt"] =
      NIFFindDesignNoteExt(db, "Mail Users", kViewNoteClass, "-G40n^", &view, 0);
  status["NIFOpenCollection"] =
      NIFOpenCollection(db, db, view, 0, 0, &collection, nullptr, nullptr, nullptr, nullptr);
  status["NIFReadEntries"] = NIFReadEntries(collection, &position, 1, 1, 1, 0xFFFFFFFF, 1, &memory,
                                            &length, nullptr, &returned, &flags);
  if (memory != 0) OSMemFree(memory);
  status["NSFNoteOpen"] = NSFNoteOpen(db, 4, kSummaryOnly, &note);
  if (note != 0) NSFNoteClose(note);
  status["NIFCloseCollection"] = NIFCloseCollection(collection);
  status["NSFDbClose"] = NSFDbClose(db);
  return status;
}

class Faults : public StandInTest {};

TEST_F(Faults, FailTheChosenCalls) {
  const struct {
    const char* ini;
    const char* entryPoint;
    std::vector<Status> statuses;  // of three runs
  } cases[] = {
      {"StandInFault_NSFDbOpen=", "NSFDbOpen", {0x0109, 0, 0}},
      {"StandInFault_NSFDbOpen=call=2", "NSFDbOpen", {0, 0x0109, 0}},
      {"standinfault_nsfdbopen= call=2 , repeat,status=0x0102", "NSFDbOpen", {0, 0x0102, 0x0102}},
      {"StandInFault_NIFFindDesignNoteExt=status=260", "NIFFindDesignNoteExt", {0x0104, 0, 0}},
      {"StandInFault_NIFOpenCollection=call=3", "NIFOpenCollection", {0, 0, 0x0109}},
      {"StandInFault_NIFReadEntries=repeat", "NIFReadEntries", {0x0109, 0x0109, 0x0109}},
      {"StandInFault_NIFCloseCollection=call=1", "NIFCloseCollection", {0x0109, 0, 0}},
      {"StandInFault_NSFDbClose=call=2,status=0x0105", "NSFDbClose", {0, 0x0105, 0}},
      {"StandInFault_NSFNoteOpen=call=2,repeat", "NSFNoteOpen", {0, 0x0109, 0x0109}},
      {"StandInFault_NSFNoteOpen=note=8", "NSFNoteOpen", {0, 0, 0}},
      {"StandInFault_NSFNoteOpen=note=8,note=0x4", "NSFNoteOpen", {0x0109, 0x0109, 0x0109}},
      {"StandInFault_NSFNoteOpen=note=8,call=2", "NSFNoteOpen", {0, 0x0109, 0}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.ini);
    ASSERT_EQ(Start(MailUsers(3), std::string(test.ini) + "\n"), 0);
    std::vector<Status> statuses;
    for (int run = 0; run < 3; ++run) statuses.push_back(RunOnce()[test.entryPoint]);
    EXPECT_EQ(statuses, test.statuses);
    NotesTerm();
  }
}

TEST_F(Faults, NoteFaultsHitOnlyTheirNotes) {
  StartAndOpen(MailUsers(3), "StandInFault_NSFNoteOpen=note=8\n");
  for (int round = 0; round < 2; ++round) {
    for (NoteId id : {NoteId{4}, NoteId{8}, NoteId{12}}) {
      NoteHandle note = 0;
      EXPECT_EQ(NSFNoteOpen(db_, id, kSummaryOnly, &note), id == 8 ? 0x0109 : 0) << id;
      if (note != 0) NSFNoteClose(note);
    }
  }
}

TEST_F(Faults, InitFaults) {
  ASSERT_EQ(Start(MailUsers(1), "StandInFault_NotesInitExtended=status=0x0101\n"), 0x0101);
  EXPECT_FALSE(fs::exists("leaks.txt"));
  ASSERT_EQ(Start(MailUsers(1), "StandInFault_NotesInitExtended=call=2\n"), 0);
  EXPECT_EQ(InitAsTool(), 0x0109);
  OpenMailUsers();  // the session survives the failing second init
}

TEST_F(Faults, FailingReadCanStillHandOutItsBatch) {
  StartAndOpen(MailUsers(5),
               "StandInBatchSize=2\nStandInFault_NIFReadEntries=call=2,memory,flags=0x20\n");
  ReadPosition position{};
  EXPECT_EQ(Read(position).ids, (std::vector<NoteId>{4, 8}));
  const Batch failed = Read(position);
  EXPECT_EQ(failed.status, 0x0109);
  EXPECT_EQ(failed.ids, (std::vector<NoteId>{12, 16}));
  EXPECT_EQ(failed.flags, kMoreToDo);
  EXPECT_EQ(position.tumbler[0], 4u);
  EXPECT_EQ(Read(position).ids, std::vector<NoteId>{20});
  NotesTerm();

  StartAndOpen(MailUsers(5), "StandInFault_NIFReadEntries=flags=0x20\n");
  position = ReadPosition{};
  const Batch lost = Read(position);
  EXPECT_EQ(lost.status, 0x0109);
  EXPECT_EQ(lost.memory, 0u);
  EXPECT_EQ(lost.returned, 0u);
  EXPECT_EQ(lost.flags, kMoreToDo);
  EXPECT_EQ(position.tumbler[0], 0u);
  EXPECT_EQ(Read(position).returned, 5u);
}

TEST_F(Faults, LockCanFail) {
  StartAndOpen(MailUsers(1), "StandInFault_OSLockObject=call=2\n");
  ReadPosition position{};
  const MemHandle memory = ReadBatch(position);
  const std::vector<bool> locked = {OSLockObject(memory) != nullptr,
                                    OSLockObject(memory) != nullptr,
                                    OSLockObject(memory) != nullptr};
  EXPECT_EQ(locked, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(OSUnlockObject(memory), 1);
  EXPECT_EQ(OSUnlockObject(memory), 1);
  EXPECT_EQ(OSUnlockObject(memory), 0);  // the failed lock was not counted
  EXPECT_EQ(OSMemFree(memory), 0);
}

TEST_F(Faults, FailingClosesStillRelease) {
  StartAndOpen(MailUsers(1), "StandInFault_NIFCloseCollection=\nStandInFault_NSFDbClose=\n");
  EXPECT_EQ(NIFCloseCollection(collection_), 0x0109);
  EXPECT_EQ(NSFDbClose(db_), 0x0109);
  EXPECT_EQ(Finish(), "");
}

}  // namespace
}  // namespace standin_test
