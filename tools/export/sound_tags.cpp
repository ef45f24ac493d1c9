#include "tools/export/sound_tags.h"

#ifdef EXPORT_HAVE_TAGLIB
#include <taglib/flacfile.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>
#endif

#include <cmath>
#include <cstdio>

namespace exporting {
#ifdef EXPORT_HAVE_TAGLIB
namespace {

TagLib::String Utf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }

void Fill(TagLib::Ogg::XiphComment* comment, const SoundTags& tags, AudioFormat format) {
  for (const auto& [name, value] : CommentsOf(tags, format))
    comment->addField(name, Utf8(value), true);
}

void Fill(TagLib::ID3v2::Tag* tag, const SoundTags& tags) {
  for (const auto& [name, value] : CommentsOf(tags, AudioFormat::kMp3)) {
    const char* standard = name == "TITLE"         ? "TIT2"
                           : name == "ARTIST"      ? "TPE1"
                           : name == "ALBUM"       ? "TALB"
                           : name == "TRACKNUMBER" ? "TRCK"
                                                   : nullptr;
    if (standard) {
      auto* frame = new TagLib::ID3v2::TextIdentificationFrame(standard, TagLib::String::UTF8);
      frame->setText(Utf8(value));
      tag->addFrame(frame);
    } else {
      auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
      frame->setDescription(Utf8(name));
      frame->setText(Utf8(value));
      tag->addFrame(frame);
    }
  }
}

}  // namespace
#endif

std::vector<std::pair<std::string, std::string>> CommentsOf(const SoundTags& tags,
                                                            AudioFormat format) {
  std::vector<std::pair<std::string, std::string>> comments;
  if (!tags.title.empty()) comments.emplace_back("TITLE", tags.title);
  if (!tags.artist.empty()) comments.emplace_back("ARTIST", tags.artist);
  if (!tags.album.empty()) comments.emplace_back("ALBUM", tags.album);
  if (!tags.track.empty()) comments.emplace_back("TRACKNUMBER", tags.track);
  if (tags.loop_start && tags.loop_length) {
    comments.emplace_back("LOOPSTART", std::to_string(*tags.loop_start));
    comments.emplace_back("LOOPLENGTH", std::to_string(*tags.loop_length));
  }
  if (format == AudioFormat::kOpus) {
    // The track's own peak has no place in Ogg Opus: its decoders never clip to it.
    if (tags.replaygain_gain_db)
      comments.emplace_back(
          "R128_TRACK_GAIN",
          std::to_string(static_cast<int>(std::lround((*tags.replaygain_gain_db - 5.0) * 256))));
    return comments;
  }
  if (tags.replaygain_gain_db) {
    char gain[32];
    std::snprintf(gain, sizeof gain, "%.2f dB", *tags.replaygain_gain_db);
    comments.emplace_back("REPLAYGAIN_TRACK_GAIN", gain);
  }
  if (tags.replaygain_peak) {
    char peak[32];
    std::snprintf(peak, sizeof peak, "%.6f", *tags.replaygain_peak);
    comments.emplace_back("REPLAYGAIN_TRACK_PEAK", peak);
  }
  return comments;
}

bool ApplyTags(AudioFormat format, const SoundTags& tags, std::vector<uint8_t>* bytes,
               std::string* error) {
  if (tags.empty()) return true;
#ifndef EXPORT_HAVE_TAGLIB
  // Built without TagLib (Windows): the tags of a compressed file cannot be written.
  (void)bytes;
  *error = std::string("this build cannot write the tags of the ") + FormatName(format) + " file";
  return false;
#else
  TagLib::ByteVectorStream stream(TagLib::ByteVector(reinterpret_cast<const char*>(bytes->data()),
                                                     static_cast<unsigned int>(bytes->size())));
  bool saved = false;
  switch (format) {
    case AudioFormat::kFlac: {
      TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance());
      if (file.isValid()) {
        Fill(file.xiphComment(true), tags, format);
        saved = file.save();
      }
      break;
    }
    case AudioFormat::kOgg: {
      TagLib::Ogg::Vorbis::File file(&stream);
      if (file.isValid()) {
        Fill(file.tag(), tags, format);
        saved = file.save();
      }
      break;
    }
    case AudioFormat::kOpus: {
      TagLib::Ogg::Opus::File file(&stream);
      if (file.isValid()) {
        Fill(file.tag(), tags, format);
        saved = file.save();
      }
      break;
    }
    case AudioFormat::kMp3: {
      TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance());
      if (file.isValid()) {
        Fill(file.ID3v2Tag(true), tags);
        saved = file.save(TagLib::MPEG::File::ID3v2);
      }
      break;
    }
    case AudioFormat::kWav:
      break;
  }
  if (!saved) {
    *error = std::string("cannot write the tags of the ") + FormatName(format) + " file";
    return false;
  }
  const TagLib::ByteVector* data = stream.data();
  bytes->assign(data->data(), data->data() + data->size());
  return true;
#endif
}

}  // namespace exporting
