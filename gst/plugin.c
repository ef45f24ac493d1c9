/* The orgsynth GStreamer plugin: a type finder that knows Org songs by their magic ("Org-01",
 * "Org-02" or "Org-03") and the .org extension, giving audio/x-org, and the orgdec element that
 * decodes them (gstorgdec.h). With both, decodebin and playbin play Org songs by themselves. */
#include <gst/gst.h>

#include "gst/gstorgdec.h"

#ifndef PACKAGE
#define PACKAGE "orvalinde-jukebox"
#endif

static GstStaticCaps org_caps = GST_STATIC_CAPS("audio/x-org");

static void FindOrgSong(GstTypeFind* find, gpointer unused) {
  const guint8* magic = gst_type_find_peek(find, 0, 6);
  (void)unused;
  /* The probe reads six bytes; anything else is not claimed. */
  if (magic && orgsynth_probe(magic, 6))
    gst_type_find_suggest(find, GST_TYPE_FIND_MAXIMUM, gst_static_caps_get(&org_caps));
}

static gboolean PluginInit(GstPlugin* plugin) {
  return gst_type_find_register(plugin, "audio/x-org", GST_RANK_PRIMARY, FindOrgSong, "org",
                                gst_static_caps_get(&org_caps), NULL, NULL) &&
         gst_element_register(plugin, "orgdec", GST_RANK_PRIMARY, GST_TYPE_ORG_DEC);
}

/* The authors have chosen no licence yet (packaging/copyright: all rights reserved), which is
 * what GStreamer's registry calls "Proprietary". */
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, orgsynth,
                  "Org songs (step-sequenced chiptunes), played with liborgsynth", PluginInit,
                  "1.0.0", "Proprietary", "Orvalinde JUKEBOX", "https://orvalinde.invalid/")
