// What a run prints besides the count: the table of every server's
// mailboxes, and the evidence the count rests on.
#pragma once

#include <string>

#include "Census.h"
#include "NotesBinding.h"

// Prints the mailboxes of every server, a line per server value in byte order
// of the values, then their total.
void PrintServerTable(const Census& census);

// Prints the "Check:" block of a census that ran, counted or not, and returns
// the run's status: 0 when the count is complete, 2 when it is doubtful (the
// server's name unset, a note not opened, a near miss), 1 when it failed.
// Reads the texts of the statuses of notes not opened through the library.
int PrintCheck(const Census& census, bool counted, const NotesLibraryOrigin& origin,
               const std::string& dataDirectory);
