// Both streams of the tool in one pipe, as "2>&1 |" gives them to a script:
// the library's text for a failed call stands exactly where the failure
// happened among the lines of the listing. Standard output to a pipe is fully
// buffered by the C runtime, so any line not flushed before the library's text
// is written would come after it.
#include <string>
#include <vector>

#include "EndToEnd.h"
#include "ToolTexts.h"

namespace {

// Mailboxes of CN=Alpha/O=Acme interleaved with notes of another server: read
// two at a time, each batch lists one line.
const std::string kListed = R"(view Mail Users
note
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\one.nsf
note
  MailServer: CN=Beta/O=Acme
  MailFile: mail\other.nsf
note
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\two.nsf
note
  MailServer: CN=Beta/O=Acme
  MailFile: mail\other2.nsf
note
  MailServer: CN=Alpha/O=Acme
  MailFile: mail\three.nsf
)";

TEST_F(EndToEndTest, LibraryTextsStandWhereTheyWereReportedInOnePipe) {
  if (RunsUnderWine()) {
    GTEST_SKIP() << "Wine's C runtime writes standard output to a pipe unbuffered, which would "
                    "hide a missing flush; Windows' and glibc's buffer it fully, and run this";
  }
  const std::string header = "\nMailboxes:\n\n";
  struct PipeCase {
    const char* name;
    std::string ini;
    std::vector<std::string> arguments;
    std::string merged;
  };
  const std::vector<PipeCase> cases = {
      {"a read fails within the listing",
       kIni + "StandInBatchSize=2\nStandInFault_NIFReadEntries=call=3\n",
       {"/names"},
       header + "mail\\one.nsf\nmail\\two.nsf\nServer not responding\n" + kCountFailed},
      {"the collection does not close after the listing",
       kIni + "StandInBatchSize=2\nStandInFault_NIFCloseCollection=status=0x0107\n",
       {"/details"},
       header +
           "mail\\one.nsf, CN=Alpha/O=Acme\nmail\\two.nsf, CN=Alpha/O=Acme\n"
           "mail\\three.nsf, CN=Alpha/O=Acme\nInvalid handle\n" +
           kCountFailed},
      {"the database does not open after the header",
       kIni + "StandInFault_NSFDbOpen=status=0x0102\n",
       {"/names"},
       header + "File does not exist\n" + kCountFailed},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const PipeCase& c = cases[i];
    const std::filesystem::path directory =
        MakeDirectory("case" + std::to_string(i), c.ini, kListed);
    ToolRun run = RunProgramOnePipe(kTool, c.arguments, directory, standIn_);
    EXPECT_EQ(run.out, AsWritten(LookupMessage() + c.merged)) << c.name;
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(ReadFile(directory / "leaks.txt"), "") << c.name;
  }
}

}  // namespace
