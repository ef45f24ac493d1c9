#include "runtime/platform/sdl_presenter.h"

#include <SDL.h>

#include "runtime/platform/sdl_window.h"

namespace platform {
namespace {

SDL_Renderer* g_renderer = nullptr;
SDL_Texture* g_texture = nullptr;
bool g_vsync = false;
int g_width = 0;
int g_height = 0;
int g_bytes = 4;

bool MakeRenderer(bool vsync) {
  if (g_texture) SDL_DestroyTexture(g_texture);
  if (g_renderer) SDL_DestroyRenderer(g_renderer);
  g_texture = nullptr;
  const Uint32 flags = vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
  g_renderer = SDL_CreateRenderer(SdlWindow::native(), -1, flags);
  if (!g_renderer) g_renderer = SDL_CreateRenderer(SdlWindow::native(), -1, SDL_RENDERER_SOFTWARE);
  if (!g_renderer) return false;
  g_texture =
      SDL_CreateTexture(g_renderer, g_bytes == 2 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888,
                        SDL_TEXTUREACCESS_STREAMING, g_width, g_height);
  g_vsync = vsync;
  return g_texture != nullptr;
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
}

bool SdlPresenter::IsOpen() { return g_renderer != nullptr; }

bool SdlPresenter::Present(const PixelSurface& surface, bool vsync) {
  if (!g_renderer) return false;
  if (vsync != g_vsync && !MakeRenderer(vsync)) return false;
  SDL_UpdateTexture(g_texture, nullptr, surface.Row(0), surface.pitch());
  SDL_RenderClear(g_renderer);
  SDL_RenderCopy(g_renderer, g_texture, nullptr, nullptr);
  SDL_RenderPresent(g_renderer);
  return true;
}

}  // namespace platform
