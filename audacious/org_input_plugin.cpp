// Audacious input plugin for Org songs, on liborgsynth: claims files by the .org extension and
// by the Org magic (so a song with another name plays too, and nothing else is claimed), tells
// their length and title, plays them at 44100 Hz with exact seeking, and repeats the loop as the
// plugin's settings say — a number of passes (two, as org2wav renders, by default), or endlessly
// until the player stops it. A damaged song is an error the player shows; it goes on with the
// next item. Audacious calls it on its playback thread, one song at a time.
#include <libaudcore/audstrings.h>
#include <libaudcore/i18n.h>
#include <libaudcore/plugin.h>
#include <libaudcore/preferences.h>
#include <libaudcore/runtime.h>

#include <cstring>

#include "include/orgsynth.h"

namespace {

// The library's own default output rate, which the plugin plays at.
const int kRate = static_cast<int>(orgsynth_default_sample_rate());
constexpr size_t kBlockFrames = 2048;
constexpr const char* kSection = "orgsynth";

// Opens a song from a file's bytes; null (with `error` filled) when it is not one.
orgsynth_song* OpenSong(VFSFile& file, orgsynth_error* error) {
  const Index<char> bytes = file.read_all();
  orgsynth_options options{};
  options.size = sizeof options;
  options.sample_rate = kRate;
  return orgsynth_open_memory(bytes.begin(), static_cast<size_t>(bytes.len()), &options, error);
}

// The loop count the settings give: -1 endless, else the passes less one.
int RepeatCount() {
  if (aud_get_bool(kSection, "endless")) return -1;
  const int passes = aud_get_int(kSection, "passes");
  return (passes < 1 ? 1 : passes) - 1;
}

}  // namespace

class OrgPlugin : public InputPlugin {
 public:
  static const char about[];
  static const char* const exts[];
  static const char* const defaults[];
  static const PreferencesWidget widgets[];
  static const PluginPreferences prefs;

  static constexpr PluginInfo info = {N_("Org Song Player"), "orvalinde-jukebox", about, &prefs, 0};

  constexpr OrgPlugin() : InputPlugin(info, InputInfo().with_exts(exts)) {}

  bool init() override {
    aud_config_set_defaults(kSection, defaults);
    return true;
  }

  bool is_our_file(const char*, VFSFile& file) override {
    char magic[6];
    return file.fread(magic, 1, sizeof magic) == sizeof magic && orgsynth_probe(magic, 6);
  }

  bool read_tag(const char* filename, VFSFile& file, Tuple& tuple, Index<char>*) override {
    orgsynth_error error;
    orgsynth_song* song = OpenSong(file, &error);
    if (!song) return false;
    orgsynth_set_repeat_count(song, RepeatCount());
    orgsynth_info facts{};
    facts.size = sizeof facts;
    orgsynth_get_info(song, &facts);
    const int64_t frames = orgsynth_length(song);
    orgsynth_close(song);
    tuple.set_filename(filename);
    // Nothing better than the file's name is known of an Org song's title.
    StringBuf title = uri_get_display_base(filename);
    const int length = static_cast<int>(strlen(title));
    if (length > 4 && strcmp_nocase(title + length - 4, ".org") == 0) title.resize(length - 4);
    tuple.set_str(Tuple::Title, title);
    if (frames >= 0) tuple.set_int(Tuple::Length, static_cast<int>(frames * 1000 / kRate));
    tuple.set_format(str_printf("Org-0%d song", facts.version), 2, kRate, 0);
    return true;
  }

  bool play(const char*, VFSFile& file) override {
    orgsynth_error error;
    orgsynth_song* song = OpenSong(file, &error);
    if (!song) {
      AUDERR("%s\n", error.message);
      return false;  // the player says the song could not be played, and goes on
    }
    orgsynth_set_repeat_count(song, RepeatCount());
    open_audio(FMT_S16_LE, kRate, 2);
    int16_t block[2 * kBlockFrames];
    while (!check_stop()) {
      const int seek_ms = check_seek();
      if (seek_ms >= 0) orgsynth_seek(song, static_cast<uint64_t>(seek_ms) * kRate / 1000);
      const size_t frames = orgsynth_render_s16(song, block, kBlockFrames);
      if (frames == 0) break;
      write_audio(block, static_cast<int>(frames * 4));
    }
    orgsynth_close(song);
    return true;
  }
};

// The one symbol Audacious looks the plugin up by.
__attribute__((visibility("default"))) OrgPlugin aud_plugin_instance;

const char OrgPlugin::about[] =
    "Plays Org songs, the step-sequenced chiptunes of eight melody tracks on 8-bit waveforms "
    "and eight drum tracks, with liborgsynth (Orvalinde JUKEBOX).";

const char* const OrgPlugin::exts[] = {"org", nullptr};

const char* const OrgPlugin::defaults[] = {"passes", "2", "endless", "FALSE", nullptr};

const PreferencesWidget OrgPlugin::widgets[] = {
    WidgetSpin(N_("Passes of the loop:"), WidgetInt(kSection, "passes"), {1, 100, 1, nullptr}),
    WidgetCheck(N_("Loop forever (until playback is stopped)"), WidgetBool(kSection, "endless")),
};

const PluginPreferences OrgPlugin::prefs = {{widgets}, nullptr, nullptr, nullptr};
