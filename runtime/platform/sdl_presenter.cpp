#include "runtime/platform/sdl_presenter.h"

#include <SDL.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/platform/sdl_window.h"
#include "runtime/platform/window_layout.h"

namespace platform {
namespace {

SDL_Renderer* g_renderer = nullptr;
std::vector<uint8_t> g_last_picture;  // what was last shown, to skip presenting it again
int g_last_output_w = 0;
int g_last_output_h = 0;
uint64_t g_presented = 0;
SDL_Texture* g_texture = nullptr;
bool g_vsync = false;
int g_width = 0;
int g_height = 0;
int g_bytes = 4;

// True when `renderer` draws through OpenGL rasterised on the processor (Mesa's llvmpipe,
// softpipe or swrast, as on a desktop without a GPU driver, or Xvfb): SDL's own software
// renderer puts the same pixels on the screen for a third of the processor time there.
bool DrawsWithSoftwareGl(SDL_Renderer* renderer) {
  SDL_RendererInfo info{};
  if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0)
    return false;
  using GetString = const unsigned char* (*)(unsigned int);
  auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  constexpr unsigned int kGlRenderer = 0x1F01;
  const unsigned char* name = get_string ? get_string(kGlRenderer) : nullptr;
  if (!name) return false;
  const std::string text(reinterpret_cast<const char*>(name));
  for (const char* rasteriser : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
    if (text.find(rasteriser) != std::string::npos) return true;
  return false;
}

bool MakeRenderer(bool vsync) {
  if (g_texture) SDL_DestroyTexture(g_texture);
  if (g_renderer) SDL_DestroyRenderer(g_renderer);
  g_texture = nullptr;
  const Uint32 flags = vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
  g_renderer = SDL_CreateRenderer(SdlWindow::native(), -1, flags);
  if (g_renderer && DrawsWithSoftwareGl(g_renderer)) {
    SDL_DestroyRenderer(g_renderer);
    // The window's own pixels, not a GL texture standing in for them.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    g_renderer = nullptr;
  }
  if (!g_renderer) g_renderer = SDL_CreateRenderer(SdlWindow::native(), -1, SDL_RENDERER_SOFTWARE);
  if (!g_renderer) return false;
  g_texture =
      SDL_CreateTexture(g_renderer, g_bytes == 2 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888,
                        SDL_TEXTUREACCESS_STREAMING, g_width, g_height);
  g_vsync = vsync;
  g_last_picture.clear();  // a new renderer shows nothing yet
  if (!g_texture) return false;
  // Scaled pixels stay square and crisp.
  SDL_SetTextureScaleMode(g_texture, SDL_ScaleModeNearest);
  return true;
}

}  // namespace

DisplayFormat SdlPresenter::DesktopFormat() {
  DisplayFormat format;
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return format;
  int bpp = 0;
  Uint32 r = 0;
  Uint32 g = 0;
  Uint32 b = 0;
  Uint32 a = 0;
  if (!SDL_PixelFormatEnumToMasks(mode.format, &bpp, &r, &g, &b, &a)) return format;
  format.bits = SDL_BYTESPERPIXEL(mode.format) * 8;
  format.red_mask = r;
  format.green_mask = g;
  format.blue_mask = b;
  format.alpha_mask = 0;  // the desktop's fourth byte is padding
  return format;
}

bool SdlPresenter::Open(int width, int height, int bytes_per_pixel) {
  if (!SdlWindow::native()) return false;
  g_width = width;
  g_height = height;
  g_bytes = bytes_per_pixel;
  return MakeRenderer(false);
}

void SdlPresenter::Close() {
  if (g_texture) SDL_DestroyTexture(g_texture);
  if (g_renderer) SDL_DestroyRenderer(g_renderer);
  g_texture = nullptr;
  g_renderer = nullptr;
  g_last_picture.clear();
}

bool SdlPresenter::IsOpen() { return g_renderer != nullptr; }

bool SdlPresenter::Present(const PixelSurface& surface, bool vsync) {
  if (!g_renderer) return false;
  if (vsync != g_vsync && !MakeRenderer(vsync)) return false;
  int output_w = 0;
  int output_h = 0;
  SDL_GetRendererOutputSize(g_renderer, &output_w, &output_h);
  // Presenting the same picture again costs a texture upload and a whole present (most of a
  // software-rendered desktop's time): it is skipped unless the window needs its contents again.
  const uint8_t* pixels = static_cast<const uint8_t*>(surface.Row(0));
  const size_t bytes = static_cast<size_t>(surface.pitch()) * static_cast<size_t>(g_height);
  const bool same_picture = g_last_picture.size() == bytes &&
                            std::memcmp(g_last_picture.data(), pixels, bytes) == 0 &&
                            output_w == g_last_output_w && output_h == g_last_output_h;
  const bool window_dirty = TakeWindowDirty();
  if (same_picture && !window_dirty) return true;
  g_last_picture.assign(pixels, pixels + bytes);
  g_last_output_w = output_w;
  g_last_output_h = output_h;
  const PicturePlacement place = PlacePicture(g_width, g_height, output_w, output_h);
  const SDL_Rect target{place.x, place.y, place.width, place.height};
  SDL_UpdateTexture(g_texture, nullptr, pixels, surface.pitch());
  SDL_SetRenderDrawColor(g_renderer, 0, 0, 0, 255);
  SDL_RenderClear(g_renderer);
  SDL_RenderCopy(g_renderer, g_texture, nullptr, &target);
  SDL_RenderPresent(g_renderer);
  ++g_presented;
  return true;
}

uint64_t SdlPresenter::PresentedCount() { return g_presented; }

}  // namespace platform
