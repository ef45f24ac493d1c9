// A started display device on SDL's offscreen video: a 320 × 240 window-mode screen with the
// back buffer as draw target, the log on in a scratch folder that is also the current folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runtime/graphics/graph_image.h"
#include "test_support/scratch_directory.h"

namespace test_support {

class GraphicsFixture : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Log() const;
  // Writes a 24-bit BMP whose pixel (x, y) is colour(x, y) (0xRRGGBB).
  void WriteBmp(const std::string& relative, int w, int h, uint32_t (*colour)(int x, int y));
  // The back buffer's pixel as 0xRRGGBB.
  static uint32_t BackPixel(int x, int y);

  ScratchDirectory dir;

 private:
  std::unique_ptr<CurrentDirectoryScope> here_;
};

}  // namespace test_support
