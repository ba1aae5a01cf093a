// Input a user, a script or a damaged directory can hand the tool: each
// case has its exact output and status, and none may crash the tool, leak a
// handle or print a text other than as it stands.
#include <string>
#include <vector>

#include "EndToEnd.h"
#include "ToolTexts.h"

namespace {

class BadInputTest : public EndToEndTest {};

const std::string kHeader = "\nMailboxes:\n\n";

const std::string kTwoMailboxes =
    "view Mail Users\n"
    "note\nMailServer: CN=Alpha/O=Acme\nMailFile: mail\\one.nsf\n"
    "note\nMailServer: CN=Beta/O=Acme\nMailFile: mail\\other.nsf\n"
    "note\nMailServer: CN=Alpha/O=Acme\nMailFile: mail\\two.nsf\n";
const std::string kTwoNames = "mail\\one.nsf\nmail\\two.nsf\n";

std::string ChangeFailed(const std::string& directory) {
  return "Error: Unable to change directory (" + directory + ").\n";
}

TEST_F(BadInputTest, CommandLines) {
  const std::string huge(10000, 'x');
  const std::string hugePath = std::string(9990, 'p') + "\\missing";
  const Runtime ended = Runtime::EndedByCommandLine;
  ExpectAll({
      Row("argument of 10,000 bytes", kIni, kTwoMailboxes, {huge}, kUsage, "", 0, ended),
      Row("argument of 10,000 bytes beside an option", kIni, kTwoMailboxes, {huge, "/names", huge},
          kHeader + kTwoNames + Count(2), "", 0),
      Row("directory of 10,000 bytes", kIni, kTwoMailboxes, {"/path", hugePath},
          ChangeFailed(hugePath), "", 1, ended),
      Row("empty argument", kIni, kTwoMailboxes, {""}, kUsage, "", 0, ended),
      Row("empty arguments around an option", kIni, kTwoMailboxes, {"", "/names", ""},
          kHeader + kTwoNames + Count(2), "", 0),
      Row("empty directory", kIni, kTwoMailboxes, {"/path", ""}, ChangeFailed(""), "", 1, ended),
      Row("non-ASCII look-alike of an option", kIni, kTwoMailboxes, {"/n\xE4mes"}, kUsage, "", 0,
          ended),
      Row("non-ASCII directory that does not exist", kIni, kTwoMailboxes, {"/path", "d\xE4t\xE4"},
          ChangeFailed("d\xE4t\xE4"), "", 1, ended),
      Row("format characters in a directory", kIni, kTwoMailboxes, {"/path", "%s%n%x%%%d"},
          ChangeFailed("%s%n%x%%%d"), "", 1, ended),
      Row("second of two directories missing", kIni, kTwoMailboxes,
          {"/path", ".", "/path", "missing", "/names"}, ChangeFailed("missing"), "", 1, ended),
      Row("first of two directories missing", kIni, kTwoMailboxes,
          {"/path", "missing", "/path", "."}, ChangeFailed("missing"), "", 1, ended),
      Row("the same directory twice", kIni, kTwoMailboxes, {"/path", ".", "/path", "."}, Count(2),
          "", 0),
  });
}

TEST_F(BadInputTest, DirectoryTexts) {
  const std::string name259 = "CN=" + std::string(249, 's') + "/O=Acme";
  const std::string name258 = name259.substr(1);
  auto person = [](const std::string& server, const std::string& mailFile) {
    return "note\nMailServer: " + server + "\nMailFile: " + mailFile + "\n";
  };
  const std::string formats =
      "view Mail Users\nnote\nMailServer: %s%n/O=Acme\n"
      "MailFile: mail\\%n%s.nsf\nFirstName: %d%%\nLastName: %99999s\n"
      "FullName: \\%x\nMail: %c@%p\nMailDomain: %n\n";
  ExpectAll({
      Row("format characters in the server name and every item",
          "MailServer=%s%n/O=Acme\nStandInLeakReport=leaks.txt\n", formats, {"/details"},
          kHeader + "mail\\%n%s.nsf, %d%%, %99999s, \\%x, %c@%p, %s%n/O=Acme, %n\n" + Count(1), "",
          0),
      Row("server name of exactly 259 bytes",
          "MailServer=" + name259 + "\nStandInLeakReport=leaks.txt\n",
          "view Mail Users\n" + person(name259, "mail\\long.nsf") +
              person(name258, "mail\\short.nsf"),
          {"/names"}, kHeader + "mail\\long.nsf\n" + Count(1), "", 0),
      Row("non-ASCII bytes in items are printed as they are", kIni,
          "view Mail Users\n" + person("CN=Alpha/O=Acme", "mail\\\xE4\xF6\xFF.nsf") +
              "FirstName: J\xC3\xBCrgen\n",
          {"/details"},
          kHeader + "mail\\\xE4\xF6\xFF.nsf, J\xC3\xBCrgen, CN=Alpha/O=Acme\n" + Count(1), "", 0),
      Row("MailServer unset", "StandInLeakReport=leaks.txt\n", kTwoMailboxes, {"/names"},
          kHeader + Count(0), "", 0),
      Row("MailServer empty", "MailServer=\nStandInLeakReport=leaks.txt\n",
          kTwoMailboxes + person("", "mail\\blank.nsf"), {"/names"}, kHeader + Count(0), "", 0),
  });
}

TEST_F(BadInputTest, MalformedDirectories) {
  ExpectAll({
      Row("empty names.nsf", kIni, "", {"/names"}, kHeader + kCountFailed, "Cannot locate view\n",
          1),
      Row("note before any view", kIni, "note\nMailServer: CN=Alpha/O=Acme\n", {}, kCountFailed,
          "names.nsf line 1: note before any view\n", 1),
      Row("binary garbage", kIni,
          std::string("\x7F"
                      "ELF\x02\x01\x01\0\0\0",
                      10) +
              "\xFF\xFE\n",
          {}, kCountFailed, "names.nsf line 1: expected \"Name: value\"\n", 1),
      // The library's text ends at a zero byte: what follows it is not compared.
      Row("zero byte in an item", kIni,
          std::string("view Mail Users\nnote\nMailServer: CN=Alpha/O=Acme\0x\nMailFile: a\n"
                      "note\nMailServer: CN=Alpha/O=Acme\nMailFile: b\0c\n",
                      110),
          {"/names"}, kHeader + "a\nb\n" + Count(2), "", 0),
  });
}

}  // namespace
