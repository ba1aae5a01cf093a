// Every argument whose value the tool's run fixes is checked on every call:
// any other value is recorded as one misuse naming the call and the argument
// (and so fails the end-to-end test that made it), while the call is served
// as before.
#include <cstring>
#include <functional>

#include "StandInTest.h"

namespace standin_test {
namespace {

// What the calls of a row can use: an open database, collection and note.
struct Open {
  DbHandle db;
  CollectionHandle collection;
  NoteHandle note;
};

struct MisuseCase {
  const char* call;
  const char* argument;
  std::function<void(const Open&)> make;  // the call with that one argument wrong
};

char program[] = "Quorvane.exe";
char option[] = "/names";
char* noArguments[] = {nullptr};
char* toolArguments[] = {program, option, nullptr};

// NIFReadEntries as the tool calls it, with the changes `change` makes to
// its arguments; any memory returned is freed.
struct ReadArguments {
  ReadPosition position{};
  ReadPosition* positionPointer = &position;
  std::uint16_t skipNavigator = 1;
  std::uint32_t skipCount = 1;
  std::uint16_t returnNavigator = 1;
  std::uint32_t returnCount = 0xFFFFFFFF;
  std::uint32_t mask = 1;
  MemHandle memory = 0;
  MemHandle* memoryPointer = &memory;
  std::uint16_t length = 0;
  std::uint16_t* lengthPointer = &length;
  std::uint32_t skipped = 0;
  std::uint32_t* skippedPointer = nullptr;
  std::uint32_t returned = 0;
  std::uint32_t* returnedPointer = &returned;
  std::uint16_t flags = 0;
  std::uint16_t* flagsPointer = &flags;
};

void ReadWith(const Open& open, const std::function<void(ReadArguments&)>& change) {
  ReadArguments a;
  change(a);
  NIFReadEntries(open.collection, a.positionPointer, a.skipNavigator, a.skipCount,
                 a.returnNavigator, a.returnCount, a.mask, a.memoryPointer, a.lengthPointer,
                 a.skippedPointer, a.returnedPointer, a.flagsPointer);
  if (a.memory != 0) OSMemFree(a.memory);
}

// NIFOpenCollection as the tool calls it, changed; a collection opened is closed.
struct CollectionArguments {
  DbHandle dataDatabase;
  std::uint16_t flags = 0;
  UnreadList unread = 0;
  CollectionHandle collection = 0;
  CollectionHandle* collectionPointer = &collection;
  NoteHandle viewNote = 0;
  NoteHandle* viewNotePointer = nullptr;
  char unid[16] = {};
  void* unidPointer = nullptr;
  MemHandle list = 0;
  MemHandle* collapsedPointer = nullptr;
  MemHandle* selectedPointer = nullptr;
};

void OpenCollectionWith(const Open& open, const std::function<void(CollectionArguments&)>& change) {
  CollectionArguments a;
  a.dataDatabase = open.db;
  change(a);
  NIFOpenCollection(open.db, a.dataDatabase, 0xFFFF0004, a.flags, a.unread, a.collectionPointer,
                    a.viewNotePointer, a.unidPointer, a.collapsedPointer, a.selectedPointer);
  if (a.collection != 0) NIFCloseCollection(a.collection);
}

// Rows of the calls that take plain values: the one named argument is the
// wrong one. A text buffer, when passed, holds the largest size of any row.
MisuseCase Find(const char* argument, const char* name, std::uint16_t noteClass,
                const char* pattern, bool idOutput, std::uint32_t options) {
  return {"NIFFindDesignNoteExt", argument, [=](const Open& open) {
            NoteId id = 0;
            NIFFindDesignNoteExt(open.db, name, noteClass, pattern, idOutput ? &id : nullptr,
                                 options);
          }};
}

MisuseCase GetText(const char* argument, const char* item, bool buffer, std::uint16_t size) {
  return {"NSFItemGetText", argument, [=](const Open& open) {
            char text[1024];
            NSFItemGetText(open.note, item, buffer ? text : nullptr, size);
          }};
}

MisuseCase Environment(const char* argument, const char* name, bool buffer, std::uint16_t size) {
  return {"OSGetEnvironmentString", argument, [=](const Open&) {
            char text[1024];
            OSGetEnvironmentString(name, buffer ? text : nullptr, size);
          }};
}

MisuseCase LoadText(const char* argument, bool module, Status number, bool buffer,
                    std::uint16_t size) {
  return {"OSLoadString", argument, [=](const Open&) {
            char text[1024];
            OSLoadString(module ? text : nullptr, number, buffer ? text : nullptr, size);
          }};
}

MisuseCase Init(const char* argument, int argc, char** argv) {
  return {"NotesInitExtended", argument, [=](const Open&) { NotesInitExtended(argc, argv); }};
}

MisuseCase Collection(const char* argument, void (*change)(CollectionArguments&)) {
  return {"NIFOpenCollection", argument,
          [=](const Open& open) { OpenCollectionWith(open, change); }};
}

MisuseCase Reading(const char* argument, void (*change)(ReadArguments&)) {
  return {"NIFReadEntries", argument, [=](const Open& open) { ReadWith(open, change); }};
}

// NSFItemInfo with a name and its length, and which outputs are passed.
MisuseCase Info(const char* argument, const char* name, std::uint16_t length, bool itemBlock,
                bool dataType, bool valueBlock, bool valueLength) {
  return {"NSFItemInfo", argument, [=](const Open& open) {
            char block[16];
            std::uint16_t type = 0;
            std::uint32_t bytes = 0;
            NSFItemInfo(open.note, name, length, itemBlock ? block : nullptr,
                        dataType ? &type : nullptr, valueBlock ? block : nullptr,
                        valueLength ? &bytes : nullptr);
          }};
}

const MisuseCase kCases[] = {
    Init("argc", 0, noArguments),
    Init("argv", 1, nullptr),
    Init("argv[argc]", 1, toolArguments),
    {"NSFDbOpen", "path",
     [](const Open&) {
       DbHandle db = 0;
       NSFDbOpen(nullptr, &db);
     }},
    {"NSFDbOpen", "database output", [](const Open&) { NSFDbOpen("names.nsf", nullptr); }},
    Find("name", nullptr, 0x0008, "-G40n^", true, 0),
    Find("note class", "Mail Users", 0x0001, "-G40n^", true, 0),
    Find("flags pattern", "Mail Users", 0x0008, "-G40", true, 0),
    Find("flags pattern", "Mail Users", 0x0008, nullptr, true, 0),
    Find("NoteId output", "Mail Users", 0x0008, "-G40n^", false, 0),
    Find("options", "Mail Users", 0x0008, "-G40n^", true, 1),
    {"NIFOpenCollection", "data database",
     [](const Open& open) {
       DbHandle other = 0;
       ASSERT_EQ(NSFDbOpen("names.nsf", &other), 0);
       OpenCollectionWith(open, [&](CollectionArguments& a) { a.dataDatabase = other; });
       NSFDbClose(other);
     }},
    Collection("flags", [](auto& a) { a.flags = 1; }),
    Collection("unread list", [](auto& a) { a.unread = 5; }),
    Collection("collection output", [](auto& a) { a.collectionPointer = nullptr; }),
    Collection("view note output", [](auto& a) { a.viewNotePointer = &a.viewNote; }),
    Collection("view UNID output", [](auto& a) { a.unidPointer = a.unid; }),
    Collection("collapsed list output", [](auto& a) { a.collapsedPointer = &a.list; }),
    Collection("selected list output", [](auto& a) { a.selectedPointer = &a.list; }),
    Reading("position", [](auto& a) { a.positionPointer = nullptr; }),
    Reading("skip navigator", [](auto& a) { a.skipNavigator = 2; }),
    Reading("skip count", [](auto& a) { a.skipCount = 2; }),
    Reading("skip count", [](auto& a) { a.skipCount = 0; }),
    Reading("return navigator", [](auto& a) { a.returnNavigator = 0x0080; }),
    Reading("return count", [](auto& a) { a.returnCount = 10; }),
    Reading("return mask", [](auto& a) { a.mask = 0x0101; }),
    Reading("memory output", [](auto& a) { a.memoryPointer = nullptr; }),
    Reading("length output", [](auto& a) { a.lengthPointer = nullptr; }),
    Reading("skipped-count output", [](auto& a) { a.skippedPointer = &a.skipped; }),
    Reading("returned-count output", [](auto& a) { a.returnedPointer = nullptr; }),
    Reading("signal-flags output", [](auto& a) { a.flagsPointer = nullptr; }),
    {"NSFNoteOpen", "flags",
     [](const Open& open) {
       NoteHandle note = 0;
       NSFNoteOpen(open.db, 4, 0x0000, &note);
       if (note != 0) NSFNoteClose(note);
     }},
    {"NSFNoteOpen", "note output", [](const Open& open) { NSFNoteOpen(open.db, 4, 1, nullptr); }},
    GetText("item name", nullptr, true, 260),
    GetText("text buffer", "MailFile", false, 260),
    GetText("size", "MailFile", true, 512),
    Info("item name", nullptr, 0, false, false, false, false),
    Info("name length", "$REF", 3, false, false, false, false),
    Info("name length", "$REF", 5, false, false, false, false),
    Info("item block output", "$REF", 4, true, false, false, false),
    Info("data type output", "$REF", 4, false, true, false, false),
    Info("value block output", "$REF", 4, false, false, true, false),
    Info("value length output", "$REF", 4, false, false, false, true),
    Environment("name", nullptr, true, 260),
    Environment("text buffer", "MailServer", false, 260),
    Environment("size", "MailServer", true, 259),
    LoadText("module", true, 0x0108, true, 512),
    LoadText("string number", false, 0x4108, true, 512),
    LoadText("text buffer", false, 0x0108, false, 512),
    LoadText("size", false, 0x0108, true, 1024),
};

class Misuse : public StandInTest {
 protected:
  // A session with names.nsf, its "Mail Users" collection and note 4 open,
  // opened with the tool's values.
  Open OpenAll() {
    StartAndOpen(
        "view Mail Users\nnote\nMailServer: CN=Alpha/O=Acme\nMailFile: mail\\a.nsf\n$REF: 0001\n",
        "MailServer=CN=Alpha/O=Acme\n");
    Open open{db_, collection_, 0};
    EXPECT_EQ(NSFNoteOpen(db_, 4, kSummaryOnly, &open.note), 0);
    return open;
  }
};

TEST_F(Misuse, EachArgumentOtherThanTheToolsIsOneMisuse) {
  for (const MisuseCase& test : kCases) {
    SCOPED_TRACE(std::string(test.call) + " " + test.argument);
    const Open open = OpenAll();
    NewMisuses();
    test.make(open);
    ExpectMisuses(test.call, {test.argument});
    NSFNoteClose(open.note);
    CloseMailUsers();
    const std::string report = Finish();
    EXPECT_EQ(report.rfind(std::string("misuse: ") + test.call + " with " + test.argument + " ", 0),
              0u)
        << report;
  }
}

TEST_F(Misuse, TheToolsValuesAreNone) {
  // Every entry point once, as the tool calls it: the report stays empty.
  const Open open = OpenAll();
  char text[512];
  EXPECT_EQ(OSGetEnvironmentString("MailServer", text, 260), 1);
  EXPECT_EQ(OSLoadString(nullptr, 0x3FFF, text, 512), 22u);
  ReadWith(open, [](ReadArguments&) {});
  OpenCollectionWith(open, [](CollectionArguments&) {});
  NoteId view = 0;
  EXPECT_EQ(NIFFindDesignNoteExt(open.db, "Mail Users", 0x0008, "-G40n^", &view, 0), 0);
  EXPECT_EQ(NSFItemGetText(open.note, "MailFile", text, 260), 10u);
  EXPECT_EQ(NSFItemInfo(open.note, "$REF", 4, nullptr, nullptr, nullptr, nullptr), 0);
  ReadPosition position{};
  const MemHandle memory = ReadBatch(position);
  ASSERT_NE(OSLockObject(memory), nullptr);
  EXPECT_EQ(OSUnlockObject(memory), 1);
  EXPECT_EQ(OSMemFree(memory), 0);
  EXPECT_EQ(NotesInitExtended(2, toolArguments), 0);
  EXPECT_EQ(NSFNoteClose(open.note), 0);
  CloseMailUsers();
  EXPECT_EQ(Finish(), "");
}

}  // namespace
}  // namespace standin_test
