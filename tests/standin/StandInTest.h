// Shared fixture of the stand-in's tests: each test runs in a fresh temporary
// working directory holding the notes.ini and names.nsf it writes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "../Files.h"
#include "Exports.h"
#include "LibraryTypes.h"

namespace standin_test {

namespace fs = std::filesystem;
using namespace standin;

// NotesInitExtended as the tool calls it: a program name and a null entry.
Status InitAsTool();

std::string TextOf(Status status);  // OSLoadString of status & 0x3fff
// How many times `piece` occurs in `text`.
std::size_t Occurrences(const std::string& text, const std::string& piece);

// A directory whose view "Mail Users" holds `count` notes with ids 4, 8, ...
std::string MailUsers(int count);

// One NIFReadEntries call as the tool makes it, with the memory read and freed
// unless kept.
struct Batch {
  Status status = 0;
  MemHandle memory = 0;
  std::uint16_t length = 0;
  std::uint32_t returned = 0;
  std::uint16_t flags = 0;
  std::vector<NoteId> ids;
};

class StandInTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes names.nsf and notes.ini (a leak report plus `iniLines`), then
  // calls NotesInitExtended.
  Status Start(const std::string& names, const std::string& iniLines = "");
  // Start, expected to succeed, then OpenMailUsers.
  void StartAndOpen(const std::string& names, const std::string& iniLines = "");
  // Calls NotesTerm and gives the leak report.
  std::string Finish();
  // Opens names.nsf and the "Mail Users" collection into db_, view_ and collection_.
  void OpenMailUsers();
  void CloseMailUsers();
  Batch Read(ReadPosition& position, std::uint32_t count = 0xFFFFFFFF, bool keepMemory = false);
  // One NIFReadEntries with the tool's values; the memory is left to the caller.
  MemHandle ReadBatch(ReadPosition& position);
  // The misuse lines recorded since the last call (or since Start).
  std::vector<std::string> NewMisuses();
  // Expects the misuses since the last check to be one line per argument of
  // `arguments`, in this order, each naming `call` and its argument.
  void ExpectMisuses(const std::string& call, const std::vector<std::string>& arguments);
  // Reads to the end in batches; gives every NoteId and each batch's size.
  std::vector<NoteId> ReadAll(std::vector<std::uint32_t>* sizes = nullptr,
                              std::uint32_t count = 0xFFFFFFFF);

  DbHandle db_ = 0;
  NoteId view_ = 0;
  CollectionHandle collection_ = 0;
  fs::path directory_;

 private:
  fs::path previous_;
  std::size_t seenMisuses_ = 0;
};

}  // namespace standin_test
