/* Seeks in an Org song through GStreamer as a player does (playbin's way: decodebin, a flushing
 * and accurate seek in time) and checks that the samples after the seek are exactly the ones
 * liborgsynth renders from that frame on. Prints one line; exit 0 when they agree.
 * Usage: gst_seek_check SONG.org RATE S16LE|F32LE SECONDS [FRAMES] */
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "include/orgsynth.h"

static unsigned char* ReadFile(const char* path, size_t* size) {
  FILE* in = fopen(path, "rb");
  unsigned char* bytes = NULL;
  long length;
  if (!in) return NULL;
  fseek(in, 0, SEEK_END);
  length = ftell(in);
  fseek(in, 0, SEEK_SET);
  bytes = malloc((size_t)length);
  *size = bytes ? fread(bytes, 1, (size_t)length, in) : 0;
  fclose(in);
  return bytes;
}

int main(int argc, char** argv) {
  const char *song_path, *format;
  int rate, floats;
  double seconds;
  size_t frames, bytes_per_frame, have = 0, size = 0;
  unsigned char *got, *want, *song_bytes;
  GstElement *pipeline, *sink;
  GError* error = NULL;
  gchar* description;
  guint64 frame;
  orgsynth_options options;
  orgsynth_song* song;
  if (argc < 5) {
    fprintf(stderr, "usage: %s SONG.org RATE S16LE|F32LE SECONDS [FRAMES]\n", argv[0]);
    return 2;
  }
  song_path = argv[1];
  rate = atoi(argv[2]);
  format = argv[3];
  seconds = atof(argv[4]);
  frames = argc > 5 ? (size_t)atol(argv[5]) : 44100;
  floats = strcmp(format, "F32LE") == 0;
  bytes_per_frame = floats ? 8 : 4;
  gst_init(&argc, &argv);

  description = g_strdup_printf(
      "filesrc location=\"%s\" ! decodebin ! audioconvert ! "
      "audio/x-raw,format=%s,rate=%d,channels=2 ! appsink name=sink sync=false",
      song_path, format, rate);
  pipeline = gst_parse_launch(description, &error);
  g_free(description);
  if (!pipeline) {
    fprintf(stderr, "cannot make the pipeline: %s\n", error->message);
    return 1;
  }
  sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
  gst_element_set_state(pipeline, GST_STATE_PAUSED);
  gst_element_get_state(pipeline, NULL, NULL, 10 * GST_SECOND);
  if (!gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                               GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE,
                               (gint64)(seconds * GST_SECOND))) {
    fprintf(stderr, "the seek was refused\n");
    return 1;
  }
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  got = malloc(frames * bytes_per_frame);
  while (have < frames * bytes_per_frame) {
    GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
    GstMapInfo map;
    GstBuffer* buffer;
    size_t take;
    if (!sample) break;
    buffer = gst_sample_get_buffer(sample);
    gst_buffer_map(buffer, &map, GST_MAP_READ);
    take = map.size < frames * bytes_per_frame - have ? map.size : frames * bytes_per_frame - have;
    memcpy(got + have, map.data, take);
    have += take;
    gst_buffer_unmap(buffer, &map);
    gst_sample_unref(sample);
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);

  /* What the library renders from the same frame on, with the element's default loop count. */
  song_bytes = ReadFile(song_path, &size);
  memset(&options, 0, sizeof options);
  options.size = sizeof options;
  options.sample_rate = (uint32_t)rate;
  song = orgsynth_open_memory(song_bytes, size, &options, NULL);
  if (!song) return 1;
  orgsynth_set_repeat_count(song, 1);
  frame = (guint64)(seconds * rate + 0.5);
  orgsynth_seek(song, frame);
  want = malloc(frames * bytes_per_frame);
  if (floats)
    orgsynth_render_f32(song, (float*)want, frames);
  else
    orgsynth_render_s16(song, (int16_t*)want, frames);
  orgsynth_close(song);
  if (have != frames * bytes_per_frame || memcmp(got, want, have) != 0) {
    size_t first = 0;
    while (first < have && got[first] == want[first]) ++first;
    printf(
        "differ: %zu of %zu bytes after the seek to %.3f s (frame %llu); first difference at "
        "byte %zu\n",
        have, frames * bytes_per_frame, seconds, (unsigned long long)frame, first);
    return 1;
  }
  printf("same: %zu frames of %s from %.3f s (frame %llu) at %d Hz\n", frames, format, seconds,
         (unsigned long long)frame, rate);
  return 0;
}
