// A Domino Directory served from the stand-in's text format (see README.md).
//
// The file is read into one buffer and parsed in a single pass. Items are
// offsets into that buffer, notes and items live in flat arrays, and an
// open-addressing table maps NoteIds to notes, so a million-note file loads
// without a heap allocation per note or item.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "LibraryTypes.h"

namespace standin {

// Views get NoteIds 0xFFFF0004, 0xFFFF0008, ... in file order; notes may not
// use ids from kFirstViewId on.
constexpr NoteId kFirstViewId = 0xFFFF0000;

struct Item {
  std::uint32_t name, nameLength;  // offsets into the file buffer
  std::uint32_t value, valueLength;
};

struct Note {
  NoteId id;
  std::uint32_t firstItem, itemCount;  // range in the item array
  std::uint32_t line;
  bool unopenable;
};

struct View {
  std::string name;
  NoteId id;
  std::uint32_t firstNote, noteCount;  // range in the note array, in file order
  std::uint32_t line;
};

class Directory {
 public:
  // Reads and parses `file`. Returns 0, kStatusNoFile, kStatusMalformed (with
  // the text naming `shownName` and the line) or kStatusNoMemory.
  static Status Load(const std::filesystem::path& file, std::string_view shownName,
                     std::shared_ptr<const Directory>& directory);

  const View* FindView(std::string_view name) const;  // case-insensitive
  const View* FindView(NoteId id) const;
  const Note* FindNote(NoteId id) const;
  const Item* FindItem(const Note& note, std::string_view name) const;  // case-insensitive
  std::string_view Value(const Item& item) const { return Text(item.value, item.valueLength); }
  const Note& NoteAt(std::size_t index) const { return notes_[index]; }

 private:
  std::string Parse();  // empty, or the problem with its line number
  std::string ParseLine(std::string_view line, std::uint32_t number);
  std::string AddView(std::string_view name, std::uint32_t number);
  std::string AddNote(std::string_view words, std::uint32_t number);
  std::size_t SlotOf(NoteId id) const;
  void GrowIndex();
  std::string_view Text(std::uint32_t offset, std::uint32_t length) const {
    return std::string_view(text_.data() + offset, length);
  }
  std::uint32_t Offset(std::string_view part) const {
    return static_cast<std::uint32_t>(part.data() - text_.data());
  }

  struct Slot {
    NoteId id;
    std::uint32_t note;  // index + 1 into notes_; 0 marks an empty slot
  };

  std::string text_;
  std::vector<View> views_;
  std::vector<Note> notes_;
  std::vector<Item> items_;
  std::vector<Slot> slots_;
  int slotBits_ = 0;
  bool inNote_ = false;  // an item line belongs to the last note
};

}  // namespace standin
