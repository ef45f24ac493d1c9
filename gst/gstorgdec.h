/* orgdec: a GStreamer decoder of Org songs on liborgsynth, built on GstNonstreamAudioDecoder (as
 * gst-plugins-bad's decoders of tracker formats are): the whole file in, interleaved stereo S16LE
 * or F32LE out at the rate downstream asks for (8000 to 192000 Hz, 44100 by default), exact
 * seeking, the loop count of the base class ("num-loops": -1 endless, n plays the loop n + 1
 * times; by default the intro and two passes, as org2wav renders), steady output mode, a
 * duration for the current loop count, and tags (container format, title from the file name).
 * Registered by the plugin (gst/plugin.c); GStreamer calls it on its streaming thread with the
 * decoder's lock held. */
#ifndef GST_ORG_DEC_H
#define GST_ORG_DEC_H

#include <gst/audio/gstnonstreamaudiodecoder.h>
#include <gst/gst.h>

#include "include/orgsynth.h"

G_BEGIN_DECLS

/* Declared by hand: the base class has no automatic cleanup for G_DECLARE_FINAL_TYPE to use. */
typedef struct _GstOrgDec GstOrgDec;
typedef struct {
  GstNonstreamAudioDecoderClass parent_class;
} GstOrgDecClass;

GType gst_org_dec_get_type(void);
#define GST_TYPE_ORG_DEC (gst_org_dec_get_type())
#define GST_ORG_DEC(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), GST_TYPE_ORG_DEC, GstOrgDec))

/* The loop count a new decoder starts with: the intro and two passes of the loop. */
#define GST_ORG_DEC_DEFAULT_NUM_LOOPS 1

G_END_DECLS

#endif /* GST_ORG_DEC_H */
