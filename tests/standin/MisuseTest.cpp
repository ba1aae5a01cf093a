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

// NIFReadEntries as the tool calls it, with the changes `change` makes to its
// arguments (for a pointer, whether it is passed); any memory returned is freed.
struct ReadArguments {
  std::uint16_t skipNavigator = 1, returnNavigator = 1;
  std::uint32_t skipCount = 1, returnCount = 0xFFFFFFFF, mask = 1;
  bool position = true, memory = true, length = true, skipped = false, returned = true,
       flags = true;
};

void ReadWith(const Open& open, const std::function<void(ReadArguments&)>& change) {
  ReadArguments a;
  change(a);
  ReadPosition position{};
  MemHandle memory = 0;
  std::uint16_t length = 0, flags = 0;
  std::uint32_t skipped = 0, returned = 0;
  NIFReadEntries(open.collection, a.position ? &position : nullptr, a.skipNavigator, a.skipCount,
                 a.returnNavigator, a.returnCount, a.mask, a.memory ? &memory : nullptr,
                 a.length ? &length : nullptr, a.skipped ? &skipped : nullptr,
                 a.returned ? &returned : nullptr, a.flags ? &flags : nullptr);
  if (memory != 0) OSMemFree(memory);
}

// NIFOpenCollection as the tool calls it, changed (for an output, whether it
// is passed); a collection opened is closed.
struct CollectionArguments {
  DbHandle dataDatabase;
  std::uint16_t flags = 0;
  UnreadList unread = 0;
  bool collection = true, viewNote = false, unid = false, collapsed = false, selected = false;
};

void OpenCollectionWith(const Open& open, const std::function<void(CollectionArguments&)>& change) {
  CollectionArguments a{open.db};
  change(a);
  CollectionHandle collection = 0;
  NoteHandle viewNote = 0;
  char unid[16] = {};
  MemHandle list = 0;
  NIFOpenCollection(open.db, a.dataDatabase, 0xFFFF0004, a.flags, a.unread,
                    a.collection ? &collection : nullptr, a.viewNote ? &viewNote : nullptr,
                    a.unid ? unid : nullptr, a.collapsed ? &list : nullptr,
                    a.selected ? &list : nullptr);
  if (collection != 0) NIFCloseCollection(collection);
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
    Collection("collection output", [](auto& a) { a.collection = false; }),
    Collection("view note output", [](auto& a) { a.viewNote = true; }),
    Collection("view UNID output", [](auto& a) { a.unid = true; }),
    Collection("collapsed list output", [](auto& a) { a.collapsed = true; }),
    Collection("selected list output", [](auto& a) { a.selected = true; }),
    Reading("position", [](auto& a) { a.position = false; }),
    Reading("skip navigator", [](auto& a) { a.skipNavigator = 2; }),
    Reading("skip count", [](auto& a) { a.skipCount = 2; }),
    Reading("skip count", [](auto& a) { a.skipCount = 0; }),
    Reading("return navigator", [](auto& a) { a.returnNavigator = 0x0080; }),
    Reading("return count", [](auto& a) { a.returnCount = 10; }),
    Reading("return mask", [](auto& a) { a.mask = 0x0101; }),
    Reading("memory output", [](auto& a) { a.memory = false; }),
    Reading("length output", [](auto& a) { a.length = false; }),
    Reading("skipped-count output", [](auto& a) { a.skipped = true; }),
    Reading("returned-count output", [](auto& a) { a.returned = false; }),
    Reading("signal-flags output", [](auto& a) { a.flags = false; }),
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
