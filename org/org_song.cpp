#include "org/org_song.h"

#include <cstring>

#include "org/drum_voice.h"
#include "org/melody_voice.h"
#include "org/sequencer.h"
#include "runtime/core/byte_reader.h"
#include "runtime/platform/data_path.h"
#include "runtime/platform/notice.h"
#include "runtime/platform/text_encoding.h"

namespace org {
namespace {

constexpr size_t kHeaderBytes = 114;
// The longest file that can matter: the header and every track at its full 4096 events.
constexpr size_t kMaxSongBytes = kHeaderBytes + kTrackCount * kNoteCapacity * 8;
constexpr const char* kLoadCaption = "Error (Load)";

OrgSong g_song;

int VersionOfMagic(const uint8_t* magic) {
  if (std::memcmp(magic, "Org-01", 6) == 0) return 1;
  if (std::memcmp(magic, "Org-02", 6) == 0) return 2;
  if (std::memcmp(magic, "Org-03", 6) == 0) return 3;
  return 0;
}

void ResetNote(OrgNote& note) {
  note.prev = nullptr;
  note.next = nullptr;
  note.length = 0;
  note.key = kNoValue;
  note.volume = kNoValue;
  note.pan = kNoValue;
}

// Copies a parsed song into the record, threading each track's events in file order.
void CommitSong(const ParsedSong& parsed) {
  g_song.wait = parsed.wait;
  g_song.meter[0] = parsed.meter[0];
  g_song.meter[1] = parsed.meter[1];
  g_song.loop_start = parsed.loop_start;
  g_song.loop_end = parsed.loop_end;
  for (int t = 0; t < kTrackCount; ++t) {
    const ParsedSong::Track& source = parsed.tracks[t];
    OrgTrack& track = g_song.tracks[t];
    track.finetune = source.finetune;
    track.wave = source.wave;
    track.one_shot = source.one_shot;
    const size_t count = source.events.size();
    track.first = count ? &track.notes[0] : nullptr;
    for (size_t k = 0; k < count; ++k) {
      OrgNote& note = track.notes[k];
      note.prev = k > 0 ? &track.notes[k - 1] : nullptr;
      note.next = k + 1 < count ? &track.notes[k + 1] : nullptr;
      note.position = source.events[k].position;
      note.key = source.events[k].key;
      note.length = source.events[k].length;
      note.volume = source.events[k].volume;
      note.pan = source.events[k].pan;
    }
  }
}

}  // namespace

OrgSong& GetOrgSong() { return g_song; }

void InitSong() {
  g_song.wait = 128;
  g_song.meter[0] = 4;
  g_song.meter[1] = 4;
  g_song.note_capacity = kNoteCapacity;
  g_song.loop_start = 0;
  g_song.loop_end = 4080;
  for (OrgTrack& track : g_song.tracks) {
    track.finetune = 1000;
    track.wave = 0;
    track.one_shot = 0;
    track.notes = std::make_unique<OrgNote[]>(kNoteCapacity);
    for (int k = 0; k < kNoteCapacity; ++k) ResetNote(track.notes[k]);
    track.first = nullptr;
  }
}

void FreeSongNotes() {
  for (OrgTrack& track : g_song.tracks) {
    track.notes.reset();
    track.first = nullptr;
  }
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

std::vector<uint8_t> SerializeOrgSong(const ParsedSong& song) {
  std::vector<uint8_t> out;
  auto u8 = [&](uint32_t v) { out.push_back(static_cast<uint8_t>(v)); };
  auto u16 = [&](uint32_t v) {
    u8(v);
    u8(v >> 8);
  };
  auto u32 = [&](uint32_t v) {
    u16(v);
    u16(v >> 16);
  };
  const char* magic = song.version == 1 ? "Org-01" : song.version == 3 ? "Org-03" : "Org-02";
  for (int i = 0; i < 6; ++i) u8(static_cast<uint8_t>(magic[i]));
  u16(song.wait);
  u8(song.meter[0]);
  u8(song.meter[1]);
  u32(static_cast<uint32_t>(song.loop_start));
  u32(static_cast<uint32_t>(song.loop_end));
  for (const ParsedSong::Track& track : song.tracks) {
    u16(track.finetune);
    u8(track.wave);
    u8(track.one_shot);
    u16(static_cast<uint32_t>(track.events.size()));
  }
  for (const ParsedSong::Track& track : song.tracks) {
    for (const OrgEvent& e : track.events) u32(static_cast<uint32_t>(e.position));
    for (const OrgEvent& e : track.events) u8(e.key);
    for (const OrgEvent& e : track.events) u8(e.length);
    for (const OrgEvent& e : track.events) u8(e.volume);
    for (const OrgEvent& e : track.events) u8(e.pan);
  }
  return out;
}

std::string DrumPathForSong(const std::string& song_path, int wave) {
  const char* file = DrumFileName(wave);
  if (!file) return {};
  if (!DrumFolderOverride().empty()) {
    std::string folder = DrumFolderOverride();
    if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder + (file + 4);  // the table entry without its "Org\\"
  }
  // The folder ends at the last backslash that is not the second byte of a CP932 character.
  size_t folder_end = 0;
  for (size_t i = 0; i < song_path.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(song_path[i]);
    if (platform::IsCp932LeadByte(byte)) {
      ++i;
    } else if (byte == '\\') {
      folder_end = i + 1;
    }
  }
  return song_path.substr(0, folder_end) + file;
}

bool LoadOrgSong(const char* path) {
  std::vector<uint8_t> bytes;
  if (!path || !platform::ReadDataFile(path, kMaxSongBytes, &bytes)) {
    platform::ShowNotice(SJIS("ファイルにアクセスできません"), kLoadCaption);
    return false;
  }
  // Parsed in full before anything changes: a damaged file leaves the loaded song playable.
  auto parsed = std::make_unique<ParsedSong>();
  if (ParseOrgSong(bytes.data(), bytes.size(), parsed.get()) != ParseResult::kOk ||
      !g_song.tracks[0].notes) {
    platform::ShowNotice(SJIS("このファイルは使えません"), kLoadCaption);
    return false;
  }
  CommitSong(*parsed);
  for (int t = 0; t < kMelodyTracks; ++t)
    MakeMelodyVoice(t, g_song.tracks[t].wave, g_song.tracks[t].one_shot);
  for (int slot = 0; slot < kTrackCount - kMelodyTracks; ++slot) {
    const int wave = g_song.tracks[kMelodyTracks + slot].wave;
    LoadDrumVoice(DrumPathForSong(path, wave), slot);
  }
  SeekSong(0);
  return true;
}

}  // namespace org
