#include "CensusModel.h"

#include <algorithm>
#include <cstdio>

namespace {

// The library's answer for one item, as the census sees it after cutting it
// to its 260-byte buffer: present with a text, and the text up to its first
// zero byte within the first 259.
struct ItemText {
  bool nonEmpty = false;
  std::string text;
};

ItemText Item(const InputNote& note, const char* name) {
  ItemText item;
  auto found = note.items.find(name);
  if (found == note.items.end() || found->second.empty()) return item;
  item.nonEmpty = true;
  std::string cut = found->second.substr(0, 259);
  item.text = cut.substr(0, cut.find('\0'));
  return item;
}

std::string StatusWord(NotesStatus status) {
  char word[16];
  std::snprintf(word, sizeof word, "0x%04X ", static_cast<unsigned>(status & 0x3fff));
  return word;
}

// One note of a batch: is it a mailbox of the server, and its listing line.
bool Mailbox(const CensusInput& input, const InputNote& note, std::string& line) {
  if (!note.openable) return false;
  const std::string server = input.serverName.c_str();  // the name ends at a zero byte
  ItemText mailServer = Item(note, "MailServer");
  if (!mailServer.nonEmpty || mailServer.text != server) return false;
  if (note.items.count("$REF") != 0) return false;
  ItemText mailFile = Item(note, "MailFile");
  if (!mailFile.nonEmpty) return false;
  line = mailFile.text;
  if (input.listDetails) {
    for (const char* name :
         {"FirstName", "LastName", "FullName", "Mail", "MailServer", "MailDomain"}) {
      ItemText detail = Item(note, name);
      if (detail.nonEmpty) line += ", " + detail.text;
    }
  }
  line += "\n";
  return true;
}

}  // namespace

NoteId InputNoteId(std::size_t index) { return static_cast<NoteId>(4 * (index + 1)); }

CensusOutcome ExpectedCensus(const CensusInput& input) {
  CensusOutcome outcome;
  outcome.total = input.initialTotal;
  const bool listing = input.listNames || input.listDetails;
  if (listing) outcome.out = "\nMailboxes:\n\n";

  // The first failure of the opening calls ends the census; the closes that
  // the failure leaves to be done are not reported.
  for (NotesStatus status :
       {input.dbOpenStatus, input.findViewStatus, input.openCollectionStatus}) {
    if (status != 0) {
      outcome.ok = false;
      outcome.reportedStatuses = StatusWord(status);
      return outcome;
    }
  }

  std::size_t position = 0;  // notes handed out so far
  int locks = 0;
  for (std::size_t call = 1;; ++call) {
    const InputRead scripted =
        call <= input.reads.size() ? input.reads[call - 1] : InputRead{0, false, input.batchSize};
    const bool fails = scripted.status != 0;
    std::uint16_t flags = 0;
    if (!fails || scripted.withMemory) {
      std::size_t count = std::min<std::size_t>(scripted.batchSize, input.notes.size() - position);
      if (count > 0) {
        // The batch is counted whole, or not at all when it gives no address.
        if (input.lockFailures.count(++locks) != 0) {
          outcome.ok = false;
        } else {
          for (std::size_t i = position; i < position + count; ++i) {
            outcome.opened.push_back(InputNoteId(i));
            std::string line;
            if (Mailbox(input, input.notes[i], line)) {
              ++outcome.total;
              if (listing) outcome.out += line;
            }
          }
        }
      }
      position += count;
      flags = position < input.notes.size() ? kSignalMoreToDo : 0;
      if (scripted.flagsGiven) flags = scripted.flags;
    }
    if (fails) {
      outcome.ok = false;
      outcome.reportedStatuses += StatusWord(scripted.status);
      break;
    }
    if ((flags & kSignalMoreToDo) == 0) break;
  }

  for (NotesStatus status : {input.closeCollectionStatus, input.dbCloseStatus}) {
    if (status != 0) {
      outcome.ok = false;
      outcome.reportedStatuses += StatusWord(status);
    }
  }
  return outcome;
}
