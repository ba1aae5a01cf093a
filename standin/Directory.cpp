#include "Directory.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "Status.h"
#include "Text.h"

namespace standin {

namespace {

bool IsDirective(std::string_view line, std::string_view word) {
  return line.substr(0, word.size()) == word &&
         (line.size() == word.size() || IsBlank(line[word.size()]));
}

// Removes and returns the first blank-separated word of `words`.
std::string_view NextWord(std::string_view& words) {
  words = TrimBlanks(words);
  std::size_t end = 0;
  while (end < words.size() && !IsBlank(words[end])) ++end;
  const std::string_view word = words.substr(0, end);
  words.remove_prefix(end);
  return word;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

Status Directory::Load(const std::filesystem::path& file, std::string_view shownName,
                       std::shared_ptr<const Directory>& directory) {
  auto loaded = std::make_shared<Directory>();
  if (!ReadWholeFile(file, loaded->text_)) return kStatusNoFile;
  // Items hold 32-bit offsets into the buffer.
  if (loaded->text_.size() >= std::numeric_limits<std::uint32_t>::max()) return kStatusNoMemory;
  const std::string problem = loaded->Parse();
  if (!problem.empty()) {
    SetMalformedText(std::string(shownName) + " " + problem);
    return kStatusMalformed;
  }
  directory = std::move(loaded);
  return 0;
}

std::string Directory::Parse() {
  // Every note and item takes a line: reserving for the line count avoids
  // copying the arrays as they grow, and untouched capacity costs nothing.
  const std::size_t lines = std::count(text_.begin(), text_.end(), '\n') + 1;
  notes_.reserve(lines);
  items_.reserve(lines);
  GrowIndex();
  const char* const end = text_.data() + text_.size();
  std::uint32_t number = 0;
  for (const char* start = text_.data(); start < end;) {
    // Lines are short: an inline scan beats a library call per line, which
    // under Wine is a plain byte loop behind a call into msvcrt.
    const char* newline = std::find(start, end, '\n');
    std::string_view line(start, newline - start);
    start = newline == end ? end : newline + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    if (line.empty() || line.front() == '#') continue;
    std::string problem = ParseLine(line, number);
    if (!problem.empty()) return "line " + std::to_string(number) + ": " + problem;
  }
  return {};
}

std::string Directory::ParseLine(std::string_view line, std::uint32_t number) {
  if (IsDirective(line, "view")) return AddView(TrimBlanks(line.substr(4)), number);
  if (IsDirective(line, "note")) return AddNote(line.substr(4), number);
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return "expected \"Name: value\"";
  const std::string_view name = line.substr(0, colon);
  if (name.empty()) return "empty item name";
  for (char c : name) {
    if (IsBlank(c)) return "item name " + Quoted(name) + " contains a blank";
  }
  if (!inNote_) return "item before any note";
  std::string_view value = line.substr(colon + 1);
  if (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  items_.push_back({Offset(name), static_cast<std::uint32_t>(name.size()), Offset(value),
                    static_cast<std::uint32_t>(value.size())});
  ++notes_.back().itemCount;
  return {};
}

std::string Directory::AddView(std::string_view name, std::uint32_t number) {
  if (name.empty()) return "view without a name";
  for (const View& view : views_) {
    if (EqualsIgnoreCase(view.name, name)) {
      return "duplicate view " + Quoted(name) + " (first at line " + std::to_string(view.line) +
             ")";
    }
  }
  const std::uint64_t id = kFirstViewId + 4 * (views_.size() + 1);
  if (id > std::numeric_limits<NoteId>::max()) return "too many views";
  views_.push_back({std::string(name), static_cast<NoteId>(id),
                    static_cast<std::uint32_t>(notes_.size()), 0, number});
  inNote_ = false;
  return {};
}

std::string Directory::AddNote(std::string_view words, std::uint32_t number) {
  if (views_.empty()) return "note before any view";
  std::uint64_t id = notes_.empty() ? 4 : notes_.back().id + std::uint64_t{4};
  std::string_view word = NextWord(words);
  if (!word.empty() && word != "unopenable") {
    if (!ParseNumber(word, std::numeric_limits<NoteId>::max(), id)) {
      return "bad note id " + Quoted(word);
    }
    if (id == 0) return "note id must not be zero";
    word = NextWord(words);
  }
  const bool unopenable = word == "unopenable";
  if (unopenable) word = NextWord(words);
  if (!word.empty()) return "unknown word " + Quoted(word) + " after the note id";
  if (id >= kFirstViewId) return "note id " + Hex(id, 8) + " is in the range kept for views";

  if (2 * (notes_.size() + 1) > slots_.size()) GrowIndex();
  Slot& slot = slots_[SlotOf(static_cast<NoteId>(id))];
  if (slot.note != 0) {
    return "duplicate note id " + Hex(id, 8) + " (first at line " +
           std::to_string(notes_[slot.note - 1].line) + ")";
  }
  notes_.push_back(
      {static_cast<NoteId>(id), static_cast<std::uint32_t>(items_.size()), 0, number, unopenable});
  slot = {static_cast<NoteId>(id), static_cast<std::uint32_t>(notes_.size())};
  ++views_.back().noteCount;
  inNote_ = true;
  return {};
}

std::size_t Directory::SlotOf(NoteId id) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = static_cast<std::size_t>((id * 0x9E3779B97F4A7C15ull) >> (64 - slotBits_));
  while (slots_[slot].note != 0 && slots_[slot].id != id) slot = (slot + 1) & mask;
  return slot;
}

void Directory::GrowIndex() {
  slotBits_ = slotBits_ == 0 ? 10 : slotBits_ + 1;
  slots_.assign(std::size_t{1} << slotBits_, Slot{0, 0});
  for (std::size_t index = 0; index < notes_.size(); ++index) {
    slots_[SlotOf(notes_[index].id)] = {notes_[index].id, static_cast<std::uint32_t>(index + 1)};
  }
}

const View* Directory::FindView(std::string_view name) const {
  for (const View& view : views_) {
    if (EqualsIgnoreCase(view.name, name)) return &view;
  }
  return nullptr;
}

const View* Directory::FindView(NoteId id) const {
  if (id <= kFirstViewId || id % 4 != 0 || (id - kFirstViewId) / 4 > views_.size()) return nullptr;
  return &views_[(id - kFirstViewId) / 4 - 1];
}

const Note* Directory::FindNote(NoteId id) const {
  const Slot& slot = slots_[SlotOf(id)];
  return slot.note != 0 ? &notes_[slot.note - 1] : nullptr;
}

const Item* Directory::FindItem(const Note& note, std::string_view name) const {
  for (std::uint32_t index = note.firstItem; index < note.firstItem + note.itemCount; ++index) {
    if (EqualsIgnoreCase(Text(items_[index].name, items_[index].nameLength), name)) {
      return &items_[index];
    }
  }
  return nullptr;
}

}  // namespace standin
