#include "DirectoryGenerator.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <functional>
#include <system_error>

namespace {

// What a note of the "Mail Users" view is. Only kMailbox counts.
enum class NoteKind {
  kMailbox,
  kOtherServer,      // a different server's name
  kServerCase,       // the server's name in other letter cases
  kServerBlanks,     // the server's name with a blank before or after it
  kServerLookalike,  // one byte more, one less, or a look-alike letter
  kLongServer,       // a server name of 259 bytes or longer
  kResponse,         // carries $REF
  kNoMailFile,
  kEmptyMailFile,
  kNoMailServer,
  kEmptyMailServer,
  kUnopenable,
};

// Shares per thousand notes of "Mail Users"; they add up to 1000.
struct KindShare {
  NoteKind kind;
  std::uint32_t perThousand;
};
constexpr KindShare kKindShares[] = {
    {NoteKind::kMailbox, 570},     {NoteKind::kOtherServer, 120},    {NoteKind::kServerCase, 80},
    {NoteKind::kServerBlanks, 20}, {NoteKind::kServerLookalike, 20}, {NoteKind::kLongServer, 10},
    {NoteKind::kResponse, 60},     {NoteKind::kNoMailFile, 30},      {NoteKind::kEmptyMailFile, 30},
    {NoteKind::kNoMailServer, 20}, {NoteKind::kEmptyMailServer, 10}, {NoteKind::kUnopenable, 30},
};

// Names with UTF-8 among them; the last first name is Latin-1, the last last
// name starts with a high byte on its own.
// clang-format off
constexpr const char* kFirstNames[] = {
    "Ann", "Bo", "Carla", "Dev", "Emeka", "Fatima", "Gus", "Hana", "Ines", "Chlo\xC3\xA9",
    "Zo\xC3\xAB", "\xC5\x81ukasz", "S\xC3\xB8ren", "J\xC3\xBCrgen", "\xE6\xB8\xA1\xE8\xBE\xBA",
    "Ren\xE9"};
constexpr const char* kLastNames[] = {
    "Archer", "Baker", "Cho", "Diaz", "Evans", "Fox", "Garcia", "Holm", "Ivanov", "M\xC3\xBCller",
    "\xC3\x98stergaard", "Nu\303\261ez", "\xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2",
    "O'Neil", "\xA0Space"};
// clang-format on
constexpr const char* kOtherServers[] = {
    "CN=Mail02/O=Acme",         "CN=Relay/O=Acme", "CN=Mail01/O=Acme Europe",
    "CN=Mail01/OU=East/O=Acme", "CN=Hub/O=Other",  "Mail01",
};

bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
char Flipped(char c) {
  const auto u = static_cast<unsigned char>(c);
  return static_cast<char>(std::isupper(u) ? std::tolower(u) : std::toupper(u));
}

// Exactly `length` bytes of `pattern` repeated.
std::string Filler(const std::string& pattern, std::uint32_t length) {
  std::string text;
  while (text.size() < length) text += pattern;
  return text.substr(0, length);
}

// Writes the notes of one directory file, deciding each note's kind and shape
// from a seeded SplitMix64 sequence: it depends on nothing but the seed, so a
// generated directory is identical with every compiler and standard library.
class NotesWriter {
 public:
  NotesWriter(const GeneratorSettings& settings, std::FILE* out)
      : settings_(settings), state_(settings.seed), out_(out) {}

  // Writes a view of `count` notes; `mailUsers` tells whether it is "Mail
  // Users", where mailboxes count.
  void WriteView(const char* name, std::uint64_t count, bool mailUsers) {
    Put("\nview %s\n", name);
    for (std::uint64_t i = 0; i < count; ++i) WriteNote(mailUsers);
  }

  std::uint64_t mailboxes() const { return mailboxes_; }
  std::uint64_t notes() const { return notes_; }

 private:
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number in [0, bound); the slight bias of the remainder does not matter
  // for test data and keeps the sequence simple.
  std::uint32_t Below(std::uint64_t bound) { return static_cast<std::uint32_t>(Next() % bound); }
  template <typename T, std::size_t N>
  const T& Pick(const T (&list)[N]) {
    return list[Below(N)];
  }

  // A failed write sets the stream's error flag, which the caller checks.
  template <typename... Arguments>
  void Put(const char* format, Arguments... arguments) {
    std::fprintf(out_, format, arguments...);
  }
  void Item(const char* name, const std::string& value) {
    Put("%s%s: %s%s", indent_, name, value.c_str(), lineEnd_);
  }

  NoteKind PickKind() {
    std::uint32_t roll = Below(1000);
    for (const KindShare& share : kKindShares) {
      if (roll < share.perThousand) return share.kind;
      roll -= share.perThousand;
    }
    return NoteKind::kMailbox;
  }

  void WriteNote(bool mailUsers) {
    ++notes_;
    const NoteKind kind = mailUsers ? PickKind() : NoteKind::kMailbox;
    if (mailUsers && kind == NoteKind::kMailbox) ++mailboxes_;
    const std::uint64_t shape = Next();  // the note's optional features, bit by bit
    lineEnd_ = (shape & 0x1F) == 0 ? "\r\n" : "\n";
    indent_ = (shape >> 5 & 0x3F) == 0 ? "\t " : "";

    if ((shape >> 11 & 0x7F) == 0) Put("# a comment between notes%s%s", lineEnd_, lineEnd_);
    Put("%snote", indent_);
    if ((shape >> 18 & 0x3F) == 0) {
      // An explicit id leaving a gap; the ids after it continue from it.
      lastId_ += std::uint64_t{4} * (1 + Below(64));
      Put(" 0x%" PRIX64, lastId_);
    } else {
      lastId_ += 4;
    }
    Put("%s%s", kind == NoteKind::kUnopenable ? " unopenable" : "", lineEnd_);

    const char* first = Pick(kFirstNames);
    const char* last = Pick(kLastNames);
    Item("FirstName", first);
    Item("LastName", last);
    Put("%sFullName: CN=%s %s%" PRIu64 "/O=Acme%s", indent_, first, last, notes_, lineEnd_);

    // Item names match in any letter case: some notes spell them otherwise.
    const bool otherCase = (shape >> 24 & 0x1F) == 0;
    const bool mailFileFirst = (shape >> 29 & 1) != 0;
    if (mailFileFirst) WriteMailFile(kind, otherCase, shape);
    if (kind != NoteKind::kNoMailServer) {
      Item(otherCase ? "MAILSERVER" : "MailServer", MailServer(kind));
    }
    if (!mailFileFirst) WriteMailFile(kind, otherCase, shape);
    Item("MailDomain", "Acme");
    if (kind == NoteKind::kResponse) {
      Put("%s%s: 0x%" PRIX32 "%s", indent_, otherCase ? "$ref" : "$REF", 0x1000 + Below(0x10000),
          lineEnd_);
    }
    if ((shape >> 30 & 0x1F) == 0) {
      // A long comment: exactly 259 bytes, or longer, with UTF-8 in it.
      const std::uint32_t length = (shape >> 35 & 1) != 0 ? 259 : 260 + Below(2000);
      Item("Comment", Filler("Gr\303\274\303\237e aus M\303\274nchen; ", length));
    }
  }

  std::string MailServer(NoteKind kind) {
    const std::string& server = settings_.server;
    switch (kind) {
      case NoteKind::kEmptyMailServer:
        return "";
      case NoteKind::kOtherServer: {
        const std::string other = Pick(kOtherServers);
        return other == server ? other + "/O=Elsewhere" : other;
      }
      case NoteKind::kServerCase:
        return OtherCase(server);
      case NoteKind::kServerBlanks: {
        static constexpr const char* kBlanks[] = {" ", "\t", "  "};
        const std::string blank = Pick(kBlanks);
        return Below(2) == 0 ? blank + server : server + blank;
      }
      case NoteKind::kServerLookalike:
        switch (Below(3)) {
          case 0:  // one byte short
            return server.substr(0, server.size() - 1);
          case 1:  // one byte more
            return server + ".";
          default:  // a Cyrillic capital Es in place of the first byte
            return "\xD0\xA1" + server.substr(1);
        }
      case NoteKind::kLongServer:
        // "CN=" and "/O=Acme" take 10 of the 259 bytes.
        return "CN=" + Filler("Long-Server-Name-", Below(2) == 0 ? 249 : 250 + Below(800)) +
               "/O=Acme";
      default:
        return server;
    }
  }

  void WriteMailFile(NoteKind kind, bool otherCase, std::uint64_t shape) {
    const char* name = otherCase ? "mailfile" : "MailFile";
    if (kind == NoteKind::kNoMailFile) return;
    if (kind == NoteKind::kEmptyMailFile) return Item(name, "");
    switch (shape >> 40 & 0x3F) {
      case 0:  // exactly 259 bytes
        return Item(name, "mail\\" + Filler("archive-", 259 - 9) + ".nsf");
      case 1:  // longer than the tool's buffer
        return Item(name, "mail\\" + Filler("archive-", 260 + Below(1000)) + ".nsf");
      case 2:
        return Put("%s%s: mail\\z\xC3\xB6%" PRIu64 ".nsf%s", indent_, name, notes_, lineEnd_);
      default:
        return Put("%s%s: mail\\u%" PRIu64 ".nsf%s", indent_, name, notes_, lineEnd_);
    }
  }

  // The server name with the letter case changed: every letter flipped, all
  // upper, or one letter flipped. Never equal to the name unless it has no
  // letters, when it gets an "x" more.
  std::string OtherCase(const std::string& server) {
    std::string text = server;
    const std::uint32_t how = Below(3);
    const auto letters =
        static_cast<std::uint32_t>(std::count_if(text.begin(), text.end(), IsLetter));
    if (letters == 0) return text + "x";
    const std::uint32_t flip = Below(letters);
    std::uint32_t letter = 0;
    for (char& c : text) {
      if (!IsLetter(c)) continue;
      if (how == 0 || (how == 2 && letter == flip)) c = Flipped(c);
      if (how == 1) c = Upper(c);
      ++letter;
    }
    // It was upper case already: lower its first letter.
    if (text == server) {
      char& c = *std::find_if(text.begin(), text.end(), IsLetter);
      c = Flipped(c);
    }
    return text;
  }

  const GeneratorSettings& settings_;
  std::uint64_t state_;
  std::FILE* out_;
  const char* lineEnd_ = "\n";
  const char* indent_ = "";
  std::uint64_t lastId_ = 0;
  std::uint64_t notes_ = 0;
  std::uint64_t mailboxes_ = 0;
};

// Writes a file through stdio with a buffer of a megabyte, as text comes in
// small pieces; false when it cannot be opened, or a write or the close fails.
bool WriteFile(const std::filesystem::path& file, const std::function<void(std::FILE*)>& write) {
  std::FILE* out = std::fopen(file.string().c_str(), "wb");
  if (out == nullptr) return false;
  // Without the large buffer the file is the same, only written slower.
  (void)std::setvbuf(out, nullptr, _IOFBF, std::size_t{1} << 20);
  write(out);
  const bool written = std::ferror(out) == 0;
  return std::fclose(out) == 0 && written;
}

}  // namespace

bool GenerateDirectory(const GeneratorSettings& settings, const std::filesystem::path& directory,
                       GeneratedDirectory& result, std::string& error) {
  // The server name must be one the tool reads whole, and not one the
  // generated look-alikes could equal.
  if (settings.server.empty() || settings.server.size() > 200 ||
      settings.server.find_first_of("\r\n") != std::string::npos) {
    error = "the server name must have 1 to 200 bytes and no line end";
    return false;
  }
  std::error_code created;
  std::filesystem::create_directories(directory, created);
  if (created) {
    error = "cannot create " + directory.string() + ": " + created.message();
    return false;
  }

  const std::filesystem::path ini = directory / "notes.ini", names = directory / "names.nsf";
  if (!WriteFile(ini, [&](std::FILE* out) {
        std::fprintf(out, "[Notes]\nMailServer=%s\n", settings.server.c_str());
      })) {
    error = "cannot write " + ini.string();
    return false;
  }
  const bool written = WriteFile(names, [&](std::FILE* out) {
    std::fprintf(out,
                 "# Generated directory: seed %" PRIu64 ", %" PRIu32 " notes in \"Mail Users\".\n",
                 settings.seed, settings.notes);
    NotesWriter writer(settings, out);
    // The other views hold notes that would be mailboxes in "Mail Users", one
    // view before it and two after, so that the view is found by its name and
    // its notes are not the first or the last of the file.
    writer.WriteView("People", settings.notes / 16 + 1, false);
    writer.WriteView("Mail Users", settings.notes, true);
    writer.WriteView("Groups", settings.notes / 32 + 1, false);
    writer.WriteView("Mail Users (Archive)", settings.notes / 32 + 1, false);
    result.mailboxes = writer.mailboxes();
    result.notes = writer.notes();
  });
  std::error_code measured;
  result.bytes = std::filesystem::file_size(names, measured);
  if (!written || measured) {
    error = "cannot write " + names.string();
    return false;
  }
  return true;
}
