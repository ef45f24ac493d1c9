#include "org/org_writer.h"

#include <cstring>

namespace org {
namespace {

// Where track `t`'s one-shot byte sits in the header.
constexpr size_t OneShotOffset(int t) { return 18 + 6 * static_cast<size_t>(t) + 3; }

void NoteEventOrder(const ParsedSong& song, std::string* notes) {
  for (int t = 0; t < kTrackCount; ++t) {
    const std::vector<OrgEvent>& events = song.tracks[t].events;
    size_t behind = 0;
    for (size_t i = 1; i < events.size(); ++i)
      if (events[i].position <= events[i - 1].position) ++behind;
    if (behind > 0)
      *notes += "track " + std::to_string(t) + ": " + std::to_string(behind) +
                " event(s) out of step order or on a step already taken (they play as stored: "
                "such an event waits for the loop to come round)\n";
  }
}

}  // namespace

size_t OrgFileSize(const ParsedSong& song) {
  size_t size = kOrgHeaderBytes;
  for (const ParsedSong::Track& track : song.tracks) size += track.events.size() * kOrgEventBytes;
  return size;
}

std::vector<uint8_t> SerializeOrgSong(const ParsedSong& song) {
  std::vector<uint8_t> out;
  out.reserve(OrgFileSize(song));
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

std::string CanonicalFormNotes(const uint8_t* data, size_t size, const ParsedSong& song) {
  std::string notes;
  const size_t written = OrgFileSize(song);
  if (size > written)
    notes += std::to_string(size - written) +
             " byte(s) after the last event, which no player reads (not written back)\n";
  if (song.version == 1 && size >= kOrgHeaderBytes) {
    int unused = 0;
    for (int t = 0; t < kTrackCount; ++t) unused += data[OneShotOffset(t)] != 0 ? 1 : 0;
    if (unused > 0)
      notes += std::to_string(unused) +
               " one-shot byte(s) set in a version 1 file, which plays no one-shot voices "
               "(written back as 0)\n";
  }
  NoteEventOrder(song, &notes);
  return notes;
}

}  // namespace org
