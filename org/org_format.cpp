#include "org/org_format.h"

#include <cstring>

#include "runtime/core/byte_reader.h"

namespace org {
namespace {

constexpr const char* kDrumFiles[kDrumSampleCount] = {
    "Org\\Bass01.wav",    "Org\\Bass02.wav",   "Org\\Snare01.wav",   "Org\\Snare02.wav",
    "Org\\Tom01.wav",     "Org\\HiClose.wav",  "Org\\HiOpen.wav",    "Org\\Crash.wav",
    "Org\\Per01.wav",     "Org\\Per02.wav",    "Org\\Bass03.wav",    "Org\\Tom02.wav",
    "Org\\Bass04.wav",    "Org\\Bass05.wav",   "Org\\Snare03.wav",   "Org\\Snare04.wav",
    "Org\\HiClose02.wav", "Org\\HiOpen02.wav", "Org\\HiClose03.wav", "Org\\HiOpen03.wav",
    "Org\\Crash02.wav",   "Org\\RevSym01.wav", "Org\\Ride01.wav",    "Org\\Tom03.wav",
    "Org\\Tom04.wav",     "Org\\OrcDrm01.wav", "Org\\Bell.wav",      "Org\\Cat.wav",
};

constexpr const char* kDrumNames[kDrumSampleCount] = {
    "Bass01",   "Bass02",  "Snare01",   "Snare02",  "Tom01",     "HiClose",  "HiOpen",
    "Crash",    "Per01",   "Per02",     "Bass03",   "Tom02",     "Bass04",   "Bass05",
    "Snare03",  "Snare04", "HiClose02", "HiOpen02", "HiClose03", "HiOpen03", "Crash02",
    "RevSym01", "Ride01",  "Tom03",     "Tom04",    "OrcDrm01",  "Bell",     "Cat",
};

int VersionOfMagic(const uint8_t* magic) {
  if (std::memcmp(magic, "Org-01", 6) == 0) return 1;
  if (std::memcmp(magic, "Org-02", 6) == 0) return 2;
  if (std::memcmp(magic, "Org-03", 6) == 0) return 3;
  return 0;
}

}  // namespace

bool HasOrgMagic(const uint8_t* data, size_t size) {
  return data && size >= 6 && VersionOfMagic(data) != 0;
}

ParsedSong DefaultSong() {
  ParsedSong song;
  song.wait = 128;
  song.meter[0] = 4;
  song.meter[1] = 4;
  song.loop_start = 0;
  song.loop_end = 4080;
  return song;
}

ParseResult ParseOrgSong(const uint8_t* data, size_t size, ParsedSong* song) {
  runtime::ByteReader reader(data, size);
  uint8_t magic[6];
  reader.Read(magic, 6);
  const int version = reader.ok() ? VersionOfMagic(magic) : 0;
  if (version == 0) return ParseResult::kNotOrg;
  *song = ParsedSong{};
  song->version = version;
  song->wait = reader.U16();
  song->meter[0] = reader.U8();
  song->meter[1] = reader.U8();
  song->loop_start = reader.S32();
  song->loop_end = reader.S32();
  uint16_t counts[kTrackCount];
  for (int t = 0; t < kTrackCount; ++t) {
    ParsedSong::Track& track = song->tracks[t];
    track.finetune = reader.U16();
    track.wave = reader.U8();
    const uint8_t one_shot = reader.U8();
    track.one_shot = version == 1 ? 0 : one_shot;  // the first version has no one-shot voices
    counts[t] = reader.U16();
    if (counts[t] > kNoteCapacity) return ParseResult::kDamaged;
  }
  for (int t = 0; t < kTrackCount; ++t) {
    std::vector<OrgEvent>& events = song->tracks[t].events;
    const size_t n = counts[t];
    if (n * 8 > reader.remaining()) return ParseResult::kDamaged;  // before allocating for it
    events.resize(n);
    for (OrgEvent& e : events) e.position = reader.S32();
    for (OrgEvent& e : events) e.key = reader.U8();
    for (OrgEvent& e : events) e.length = reader.U8();
    for (OrgEvent& e : events) e.volume = reader.U8();
    for (OrgEvent& e : events) e.pan = reader.U8();
  }
  return reader.ok() ? ParseResult::kOk : ParseResult::kDamaged;
}

const char* WhyUnplayable(ParseResult result, const ParsedSong& song) {
  if (result == ParseResult::kNotOrg) return "not an Org song";
  if (result == ParseResult::kDamaged)
    return "a damaged Org song (it ends early or a count is too large)";
  if (song.wait == 0) return "the song's step length is 0 ms";
  return nullptr;
}

const char* DrumFileName(int wave) {
  return wave >= 0 && wave < kDrumSampleCount ? kDrumFiles[wave] : nullptr;
}

const char* DrumName(int wave) {
  return wave >= 0 && wave < kDrumSampleCount ? kDrumNames[wave] : nullptr;
}

}  // namespace org
