// Fuzzes the Org writer against the reader: every input the reader accepts must be written so
// that it reads back as the same song (read → write → read = the same), the second writing must
// give the very bytes of the first (our own files round-trip byte for byte), and liborgsynth's
// song data functions must read and write exactly what the C++ reader and writer do.
#include <algorithm>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "include/orgsynth.h"
#include "org/org_writer.h"

namespace {

std::vector<uint8_t> ThroughTheCFunctions(const uint8_t* data, size_t size) {
  static std::vector<orgsynth_event> events(ORGSYNTH_SONG_EVENTS);
  orgsynth_song_data song{};
  orgsynth_error error{};
  if (orgsynth_read_song(data, size, &song, events.data(), events.size(), &error) != ORGSYNTH_OK)
    fuzz::Fail("the C reader refuses a song the C++ reader accepts");
  size_t written = 0;
  orgsynth_write_song(&song, nullptr, 0, &written, &error);
  std::vector<uint8_t> out(written);
  if (orgsynth_write_song(&song, out.data(), out.size(), &written, &error) != ORGSYNTH_OK)
    fuzz::Fail("the C writer refuses a song the reader accepted");
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto song = std::make_unique<org::ParsedSong>();
  if (org::ParseOrgSong(data, size, song.get()) != org::ParseResult::kOk) return 0;
  const std::vector<uint8_t> written = org::SerializeOrgSong(*song);
  if (written.size() != org::OrgFileSize(*song)) fuzz::Fail("the writer's size is wrong");
  if (written.size() > size) fuzz::Fail("the writer wrote more than the file held");
  auto again = std::make_unique<org::ParsedSong>();
  if (org::ParseOrgSong(written.data(), written.size(), again.get()) != org::ParseResult::kOk)
    fuzz::Fail("a song the writer wrote does not parse");
  if (org::SerializeOrgSong(*again) != written) fuzz::Fail("a song changed in the round trip");
  if (ThroughTheCFunctions(data, size) != written)
    fuzz::Fail("the C functions write another file than the C++ writer");
  const bool canonical = org::CanonicalFormNotes(data, size, *song).empty();
  if (canonical && (written.size() != size || !std::equal(written.begin(), written.end(), data)))
    fuzz::Fail("a file said to be in the writer's form is not written back byte for byte");
  return 0;
}
