#include "DirectoryGenerator.h"

#include <cinttypes>
#include <cstdio>
#include <string_view>
#include <system_error>

#include "SplitMix64.h"

namespace {

// An output file written through stdio with a buffer of a megabyte, as text
// comes in small pieces. A failed write sets the stream's error flag, which
// Close reports.
class OutputFile {
 public:
  explicit OutputFile(const std::filesystem::path& file)
      : file_(std::fopen(file.string().c_str(), "wb")) {
    // Without the large buffer the file is the same, only written slower.
    if (file_ != nullptr) (void)std::setvbuf(file_, nullptr, _IOFBF, std::size_t{1} << 20);
  }
  ~OutputFile() {
    // Still open only when the file was abandoned after a failure, which the
    // caller already reports; the close result adds nothing.
    if (file_ != nullptr) (void)std::fclose(file_);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  // Closes the file; false when any write or the close failed.
  bool Close() {
    const bool written = std::ferror(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return written && closed;
  }
  void Append(std::string_view text) { std::fwrite(text.data(), 1, text.size(), file_); }
  void Append(char c) { std::fputc(c, file_); }
  void AppendDecimal(std::uint64_t value) { std::fprintf(file_, "%" PRIu64, value); }
  void AppendHex(std::uint64_t value) { std::fprintf(file_, "0x%" PRIX64, value); }

 private:
  std::FILE* file_;
};

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

constexpr const char* kFirstNames[] = {
    "Ann",
    "Bo",
    "Carla",
    "Dev",
    "Emeka",
    "Fatima",
    "Gus",
    "Hana",
    "Ines",
    "Chlo\xC3\xA9",
    "Zo\xC3\xAB",
    "\xC5\x81ukasz",
    "S\xC3\xB8ren",
    "J\xC3\xBCrgen",
    "\xE6\xB8\xA1\xE8\xBE\xBA",
    "Ren\xE9",  // Latin-1, not UTF-8
};
constexpr const char* kLastNames[] = {
    "Archer",
    "Baker",
    "Cho",
    "Diaz",
    "Evans",
    "Fox",
    "Garcia",
    "Holm",
    "Ivanov",
    "M\xC3\xBCller",
    "\xC3\x98stergaard",
    "Nu\303\261ez",
    "\xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2",
    "O'Neil",
    "\xA0Space",  // a high byte on its own
};
constexpr const char* kOtherServers[] = {
    "CN=Mail02/O=Acme",         "CN=Relay/O=Acme", "CN=Mail01/O=Acme Europe",
    "CN=Mail01/OU=East/O=Acme", "CN=Hub/O=Other",  "Mail01",
};
constexpr const char* kOtherViews[] = {"People", "Groups", "Mail Users (Archive)"};

template <typename T, std::size_t N>
constexpr std::uint32_t CountOf(const T (&)[N]) {
  return static_cast<std::uint32_t>(N);
}

// Writes the notes of one directory file, deciding each note's kind and shape
// from the generator's sequence.
class NotesWriter {
 public:
  NotesWriter(const GeneratorSettings& settings, OutputFile& out)
      : settings_(settings), random_(settings.seed), out_(out) {}

  // Writes `count` notes of the current view; `mailUsers` tells whether
  // they are in "Mail Users", where mailboxes count.
  void WriteNotes(std::uint64_t count, bool mailUsers) {
    for (std::uint64_t i = 0; i < count; ++i) WriteNote(mailUsers);
  }

  void WriteView(const char* name) {
    out_.Append("\nview ");
    out_.Append(name);
    out_.Append('\n');
  }

  std::uint64_t mailboxes() const { return mailboxes_; }
  std::uint64_t notes() const { return notes_; }

 private:
  NoteKind PickKind() {
    std::uint32_t roll = random_.Below(1000);
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
    const std::uint64_t shape = random_.Next();  // the note's optional features, bit by bit
    lineEnd_ = (shape & 0x1F) == 0 ? "\r\n" : "\n";
    indent_ = (shape >> 5 & 0x3F) == 0 ? "\t " : "";

    if ((shape >> 11 & 0x7F) == 0) {
      out_.Append("# a comment between notes");
      out_.Append(lineEnd_);
      out_.Append(lineEnd_);
    }
    out_.Append(indent_);
    out_.Append("note");
    if ((shape >> 18 & 0x3F) == 0) {
      // An explicit id leaving a gap; the ids after it continue from it.
      lastId_ += std::uint64_t{4} * (1 + random_.Below(64));
      out_.Append(' ');
      out_.AppendHex(lastId_);
    } else {
      lastId_ += 4;
    }
    if (kind == NoteKind::kUnopenable) out_.Append(" unopenable");
    out_.Append(lineEnd_);

    const char* first = kFirstNames[random_.Below(CountOf(kFirstNames))];
    const char* last = kLastNames[random_.Below(CountOf(kLastNames))];
    Item("FirstName", first);
    Item("LastName", last);
    BeginItem("FullName");
    out_.Append("CN=");
    out_.Append(first);
    out_.Append(' ');
    out_.Append(last);
    out_.AppendDecimal(notes_);
    out_.Append("/O=Acme");
    out_.Append(lineEnd_);

    // Item names match in any letter case: some notes spell them otherwise.
    const bool otherCase = (shape >> 24 & 0x1F) == 0;
    const bool mailFileFirst = (shape >> 29 & 1) != 0;
    if (mailFileFirst) WriteMailFile(kind, otherCase, shape);
    WriteMailServer(kind, otherCase);
    if (!mailFileFirst) WriteMailFile(kind, otherCase, shape);
    Item("MailDomain", "Acme");
    if (kind == NoteKind::kResponse) {
      BeginItem(otherCase ? "$ref" : "$REF");
      out_.AppendHex(0x1000 + random_.Below(0x10000));
      out_.Append(lineEnd_);
    }
    if ((shape >> 30 & 0x1F) == 0) {
      // A long comment: exactly 259 bytes, or longer, with UTF-8 in it.
      BeginItem("Comment");
      const std::uint32_t length = (shape >> 35 & 1) != 0 ? 259 : 260 + random_.Below(2000);
      Filler("Gr\303\274\303\237e aus M\303\274nchen; ", length);
      out_.Append(lineEnd_);
    }
  }

  void WriteMailServer(NoteKind kind, bool otherCase) {
    const char* name = otherCase ? "MAILSERVER" : "MailServer";
    const std::string& server = settings_.server;
    switch (kind) {
      case NoteKind::kNoMailServer:
        return;
      case NoteKind::kEmptyMailServer:
        Item(name, "");
        return;
      case NoteKind::kOtherServer: {
        const char* other = kOtherServers[random_.Below(CountOf(kOtherServers))];
        BeginItem(name);
        out_.Append(other);
        if (server == other) out_.Append("/O=Elsewhere");
        out_.Append(lineEnd_);
        return;
      }
      case NoteKind::kServerCase:
        BeginItem(name);
        out_.Append(OtherCase(server));
        out_.Append(lineEnd_);
        return;
      case NoteKind::kServerBlanks: {
        static constexpr const char* kBlanks[] = {" ", "\t", "  "};
        const char* blank = kBlanks[random_.Below(CountOf(kBlanks))];
        BeginItem(name);
        const bool before = random_.Below(2) == 0;
        if (before) out_.Append(blank);
        out_.Append(server);
        if (!before) out_.Append(blank);
        out_.Append(lineEnd_);
        return;
      }
      case NoteKind::kServerLookalike:
        BeginItem(name);
        switch (random_.Below(3)) {
          case 0:  // one byte short
            out_.Append(std::string_view(server).substr(0, server.size() - 1));
            break;
          case 1:  // one byte more
            out_.Append(server);
            out_.Append('.');
            break;
          default:  // a Cyrillic capital Es in place of the first byte
            out_.Append("\xD0\xA1");
            out_.Append(std::string_view(server).substr(1));
            break;
        }
        out_.Append(lineEnd_);
        return;
      case NoteKind::kLongServer:
        BeginItem(name);
        out_.Append("CN=");
        // "CN=" and "/O=Acme" take 10 of the 259 bytes.
        Filler("Long-Server-Name-", random_.Below(2) == 0 ? 249 : 250 + random_.Below(800));
        out_.Append("/O=Acme");
        out_.Append(lineEnd_);
        return;
      default:
        Item(name, server);
        return;
    }
  }

  void WriteMailFile(NoteKind kind, bool otherCase, std::uint64_t shape) {
    const char* name = otherCase ? "mailfile" : "MailFile";
    if (kind == NoteKind::kNoMailFile) return;
    if (kind == NoteKind::kEmptyMailFile) {
      Item(name, "");
      return;
    }
    BeginItem(name);
    switch (shape >> 40 & 0x3F) {
      case 0:  // exactly 259 bytes
        out_.Append("mail\\");
        Filler("archive-", 259 - 9);
        out_.Append(".nsf");
        break;
      case 1:  // longer than the tool's buffer
        out_.Append("mail\\");
        Filler("archive-", 260 + random_.Below(1000));
        out_.Append(".nsf");
        break;
      case 2:
        out_.Append("mail\\z\xC3\xB6");
        out_.AppendDecimal(notes_);
        out_.Append(".nsf");
        break;
      default:
        out_.Append("mail\\u");
        out_.AppendDecimal(notes_);
        out_.Append(".nsf");
        break;
    }
    out_.Append(lineEnd_);
  }

  // The server name with the letter case changed: all lower, all upper, or
  // one letter flipped. Never equal to the name unless it has no letters.
  std::string OtherCase(const std::string& server) {
    std::string text = server;
    const std::uint32_t how = random_.Below(3);
    std::uint32_t letters = 0;
    for (char c : text) letters += IsLetter(c) ? 1 : 0;
    if (letters == 0) return text + "x";
    const std::uint32_t flip = random_.Below(letters);
    std::uint32_t letter = 0;
    for (char& c : text) {
      if (!IsLetter(c)) continue;
      if (how == 0 || (how == 2 && letter == flip)) c = Flipped(c);
      if (how == 1) c = Upper(c);
      ++letter;
    }
    if (text == server) {
      // It was upper case already: lower its first letter.
      for (char& c : text) {
        if (IsLetter(c)) {
          c = Flipped(c);
          break;
        }
      }
    }
    return text;
  }

  static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
  static char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
  static char Flipped(char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c + 32);
    return c;
  }

  void BeginItem(const char* name) {
    out_.Append(indent_);
    out_.Append(name);
    out_.Append(": ");
  }
  void Item(const char* name, std::string_view value) {
    BeginItem(name);
    out_.Append(value);
    out_.Append(lineEnd_);
  }
  // Exactly `length` bytes of `pattern` repeated.
  void Filler(std::string_view pattern, std::uint32_t length) {
    while (length >= pattern.size()) {
      out_.Append(pattern);
      length -= static_cast<std::uint32_t>(pattern.size());
    }
    out_.Append(pattern.substr(0, length));
  }

  const GeneratorSettings& settings_;
  SplitMix64 random_;
  OutputFile& out_;
  const char* lineEnd_ = "\n";
  const char* indent_ = "";
  std::uint64_t lastId_ = 0;
  std::uint64_t notes_ = 0;
  std::uint64_t mailboxes_ = 0;
};

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

  OutputFile ini(directory / "notes.ini");
  if (!ini.IsOpen()) {
    error = "cannot write " + (directory / "notes.ini").string();
    return false;
  }
  ini.Append("[Notes]\nMailServer=");
  ini.Append(settings.server);
  ini.Append('\n');
  if (!ini.Close()) {
    error = "cannot write " + (directory / "notes.ini").string();
    return false;
  }

  OutputFile names(directory / "names.nsf");
  if (!names.IsOpen()) {
    error = "cannot write " + (directory / "names.nsf").string();
    return false;
  }
  names.Append("# Generated directory: seed ");
  names.AppendDecimal(settings.seed);
  names.Append(", ");
  names.AppendDecimal(settings.notes);
  names.Append(" notes in \"Mail Users\".\n");

  NotesWriter writer(settings, names);
  // The other views hold notes that would be mailboxes in "Mail Users", one
  // view before it and two after, so that the view is found by its name and
  // its notes are not the first or the last of the file.
  writer.WriteView(kOtherViews[0]);
  writer.WriteNotes(settings.notes / 16 + 1, false);
  writer.WriteView("Mail Users");
  writer.WriteNotes(settings.notes, true);
  for (std::uint32_t view = 1; view < CountOf(kOtherViews); ++view) {
    writer.WriteView(kOtherViews[view]);
    writer.WriteNotes(settings.notes / 32 + 1, false);
  }

  result.mailboxes = writer.mailboxes();
  result.notes = writer.notes();
  const bool closed = names.Close();
  std::error_code measured;
  result.bytes = std::filesystem::file_size(directory / "names.nsf", measured);
  if (!closed || measured) {
    error = "cannot write " + (directory / "names.nsf").string();
    return false;
  }
  return true;
}
