// Writes the seed corpus of the fuzz targets: fuzz_seeds DIR writes
// DIR/census/* and DIR/run_options/*. Each census seed is checked to decode
// back to what was encoded. The seeds are checked in; run this again after
// the input layout changes (see fuzz/README.md).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "CensusInput.h"

namespace {

namespace fs = std::filesystem;

const char kServer[] = "CN=Alpha/O=Acme";

InputNote Person(const std::string& server, const std::string& mailFile, const std::string& first) {
  InputNote note;
  note.items["MailServer"] = server;
  note.items["MailFile"] = mailFile;
  note.items["FirstName"] = first;
  note.items["LastName"] = "Archer";
  note.items["FullName"] = "CN=" + first + " Archer/O=Acme";
  note.items["Mail"] = first + "@acme.example";
  note.items["MailDomain"] = "AcmeMail";
  return note;
}

// Twelve people on two servers, a response note, one without a mail file
// and one that cannot be opened.
CensusInput Directory() {
  CensusInput input;
  input.serverName = kServer;
  input.batchSize = 4;
  for (int i = 0; i < 12; ++i) {
    input.notes.push_back(Person(i % 2 == 0 ? kServer : "CN=Beta/O=Acme",
                                 "mail\\user" + std::to_string(i) + ".nsf",
                                 "P" + std::to_string(i)));
  }
  input.notes[2].items["$REF"] = "0x20A";
  input.notes[4].items["MailFile"] = "";
  input.notes[6].openable = false;
  input.notes[7].items.erase("MailServer");
  return input;
}

std::vector<std::pair<std::string, CensusInput>> CensusSeeds() {
  std::vector<std::pair<std::string, CensusInput>> seeds;
  seeds.emplace_back("count", Directory());

  CensusInput names = Directory();
  names.listNames = true;
  seeds.emplace_back("names", names);

  CensusInput details = Directory();
  details.listDetails = true;
  details.batchSize = 1;
  seeds.emplace_back("details-one-per-batch", details);

  CensusInput longTexts;
  longTexts.serverName = std::string(259, 's');
  longTexts.listDetails = true;
  longTexts.unterminatedTexts = true;
  InputNote longNote = Person(std::string(300, 's'), std::string(260, 'm'), std::string(259, 'f'));
  longNote.items["FullName"] = std::string("nul\0inside", 10);
  longTexts.notes = {longNote, Person(longTexts.serverName, "x", "")};
  seeds.emplace_back("long-unterminated-texts", longTexts);

  CensusInput empty;
  seeds.emplace_back("empty-server-empty-view", empty);

  struct Failure {
    const char* name;
    NotesStatus CensusInput::*status;
  };
  for (const Failure& failure :
       {Failure{"db-open-fails", &CensusInput::dbOpenStatus},
        Failure{"view-not-found", &CensusInput::findViewStatus},
        Failure{"collection-fails", &CensusInput::openCollectionStatus},
        Failure{"collection-close-fails", &CensusInput::closeCollectionStatus},
        Failure{"db-close-fails", &CensusInput::dbCloseStatus}}) {
    CensusInput failing = Directory();
    failing.*failure.status = 0xC109;
    failing.listNames = true;
    seeds.emplace_back(failure.name, failing);
  }

  CensusInput readFails = Directory();
  readFails.reads = {InputRead{}, InputRead{0x0109, true, 4, true, kSignalMoreToDo}};
  readFails.reads[0].batchSize = 4;
  seeds.emplace_back("second-read-fails-with-batch", readFails);

  CensusInput flags = Directory();
  flags.reads = {InputRead{0, false, 3, true, 0}};
  seeds.emplace_back("flags-end-early", flags);

  CensusInput emptyBatches = Directory();
  emptyBatches.reads = {InputRead{0, false, 0, true, kSignalMoreToDo},
                        InputRead{0, false, 5, false, 0}};
  seeds.emplace_back("empty-batch-then-more", emptyBatches);

  CensusInput lock = Directory();
  lock.lockFailures = {1, 3};
  lock.listNames = true;
  seeds.emplace_back("lock-fails", lock);
  return seeds;
}

std::vector<std::pair<std::string, std::vector<std::string>>> RunOptionsSeeds() {
  return {
      {"bare", {}},
      {"names", {"/names"}},
      {"details", {"/details"}},
      {"help", {"/help"}},
      {"question-mark", {"/?"}},
      {"check", {"/check"}},
      {"servers", {"/servers", "/path", "data"}},
      {"unknown", {"/NAMES", "extra"}},
      {"path", {"/path", "data"}},
      {"path-alone", {"/path"}},
      {"path-missing", {"/path", "missing", "/names"}},
      {"path-to-file", {"/path", "notes.ini"}},
      {"path-takes-option", {"/path", "/names"}},
      {"two-paths", {"/path", "data", "/path", "deeper", "/details"}},
      {"help-with-names", {"/names", "/help", "/path", ".."}},
      {"empty-word", {"", "/path", ""}},
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds CORPUS-DIRECTORY\n");
    return 2;
  }
  const fs::path root = argv[1];
  fs::create_directories(root / "census");
  fs::create_directories(root / "run_options");
  for (const auto& seed : CensusSeeds()) {
    std::string bytes = EncodeCensusInput(seed.second);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (EncodeCensusInput(DecodeCensusInput(data, bytes.size())) != bytes) {
      std::fprintf(stderr, "seed %s does not decode to itself\n", seed.first.c_str());
      return 1;
    }
    if (!(std::ofstream(root / "census" / seed.first, std::ios::binary) << bytes)) return 1;
  }
  for (const auto& seed : RunOptionsSeeds()) {
    std::string bytes;
    for (std::size_t i = 0; i < seed.second.size(); ++i) {
      if (i > 0) bytes += '\0';
      bytes += seed.second[i];
    }
    if (!(std::ofstream(root / "run_options" / seed.first, std::ios::binary) << bytes)) return 1;
  }
  return 0;
}
