// The mailbox census: walks the "Mail Users" view of the local Domino
// Directory and counts the notes that are mailboxes hosted on this server.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "NotesApi.h"

// Why a note of the view counts or not: the first test it fails, in the
// order the census tests them.
enum class NoteVerdict : std::uint8_t {
  NotOpened,     // the runtime did not open it
  NoMailServer,  // no "MailServer" text
  OtherServer,   // another server's
  NearMiss,      // this server's name but for ASCII letter case or blanks at either end
  ResponseNote,  // it carries "$REF"
  NoMailFile,    // no "MailFile" text
  Mailbox,       // a mailbox: it counts
};
constexpr int kNoteVerdicts = 7;

// Notes by a text, in byte order of the texts.
using TextTally = std::map<std::string, std::uint32_t, std::less<>>;

// One walk of the view: what it counts, and what it found.
struct Census {
  // The mailboxes of serverName, or with allServers those of every server,
  // each for the server its "MailServer" names.
  const char* serverName = nullptr;
  bool allServers = false;
  bool listNames = false;
  bool listDetails = false;
  // Gather the details /check shows: near misses told apart from other
  // servers, with their values, and the statuses of notes not opened.
  // Without them a note costs what the count alone needs.
  bool details = false;

  // Notes judged, by verdict.
  std::uint32_t verdicts[kNoteVerdicts] = {};
  std::map<NotesStatus, std::uint32_t> notOpened;  // details: by NSFNoteOpen's status
  TextTally nearMisses;                            // details: by the note's server value
  TextTally servers;                               // allServers: mailboxes by server

  std::uint32_t Tally(NoteVerdict verdict) const { return verdicts[static_cast<int>(verdict)]; }
};

// The size of a buffer for a status text.
constexpr std::uint16_t kStatusTextSize = 512;

// Loads the library's text for a status into text, terminated within size.
void LoadNotesStatusText(NotesStatus status, char* text, std::uint16_t size);

// Prints the library's text for a failed call's status on standard error.
void PrintNotesStatus(NotesStatus status);

// Judges one note for the census: the verdict (a near miss only given
// details), with (given details) the failing status of a note not opened and
// a near miss's server value, and with allServers a mailbox's server,
// recorded in census. Nothing is reported. With listNames or
// listDetails a mailbox's listing line is printed while its note is open: the
// mail file name, and with listDetails its detail items.
NoteVerdict QualifyMailboxNote(DbHandle database, NoteId noteId, Census& census);

// Walks "Mail Users" of "names.nsf" once, judging every note into census.
// Returns false when serverName is null or a library call on the way failed
// (its text is then on standard error); the tallies keep what was judged
// either way. Every handle opened here is released before it returns, on
// every path. With listNames or listDetails, a "Mailboxes:" header and one
// line per mailbox counted are printed on standard output as the view is
// read.
bool TakeCensus(Census& census);

// TakeCensus for the mailboxes of serverName, whose number it adds to total.
bool CountMailboxes(const char* serverName, std::uint32_t& total, bool listNames, bool listDetails);
