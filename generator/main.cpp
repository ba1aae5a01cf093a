// generate_directory: writes a seeded stand-in Domino Directory and prints the
// mailbox count a census of its server must find.
//
//   generate_directory SEED NOTES DIRECTORY [SERVER]
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "DirectoryGenerator.h"

namespace {

constexpr std::uint64_t kMaxNotes = 100000000;  // keeps every NoteId below the views' range

bool ParseUnsigned(const char* text, std::uint64_t max, std::uint64_t& value) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long parsed = std::strtoull(text, &end, 0);
  if (errno != 0 || *end != '\0' || parsed > max) return false;
  value = parsed;
  return true;
}

void PrintUsage() {
  std::fputs(
      "usage: generate_directory SEED NOTES DIRECTORY [SERVER]\n"
      "  Writes DIRECTORY/names.nsf with NOTES notes in the \"Mail Users\" view (and about\n"
      "  NOTES/8 more in other views) and DIRECTORY/notes.ini naming SERVER (default\n"
      "  CN=Mail01/O=Acme), then prints the mailbox count a census of SERVER must find.\n"
      "  SEED and NOTES are decimal or 0x hexadecimal; NOTES is at most 100000000.\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    PrintUsage();
    return 2;
  }
  GeneratorSettings settings;
  std::uint64_t notes = 0;
  if (!ParseUnsigned(argv[1], UINT64_MAX, settings.seed) ||
      !ParseUnsigned(argv[2], kMaxNotes, notes)) {
    PrintUsage();
    return 2;
  }
  settings.notes = static_cast<std::uint32_t>(notes);
  if (argc == 5) settings.server = argv[4];

  GeneratedDirectory result;
  std::string error;
  if (!GenerateDirectory(settings, argv[3], result, error)) {
    std::fprintf(stderr, "generate_directory: %s\n", error.c_str());
    return 1;
  }
  std::printf("expected mailbox count: %llu\nnotes written: %llu\nnames.nsf bytes: %llu\n",
              static_cast<unsigned long long>(result.mailboxes),
              static_cast<unsigned long long>(result.notes),
              static_cast<unsigned long long>(result.bytes));
  // The count is the result: a report that did not reach its file or pipe
  // must not pass for a successful run.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return 1;
  return 0;
}
