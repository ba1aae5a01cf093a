// An in-process Notes library for benchmarks: a "Mail Users" view of any
// size whose notes are made up on the fly from their NoteId, so nothing is
// stored per note. Each call does the least a real library must: find the
// note, find the item by name, copy its text.
#pragma once

#include <cstdint>

#include "FloorWalk.h"
#include "NotesApi.h"

// The server the synthetic notes are mailboxes of.
extern const char kSyntheticServer[];

// Points NotesApi at the synthetic library, with `notes` notes in the view
// (NoteIds 4, 8, 12, ...).
void InstallSyntheticNotes(std::uint32_t notes);

// How many of the first `notes` notes are mailboxes of kSyntheticServer.
std::uint32_t SyntheticMailboxes(std::uint32_t notes);

// The calls a census makes for each note (see FloorWalk.h).
const NoteCalls& SyntheticNoteCalls(NoteId noteId);
