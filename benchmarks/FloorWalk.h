// The floor of a census: the library calls a census of the synthetic view
// makes, with the same arguments, and nothing else. What a census costs above
// this walk is the tool's own work.
#pragma once

#include <cstdint>

// Walks the synthetic "Mail Users" view through NotesApi and returns the
// number of notes whose "MailFile" was read.
std::uint32_t WalkFloor();
