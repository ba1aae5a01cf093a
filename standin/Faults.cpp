#include "Faults.h"

#include <algorithm>

#include "Text.h"

namespace standin {

namespace {

constexpr const char* kPointNames[] = {
    "NotesInitExtended", "NSFDbOpen",      "NIFFindDesignNoteExt",
    "NIFOpenCollection", "NIFReadEntries", "NIFCloseCollection",
    "NSFDbClose",        "NSFNoteOpen",    "OSLockObject",
};
static_assert(sizeof kPointNames / sizeof *kPointNames ==
                  static_cast<std::size_t>(FaultPoint::kCount),
              "one name per fault point");

// Applies one token such as "call=3" or "repeat" to `fault`.
bool ApplyToken(FaultPoint point, std::string_view token, Fault& fault, bool& callGiven) {
  const std::size_t equals = token.find('=');
  const std::string key = Lowercase(TrimBlanks(token.substr(0, equals)));
  const bool hasValue = equals != std::string_view::npos;
  std::uint64_t number = 0;
  if (hasValue && !ParseNumber(TrimBlanks(token.substr(equals + 1)), 0xFFFFFFFF, number)) {
    return false;
  }
  if (key == "status" && hasValue && point != FaultPoint::kOSLockObject) {
    fault.status = static_cast<Status>(number);
    return number != 0 && number <= 0xFFFF;
  }
  if (key == "call" && hasValue) {
    fault.call = static_cast<std::uint32_t>(number);
    callGiven = true;
    return number != 0;
  }
  if (key == "repeat" && !hasValue) {
    fault.repeat = true;
    return true;
  }
  if (key == "note" && hasValue && point == FaultPoint::kNSFNoteOpen) {
    fault.notes.push_back(static_cast<NoteId>(number));
    return number != 0;
  }
  if (key == "memory" && !hasValue && point == FaultPoint::kNIFReadEntries) {
    fault.memory = true;
    return true;
  }
  if (key == "flags" && hasValue && point == FaultPoint::kNIFReadEntries) {
    fault.flags = static_cast<std::uint16_t>(number);
    return number <= 0xFFFF;
  }
  return false;
}

}  // namespace

bool Faults::Configure(std::string_view entryPoint, std::string_view tokens) {
  std::size_t index = 0;
  while (index < kPoints && !EqualsIgnoreCase(entryPoint, kPointNames[index])) ++index;
  if (index == kPoints) return false;
  const FaultPoint point = static_cast<FaultPoint>(index);
  Fault fault;
  fault.armed = true;
  bool callGiven = false;
  while (!tokens.empty()) {
    const std::size_t comma = tokens.find(',');
    const std::string_view token = TrimBlanks(tokens.substr(0, comma));
    tokens = comma == std::string_view::npos ? std::string_view() : tokens.substr(comma + 1);
    if (!token.empty() && !ApplyToken(point, token, fault, callGiven)) return false;
  }
  fault.byCall = callGiven || fault.notes.empty();
  faults_[index] = fault;
  return true;
}

const Fault* Faults::Call(FaultPoint point, NoteId note) {
  const std::size_t index = static_cast<std::size_t>(point);
  const std::uint32_t call = calls_[index] < UINT32_MAX ? ++calls_[index] : calls_[index];
  const Fault& fault = faults_[index];
  if (!fault.armed) return nullptr;
  const bool byCall = fault.byCall && (call == fault.call || (fault.repeat && call > fault.call));
  const bool byNote = std::find(fault.notes.begin(), fault.notes.end(), note) != fault.notes.end();
  return byCall || byNote ? &fault : nullptr;
}

}  // namespace standin
