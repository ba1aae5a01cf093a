#include "Evidence.h"

#include <cstdint>
#include <cstdio>

namespace {

// A line of the block: "  Label: " and the text, which is never a format.
void PrintText(const char* label, const std::string& text) {
  std::printf("  %s: ", label);
  std::fputs(text.c_str(), stdout);
  std::fputc('\n', stdout);
}

void PrintNumber(const char* label, std::uint32_t number) {
  std::printf("  %s: %u\n", label, static_cast<unsigned>(number));
}

void PrintTally(const char* label, const Census& census, NoteVerdict verdict) {
  PrintNumber(label, census.Tally(verdict));
}

// The detail lines of a tally: the number of notes, then the text.
void PrintDetails(const TextTally& details, const char* quote) {
  for (const auto& [text, notes] : details) {
    std::printf("    %u  %s", static_cast<unsigned>(notes), quote);
    std::fputs(text.c_str(), stdout);
    std::printf("%s\n", quote);
  }
}

}  // namespace

void PrintServerTable(const Census& census) {
  std::fputs("\nMailboxes per server:\n\n", stdout);
  for (const auto& [server, mailboxes] : census.servers) {
    std::printf("%7u  ", static_cast<unsigned>(mailboxes));
    std::fputs(server.c_str(), stdout);
    std::fputc('\n', stdout);
  }
  std::printf("\nMailboxes of all servers: %u\n\n",
              static_cast<unsigned>(census.Tally(NoteVerdict::Mailbox)));
}

int PrintCheck(const Census& census, bool counted, const NotesLibraryOrigin& origin,
               const std::string& dataDirectory) {
  // Distinct statuses may share a text: the lines are by text.
  TextTally notOpened;
  for (const auto& [status, notes] : census.notOpened) {
    char text[kStatusTextSize] = {};
    LoadNotesStatusText(status, text, kStatusTextSize);
    notOpened[text] += notes;
  }
  std::uint32_t entries = 0;
  for (std::uint32_t notes : census.verdicts) entries += notes;
  const bool named = census.serverName != nullptr && census.serverName[0] != '\0';
  const bool oneServer = !census.allServers;

  std::fputs("Check:\n", stdout);
  if (oneServer) {
    PrintText("Server name", named ? '"' + std::string(census.serverName) + '"' : "not set");
  }
  PrintText("Library", origin.file);
  PrintText("Found through", origin.key.empty() ? "the default search" : origin.key);
  PrintText("Data directory", dataDirectory);
  PrintNumber("View entries read", entries);
  PrintTally("Mailboxes counted", census, NoteVerdict::Mailbox);
  PrintTally("Not opened", census, NoteVerdict::NotOpened);
  PrintDetails(notOpened, "");
  PrintTally("Without a mail server", census, NoteVerdict::NoMailServer);
  if (oneServer) {
    PrintTally("Other servers", census, NoteVerdict::OtherServer);
    PrintTally("Near misses", census, NoteVerdict::NearMiss);
    PrintDetails(census.nearMisses, "\"");
  }
  PrintTally("Response notes", census, NoteVerdict::ResponseNote);
  PrintTally("Without a mail file", census, NoteVerdict::NoMailFile);

  const bool doubtful = census.Tally(NoteVerdict::NotOpened) != 0 ||
                        (oneServer && (!named || census.Tally(NoteVerdict::NearMiss) != 0));
  const char* result = !counted ? "failed" : doubtful ? "doubtful" : "complete";
  PrintText("Result", result);
  return !counted ? 1 : doubtful ? 2 : 0;
}
