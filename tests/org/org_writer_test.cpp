// The Org writer against the reader, directly and through liborgsynth's song data functions:
// our own files (every demo song) write back byte for byte; files written elsewhere (bytes after
// the events, a first-version file's one-shot bytes, events out of step order) read back the same
// song, say how they differ and play identically once written back; the C functions refuse what
// the format cannot hold with a message that names it.
#include "org/org_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "include/orgsynth.h"

namespace {

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::filesystem::path> DemoSongs() {
  std::vector<std::filesystem::path> songs;
  for (const auto& entry : std::filesystem::directory_iterator(PROJECT_SOURCE_DIR "/data/Org"))
    if (entry.path().extension() == ".org") songs.push_back(entry.path());
  return songs;
}

org::ParsedSong Parse(const std::vector<uint8_t>& bytes) {
  org::ParsedSong song;
  EXPECT_EQ(org::ParseOrgSong(bytes.data(), bytes.size(), &song), org::ParseResult::kOk);
  return song;
}

// A file as another program might write it: a first-version file whose one-shot bytes are set,
// a track whose events are out of step order, and bytes after the last event.
std::vector<uint8_t> ForeignFile() {
  org::ParsedSong song;
  song.version = 1;
  song.wait = 100;
  song.meter[0] = 4;
  song.meter[1] = 4;
  song.loop_start = 0;
  song.loop_end = 64;
  song.tracks[0].events = {{0, 45, 4, 200, 6}, {8, 48, 4, 255, 255}, {4, 50, 2, 255, 255}};
  song.tracks[8].events = {{0, 40, 1, 200, 6}, {16, 40, 1, 180, 2}};
  std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  bytes[18 + 3] = 1;  // track 0's one-shot byte, which a first-version file never uses
  bytes.insert(bytes.end(), {'e', 'x', 't', 'r', 'a'});
  return bytes;
}

std::vector<int16_t> Render(const std::vector<uint8_t>& bytes, size_t frames) {
  orgsynth_song* song = orgsynth_open_memory(bytes.data(), bytes.size(), nullptr, nullptr);
  EXPECT_NE(song, nullptr);
  std::vector<int16_t> out(2 * frames);
  if (song) orgsynth_render_s16(song, out.data(), frames);
  orgsynth_close(song);
  return out;
}

// Through the C functions: read, then write back.
std::vector<uint8_t> ReadAndWrite(const std::vector<uint8_t>& bytes, std::string* notes) {
  std::vector<orgsynth_event> events(ORGSYNTH_SONG_EVENTS);
  orgsynth_song_data data{};
  orgsynth_error error{};
  EXPECT_EQ(
      orgsynth_read_song(bytes.data(), bytes.size(), &data, events.data(), events.size(), &error),
      ORGSYNTH_OK)
      << error.message;
  if (notes) *notes = error.message;
  size_t size = 0;
  EXPECT_EQ(orgsynth_write_song(&data, nullptr, 0, &size, &error), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(std::string(error.message), "the output needs " + std::to_string(size) + " bytes");
  std::vector<uint8_t> out(size);
  EXPECT_EQ(orgsynth_write_song(&data, out.data(), out.size(), &size, &error), ORGSYNTH_OK)
      << error.message;
  return out;
}

TEST(OrgWriterTest, OurOwnFilesWriteBackByteForByte) {
  const std::vector<std::filesystem::path> songs = DemoSongs();
  ASSERT_GE(songs.size(), 6u);
  for (const auto& path : songs) {
    SCOPED_TRACE(path.string());
    const std::vector<uint8_t> bytes = ReadFile(path);
    const org::ParsedSong song = Parse(bytes);
    std::string notes = "unset";
    const std::vector<uint8_t> written = ReadAndWrite(bytes, &notes);
    EXPECT_EQ(org::SerializeOrgSong(song), written);
    EXPECT_EQ(org::CanonicalFormNotes(bytes.data(), bytes.size(), song), notes);
    if (path.filename() == "Greensleeves.org") {
      // Its score stores a one-shot flag in a first-version file on purpose (it plays sustained).
      EXPECT_EQ(notes,
                "1 one-shot byte(s) set in a version 1 file, which plays no one-shot voices "
                "(written back as 0)\n");
      EXPECT_EQ(written.size(), bytes.size());
      EXPECT_EQ(ReadAndWrite(written, &notes), written);
      EXPECT_EQ(notes, "");
    } else {
      EXPECT_EQ(notes, "");
      EXPECT_EQ(written, bytes);
    }
  }
}

TEST(OrgWriterTest, AFileWrittenElsewhereReadsBackTheSameSaysHowItDiffersAndPlaysAlike) {
  const std::vector<uint8_t> foreign = ForeignFile();
  const org::ParsedSong song = Parse(foreign);
  const std::vector<uint8_t> written = org::SerializeOrgSong(song);
  EXPECT_EQ(written.size(), foreign.size() - 5);
  EXPECT_EQ(org::SerializeOrgSong(Parse(written)), written);  // the same song, and now stable
  EXPECT_EQ(org::CanonicalFormNotes(written.data(), written.size(), Parse(written)),
            "track 0: 1 event(s) out of step order or on a step already taken (they play as "
            "stored: such an event waits for the loop to come round)\n");
  std::string notes;
  EXPECT_EQ(ReadAndWrite(foreign, &notes), written);
  EXPECT_NE(notes.find("5 byte(s) after the last event"), std::string::npos) << notes;
  EXPECT_NE(notes.find("1 one-shot byte(s) set in a version 1 file"), std::string::npos) << notes;
  EXPECT_NE(notes.find("track 0: 1 event(s) out of step order"), std::string::npos) << notes;
  // Two passes of the loop: the foreign file and what the writer gave back sound the same.
  EXPECT_EQ(Render(foreign, 2 * 64 * 4410 + 4410), Render(written, 2 * 64 * 4410 + 4410));
}

TEST(OrgWriterTest, EveryFieldSurvivesAtTheEdgesOfItsRange) {
  org::ParsedSong song;
  song.version = 3;
  song.wait = 65535;
  song.meter[0] = 255;
  song.meter[1] = 0;
  song.loop_start = -7;
  song.loop_end = INT32_MAX;
  song.tracks[7].finetune = 65535;
  song.tracks[7].wave = 255;
  song.tracks[7].one_shot = 255;
  song.tracks[15].events.assign(org::kNoteCapacity, {INT32_MIN, 255, 255, 0, 12});
  song.tracks[15].events.back() = {INT32_MAX, 0, 0, 254, 0};
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(song);
  EXPECT_EQ(bytes.size(), org::kOrgHeaderBytes + org::kNoteCapacity * org::kOrgEventBytes);
  const org::ParsedSong back = Parse(bytes);
  EXPECT_EQ(back.version, 3);
  EXPECT_EQ(back.loop_start, -7);
  EXPECT_EQ(back.tracks[7].one_shot, 255);
  EXPECT_EQ(back.tracks[15].events.back().position, INT32_MAX);
  EXPECT_EQ(org::SerializeOrgSong(back), bytes);
  EXPECT_EQ(ReadAndWrite(bytes, nullptr), bytes);
}

TEST(OrgWriterTest, TheCFunctionsRefuseWhatTheFormatCannotHoldNamingIt) {
  std::vector<orgsynth_event> events(ORGSYNTH_EVENTS_PER_TRACK + 1, {0, 45, 1, 255, 255});
  orgsynth_song_data data{};
  data.version = 2;
  data.step_ms = 100;
  data.tracks[3].event_count = ORGSYNTH_EVENTS_PER_TRACK + 1;
  data.tracks[3].events = events.data();
  orgsynth_error error{};
  size_t size = 0;
  auto refused = [&](const char* message) {
    EXPECT_EQ(orgsynth_write_song(&data, nullptr, 0, &size, &error),
              ORGSYNTH_ERROR_INVALID_ARGUMENT);
    EXPECT_STREQ(error.message, message);
  };
  refused("track 3 holds 4097 events: a track holds at most 4096");
  data.tracks[3].event_count = 1;
  data.tracks[5].finetune = 70000;
  refused("track 5's finetune is 70000: it must be 0..65535");
  data.tracks[5].finetune = 1000;
  data.steps_per_beat = 256;
  refused("the steps per beat is 256: it must be 0..255");
  data.steps_per_beat = 4;
  data.version = 4;
  refused("a version other than 1, 2 or 3");
  data.version = 2;
  data.tracks[6].event_count = 2;  // events counted but not given
  refused("track 6 has events but no event array");
  data.tracks[6].event_count = 0;
  EXPECT_EQ(orgsynth_write_song(&data, nullptr, 0, &size, &error), ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(size, 114u + 8u);
  EXPECT_EQ(orgsynth_write_song(&data, nullptr, 0, nullptr, &error),
            ORGSYNTH_ERROR_INVALID_ARGUMENT);
}

TEST(OrgWriterTest, ReadingSaysWhatIsWrongAndNeedsRoomForEveryEvent) {
  const std::vector<uint8_t> bytes = ReadFile(PROJECT_SOURCE_DIR "/data/Org/Joy.org");
  orgsynth_song_data data{};
  orgsynth_error error{};
  std::vector<orgsynth_event> events(4);
  EXPECT_EQ(
      orgsynth_read_song(bytes.data(), bytes.size(), &data, events.data(), events.size(), &error),
      ORGSYNTH_ERROR_INVALID_ARGUMENT);
  EXPECT_NE(std::string(error.message).find("more than the room given"), std::string::npos);
  const char text[] = "not a song at all";
  EXPECT_EQ(orgsynth_read_song(text, sizeof text, &data, events.data(), 4, &error),
            ORGSYNTH_ERROR_NOT_ORG);
  EXPECT_EQ(orgsynth_read_song(bytes.data(), 40, &data, events.data(), 4, &error),
            ORGSYNTH_ERROR_DAMAGED);
  EXPECT_EQ(orgsynth_read_song(nullptr, 0, &data, events.data(), 4, &error),
            ORGSYNTH_ERROR_INVALID_ARGUMENT);
}

}  // namespace
