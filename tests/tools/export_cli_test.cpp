// org2wav's export as a user meets it: formats by extension, tags, loops a game engine repeats
// without a seam, loudness and ReplayGain, and whole playlists rendered in parallel.
#include <ebur128.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "org/org_format.h"
#include "runtime/platform/data_path.h"
#include "test_support/program_run.h"
#include "test_support/scratch_directory.h"
#include "tools/export/audio_format.h"
#include "tools/export/export_job.h"
#include "tools/render/offline_render.h"
#include "tools/render/wav_writer.h"

namespace {

using test_support::ProgramRun;
using test_support::ScratchDirectory;
namespace fs = std::filesystem;

const std::string kData = PROJECT_SOURCE_DIR "/data";
const std::string kSong = kData + "/Org/Twinkle.org";

ProgramRun Org2wav(const std::string& arguments) {
  return test_support::RunProgram(ORG2WAV_PATH, "-q " + arguments);
}

struct Decoded {
  int rate = 0;
  int channels = 0;
  std::vector<int16_t> samples;
};

Decoded Decode(const std::string& path) {
  Decoded d;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return d;
  d.rate = info.samplerate;
  d.channels = info.channels;
  d.samples.resize(static_cast<size_t>(info.frames) * info.channels);
  d.samples.resize(static_cast<size_t>(sf_readf_short(file, d.samples.data(), info.frames)) *
                   info.channels);
  sf_close(file);
  return d;
}

std::string Tag(const std::string& path, const std::string& name) {
  TagLib::FileRef file(path.c_str());
  if (file.isNull() || !file.file()) return {};
  const TagLib::PropertyMap properties = file.file()->properties();
  const auto found = properties.find(name);
  return found == properties.end() || found->second.isEmpty() ? std::string()
                                                              : found->second.front().to8Bit(true);
}

org::ParsedSong ParseSong(const std::string& path) {
  const std::string bytes = test_support::ReadWholeFile(path);
  org::ParsedSong song;
  org::ParseOrgSong(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &song);
  return song;
}

TEST(ExportCliTest, TheFormatFollowsTheExtensionAndEveryFileDecodes) {
  ScratchDirectory dir;
  const struct {
    const char* name;
    const char* magic;
    size_t magic_at;
    int rate;
  } formats[] = {{"out.flac", "fLaC", 0, 44100},
                 {"out.ogg", "vorbis", 29, 44100},
                 {"out.opus", "OpusHead", 28, 48000},
                 {"out.MP3", "", 0, 44100}};
  for (const auto& f : formats) {
    const ProgramRun run = Org2wav("--seconds 2 " + kSong + " " + dir.Join(f.name));
    ASSERT_EQ(run.status, 0) << f.name << run.output;
    const std::string bytes = test_support::ReadWholeFile(dir.Join(f.name));
    if (f.magic[0]) {
      EXPECT_EQ(bytes.substr(f.magic_at, std::strlen(f.magic)), f.magic) << f.name;
    }
    const Decoded decoded = Decode(dir.Join(f.name));
    EXPECT_EQ(decoded.rate, f.rate) << f.name;
    EXPECT_EQ(decoded.channels, 2) << f.name;
    // Two seconds, give or take what a lossy codec pads.
    EXPECT_NEAR(static_cast<double>(decoded.samples.size()) / 2 / f.rate, 2.0, 0.1) << f.name;
  }
  // --format wins over the extension.
  ASSERT_EQ(Org2wav("--seconds 1 --format flac " + kSong + " " + dir.Join("named.wav")).status, 0);
  EXPECT_EQ(test_support::ReadWholeFile(dir.Join("named.wav")).substr(0, 4), "fLaC");
}

// How well a lossy file decodes back to the render it was made from: the lag the codec added,
// the correlation at that lag, the loudest decoded sample in the render's leading digital silence
// (up to 30 ms before its first sound: a codec's frame may start its attack that early), and the
// decoded samples at full scale where the render has none.
struct Fidelity {
  int lag = 0;
  double correlation = 0;
  int loudest_in_silence = 0;
  int new_clips = 0;
};

Fidelity Compare(const std::vector<int16_t>& wav, const std::vector<int16_t>& decoded, int rate) {
  Fidelity best;
  best.correlation = -2;
  const size_t frames = std::min(wav.size(), decoded.size()) / 2;
  // Codecs add a delay (an encoder's priming samples) that their decoders may not remove.
  for (int lag = 0; lag <= 3000; ++lag) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = 0; i + lag < frames; i += 7) {  // every 7th frame is enough to find it
      const double x = wav[2 * i];
      const double y = decoded[2 * (i + lag)];
      xy += x * y;
      xx += x * x;
      yy += y * y;
    }
    const double r = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
    if (r > best.correlation) {
      best.correlation = r;
      best.lag = lag;
    }
  }
  double xy = 0, xx = 0, yy = 0;
  for (size_t i = 0; 2 * (i + best.lag) + 1 < decoded.size() && 2 * i + 1 < wav.size(); ++i)
    for (int c = 0; c < 2; ++c) {
      const double x = wav[2 * i + c];
      const double y = decoded[2 * (i + best.lag) + c];
      xy += x * y;
      xx += x * x;
      yy += y * y;
      if (std::abs(y) >= 32767 && std::abs(x) < 32767) ++best.new_clips;
    }
  size_t first_sound = 0;
  while (first_sound < wav.size() && wav[first_sound] == 0) ++first_sound;
  const size_t quiet_frames = first_sound / 2 > static_cast<size_t>(rate) * 3 / 100
                                  ? first_sound / 2 - static_cast<size_t>(rate) * 3 / 100
                                  : 0;
  for (size_t i = 0; i < 2 * quiet_frames && 2 * best.lag + i < decoded.size(); ++i)
    best.loudest_in_silence =
        std::max(best.loudest_in_silence, std::abs(static_cast<int>(decoded[2 * best.lag + i])));
  best.correlation = xy / std::sqrt(xx * yy);
  return best;
}

// Every lossy format decodes back to what was rendered: the same sound (correlation at least
// 0.99), silence still silent, no clipping the render does not have.
TEST(ExportCliTest, EveryLossyFormatDecodesToTheRender) {
  ScratchDirectory dir;
  const std::string song = kData + "/Org/Sakura.org";
  for (const char* extension : {"ogg", "opus", "mp3"}) {
    for (const char* quality : {"0.2", "0.9"}) {
      const std::string rate = std::string(extension) == "opus" ? "48000" : "44100";
      const std::string common = "--seconds 8 --rate " + rate + " ";
      const std::string lossy = dir.Join(std::string("song.") + extension);
      ASSERT_EQ(Org2wav(common + song + " " + dir.Join("song.wav")).status, 0);
      ASSERT_EQ(Org2wav(common + "--quality " + quality + " " + song + " " + lossy).status, 0);
      const Decoded wav = Decode(dir.Join("song.wav"));
      const Decoded decoded = Decode(lossy);
      ASSERT_EQ(decoded.channels, 2) << extension;
      ASSERT_EQ(decoded.rate, std::stoi(rate)) << extension;
      const Fidelity f = Compare(wav.samples, decoded.samples, wav.rate);
      EXPECT_GE(f.correlation, 0.99) << extension << " at " << quality << ", lag " << f.lag;
      EXPECT_LT(f.loudest_in_silence, 64) << extension << " at " << quality;
      EXPECT_EQ(f.new_clips, 0) << extension << " at " << quality;
    }
  }
}

TEST(ExportCliTest, AWavIsExactlyTheRenderAsBefore) {
  ScratchDirectory dir;
  ASSERT_EQ(Org2wav("--seconds 3 " + kSong + " " + dir.Join("out.wav")).status, 0);
  render::RenderOptions options;
  options.bank_path = kData + "/Org/Wave100.dat";
  options.seconds = 3;
  std::string expected(44, '\0');
  render::RenderSong(kSong, options, [&](const int16_t* stereo, int frames) {
    expected.append(reinterpret_cast<const char*>(stereo), static_cast<size_t>(frames) * 4);
  });
  render::WriteWavHeader(reinterpret_cast<uint8_t*>(expected.data()), 44100, 2,
                         static_cast<uint32_t>(expected.size() - 44));
  EXPECT_EQ(test_support::ReadWholeFile(dir.Join("out.wav")), expected);
}

TEST(ExportCliTest, FormatsThatCannotBeWrittenAreRefusedBeforeAnyWork) {
  ScratchDirectory dir;
  ProgramRun run = Org2wav("--seconds 1 --rate 44100 " + kSong + " " + dir.Join("out.opus"));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("opus encodes only 8000, 12000, 16000, 24000 and 48000 Hz"),
            std::string::npos)
      << run.output;
  run = Org2wav("--format aiff " + kSong + " " + dir.Join("out.aiff"));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 0);
  for (auto format : {exporting::AudioFormat::kWav, exporting::AudioFormat::kFlac,
                      exporting::AudioFormat::kOgg, exporting::AudioFormat::kMp3})
    EXPECT_TRUE(exporting::CanWrite(format, 44100)) << exporting::FormatName(format);
  EXPECT_FALSE(exporting::CanWrite(exporting::AudioFormat::kOpus, 44100));
}

TEST(ExportCliTest, TagsAreWrittenInEveryCompressedFormat) {
  ScratchDirectory dir;
  for (const char* name : {"t.flac", "t.ogg", "t.opus", "t.mp3"}) {
    const ProgramRun run = Org2wav(
        "--seconds 1 --title 'Twinkle ☆' --artist Orvalinde --album "
        "Soundtrack --track 6 " +
        kSong + " " + dir.Join(name));
    ASSERT_EQ(run.status, 0) << name << run.output;
    EXPECT_EQ(Tag(dir.Join(name), "TITLE"), "Twinkle ☆") << name;
    EXPECT_EQ(Tag(dir.Join(name), "ARTIST"), "Orvalinde") << name;
    EXPECT_EQ(Tag(dir.Join(name), "ALBUM"), "Soundtrack") << name;
    EXPECT_EQ(Tag(dir.Join(name), "TRACKNUMBER"), "6") << name;
  }
  // A WAV keeps its texts in a LIST INFO chunk.
  ASSERT_EQ(Org2wav("--seconds 1 --title Twinkle " + kSong + " " + dir.Join("t.wav")).status, 0);
  const std::string wav = test_support::ReadWholeFile(dir.Join("t.wav"));
  EXPECT_NE(wav.find(std::string("LIST")), std::string::npos);
  EXPECT_NE(wav.find(std::string("INAM\x08\0\0\0Twinkle\0", 16)), std::string::npos);
}

// For every demo song: the FLAC's loop tags mark a region such that the intro, then the region
// again and again, is sample for sample a longer render; and the same loop in a WAV's smpl chunk.
TEST(ExportCliTest, TheLoopTagsRepeatWithoutASeamForEveryDemoSong) {
  ScratchDirectory dir;
  for (const auto& entry : fs::directory_iterator(kData + "/Org")) {
    if (entry.path().extension() != ".org") continue;
    const std::string song = entry.path().string();
    const std::string name = entry.path().stem().string();
    ASSERT_EQ(Org2wav("--loop-tags " + song + " " + dir.Join(name + ".flac")).status, 0) << name;
    ASSERT_EQ(Org2wav("--loops 4 " + song + " " + dir.Join(name + "_long.flac")).status, 0);
    const long start = std::stol(Tag(dir.Join(name + ".flac"), "LOOPSTART"));
    const long length = std::stol(Tag(dir.Join(name + ".flac"), "LOOPLENGTH"));
    const Decoded looped = Decode(dir.Join(name + ".flac"));
    const Decoded longer = Decode(dir.Join(name + "_long.flac"));
    ASSERT_EQ(looped.samples.size() / 2, static_cast<size_t>(start + length)) << name;
    ASSERT_GE(longer.samples.size() / 2, static_cast<size_t>(start + 2 * length)) << name;
    // The intro and the region, then the region once more: a longer render, sample for sample.
    std::vector<int16_t> played(looped.samples.begin(), looped.samples.end());
    played.insert(played.end(), looped.samples.begin() + 2 * start, looped.samples.end());
    EXPECT_TRUE(std::equal(played.begin(), played.end(), longer.samples.begin())) << name;
    // What rings across the loop point is there: the sound at the loop start is not silence,
    // and the first pass (without the ringing from before it) would not have looped cleanly.
    const org::ParsedSong parsed = ParseSong(song);
    const long first_pass =
        static_cast<long>(std::llround((parsed.loop_start + 1) * parsed.wait * 44.1));
    EXPECT_FALSE(std::equal(longer.samples.begin() + 2 * first_pass,
                            longer.samples.begin() + 2 * (first_pass + length),
                            longer.samples.begin() + 2 * start))
        << name << ": the first pass repeats as well; the test would prove nothing";
    double energy = 0;
    for (long i = 2 * start - 4410; i < 2 * start + 4410; ++i)
      energy += std::abs(static_cast<double>(looped.samples[static_cast<size_t>(i)]));
    EXPECT_GT(energy, 0) << name;
  }
  // The WAV's smpl chunk holds the same loop (its end inclusive).
  ASSERT_EQ(Org2wav("--loop-tags " + kSong + " " + dir.Join("loop.wav")).status, 0);
  const std::string wav = test_support::ReadWholeFile(dir.Join("loop.wav"));
  const size_t smpl = wav.find("smpl");
  ASSERT_NE(smpl, std::string::npos);
  uint32_t loop[2];
  std::memcpy(loop, wav.data() + smpl + 8 + 44, 8);
  const long start = std::stol(Tag(dir.Join("Twinkle.flac"), "LOOPSTART"));
  const long length = std::stol(Tag(dir.Join("Twinkle.flac"), "LOOPLENGTH"));
  EXPECT_EQ(loop[0], static_cast<uint32_t>(start));
  EXPECT_EQ(loop[1], static_cast<uint32_t>(start + length - 1));
  EXPECT_EQ(Decode(dir.Join("loop.wav")).samples.size() / 2, static_cast<size_t>(start + length));
  // What cannot be marked is refused.
  EXPECT_EQ(Org2wav("--loop-tags --loops 1 " + kSong + " " + dir.Join("x.flac")).status, 2);
  EXPECT_EQ(Org2wav("--loop-tags --seconds 5 " + kSong + " " + dir.Join("x.flac")).status, 2);
}

struct Measured {
  double lufs = 0;
  double true_peak_dbtp = 0;
};

Measured Measure(const Decoded& d) {
  ebur128_state* meter =
      ebur128_init(2, static_cast<unsigned long>(d.rate), EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
  ebur128_add_frames_short(meter, d.samples.data(), d.samples.size() / 2);
  Measured m;
  ebur128_loudness_global(meter, &m.lufs);
  double peak = 0;
  for (unsigned c = 0; c < 2; ++c) {
    double channel_peak = 0;
    ebur128_true_peak(meter, c, &channel_peak);
    peak = std::max(peak, channel_peak);
  }
  m.true_peak_dbtp = 20 * std::log10(peak);
  ebur128_destroy(&meter);
  return m;
}

TEST(ExportCliTest, LoudnessIsReportedAndNormalizedWithoutPassingMinusOneDbtp) {
  ScratchDirectory dir;
  ProgramRun run = Org2wav("--info " + kSong);
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.output.find(" LUFS integrated, range "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(" dBTP"), std::string::npos) << run.output;
  run = Org2wav("--info --json " + kSong);
  EXPECT_NE(run.output.find("\"loudness_lufs\": -"), std::string::npos) << run.output;

  ASSERT_EQ(Org2wav("--normalize -20 " + kSong + " " + dir.Join("quiet.flac")).status, 0);
  const Measured quiet = Measure(Decode(dir.Join("quiet.flac")));
  EXPECT_NEAR(quiet.lufs, -20, 0.3);
  EXPECT_LE(quiet.true_peak_dbtp, -1.0 + 0.05);
  // Asked for more than the peak allows: the gain stops where the true peak is -1 dBTP.
  ASSERT_EQ(Org2wav("--normalize -6 " + kSong + " " + dir.Join("loud.flac")).status, 0);
  const Measured loud = Measure(Decode(dir.Join("loud.flac")));
  EXPECT_LT(loud.lufs, -6.5);
  EXPECT_LE(loud.true_peak_dbtp, -1.0 + 0.05);
  EXPECT_GE(loud.true_peak_dbtp, -1.0 - 0.3);

  ASSERT_EQ(Org2wav("--replaygain " + kSong + " " + dir.Join("rg.ogg")).status, 0);
  const Measured plain = Measure(Decode(dir.Join("rg.ogg")));
  const std::string gain = Tag(dir.Join("rg.ogg"), "REPLAYGAIN_TRACK_GAIN");
  ASSERT_NE(gain.find(" dB"), std::string::npos) << gain;
  EXPECT_NEAR(std::stod(gain), -18 - plain.lufs, 0.3);  // to -18 LUFS
  EXPECT_GT(std::stod(Tag(dir.Join("rg.ogg"), "REPLAYGAIN_TRACK_PEAK")), 0.1);

  // Ogg Opus: what its players read (RFC 7845), a Q7.8 gain to -23 LUFS, and no ReplayGain.
  ASSERT_EQ(Org2wav("--replaygain " + kSong + " " + dir.Join("rg.opus")).status, 0);
  const Measured opus = Measure(Decode(dir.Join("rg.opus")));
  const std::string r128 = Tag(dir.Join("rg.opus"), "R128_TRACK_GAIN");
  ASSERT_FALSE(r128.empty());
  EXPECT_EQ(r128.find_first_not_of("-0123456789"), std::string::npos) << r128;
  EXPECT_NEAR(std::stoi(r128) / 256.0, -23 - opus.lufs, 0.3);
  EXPECT_EQ(Tag(dir.Join("rg.opus"), "REPLAYGAIN_TRACK_GAIN"), "");
  EXPECT_EQ(Tag(dir.Join("rg.opus"), "REPLAYGAIN_TRACK_PEAK"), "");
}

TEST(ExportCliTest, AWholePlaylistIsRenderedInParallelAndAFailureIsNamed) {
  ScratchDirectory dir;
  ProgramRun run = Org2wav("-j 2 --format flac --out-dir " + dir.Join("by_file") + " --playlist " +
                           kData + "/Org/music.txt");
  ASSERT_EQ(run.status, 0) << run.output;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.Join("by_file")))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Greensleeves.flac", "Jacques.flac", "Joy.flac",
                                             "Korobeiniki.flac", "Sakura.flac", "Twinkle.flac"}));
  // The playlist's (Shift-JIS) titles become the title tags, and, asked for, the names.
  EXPECT_EQ(Tag(dir.Join("by_file/Korobeiniki.flac"), "TITLE"), "コロブチカ");
  run = Org2wav("--seconds 1 --out-dir " + dir.Join("by_title") + " --name-by title --playlist " +
                kData + "/Org/music.txt");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(fs::exists(dir.Join("by_title/コロブチカ.wav")));
  // One bad song among good ones: named, the others still written, exit 1.
  dir.WriteFile("bad.org", "not a song");
  run = Org2wav("--seconds 1 -j 2 --out-dir " + dir.Join("mixed") + " " + kSong + " " +
                dir.Join("bad.org") + " " + kData + "/Org/Joy.org");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find(dir.Join("bad.org") + ": not rendered"), std::string::npos)
      << run.output;
  EXPECT_TRUE(fs::exists(dir.Join("mixed/Twinkle.wav")));
  EXPECT_TRUE(fs::exists(dir.Join("mixed/Joy.wav")));
  EXPECT_FALSE(fs::exists(dir.Join("mixed/bad.wav")));
  for (const auto& entry : fs::directory_iterator(dir.Join("mixed")))
    EXPECT_EQ(entry.path().filename().string().find(".partial-"), std::string::npos);
}

}  // namespace
