// NIFReadEntries: batches, positions and signal flags.
#include "StandInTest.h"

namespace standin_test {
namespace {

class ReadEntries : public StandInTest {};

TEST_F(ReadEntries, ReadsAFullBatchThenTheRest) {
  StartAndOpen(MailUsers(16385));
  ReadPosition position{};
  Batch first = Read(position);
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.returned, 16384u);
  EXPECT_EQ(first.length, 0u);  // 16384 * 4 bytes wraps in 16 bits
  EXPECT_EQ(first.flags, kMoreToDo);
  EXPECT_EQ(position.tumbler[0], 16384u);
  ASSERT_EQ(first.ids.size(), 16384u);
  EXPECT_EQ(first.ids.front(), 4u);
  EXPECT_EQ(first.ids.back(), 16384u * 4);

  Batch second = Read(position);
  EXPECT_EQ(second.returned, 1u);
  EXPECT_EQ(second.length, 4u);
  EXPECT_EQ(second.flags, 0u);
  EXPECT_EQ(second.ids, std::vector<NoteId>{16385u * 4});
  EXPECT_EQ(position.tumbler[0], 16385u);

  Batch after = Read(position);
  EXPECT_EQ(after.status, 0);
  EXPECT_EQ(after.memory, 0u);
  EXPECT_EQ(after.returned, 0u);
  EXPECT_EQ(after.flags, 0u);
  EXPECT_EQ(position.tumbler[0], 16385u);
  CloseMailUsers();
  EXPECT_EQ(Finish(), "");
}

TEST_F(ReadEntries, BatchesAreCutByBatchSizeAndReturnCount) {
  const struct {
    int entries;
    const char* ini;
    std::uint32_t returnCount;
    std::vector<std::uint32_t> sizes;
  } cases[] = {
      {5, "", 0xFFFFFFFF, {5}},
      {5, "StandInBatchSize=2\n", 0xFFFFFFFF, {2, 2, 1}},
      {4, "standinbatchsize=0x2\n", 0xFFFFFFFF, {2, 2}},
      {5, "", 3, {3, 2}},
      {5, "StandInBatchSize=3\n", 2, {2, 2, 1}},
      {0, "", 0xFFFFFFFF, {0}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(std::to_string(test.entries) + " " + test.ini + std::to_string(test.returnCount));
    StartAndOpen(MailUsers(test.entries), test.ini);
    std::vector<std::uint32_t> sizes;
    const std::vector<NoteId> ids = ReadAll(&sizes, test.returnCount);
    EXPECT_EQ(sizes, test.sizes);
    // Other return counts are served; each read with one is recorded.
    ExpectMisuses("NIFReadEntries",
                  std::vector<std::string>(test.returnCount == 0xFFFFFFFF ? 0 : sizes.size(),
                                           "return count"));
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(test.entries));
    for (std::size_t index = 0; index < ids.size(); ++index) EXPECT_EQ(ids[index], 4 * (index + 1));
    NotesTerm();
  }
}

TEST_F(ReadEntries, SkipCountMovesForwardFromTheLastEntryRead) {
  StartAndOpen(MailUsers(6));
  const struct {
    std::uint32_t skip;
    std::vector<NoteId> ids;
    std::uint32_t tumbler, skipped;
    std::uint16_t flags;
  } steps[] = {
      {3, {12, 16}, 4, 3, kMoreToDo},  // from before the first entry
      {2, {24}, 6, 2, 0},
      {1, {}, 6, 0, 0},  // past the end nothing is returned and nothing moves
  };
  ReadPosition position{};
  for (const auto& step : steps) {
    MemHandle memory = 0;
    std::uint32_t skipped = 99, returned = 99;
    std::uint16_t length = 99, flags = 99;
    ASSERT_EQ(NIFReadEntries(collection_, &position, 1, step.skip, 1, 2, 1, &memory, &length,
                             &skipped, &returned, &flags),
              0);
    // Served, and recorded: the tool skips 1, reads all that fit and asks
    // for no skipped count.
    std::vector<std::string> misused;
    if (step.skip != 1) misused.push_back("skip count");
    misused.push_back("return count");
    misused.push_back("skipped-count output");
    ExpectMisuses("NIFReadEntries", misused);
    std::vector<NoteId> ids;
    if (memory != 0) {
      const auto* words = static_cast<const NoteId*>(OSLockObject(memory));
      ids.assign(words, words + returned);
      OSUnlockObject(memory);
      OSMemFree(memory);
    }
    EXPECT_EQ(ids, step.ids);
    EXPECT_EQ(position.tumbler[0], step.tumbler);
    EXPECT_EQ(skipped, step.skipped);
    EXPECT_EQ(flags, step.flags);
  }
}

TEST_F(ReadEntries, RejectsWhatTheStandInDoesNotServe) {
  const struct {
    std::uint16_t skipNavigator, returnNavigator;
    std::uint32_t mask;
    const char* argument;
  } cases[] = {{2, 1, 1, "skip navigator"},
               {1, 0x80, 1, "return navigator"},
               {1, 1, 0x0100, "return mask"},
               {1, 1, 0x0101, "return mask"}};
  StartAndOpen(MailUsers(3));
  std::uint16_t length = 1, flags = 1;
  for (const auto& test : cases) {
    ReadPosition position{};
    MemHandle memory = 1;
    std::uint32_t returned = 1;
    EXPECT_EQ(NIFReadEntries(collection_, &position, test.skipNavigator, 1, test.returnNavigator,
                             0xFFFFFFFF, test.mask, &memory, &length, nullptr, &returned, &flags),
              0x0108);
    EXPECT_EQ(memory, 0u);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(position.tumbler[0], 0u);
    ExpectMisuses("NIFReadEntries", {test.argument});
  }
  MemHandle memory = 0;
  std::uint32_t returned = 0;
  EXPECT_EQ(NIFReadEntries(collection_, nullptr, 1, 1, 1, 0xFFFFFFFF, 1, &memory, &length, nullptr,
                           &returned, &flags),
            0x0108);
  ExpectMisuses("NIFReadEntries", {"position"});
  EXPECT_EQ(TextOf(0x0108), "Invalid argument");
  const std::string report = Finish();
  EXPECT_EQ(Occurrences(report, "misuse: NIFReadEntries with"), 5u) << report;
}

}  // namespace
}  // namespace standin_test
