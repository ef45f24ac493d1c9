#include "game_music/playlist.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>

#include "runtime/platform/data_path.h"
#include "runtime/platform/text_encoding.h"

namespace org {
namespace {

// A cursor over the text with the scan's conversions.
class Scanner {
 public:
  Scanner(const uint8_t* text, size_t size) : text_(text), size_(size) {}

  void SkipSpace() {
    while (at_ < size_ && std::isspace(text_[at_])) ++at_;
  }
  bool AtEnd() const { return at_ >= size_; }

  // "%d": optional sign and decimal digits; false when no digit follows.
  bool Integer(int32_t* value) {
    SkipSpace();
    size_t at = at_;
    bool negative = false;
    if (at < size_ && (text_[at] == '+' || text_[at] == '-')) negative = text_[at++] == '-';
    if (at >= size_ || !std::isdigit(text_[at])) return false;
    long long number = 0;
    while (at < size_ && std::isdigit(text_[at])) {
      number = std::min<long long>(number * 10 + (text_[at] - '0'), INT_MAX);  // saturate
      ++at;
    }
    at_ = at;
    *value = static_cast<int32_t>(negative ? -number : number);
    return true;
  }

  // "%s": a word up to the next white space; false at the end of the text.
  bool Word(std::string* word) {
    SkipSpace();
    if (AtEnd()) return false;
    const size_t start = at_;
    while (at_ < size_ && !std::isspace(text_[at_])) ++at_;
    word->assign(reinterpret_cast<const char*>(text_ + start), at_ - start);
    return true;
  }

 private:
  const uint8_t* text_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace

std::string FindPlaylistSong(const std::string& playlist_file, const std::string& entry_path) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(playlist_file).parent_path();
  for (const fs::path& base : {folder, folder.parent_path()}) {
    const std::string data_path =
        platform::NativePathToDataPath(base.empty() ? "." : base.string()) + "\\" + entry_path;
    const std::string mapped = platform::ResolveDataPath(data_path);
    std::error_code error;
    if (fs::is_regular_file(mapped, error)) return mapped;
  }
  return {};
}

std::string CutCp932(const std::string& text, size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  size_t end = 0;
  while (end < text.size()) {
    const size_t width = platform::IsCp932LeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + width > max_bytes) break;
    end += width;
  }
  return text.substr(0, end);
}

std::vector<PlaylistEntry> ParsePlaylist(const uint8_t* text, size_t size, size_t max_entries) {
  std::vector<PlaylistEntry> entries;
  Scanner scan(text, size);
  while (entries.size() < max_entries) {
    scan.SkipSpace();
    if (scan.AtEnd()) break;  // the scan that meets the end
    int32_t ignored = 0;
    if (!scan.Integer(&ignored)) break;  // matches nothing: the reading ends
    PlaylistEntry entry;
    std::string word;
    if (scan.Integer(&entry.time_limit) && scan.Word(&word)) {
      entry.path = CutCp932(word, kPathField - 1);
      if (scan.Word(&word)) entry.title = CutCp932(word, kTitleField - 1);
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace org
