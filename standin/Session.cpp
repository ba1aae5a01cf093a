#include "Session.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "Ini.h"
#include "Status.h"

namespace standin {

namespace fs = std::filesystem;

namespace {

// High bits on every 64-bit handle, so that a handle cut to 32 bits is unknown.
constexpr std::uint64_t kHandleTag = 0x5A00000000000000;
constexpr std::size_t kListedMisuses = 1000;
constexpr std::string_view kFaultPrefix = "standinfault_";
constexpr std::string_view kStatusTextPrefix = "standinstatustext_";

Session theSession;

}  // namespace

Session& TheSession() { return theSession; }

Session::~Session() {
  try {
    if (initialized_) WriteReport(false);
  } catch (...) {
    // Nothing can be reported at process exit.
  }
}

Status Session::Init() {
  if (initialized_) {
    const Fault* fault = faults.Call(FaultPoint::kNotesInitExtended);
    return fault != nullptr ? fault->status : 0;
  }
  Reset();
  std::error_code error;
  const fs::path workingDirectory = fs::current_path(error);
  Status status = error ? kStatusNoIni : Configure(workingDirectory);
  const Fault* fault = faults.Call(FaultPoint::kNotesInitExtended);
  if (status == 0 && fault != nullptr) status = fault->status;
  if (status == 0 && !reportPath_.empty() &&
      !std::ofstream(reportPath_, std::ios::binary | std::ios::trunc)) {
    status = kStatusNoFile;
  }
  if (status != 0) {
    Reset();
    return status;
  }
  initialized_ = true;
  std::this_thread::sleep_for(startDelay);
  return 0;
}

Status Session::Configure(const fs::path& workingDirectory) {
  std::string text;
  if (!ReadWholeFile(workingDirectory / "notes.ini", text)) return kStatusNoIni;
  dataDirectory = workingDirectory;
  for (const IniEntry& entry : ParseIni(text)) {
    const std::string key = Lowercase(entry.key);
    environment_[key] = entry.value;
    if (key == "directory") {
      dataDirectory = workingDirectory / entry.value;
    } else if (key == "standinleakreport") {
      reportPath_ = entry.value.empty() ? fs::path() : workingDirectory / entry.value;
    } else if (key == "standinbatchsize") {
      std::uint64_t size = 0;
      if (!ParseNumber(TrimBlanks(entry.value), kMaxBatch, size) || size == 0) {
        return kStatusInvalidArgument;
      }
      batchSize = static_cast<std::uint32_t>(size);
    } else if (key == "standinslowstart" || key == "standinslownotes") {
      std::uint64_t milliseconds = 0;
      if (!ParseNumber(TrimBlanks(entry.value), 60000, milliseconds)) return kStatusInvalidArgument;
      (key == "standinslowstart" ? startDelay : noteDelay) =
          std::chrono::milliseconds(milliseconds);
    } else if (key == "standinunterminatedtexts") {
      const std::string_view value = TrimBlanks(entry.value);
      if (value != "0" && value != "1") return kStatusInvalidArgument;
      unterminatedTexts = value == "1";
    } else if (key.compare(0, kStatusTextPrefix.size(), kStatusTextPrefix) == 0) {
      // The code is a string number as OSLoadString receives it: 1..0x3fff.
      std::uint64_t code = 0;
      if (!ParseNumber(std::string_view(entry.key).substr(kStatusTextPrefix.size()),
                       kStatusTextMask, code) ||
          code == 0) {
        return kStatusInvalidArgument;
      }
      statusTexts_[static_cast<Status>(code)] = entry.value;
    } else if (key.compare(0, kFaultPrefix.size(), kFaultPrefix) == 0) {
      const std::string_view entryPoint = std::string_view(entry.key).substr(kFaultPrefix.size());
      if (!faults.Configure(entryPoint, entry.value)) return kStatusInvalidArgument;
    } else if (key.compare(0, 7, "standin") == 0) {
      return kStatusInvalidArgument;  // a misspelt stand-in key must not pass unnoticed
    }
  }
  return 0;
}

void Session::Term() {
  if (!initialized_) return;
  WriteReport(true);
  Reset();
}

void Session::Reset() {
  initialized_ = false;
  environment_.clear();
  reportPath_.clear();
  misuses_.clear();
  unlistedMisuses_ = 0;
  dataDirectory.clear();
  batchSize = kMaxBatch;
  startDelay = noteDelay = {};
  unterminatedTexts = false;
  statusTexts_.clear();
  faults = Faults();
  databases.clear();
  collections.clear();
  notes.clear();
  memory.clear();
}

const std::string* Session::Environment(std::string_view name) const {
  const auto found = environment_.find(Lowercase(name));
  return found != environment_.end() ? &found->second : nullptr;
}

void Session::Misuse(const std::string& what) {
  if (misuses_.size() < kListedMisuses) {
    misuses_.push_back("misuse: " + what);
  } else {
    ++unlistedMisuses_;
  }
}

void Session::Expect(bool asPassed, const char* call, const char* argument,
                     const std::string& given, const char* expected) {
  if (asPassed) return;
  Misuse(std::string(call) + " with " + argument + " " + given + "; the tool passes " + expected);
}

void Session::ExpectNumber(bool asPassed, const char* call, const char* argument,
                           std::uint64_t given, int hexDigits, const char* expected) {
  if (asPassed) return;
  Expect(false, call, argument, hexDigits != 0 ? Hex(given, hexDigits) : std::to_string(given),
         expected);
}

void Session::ExpectNull(bool null, const void* pointer, const char* call, const char* argument) {
  if ((pointer == nullptr) == null) return;
  Expect(false, call, argument, null ? "non-null" : "null", null ? "null" : "non-null");
}

std::string Session::TextOf(Status code) const {
  const auto found = statusTexts_.find(code);
  return found != statusTexts_.end() ? found->second : StatusText(code);
}

std::uint16_t Session::WriteText(std::string_view text, char* out, std::uint16_t size) const {
  if (unterminatedTexts && out != nullptr && text.size() >= size) {
    std::memcpy(out, text.data(), size);
    return size;
  }
  return CopyText(text, out, size);
}

std::uint64_t Session::NewHandle(HandleKind kind) {
  return kHandleTag | static_cast<std::uint64_t>(kind) << 40 | ++lastSerial_;
}

CollectionHandle Session::NewCollectionHandle() {
  if (collections.size() >= 0xFFFF) return 0;
  do {
    ++lastCollection_;
  } while (lastCollection_ == 0 || collections.count(lastCollection_) != 0);
  return lastCollection_;
}

void Session::WriteReport(bool termCalled) const {
  if (reportPath_.empty()) return;
  std::vector<std::string> lines;
  if (!termCalled) lines.push_back("misuse: NotesTerm not called");
  lines.insert(lines.end(), misuses_.begin(), misuses_.end());
  if (unlistedMisuses_ != 0) {
    lines.push_back("misuse: " + std::to_string(unlistedMisuses_) + " more misuses not listed");
  }
  // Leaks of one kind in handle order; the hex handles have a fixed width.
  const auto leaks = [&lines](const auto& table, const char* kind, auto details) {
    std::vector<std::string> found;
    found.reserve(table.size());
    for (const auto& [handle, object] : table) {
      found.push_back("leak: " + std::string(kind) + " handle " + Hex(handle, 2 * sizeof handle) +
                      " " + details(object));
    }
    std::sort(found.begin(), found.end());
    lines.insert(lines.end(), found.begin(), found.end());
  };
  leaks(databases, "database", [](const OpenDatabase& open) { return "(" + open.path + ")"; });
  leaks(collections, "collection",
        [](const OpenCollection& open) { return "(view \"" + open.view->name + "\")"; });
  leaks(notes, "note",
        [](const OpenNote& open) { return "(NoteId " + Hex(open.note->id, 8) + ")"; });
  leaks(memory, "memory", [](const Memory& block) {
    const std::string size =
        "(" + std::to_string(block.noteIds.size() * sizeof(NoteId)) + " bytes)";
    return block.locks == 0 ? size
                            : size + ", still locked " + std::to_string(block.locks) + " time(s)";
  });
  std::ofstream out(reportPath_, std::ios::binary | std::ios::trunc);
  for (const std::string& line : lines) out << line << '\n';
}

}  // namespace standin
