// Drives the census against FakeNotes answering as the input says (see
// CensusInput.h): statuses of the calls, batch sizes and signal flags of the
// reads, memory that gives no address, notes that cannot be opened, item
// texts of any length, cut or left unterminated at the buffer's end.
//
// Each run must end, release every handle it was given, count exactly the
// mailboxes the reference model finds, list exactly them when asked, print
// the text of exactly the failed calls' statuses and open exactly the notes
// of the batches it could read. Reads past a buffer are AddressSanitizer's.
#include <cstddef>
#include <cstdint>

#include "Census.h"
#include "CensusInput.h"
#include "CensusModel.h"
#include "FakeNotes.h"
#include "FuzzCheck.h"

namespace {

void Arrange(const CensusInput& input, FakeNotes& fake) {
  fake.dbOpenStatus = input.dbOpenStatus;
  fake.findViewStatus = input.findViewStatus;
  fake.openCollectionStatus = input.openCollectionStatus;
  fake.closeCollectionStatus = input.closeCollectionStatus;
  fake.dbCloseStatus = input.dbCloseStatus;
  fake.batchSize = input.batchSize;
  fake.unterminatedTexts = input.unterminatedTexts;
  fake.lockFailures = input.lockFailures;
  for (std::size_t i = 0; i < input.reads.size(); ++i) {
    const InputRead& read = input.reads[i];
    const int call = static_cast<int>(i + 1);
    fake.batchSizes[call] = read.batchSize;
    if (read.flagsGiven) fake.readFlags[call] = read.flags;
    if (read.status != 0) fake.readFaults[call] = {read.status, read.withMemory, read.flags};
  }
  for (std::size_t i = 0; i < input.notes.size(); ++i) {
    FakeNote note;
    note.id = InputNoteId(i);
    note.openable = input.notes[i].openable;
    note.items = input.notes[i].items;
    fake.view.push_back(note);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static StdoutCapture* capture = new StdoutCapture;

  const CensusInput input = DecodeCensusInput(data, size);
  const CensusOutcome expected = ExpectedCensus(input);

  FakeNotes fake;
  Arrange(input, fake);
  fake.Install();
  std::uint32_t total = input.initialTotal;
  capture->Begin();
  bool ok = CountMailboxes(input.serverName.c_str(), total, input.listNames, input.listDetails);
  std::string out = capture->End();

  Require(fake.Problems().empty(), "every handle is released and none is misused");
  Require(ok == expected.ok, "the census fails exactly when a call failed");
  Require(total == expected.total, "the total is the model's");
  Require(out == expected.out, "the listing is the model's, line for line");
  Require(fake.loadedStringNumbers == expected.reportedStatuses,
          "exactly the failed calls' statuses are reported, in order");
  Require(fake.opened == expected.opened, "exactly the notes of readable batches are opened");
  return 0;
}
