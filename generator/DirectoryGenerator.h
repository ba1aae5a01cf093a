// Writes large Domino Directories in the stand-in runtime's text format, for
// benchmarks and for tests that need more notes than anyone would write by
// hand. The output depends only on the settings: the same seed and note count
// give the same bytes on every platform.
//
// The "Mail Users" view mixes mailboxes of the server named in notes.ini with
// notes that must not count: other servers, the server's name in other letter
// cases or with extra blanks, response notes, missing or empty mail files,
// notes that cannot be opened. Items of exactly 259 bytes and longer ones, and
// items with UTF-8 and other high bytes, are spread among them, and other views
// hold notes that would count if they were in "Mail Users".
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

struct GeneratorSettings {
  std::uint64_t seed = 0;
  std::uint32_t notes = 0;  // notes of the "Mail Users" view
  std::string server = "CN=Mail01/O=Acme";
};

struct GeneratedDirectory {
  std::uint64_t mailboxes = 0;  // what a census of the server must count
  std::uint64_t notes = 0;      // notes written, all views
  std::uint64_t bytes = 0;      // size of names.nsf
};

// Writes `directory`/names.nsf and `directory`/notes.ini (MailServer=server),
// creating the directory when needed. False, with `error` set, when a file
// cannot be written.
bool GenerateDirectory(const GeneratorSettings& settings, const std::filesystem::path& directory,
                       GeneratedDirectory& result, std::string& error);
