// The mailbox census: walks the "Mail Users" view of the local Domino
// Directory and counts the notes that are mailboxes hosted on this server.
#pragma once

#include <cstdint>

#include "NotesApi.h"

// Prints the library's text for a failed call's status on standard error.
void PrintNotesStatus(NotesStatus status);

// Tells whether the note is a mailbox of serverName: its "MailServer" is
// exactly serverName, it is not a response note, and it names a mail file.
// A note that cannot be opened is not a mailbox; nothing is reported. With
// listNames or listDetails a mailbox's listing line is printed while its note
// is open: the mail file name, and with listDetails its detail items.
bool QualifyMailboxNote(DbHandle database, NoteId noteId, const char* serverName, bool listNames,
                        bool listDetails);

// Adds the number of mailboxes of serverName in "names.nsf" to total. Returns
// false when serverName is null or a library call on the way failed (its text
// is then on standard error); total keeps what was counted either way. Every
// handle opened here is released before it returns, on every path. With
// listNames or listDetails, a "Mailboxes:" header and one line per mailbox
// counted are printed on standard output as the view is read.
bool CountMailboxes(const char* serverName, std::uint32_t& total, bool listNames, bool listDetails);
