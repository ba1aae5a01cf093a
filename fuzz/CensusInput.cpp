#include "CensusInput.h"

#include <algorithm>

namespace {

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t U16() {
    std::uint16_t low = U8();
    return static_cast<std::uint16_t>(low | U8() << 8);
  }
  std::string Text() {
    std::size_t length = std::min<std::size_t>(U16(), kMaxText);
    std::size_t available = std::min(length, size_ - at_);
    std::string text(reinterpret_cast<const char*>(data_ + at_), available);
    at_ += available;
    text.resize(length, '\0');
    return text;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

class Writer {
 public:
  void U8(std::uint32_t value) { bytes_ += static_cast<char>(value & 0xFF); }
  void U16(std::uint32_t value) {
    U8(value);
    U8(value >> 8);
  }
  void Text(const std::string& text) {
    std::string kept = text.substr(0, kMaxText);
    U16(static_cast<std::uint32_t>(kept.size()));
    bytes_ += kept;
  }
  std::string bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// The statuses of the calls that may fail, in the order of their bits.
NotesStatus* CallStatus(CensusInput& input, int bit) {
  NotesStatus* statuses[] = {&input.dbOpenStatus, &input.findViewStatus,
                             &input.openCollectionStatus, &input.closeCollectionStatus,
                             &input.dbCloseStatus};
  return statuses[bit];
}
constexpr int kCallStatusCount = 5;

}  // namespace

CensusInput DecodeCensusInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  CensusInput input;
  std::uint8_t options = in.U8();
  input.listNames = (options & 1) != 0;
  input.listDetails = (options & 2) != 0;
  input.unterminatedTexts = (options & 4) != 0;
  input.initialTotal = in.U8();
  input.serverName = in.Text();

  std::uint8_t failing = in.U8();
  for (int bit = 0; bit < kCallStatusCount; ++bit) {
    if (failing & (1 << bit)) *CallStatus(input, bit) = in.U16();
  }

  input.batchSize = std::max<std::uint32_t>(1, in.U8());
  std::size_t reads = std::min<std::size_t>(in.U8(), kMaxReads);
  for (std::size_t i = 0; i < reads; ++i) {
    InputRead read;
    std::uint8_t bits = in.U8();
    read.batchSize = in.U8();
    if (bits & 1) read.status = in.U16();
    read.withMemory = (bits & 2) != 0;
    read.flagsGiven = (bits & 4) != 0;
    if (read.flagsGiven) read.flags = in.U16();
    input.reads.push_back(read);
  }

  std::size_t lockFailures = std::min<std::size_t>(in.U8(), kMaxLockFailures);
  for (std::size_t i = 0; i < lockFailures; ++i) input.lockFailures.insert(in.U8());

  std::size_t notes = std::min<std::size_t>(in.U8(), kMaxNotes);
  for (std::size_t i = 0; i < notes; ++i) {
    InputNote note;
    std::uint16_t bits = in.U16();
    note.openable = (bits & 1) == 0;
    bool serverNamed = (bits & 2) != 0;
    for (std::size_t k = 0; k < kNoteItemCount; ++k) {
      if ((bits & (4u << k)) == 0) continue;
      note.items[kNoteItems[k]] = k == 0 && serverNamed ? input.serverName : in.Text();
    }
    input.notes.push_back(note);
  }
  return input;
}

std::string EncodeCensusInput(const CensusInput& input) {
  Writer out;
  out.U8((input.listNames ? 1 : 0) | (input.listDetails ? 2 : 0) |
         (input.unterminatedTexts ? 4 : 0));
  out.U8(input.initialTotal);
  out.Text(input.serverName);

  CensusInput statuses = input;
  std::uint32_t failing = 0;
  for (int bit = 0; bit < kCallStatusCount; ++bit) {
    if (*CallStatus(statuses, bit) != 0) failing |= 1u << bit;
  }
  out.U8(failing);
  for (int bit = 0; bit < kCallStatusCount; ++bit) {
    if (failing & (1u << bit)) out.U16(*CallStatus(statuses, bit));
  }

  out.U8(input.batchSize);
  out.U8(static_cast<std::uint32_t>(input.reads.size()));
  for (const InputRead& read : input.reads) {
    out.U8((read.status != 0 ? 1 : 0) | (read.withMemory ? 2 : 0) | (read.flagsGiven ? 4 : 0));
    out.U8(read.batchSize);
    if (read.status != 0) out.U16(read.status);
    if (read.flagsGiven) out.U16(read.flags);
  }

  out.U8(static_cast<std::uint32_t>(input.lockFailures.size()));
  for (int call : input.lockFailures) out.U8(static_cast<std::uint32_t>(call));

  out.U8(static_cast<std::uint32_t>(input.notes.size()));
  for (const InputNote& note : input.notes) {
    auto server = note.items.find(kNoteItems[0]);
    bool serverNamed = server != note.items.end() && server->second == input.serverName;
    std::uint32_t bits = (note.openable ? 0 : 1) | (serverNamed ? 2 : 0);
    for (std::size_t k = 0; k < kNoteItemCount; ++k) {
      if (note.items.count(kNoteItems[k]) != 0) bits |= 4u << k;
    }
    out.U16(bits);
    for (std::size_t k = 0; k < kNoteItemCount; ++k) {
      auto item = note.items.find(kNoteItems[k]);
      if (item == note.items.end() || (k == 0 && serverNamed)) continue;
      out.Text(item->second);
    }
  }
  return out.bytes();
}
