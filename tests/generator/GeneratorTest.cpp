#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../Files.h"
#include "../FreshDirectory.h"
#include "Census.h"
#include "DirectoryGenerator.h"
#include "StandInBinding.h"

namespace {

namespace fs = std::filesystem;

const std::string kDefaultServer = GeneratorSettings().server;

// A reading of a generated names.nsf that is independent of the stand-in's
// parser, enough to tell which kinds of note and item a file holds.
bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

struct GeneratedNote {
  std::string view;
  bool explicitId = false;
  bool unopenable = false;
  bool crlf = false;                                       // its lines end in "\r\n"
  std::vector<std::pair<std::string, std::string>> items;  // name as written, value

  // The value of the first item of that name in any letter case, or null.
  const std::string* Find(const std::string& name) const {
    for (const auto& item : items) {
      if (EqualsIgnoringCase(item.first, name)) return &item.second;
    }
    return nullptr;
  }
};

std::vector<GeneratedNote> ReadGeneratedNotes(const std::string& names) {
  std::vector<GeneratedNote> notes;
  std::string view;
  std::istringstream lines(names);
  for (std::string line; std::getline(lines, line);) {
    const bool crlf = !line.empty() && line.back() == '\r';
    if (crlf) line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    line.erase(0, first);
    if (line.rfind("view ", 0) == 0) {
      view = line.substr(5);
    } else if (line == "note" || line.rfind("note ", 0) == 0) {
      GeneratedNote note;
      note.view = view;
      note.crlf = crlf;
      note.unopenable = line.find(" unopenable") != std::string::npos;
      note.explicitId = line.rfind("note 0x", 0) == 0;
      notes.push_back(note);
    } else if (!notes.empty()) {
      const std::size_t colon = line.find(':');
      std::string value = colon + 1 < line.size() ? line.substr(colon + 1) : "";
      if (!value.empty() && value[0] == ' ') value.erase(0, 1);
      notes.back().items.emplace_back(line.substr(0, colon), value);
    }
  }
  return notes;
}

// The file without its first line, which names the seed.
std::string AfterFirstLine(const std::string& text) { return text.substr(text.find('\n') + 1); }

struct StandInCensus {
  NotesStatus init = 0xFFFF;
  bool ok = false;
  std::uint32_t total = 0;
  std::string leaks;
};

class GeneratorTest : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    root_ = FreshDirectory(std::string("generator-") +
                           testing::UnitTest::GetInstance()->current_test_info()->name());
  }

  void TearDown() override {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  GeneratedDirectory Generate(std::uint64_t seed, std::uint32_t notes, const std::string& name,
                              const std::string& server = kDefaultServer) {
    GeneratorSettings settings;
    settings.seed = seed;
    settings.notes = notes;
    settings.server = server;
    GeneratedDirectory result;
    std::string error;
    EXPECT_TRUE(GenerateDirectory(settings, root_ / name, result, error)) << error;
    return result;
  }

  // Counts the generated directory `name` as the tool does, with the stand-in
  // serving it in this process.
  StandInCensus CountWithStandIn(const std::string& name) {
    StandInCensus census;
    const fs::path directory = root_ / name;
    std::ofstream(directory / "notes.ini", std::ios::binary | std::ios::app)
        << "StandInLeakReport=leaks.txt\n";
    BindStandIn(NotesApi);
    fs::current_path(directory);
    char program[] = "generator_tests";
    char* argv[] = {program, nullptr};
    census.init = NotesApi.NotesInitExtended(1, argv);
    if (census.init == 0) {
      char server[260] = {};
      NotesApi.OSGetEnvironmentString("MailServer", server, sizeof server);
      testing::internal::CaptureStderr();
      census.ok = CountMailboxes(server, census.total, false, false);
      const std::string errors = testing::internal::GetCapturedStderr();
      EXPECT_EQ(errors, "");
      NotesApi.NotesTerm();
      census.leaks = ReadFile("leaks.txt");
    }
    fs::current_path(previous_);
    return census;
  }

  fs::path root_;
  fs::path previous_;
};

struct ReproductionCase {
  std::uint64_t seed;
  std::uint32_t notes;
};

TEST_F(GeneratorTest, SameSeedAndSizeGiveTheSameBytes) {
  const ReproductionCase cases[] = {{1, 2000}, {0, 0}, {0xFFFFFFFFFFFFFFFFull, 700}, {42, 1}};
  for (const ReproductionCase& c : cases) {
    SCOPED_TRACE("seed " + std::to_string(c.seed) + ", " + std::to_string(c.notes) + " notes");
    const GeneratedDirectory first = Generate(c.seed, c.notes, "first");
    const GeneratedDirectory second = Generate(c.seed, c.notes, "second");
    const std::string names = ReadFile(root_ / "first" / "names.nsf");
    EXPECT_EQ(names, ReadFile(root_ / "second" / "names.nsf"));
    EXPECT_EQ(ReadFile(root_ / "first" / "notes.ini"), ReadFile(root_ / "second" / "notes.ini"));
    EXPECT_EQ(first.mailboxes, second.mailboxes);
    EXPECT_EQ(first.notes, second.notes);
    EXPECT_EQ(first.bytes, names.size());
  }
}

TEST_F(GeneratorTest, OtherSeedsGiveOtherNotes) {
  const std::uint64_t pairs[][2] = {{1, 2}, {0, 1}, {7, 7 + (std::uint64_t{1} << 32)}};
  for (const auto& pair : pairs) {
    SCOPED_TRACE("seeds " + std::to_string(pair[0]) + " and " + std::to_string(pair[1]));
    Generate(pair[0], 300, "first");
    Generate(pair[1], 300, "second");
    // The first line names the seed; the notes after it must differ too.
    EXPECT_NE(AfterFirstLine(ReadFile(root_ / "first" / "names.nsf")),
              AfterFirstLine(ReadFile(root_ / "second" / "names.nsf")));
  }
}

struct CountCase {
  std::uint64_t seed;
  std::uint32_t notes;
  std::string server;
};

TEST_F(GeneratorTest, DeclaredCountIsWhatTheCensusCounts) {
  const CountCase cases[] = {
      {1, 10000, kDefaultServer},
      {2, 10000, kDefaultServer},
      // All upper case: the letter-case variants must still differ from it.
      {3, 3000, "CN=MAIL01/O=ACME"},
      // Equal to one of the other servers the generator writes.
      {4, 3000, "CN=Mail02/O=Acme"},
      {5, 3000, "Mail01"},
      {6, 1, kDefaultServer},
      {7, 0, kDefaultServer},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE("seed " + std::to_string(c.seed) + ", " + std::to_string(c.notes) +
                 " notes, server " + c.server);
    const GeneratedDirectory generated = Generate(c.seed, c.notes, "directory", c.server);
    if (c.notes >= 1000) {
      // A real mix: most notes count, many do not.
      EXPECT_GT(generated.mailboxes, c.notes / 2);
      EXPECT_LT(generated.mailboxes, c.notes * 3 / 4);
    }
    const StandInCensus census = CountWithStandIn("directory");
    ASSERT_EQ(census.init, 0);
    EXPECT_TRUE(census.ok);
    EXPECT_EQ(census.total, generated.mailboxes);
    EXPECT_EQ(census.leaks, "");
    fs::remove_all(root_ / "directory");
  }
}

struct Feature {
  const char* name;
  bool inMailUsers;  // looked for among the notes of "Mail Users", or of the other views
  std::function<bool(const GeneratedNote&)> present;
};

bool HasHighByte(const GeneratedNote& note) {
  return std::any_of(note.items.begin(), note.items.end(), [](const auto& item) {
    return std::any_of(item.second.begin(), item.second.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  });
}

TEST_F(GeneratorTest, MailUsersHoldsEveryKindOfNote) {
  Generate(1, 10000, "directory");
  const std::vector<GeneratedNote> notes =
      ReadGeneratedNotes(ReadFile(root_ / "directory" / "names.nsf"));
  const std::string& server = kDefaultServer;
  auto mailServer = [](const GeneratedNote& n) { return n.Find("MailServer"); };
  auto mailFile = [](const GeneratedNote& n) { return n.Find("MailFile"); };
  auto isMailbox = [&](const GeneratedNote& n) {
    return mailServer(n) != nullptr && *mailServer(n) == server && n.Find("$REF") == nullptr &&
           mailFile(n) != nullptr && !mailFile(n)->empty() && !n.unopenable;
  };

  const Feature features[] = {
      {"a mailbox", true, isMailbox},
      {"another server", true,
       [&](const GeneratedNote& n) {
         return mailServer(n) != nullptr && !mailServer(n)->empty() &&
                mailServer(n)->find(server) == std::string::npos &&
                !EqualsIgnoringCase(*mailServer(n), server);
       }},
      {"the server in other letter case", true,
       [&](const GeneratedNote& n) {
         return mailServer(n) != nullptr && *mailServer(n) != server &&
                EqualsIgnoringCase(*mailServer(n), server);
       }},
      {"the server with a blank", true,
       [&](const GeneratedNote& n) {
         return mailServer(n) != nullptr && *mailServer(n) != server &&
                mailServer(n)->find(server) != std::string::npos;
       }},
      {"a response note", true, [&](const GeneratedNote& n) { return n.Find("$REF") != nullptr; }},
      {"no MailFile", true, [&](const GeneratedNote& n) { return mailFile(n) == nullptr; }},
      {"an empty MailFile", true,
       [&](const GeneratedNote& n) { return mailFile(n) != nullptr && mailFile(n)->empty(); }},
      {"no MailServer", true, [&](const GeneratedNote& n) { return mailServer(n) == nullptr; }},
      {"an empty MailServer", true,
       [&](const GeneratedNote& n) { return mailServer(n) != nullptr && mailServer(n)->empty(); }},
      {"an unopenable note", true, [&](const GeneratedNote& n) { return n.unopenable; }},
      {"an explicit note id", true, [&](const GeneratedNote& n) { return n.explicitId; }},
      {"CRLF line ends", true, [&](const GeneratedNote& n) { return n.crlf; }},
      {"an item name in other letter case", true,
       [&](const GeneratedNote& n) {
         for (const auto& item : n.items) {
           if (item.first == "MAILSERVER" || item.first == "mailfile") return true;
         }
         return false;
       }},
      {"a MailServer of exactly 259 bytes", true,
       [&](const GeneratedNote& n) { return mailServer(n) && mailServer(n)->size() == 259; }},
      {"a MailServer longer than 259 bytes", true,
       [&](const GeneratedNote& n) { return mailServer(n) && mailServer(n)->size() > 259; }},
      {"a mailbox whose MailFile has exactly 259 bytes", true,
       [&](const GeneratedNote& n) { return isMailbox(n) && mailFile(n)->size() == 259; }},
      {"a mailbox whose MailFile is longer than 259 bytes", true,
       [&](const GeneratedNote& n) { return isMailbox(n) && mailFile(n)->size() > 259; }},
      {"another item of exactly 259 bytes", true,
       [&](const GeneratedNote& n) {
         const std::string* comment = n.Find("Comment");
         return comment != nullptr && comment->size() == 259;
       }},
      {"a mailbox with a byte above 0x7F", true,
       [&](const GeneratedNote& n) { return isMailbox(n) && HasHighByte(n); }},
      {"a mailbox of the server", false, isMailbox},
  };
  for (const Feature& feature : features) {
    EXPECT_TRUE(std::any_of(notes.begin(), notes.end(),
                            [&](const GeneratedNote& note) {
                              return (note.view == "Mail Users") == feature.inMailUsers &&
                                     feature.present(note);
                            }))
        << "no note " << (feature.inMailUsers ? "of" : "outside") << " \"Mail Users\" has "
        << feature.name;
  }
}

}  // namespace
