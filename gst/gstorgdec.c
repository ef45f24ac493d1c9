/* The Org decoder element: see gstorgdec.h. */
#include "gst/gstorgdec.h"

#include <gst/audio/audio.h>
#include <string.h>

GST_DEBUG_CATEGORY_STATIC(org_dec_debug);
#define GST_CAT_DEFAULT org_dec_debug

/* The library's own default output rate: ours when downstream fixes none. */
#define DEFAULT_RATE orgsynth_default_sample_rate()
#define BLOCK_FRAMES 1024

struct _GstOrgDec {
  GstNonstreamAudioDecoder parent;
  orgsynth_song* song;
  gint num_loops;
  guint rate;
  gboolean floats;         /* F32LE out; else S16LE */
  gint version;            /* the file's: 1, 2 or 3 */
  GstBuffer* source;       /* the song's bytes, for opening it again at another rate */
  gboolean output_settled; /* downstream's wishes were looked at again once it was linked */
};

G_DEFINE_TYPE(GstOrgDec, gst_org_dec, GST_TYPE_NONSTREAM_AUDIO_DECODER)

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-org"));

static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format = (string) { S16LE, F32LE }, "
                    "layout = (string) interleaved, rate = (int) [ 8000, 192000 ], "
                    "channels = (int) 2"));

/* Frames and clock time, both ways, rounding to the nearest. */
static GstClockTime TimeOfFrame(const GstOrgDec* self, guint64 frame) {
  return gst_util_uint64_scale_round(frame, GST_SECOND, self->rate);
}

static guint64 FrameOfTime(const GstOrgDec* self, GstClockTime time) {
  return gst_util_uint64_scale_round(time, self->rate, GST_SECOND);
}

/* The length for the current loop count (unknown when endless), kept where the base class
 * answers duration queries from. */
static void UpdateDuration(GstOrgDec* self) {
  const int64_t length = orgsynth_length(self->song);
  GST_NONSTREAM_AUDIO_DECODER(self)->subsong_duration =
      length < 0 ? GST_CLOCK_TIME_NONE : TimeOfFrame(self, (guint64)length);
}

/* Downstream's wishes: a rate it fixes (else ours), floats when it wants them. */
static void ChooseOutput(GstOrgDec* self) {
  /* Our defaults, which downstream's caps replace where they say otherwise. */
  GstAudioFormat format = GST_AUDIO_FORMAT_S16LE;
  gint rate = DEFAULT_RATE;
  gint channels = 2;
  gst_nonstream_audio_decoder_get_downstream_info(GST_NONSTREAM_AUDIO_DECODER(self), &format, &rate,
                                                  &channels);
  self->rate = rate >= 8000 && rate <= 192000 ? (guint)rate : DEFAULT_RATE;
  self->floats = format == GST_AUDIO_FORMAT_F32LE;
}

/* Opens the song at the chosen rate, at `frame` (past the end: the end), with the loop count. */
static gboolean OpenSong(GstOrgDec* self, guint64 frame, orgsynth_error* error) {
  GstMapInfo map;
  orgsynth_options options;
  orgsynth_info info;
  if (!gst_buffer_map(self->source, &map, GST_MAP_READ)) {
    /* The caller says why in its message: `error` must hold a reason like any other failure. */
    error->code = ORGSYNTH_ERROR_INVALID_ARGUMENT;
    g_strlcpy(error->message, "the song's bytes could not be read from its buffer",
              sizeof error->message);
    return FALSE;
  }
  memset(&options, 0, sizeof options);
  options.size = sizeof options;
  options.sample_rate = self->rate;
  orgsynth_close(self->song);
  self->song = orgsynth_open_memory(map.data, map.size, &options, error);
  gst_buffer_unmap(self->source, &map);
  self->version = 0;
  if (!self->song) return FALSE;
  memset(&info, 0, sizeof info);
  info.size = sizeof info;
  if (orgsynth_get_info(self->song, &info) == ORGSYNTH_OK) self->version = info.version;
  orgsynth_set_repeat_count(self->song, self->num_loops);
  if (frame > 0) orgsynth_seek(self->song, frame);
  UpdateDuration(self);
  return TRUE;
}

static gboolean gst_org_dec_load_from_buffer(GstNonstreamAudioDecoder* dec, GstBuffer* source,
                                             guint initial_subsong,
                                             GstNonstreamAudioSubsongMode initial_subsong_mode,
                                             GstClockTime* initial_position,
                                             GstNonstreamAudioOutputMode* initial_output_mode,
                                             gint* initial_num_loops) {
  GstOrgDec* self = GST_ORG_DEC(dec);
  orgsynth_error error;
  (void)initial_subsong;
  (void)initial_subsong_mode;
  ChooseOutput(self);
  gst_buffer_replace(&self->source, source);
  /* A loop count set before the song came in (or our default) applies from the start. */
  self->num_loops = *initial_num_loops;
  if (!OpenSong(self, 0, &error)) {
    /* Said with the reason, the decoder's mutex released around it as the base class's header
     * asks (an application may act on the element when the message comes); the base class then
     * posts its own "Loading failed" and stops the stream. */
    g_mutex_unlock(&dec->mutex);
    GST_ELEMENT_ERROR(self, STREAM, DECODE, ("Cannot play this Org song: %s.", error.message),
                      ("orgsynth_open_memory refused it (code %d)", error.code));
    g_mutex_lock(&dec->mutex);
    return FALSE;
  }
  *initial_output_mode = GST_NONSTREAM_AUDIO_OUTPUT_MODE_STEADY;
  if (GST_CLOCK_TIME_IS_VALID(*initial_position) && *initial_position > 0) {
    orgsynth_seek(self->song, FrameOfTime(self, *initial_position));
    *initial_position = TimeOfFrame(self, orgsynth_position(self->song));
  } else {
    *initial_position = 0;
  }
  self->output_settled = FALSE;
  return gst_nonstream_audio_decoder_set_output_format_simple(
      dec, self->rate, self->floats ? GST_AUDIO_FORMAT_F32LE : GST_AUDIO_FORMAT_S16LE, 2);
}

/* Downstream may be linked only after the song loaded (decodebin links its pad then): before
   the first samples go out, its wishes are looked at again, and the song opened again at its
   rate, at the same place, when it asks for another. */
static void SettleOutput(GstOrgDec* self) {
  const guint old_rate = self->rate;
  const gboolean old_floats = self->floats;
  orgsynth_error error;
  self->output_settled = TRUE;
  ChooseOutput(self);
  if (self->rate != old_rate) {
    const guint64 frame =
        gst_util_uint64_scale_round(orgsynth_position(self->song), self->rate, old_rate);
    if (!OpenSong(self, frame, &error)) {
      self->rate = old_rate; /* cannot happen for a song that opened once; keep the old one */
      OpenSong(self, 0, &error);
    }
  }
  if (self->rate != old_rate || self->floats != old_floats)
    gst_nonstream_audio_decoder_set_output_format_simple(
        GST_NONSTREAM_AUDIO_DECODER(self), self->rate,
        self->floats ? GST_AUDIO_FORMAT_F32LE : GST_AUDIO_FORMAT_S16LE, 2);
}

static gboolean gst_org_dec_seek(GstNonstreamAudioDecoder* dec, GstClockTime* new_position) {
  GstOrgDec* self = GST_ORG_DEC(dec);
  if (!self->song) return FALSE;
  /* Exact: the next frame rendered is the very frame a render from the start has there. */
  orgsynth_seek(self->song, FrameOfTime(self, *new_position));
  *new_position = TimeOfFrame(self, orgsynth_position(self->song));
  return TRUE;
}

static GstClockTime gst_org_dec_tell(GstNonstreamAudioDecoder* dec) {
  GstOrgDec* self = GST_ORG_DEC(dec);
  return self->song ? TimeOfFrame(self, orgsynth_position(self->song)) : GST_CLOCK_TIME_NONE;
}

/* The title from the file name (without its folder and ".org"), when the source knows it. */
static gchar* TitleFromUpstream(GstNonstreamAudioDecoder* dec) {
  GstQuery* query = gst_query_new_uri();
  gchar* uri = NULL;
  gchar* title = NULL;
  if (gst_pad_peer_query(dec->sinkpad, query)) gst_query_parse_uri(query, &uri);
  gst_query_unref(query);
  if (uri) {
    gchar* path = g_filename_from_uri(uri, NULL, NULL);
    gchar* name = g_path_get_basename(path ? path : uri);
    gchar* dot = strrchr(name, '.');
    if (dot && g_ascii_strcasecmp(dot, ".org") == 0) *dot = '\0';
    if (name[0] != '\0' && strcmp(name, "/") != 0 && strcmp(name, ".") != 0) title = g_strdup(name);
    g_free(name);
    g_free(path);
    g_free(uri);
  }
  return title;
}

static GstTagList* gst_org_dec_get_main_tags(GstNonstreamAudioDecoder* dec) {
  GstOrgDec* self = GST_ORG_DEC(dec);
  GstTagList* tags = gst_tag_list_new_empty();
  gchar* format = g_strdup_printf("Org-0%d song", self->version);
  gchar* title = TitleFromUpstream(dec);
  gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_CONTAINER_FORMAT, format, NULL);
  if (title) gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_TITLE, title, NULL);
  g_free(format);
  g_free(title);
  return tags;
}

static gboolean gst_org_dec_set_num_loops(GstNonstreamAudioDecoder* dec, gint num_loops) {
  GstOrgDec* self = GST_ORG_DEC(dec);
  self->num_loops = num_loops < -1 ? -1 : num_loops;
  if (self->song) {
    orgsynth_set_repeat_count(self->song, self->num_loops);
    UpdateDuration(self);
  }
  return TRUE;
}

static gint gst_org_dec_get_num_loops(GstNonstreamAudioDecoder* dec) {
  return GST_ORG_DEC(dec)->num_loops;
}

static guint gst_org_dec_get_supported_output_modes(GstNonstreamAudioDecoder* dec) {
  (void)dec;
  return 1u << GST_NONSTREAM_AUDIO_OUTPUT_MODE_STEADY;
}

static gboolean gst_org_dec_set_output_mode(GstNonstreamAudioDecoder* dec,
                                            GstNonstreamAudioOutputMode mode,
                                            GstClockTime* current_position) {
  (void)dec;
  *current_position = GST_CLOCK_TIME_NONE;
  return mode == GST_NONSTREAM_AUDIO_OUTPUT_MODE_STEADY;
}

static gboolean gst_org_dec_decode(GstNonstreamAudioDecoder* dec, GstBuffer** buffer,
                                   guint* num_samples) {
  GstOrgDec* self = GST_ORG_DEC(dec);
  gsize frame_bytes = self->floats ? 2 * sizeof(float) : 2 * sizeof(int16_t);
  GstBuffer* out;
  GstMapInfo map;
  size_t frames;
  if (!self->song) return FALSE;
  if (!self->output_settled) {
    SettleOutput(self);
    frame_bytes = self->floats ? 2 * sizeof(float) : 2 * sizeof(int16_t);
  }
  out = gst_nonstream_audio_decoder_allocate_output_buffer(dec, BLOCK_FRAMES * frame_bytes);
  if (!out || !gst_buffer_map(out, &map, GST_MAP_WRITE)) {
    if (out) gst_buffer_unref(out);
    return FALSE;
  }
  frames = self->floats ? orgsynth_render_f32(self->song, (float*)map.data, BLOCK_FRAMES)
                        : orgsynth_render_s16(self->song, (int16_t*)map.data, BLOCK_FRAMES);
  gst_buffer_unmap(out, &map);
  if (frames == 0) {
    gst_buffer_unref(out); /* the end of the song */
    return FALSE;
  }
  gst_buffer_set_size(out, frames * frame_bytes);
  *buffer = out;
  *num_samples = (guint)frames;
  return TRUE;
}

static void gst_org_dec_finalize(GObject* object) {
  GstOrgDec* self = GST_ORG_DEC(object);
  orgsynth_close(self->song);
  self->song = NULL;
  gst_buffer_replace(&self->source, NULL);
  G_OBJECT_CLASS(gst_org_dec_parent_class)->finalize(object);
}

static void gst_org_dec_class_init(GstOrgDecClass* klass) {
  GObjectClass* object_class = G_OBJECT_CLASS(klass);
  GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
  GstNonstreamAudioDecoderClass* dec_class = GST_NONSTREAM_AUDIO_DECODER_CLASS(klass);
  GST_DEBUG_CATEGORY_INIT(org_dec_debug, "orgdec", 0, "Org song decoder");
  object_class->finalize = gst_org_dec_finalize;
  gst_element_class_add_static_pad_template(element_class, &sink_template);
  gst_element_class_add_static_pad_template(element_class, &src_template);
  gst_element_class_set_static_metadata(
      element_class, "Org song decoder", "Codec/Decoder/Audio",
      "Plays Org songs (step-sequenced chiptunes) with liborgsynth",
      "The Orvalinde JUKEBOX developers <jukebox@orvalinde.invalid>");
  dec_class->load_from_buffer = gst_org_dec_load_from_buffer;
  dec_class->seek = gst_org_dec_seek;
  dec_class->tell = gst_org_dec_tell;
  dec_class->get_main_tags = gst_org_dec_get_main_tags;
  dec_class->set_num_loops = gst_org_dec_set_num_loops;
  dec_class->get_num_loops = gst_org_dec_get_num_loops;
  dec_class->get_supported_output_modes = gst_org_dec_get_supported_output_modes;
  dec_class->set_output_mode = gst_org_dec_set_output_mode;
  dec_class->decode = gst_org_dec_decode;
}

static void gst_org_dec_init(GstOrgDec* self) {
  self->song = NULL;
  self->source = NULL;
  self->output_settled = FALSE;
  self->rate = DEFAULT_RATE;
  self->floats = FALSE;
  self->version = 0;
  /* The intro and two passes by default, as org2wav renders, instead of the base's single pass;
     the base class reads this count when the song loads. */
  self->num_loops = GST_ORG_DEC_DEFAULT_NUM_LOOPS;
  GST_NONSTREAM_AUDIO_DECODER(self)->num_loops = GST_ORG_DEC_DEFAULT_NUM_LOOPS;
  GST_NONSTREAM_AUDIO_DECODER(self)->output_mode = GST_NONSTREAM_AUDIO_OUTPUT_MODE_STEADY;
}
