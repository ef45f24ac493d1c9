#include "runtime/platform/notice.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "runtime/platform/text_encoding.h"

namespace platform {
namespace {

std::mutex g_sink_mutex;
NoticeSink g_sink;

void ShowOnPlatform(const std::string& text_cp932, const std::string& caption_cp932) {
  const std::string text = Cp932ToUtf8(text_cp932);
  const std::string caption = Cp932ToUtf8(caption_cp932);
  // The line goes to standard error in every case, so that what the box said stays in a
  // terminal's history (and reaches a user where no box can open).
  std::fprintf(stderr, "%s\n", FormatNoticeLine(text_cp932, caption_cp932).c_str());
  std::fflush(stderr);
  // SDL shows the box without its video subsystem (it may start a process for it). Where no
  // display is named at all, there is nothing to try (Windows always has its desktop).
#ifndef _WIN32
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) return;
#endif
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr);
}

}  // namespace

std::string FormatNoticeLine(const std::string& text_cp932, const std::string& caption_cp932) {
  return Cp932ToUtf8(caption_cp932) + ": " + Cp932ToUtf8(text_cp932);
}

void ShowNotice(const std::string& text_cp932, const std::string& caption_cp932) {
  NoticeSink sink;
  {
    std::lock_guard<std::mutex> lock(g_sink_mutex);
    sink = g_sink;
  }
  if (sink) {
    sink(text_cp932, caption_cp932);
  } else {
    ShowOnPlatform(text_cp932, caption_cp932);
  }
}

void SetNoticeSink(NoticeSink sink) {
  std::lock_guard<std::mutex> lock(g_sink_mutex);
  g_sink = std::move(sink);
}

}  // namespace platform
