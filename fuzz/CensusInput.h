// The census fuzz target's input: a directory, the library's answers and the
// census's arguments, decoded from bytes and encoded back (for the seeds).
//
// Layout, front to back; a number is little-endian, and bytes missing at the
// end read as zero:
//   u8  options: 1 listNames, 2 listDetails, 4 item texts come back
//       unterminated when they do not fit
//   u8  total the caller already has
//   str server name
//   u8  failing calls: 1 NSFDbOpen, 2 NIFFindDesignNoteExt,
//       4 NIFOpenCollection, 8 NIFCloseCollection, 16 NSFDbClose;
//       a u16 status follows for each bit set, in that order
//   u8  batch size of reads not scripted (0 reads as 1)
//   u8  scripted reads (at most kMaxReads), each:
//       u8 bits: 1 fails, 2 a failing read still hands back its batch,
//                4 flags given; u8 batch size; u16 status if it fails;
//                u16 signal flags if given
//   u8  failing OSLockObject calls (at most kMaxLockFailures), each u8 the
//       call number
//   u8  notes (at most kMaxNotes), each: u16 bits: 1 cannot be opened,
//       2 MailServer is the server name, then bit 2 << k when item
//       kNoteItems[k] is present with a str value (MailServer's value is
//       not stored when bit 2 is set)
//   str: u16 length (at most kMaxText), then the bytes
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "NotesApi.h"

constexpr std::size_t kMaxReads = 16;
constexpr std::size_t kMaxLockFailures = 8;
constexpr std::size_t kMaxNotes = 64;
constexpr std::size_t kMaxText = 600;

// The items a note of the input may carry, in bit order.
constexpr const char* kNoteItems[] = {"MailServer", "MailFile", "$REF",       "FirstName",
                                      "LastName",   "FullName", "MailDomain", "Mail"};
constexpr std::size_t kNoteItemCount = sizeof kNoteItems / sizeof kNoteItems[0];

struct InputRead {
  NotesStatus status = 0;   // 0: the read succeeds
  bool withMemory = false;  // a failing read still hands back its batch
  std::uint32_t batchSize = 0;
  bool flagsGiven = false;  // the read reports these flags, true or not
  std::uint16_t flags = 0;
};

struct InputNote {
  bool openable = true;
  std::map<std::string, std::string> items;
};

struct CensusInput {
  bool listNames = false;
  bool listDetails = false;
  bool unterminatedTexts = false;
  std::uint32_t initialTotal = 0;
  std::string serverName;
  NotesStatus dbOpenStatus = 0;
  NotesStatus findViewStatus = 0;
  NotesStatus openCollectionStatus = 0;
  NotesStatus closeCollectionStatus = 0;
  NotesStatus dbCloseStatus = 0;
  std::uint32_t batchSize = 1;
  std::vector<InputRead> reads;  // the first NIFReadEntries calls
  std::set<int> lockFailures;    // OSLockObject call numbers, 1-based
  std::vector<InputNote> notes;  // the view, in order
};

CensusInput DecodeCensusInput(const std::uint8_t* data, std::size_t size);
std::string EncodeCensusInput(CensusInput input);
