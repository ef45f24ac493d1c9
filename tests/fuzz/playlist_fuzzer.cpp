// Fuzzes the playlist reader: at most 120 entries, every path and title within its field; and
// the cut itself: a cut text is a prefix of the original, within the limit, and never ends in the
// first byte of a two-byte character (an uncut item may: the file can end in one).
#include "fuzz/fuzz_support.h"
#include "game_music/playlist.h"
#include "runtime/platform/text_encoding.h"

namespace {

// True when the CP932 text, read from its start, ends on a character boundary.
bool EndsOnCharacter(const std::string& text) {
  size_t i = 0;
  while (i < text.size())
    i += platform::IsCp932LeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  return i == text.size();
}

void CheckCut(const uint8_t* data, size_t size) {
  if (size == 0) return;
  const size_t limit = data[0];
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string cut = org::CutCp932(text, limit);
  if (cut.size() > limit || text.compare(0, cut.size(), cut) != 0)
    fuzz::Fail("a cut text is not a prefix within the limit");
  if (cut.size() < text.size() && !EndsOnCharacter(cut))
    fuzz::Fail("a text cut inside a two-byte character");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<org::PlaylistEntry> entries = org::ParsePlaylist(data, size);
  if (entries.size() > org::kMaxPlaylistEntries) fuzz::Fail("more than 120 playlist entries");
  for (const org::PlaylistEntry& entry : entries) {
    if (entry.path.size() >= org::kPathField) fuzz::Fail("a path longer than its field");
    if (entry.title.size() >= org::kTitleField) fuzz::Fail("a title longer than its field");
  }
  CheckCut(data, size);
  return 0;
}
