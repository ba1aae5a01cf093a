#include "CensusInput.h"

#include <algorithm>

namespace {

// Reads the layout from bytes or writes it, one field at a time, so that a
// single walk over the fields (Transfer) is both the decoder and the encoder.
// A writing pass may cut what the layout cannot hold, as a reading pass would.
class Codec {
 public:
  Codec(const std::uint8_t* data, std::size_t size) : data_(data), size_(size), reading_(true) {}
  Codec() = default;

  template <typename T>
  void U8(T& value) {
    if (reading_) value = static_cast<T>(at_ < size_ ? data_[at_++] : 0);
    if (!reading_) bytes_ += static_cast<char>(value & 0xFF);
  }
  template <typename T>
  void U16(T& value) {
    std::uint32_t low = value & 0xFF, high = (value >> 8) & 0xFF;
    U8(low);
    U8(high);
    value = static_cast<T>(low | high << 8);
  }
  void Text(std::string& text) {
    std::size_t length = std::min(text.size(), kMaxText);
    U16(length);
    length = std::min(length, kMaxText);
    if (reading_) {
      std::size_t available = std::min(length, size_ - at_);
      text.assign(reinterpret_cast<const char*>(data_ + at_), available);
      at_ += available;
    }
    text.resize(length, '\0');
    if (!reading_) bytes_ += text;
  }
  // A u8 count of `items`, at most `max`; reading, as many items made.
  template <typename Items>
  void Count(Items& items, std::size_t max) {
    std::size_t count = std::min(items.size(), max);
    U8(count);
    items.resize(std::min(count, max));
  }
  const std::string& bytes() const { return bytes_; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t at_ = 0;
  bool reading_ = false;
  std::string bytes_;
};

// Each bit field is first worked out from the fields it stands for (all
// clear when reading), transferred, then spread back over those fields.
void Transfer(Codec& io, CensusInput& input) {
  unsigned options =
      (input.listNames ? 1 : 0) | (input.listDetails ? 2 : 0) | (input.unterminatedTexts ? 4 : 0);
  io.U8(options);
  input.listNames = (options & 1) != 0;
  input.listDetails = (options & 2) != 0;
  input.unterminatedTexts = (options & 4) != 0;
  io.U8(input.initialTotal);
  io.Text(input.serverName);

  NotesStatus* statuses[] = {&input.dbOpenStatus, &input.findViewStatus,
                             &input.openCollectionStatus, &input.closeCollectionStatus,
                             &input.dbCloseStatus};
  unsigned failing = 0;
  for (unsigned bit = 0; bit < 5; ++bit) failing |= *statuses[bit] != 0 ? 1u << bit : 0;
  io.U8(failing);
  for (unsigned bit = 0; bit < 5; ++bit) {
    if (failing & (1u << bit)) io.U16(*statuses[bit]);
  }

  io.U8(input.batchSize);
  input.batchSize = std::max<std::uint32_t>(1, input.batchSize);
  io.Count(input.reads, kMaxReads);
  for (InputRead& read : input.reads) {
    unsigned bits =
        (read.status != 0 ? 1 : 0) | (read.withMemory ? 2 : 0) | (read.flagsGiven ? 4 : 0);
    io.U8(bits);
    io.U8(read.batchSize);
    if (bits & 1) io.U16(read.status);
    read.withMemory = (bits & 2) != 0;
    read.flagsGiven = (bits & 4) != 0;
    if (read.flagsGiven) io.U16(read.flags);
  }

  std::vector<int> locks(input.lockFailures.begin(), input.lockFailures.end());
  io.Count(locks, kMaxLockFailures);
  for (int& call : locks) io.U8(call);
  input.lockFailures = {locks.begin(), locks.end()};

  io.Count(input.notes, kMaxNotes);
  for (InputNote& note : input.notes) {
    auto server = note.items.find(kNoteItems[0]);
    unsigned bits = (note.openable ? 0 : 1) |
                    (server != note.items.end() && server->second == input.serverName ? 2 : 0);
    for (std::size_t k = 0; k < kNoteItemCount; ++k) {
      if (note.items.count(kNoteItems[k]) != 0) bits |= 4u << k;
    }
    io.U16(bits);
    note.openable = (bits & 1) == 0;
    for (std::size_t k = 0; k < kNoteItemCount; ++k) {
      if ((bits & (4u << k)) == 0) continue;
      std::string& value = note.items[kNoteItems[k]];
      if (k == 0 && (bits & 2) != 0) {
        value = input.serverName;
      } else {
        io.Text(value);
      }
    }
  }
}

}  // namespace

CensusInput DecodeCensusInput(const std::uint8_t* data, std::size_t size) {
  Codec io(data, size);
  CensusInput input;
  Transfer(io, input);
  return input;
}

std::string EncodeCensusInput(CensusInput input) {
  Codec io;
  Transfer(io, input);
  return io.bytes();
}
