/* A damaged song through GStreamer, many times over, as an application meets it: the pipeline
 * (filesrc ! orgdec ! fakesink, then the same through decodebin) is set to PLAYING, the bus is
 * waited on for the error, and the pipeline is stopped. Every run must end with orgdec's error
 * saying why, and stopping must return; a run that takes more than 10 s ends the program with
 * SIGALRM. Prints one line; exit 0 when every run ended so.
 * gst-launch-1.0 is not the judge here: it quits its main loop from the bus's synchronous
 * handler, so an error posted before that loop runs (any element's, on a file small enough to
 * fail at once: wavparse and qtdemux too) is lost and it waits for ever.
 * Usage: gst_damaged_check SONG RUNS */
#include <gst/gst.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* One run: 1 when the pipeline ended with orgdec's reason and stopped. */
static int RunOnce(const char* song, const char* middle) {
  GError* error = NULL;
  gchar* debug = NULL;
  gchar* description;
  GstElement* pipeline;
  GstBus* bus;
  GstMessage* message;
  int ok = 0;
  description = g_strdup_printf("filesrc location=\"%s\" ! %s ! fakesink", song, middle);
  pipeline = gst_parse_launch(description, &error);
  g_free(description);
  if (!pipeline) {
    fprintf(stderr, "cannot make the pipeline: %s\n", error ? error->message : "?");
    g_clear_error(&error);
    return 0;
  }
  bus = gst_element_get_bus(pipeline);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  message = gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GST_MESSAGE_ERROR | GST_MESSAGE_EOS);
  if (message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
    gst_message_parse_error(message, &error, &debug);
    ok = strstr(error->message, "Cannot play this Org song: a damaged Org song") != NULL;
    if (!ok) fprintf(stderr, "another error: %s\n", error->message);
    g_clear_error(&error);
    g_free(debug);
  } else {
    fprintf(stderr, "%s\n", message ? "the stream ended without an error" : "no error in 10 s");
  }
  if (message) gst_message_unref(message);
  gst_element_set_state(pipeline, GST_STATE_NULL); /* must return */
  gst_object_unref(bus);
  gst_object_unref(pipeline);
  return ok;
}

int main(int argc, char** argv) {
  int runs, i, failed = 0;
  gst_init(&argc, &argv);
  if (argc < 3) {
    fprintf(stderr, "usage: %s SONG RUNS\n", argv[0]);
    return 2;
  }
  runs = atoi(argv[2]);
  for (i = 0; i < runs; ++i) {
    alarm(10);
    if (!RunOnce(argv[1], i % 2 ? "decodebin" : "orgdec")) ++failed;
  }
  alarm(0);
  printf("%d of %d runs ended with the song's error and stopped\n", runs - failed, runs);
  return failed ? 1 : 0;
}
