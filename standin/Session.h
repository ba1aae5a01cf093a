// The state of the stand-in between NotesInitExtended and NotesTerm: the
// notes.ini settings, the tables of handles given out, the faults to inject
// and the misuses seen, from which NotesTerm writes the leak report.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Directory.h"
#include "Faults.h"
#include "Text.h"

namespace standin {

struct OpenDatabase {
  std::string path;  // as given to NSFDbOpen
  std::shared_ptr<const Directory> directory;
};

struct OpenNote {
  const Note* note;
  std::shared_ptr<const Directory> directory;
};

struct OpenCollection {
  const View* view;
  std::shared_ptr<const Directory> directory;
};

struct Memory {
  std::vector<NoteId> noteIds;
  std::uint32_t locks = 0;
};

enum class HandleKind : std::uint64_t { kDatabase = 1, kNote = 2, kMemory = 3 };

constexpr std::uint32_t kMaxBatch = 16384;

class Session {
 public:
  ~Session();  // writes the report when the process ends without NotesTerm

  Status Init();
  void Term();
  bool initialized() const { return initialized_; }

  // The notes.ini value of `name` (case-insensitive), or null.
  const std::string* Environment(std::string_view name) const;

  // Looks `handle` up in `table`; an unknown one is recorded as a misuse of
  // the entry point `call` and gives null.
  template <typename Table>
  typename Table::mapped_type* Find(Table& table, typename Table::key_type handle,
                                    const char* call) {
    const auto found = table.find(handle);
    if (found != table.end()) return &found->second;
    Misuse(std::string(call) + " of unknown handle " + Hex(handle, 2 * sizeof handle));
    return nullptr;
  }

  void Misuse(const std::string& what);
  // Records a misuse of `call` when `asPassed` is false: its `argument` was
  // `given`, where the tool passes `expected`. One line per argument.
  void Expect(bool asPassed, const char* call, const char* argument, const std::string& given,
              const char* expected);
  // The same with a number, shown in hexadecimal with `hexDigits` digits, or
  // in decimal when `hexDigits` is 0. Nothing is formatted when it is right.
  void ExpectNumber(bool asPassed, const char* call, const char* argument, std::uint64_t given,
                    int hexDigits, const char* expected);
  // The same for an argument that the tool always passes as null (`null`
  // true) or never passes as null (`null` false).
  void ExpectNull(bool null, const void* pointer, const char* call, const char* argument);
  const std::vector<std::string>& misuses() const { return misuses_; }

  // The text OSLoadString gives for `code`: a StandInStatusText_ key's, or
  // the stand-in's own.
  std::string TextOf(Status code) const;
  // Writes `text` into `out` as NSFItemGetText, OSGetEnvironmentString and
  // OSLoadString do: cut to size-1 bytes and terminated, or with
  // StandInUnterminatedTexts=1 a text that does not fit fills all `size`
  // bytes without a terminator. Returns the bytes written, the zero excluded.
  std::uint16_t WriteText(std::string_view text, char* out, std::uint16_t size) const;
  std::uint64_t NewHandle(HandleKind kind);
  CollectionHandle NewCollectionHandle();  // 0 when all are in use

  std::filesystem::path dataDirectory;
  std::uint32_t batchSize = kMaxBatch;
  // How long NotesInitExtended and each NSFNoteOpen take, for a run to be
  // stopped in the middle.
  std::chrono::milliseconds startDelay{}, noteDelay{};
  bool unterminatedTexts = false;
  Faults faults;
  std::unordered_map<DbHandle, OpenDatabase> databases;
  std::unordered_map<CollectionHandle, OpenCollection> collections;
  std::unordered_map<NoteHandle, OpenNote> notes;
  std::unordered_map<MemHandle, Memory> memory;

 private:
  Status Configure(const std::filesystem::path& workingDirectory);
  void WriteReport(bool termCalled) const;
  void Reset();

  bool initialized_ = false;
  std::unordered_map<std::string, std::string> environment_;  // lower-case keys
  std::unordered_map<Status, std::string> statusTexts_;       // from StandInStatusText_
  std::filesystem::path reportPath_;
  std::vector<std::string> misuses_;
  std::size_t unlistedMisuses_ = 0;
  std::uint64_t lastSerial_ = 0;  // never reused, so a released handle stays unknown
  CollectionHandle lastCollection_ = 0;
};

Session& TheSession();

// Runs the body of an entry point so that no exception crosses the C boundary:
// anything thrown (in practice std::bad_alloc) becomes `onFailure`.
template <typename Result, typename Body>
Result Guarded(Result onFailure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return onFailure;
  }
}

}  // namespace standin
