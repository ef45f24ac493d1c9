// The display surfaces of this platform: plain pixel buffers in the display's layout (2 or 4
// bytes per pixel here), with the operations the graphics layer expects of a display interface:
// colour fill, rectangle copy, fast copy with and without the source colour key, direct pixel
// access, the "device-context" copy (the same pixels by another path) and lost/restored state
// (never lost on this platform by itself; tests mark surfaces lost to reach the reload paths).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

struct SurfaceRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

class PixelSurface {
 public:
  PixelSurface(int width, int height, int bytes_per_pixel, bool in_video_memory = false);

  int width() const { return width_; }
  int height() const { return height_; }
  int bytes_per_pixel() const { return bytes_; }
  int pitch() const { return pitch_; }
  bool in_video_memory() const { return in_video_memory_; }
  uint8_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * pitch_; }
  const uint8_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * pitch_; }
  uint32_t Pixel(int x, int y) const;
  void SetPixel(int x, int y, uint32_t value);

  // Fills `rect` (the whole surface when null), clipped to the surface, with a pixel value.
  void Fill(const SurfaceRect* rect, uint32_t value);
  // Copies `source_rect` of `source` to (x, y); with `keyed`, source pixels equal to the source's
  // colour key are not written. The rectangle is clipped to both surfaces. False when the formats
  // differ.
  bool FastCopy(int x, int y, const PixelSurface& source, SurfaceRect source_rect, bool keyed);
  // The same copy through device contexts: pixel by pixel through red, green and blue.
  bool DeviceContextCopy(int x, int y, const PixelSurface& source, SurfaceRect source_rect);

  void SetColorKey(uint32_t key) { color_key_ = key; }
  uint32_t color_key() const { return color_key_; }

  bool lost() const { return lost_; }
  // Restores a lost surface: its pixels are undefined (zero here) until drawn again.
  void Restore();
  void MarkLostForTesting() { lost_ = true; }

 private:
  int width_;
  int height_;
  int bytes_;
  int pitch_;
  bool in_video_memory_;
  uint32_t color_key_ = 0;
  bool lost_ = false;
  std::vector<uint8_t> pixels_;
};

}  // namespace platform
