#include <gtest/gtest.h>

#include "graphics_fixture.h"
#include "runtime/core/main_window.h"
#include "runtime/graphics/display_device.h"
#include "runtime/graphics/draw_context.h"
#include "runtime/graphics/graph_loading.h"
#include "runtime/graphics/graph_table.h"
#include "runtime/graphics/picture_decoding.h"
#include "runtime/graphics/software_blitter.h"
#include "runtime/platform/text_encoding.h"

namespace {

using graphics::PutGraph;

class BlitterTest : public test_support::GraphicsFixture {
 protected:
  // An 8 × 8 cell: black (transparent) on its left half, a colour per pixel on its right half.
  static uint32_t Cell(int x, int y) {
    return x < 4 ? 0x000000 : 0x100000 * (x + 1) + 0x10 * (y + 1);
  }
  static uint32_t Background(int x, int y) { return 0x000100 * (y % 200 + 1) + (x % 250) + 1; }
  int LoadCell() {
    WriteBmp("cell.bmp", 8, 8, &Cell);
    return graphics::LoadPicture("cell.bmp");
  }
};

TEST_F(BlitterTest, TheScreenIs320By240At32BitsWithTheUsualMasks) {
  int w = 0;
  int h = 0;
  graphics::QueryGraphSize(graphics::kBackBuffer, &w, &h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  EXPECT_EQ(graphics::QueryColorDepth(), 32);
  EXPECT_EQ(graphics::MapRgbToPixel(255, 0, 0), 0xFF0000u);
  const graphics::PixelLayout l565 = graphics::LayoutFromMasks(16, 0xF800, 0x07E0, 0x001F, 0);
  EXPECT_EQ(graphics::MapRgbToLayout(l565, 255, 0, 0), 0xF800u);
  EXPECT_EQ(graphics::MapRgbToLayout(l565, 0, 255, 0), 0x07E0u);
}

TEST_F(BlitterTest, AnOpaqueBackgroundReplacesEveryPixelBlackOnesIncluded) {
  WriteBmp("bg.bmp", 320, 240,
           [](int x, int y) -> uint32_t { return (x + y) % 3 == 0 ? 0 : Background(x, y); });
  const int background = graphics::LoadPicture("bg.bmp");
  ASSERT_EQ(background, 0x10000);
  graphics::BackSurface()->Fill(nullptr, 0x123456);
  ASSERT_EQ(PutGraph(0, 0, background, 0), 0);
  for (int y = 0; y < 240; y += 7)
    for (int x = 0; x < 320; x += 5)
      ASSERT_EQ(BackPixel(x, y), (x + y) % 3 == 0 ? 0u : Background(x, y)) << x << "," << y;
}

TEST_F(BlitterTest, ATransparentCellLeavesTheBackgroundWhereItIsBlack) {
  const int cell = LoadCell();
  graphics::BackSurface()->Fill(nullptr, 0xABCDEF);
  ASSERT_EQ(PutGraph(100, 50, cell, 1), 0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(BackPixel(100 + x, 50 + y), x < 4 ? 0xABCDEFu : Cell(x, y)) << x << "," << y;
  EXPECT_EQ(BackPixel(99, 50), 0xABCDEFu);
  EXPECT_EQ(BackPixel(108, 50), 0xABCDEFu);
}

TEST_F(BlitterTest, CellsAreClippedAtEveryEdge) {
  const int cell = LoadCell();
  // The case from the manual: (-4, 236) shows source columns 4..7 and rows 0..3 at (0, 236).
  ASSERT_EQ(PutGraph(-4, 236, cell, 0), 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(BackPixel(x, 236 + y), Cell(4 + x, y)) << x << "," << y;
  graphics::ClearDrawTarget();
  PutGraph(316, -6, cell, 0);  // right and top edges
  EXPECT_EQ(BackPixel(316, 0), Cell(0, 6));
  EXPECT_EQ(BackPixel(319, 1), Cell(3, 7));
  EXPECT_EQ(PutGraph(320, 0, cell, 0), 0);  // wholly outside: nothing, and no error
  EXPECT_EQ(PutGraph(0, 240, cell, 0), 0);
  EXPECT_EQ(PutGraph(-8, 0, cell, 0), 0);
}

TEST_F(BlitterTest, TheDrawAreaClipsAndAnEmptyAreaDrawsNothing) {
  const int cell = LoadCell();
  graphics::SetClipRect(300, 200, 10, 10);
  const graphics::DrawRect& area = graphics::GetDrawContext().draw_area;
  EXPECT_EQ(area.left, 10);
  EXPECT_EQ(area.top, 10);
  EXPECT_EQ(area.right, 300);
  EXPECT_EQ(area.bottom, 200);
  graphics::SetClipRect(-5, 0, 500, 240);
  EXPECT_EQ(area.left, 0);
  EXPECT_EQ(area.right, 320);
  graphics::SetClipRect(10, 10, 14, 14);
  PutGraph(8, 8, cell, 0);
  EXPECT_EQ(BackPixel(9, 9), 0u);            // outside the area
  EXPECT_EQ(BackPixel(12, 12), Cell(4, 4));  // inside
  EXPECT_EQ(BackPixel(14, 12), 0u);
  graphics::ClearDrawTarget();
  graphics::SetClipRect(5, 0, 5, 240);
  EXPECT_EQ(graphics::GetDrawContext().draw_area_empty, 1);
  EXPECT_EQ(PutGraph(0, 0, cell, 0), 0);
  EXPECT_EQ(BackPixel(5, 0), 0u);
}

TEST_F(BlitterTest, InvalidHandlesAreRefused) {
  for (int handle : {0xFFFF, 0x20000 | 5, 0x10000 | 3000, 0x10000 | 7}) {
    EXPECT_EQ(PutGraph(0, 0, handle, 0), -1);
    EXPECT_EQ(graphics::ReleaseGraph(handle, 0), -1);
    EXPECT_EQ(graphics::QueryGraphSize(handle, nullptr, nullptr), -1);
  }
}

TEST_F(BlitterTest, SlotsAreReusedAndTheHighWaterMarkFollows) {
  const int a = graphics::CreateEmptyGraph(4, 4);
  EXPECT_EQ(a, 0x10000);
  graphics::ReleaseGraph(a, 0);
  EXPECT_EQ(graphics::CreateEmptyGraph(4, 4), 0x10000);
  EXPECT_EQ(graphics::CreateEmptyGraph(4, 4), 0x10001);
  EXPECT_EQ(graphics::CreateEmptyGraph(4, 4), 0x10002);
  graphics::ReleaseGraph(0x10001, 0);
  EXPECT_EQ(graphics::HighWaterMark(), 3);
  EXPECT_EQ(graphics::CreateEmptyGraph(4, 4), 0x10001);
  graphics::ReleaseGraph(0x10002, 0);
  EXPECT_EQ(graphics::HighWaterMark(), 2);
  EXPECT_EQ(graphics::GraphCount(), 2);
}

TEST_F(BlitterTest, ASheetIsCutIntoCellsInRowMajorOrder) {
  WriteBmp("sheet.bmp", 208, 64,
           [](int x, int y) -> uint32_t { return 0x010000 * (x / 8 + 1) + (y / 8 + 1); });
  int handles[208];
  ASSERT_EQ(graphics::LoadDividedPicture("sheet.bmp", 208, 26, 8, 8, 8, handles, 1), 0);
  for (int i = 0; i < 208; ++i) EXPECT_EQ(handles[i], 0x10000 | i);
  const struct {
    int cell, x, y;
  } origins[] = {{0, 0, 0}, {25, 200, 0}, {26, 0, 8}, {207, 200, 56}};
  for (const auto& o : origins) {
    const graphics::GraphEntry* entry = graphics::LookupGraphRecord(handles[o.cell]);
    EXPECT_EQ(entry->source_x, o.x);
    EXPECT_EQ(entry->source_y, o.y);
    PutGraph(0, 0, handles[o.cell], 0);
    EXPECT_EQ(BackPixel(3, 3), 0x010000u * (o.x / 8 + 1) + (o.y / 8 + 1));
  }
}

TEST_F(BlitterTest, ABadCellHandleStopsTheFillBeforeAnyPixelsAreCopied) {
  WriteBmp("old.bmp", 32, 8, [](int, int) -> uint32_t { return 0x112233; });
  WriteBmp("new.bmp", 32, 8, [](int, int) -> uint32_t { return 0x445566; });
  int handles[4];
  ASSERT_EQ(graphics::LoadDividedPicture("old.bmp", 4, 4, 1, 8, 8, handles, 1), 0);
  graphics::GraphImage picture;
  ASSERT_EQ(graphics::DecodePictureSource("new.bmp", false, &picture), 0);
  const int with_a_bad_one[4] = {handles[0], handles[1], 0x10000 | 2999, handles[3]};
  EXPECT_EQ(
      graphics::BltBmpToDivGraph(picture, nullptr, "new.bmp", 4, 4, 8, 8, with_a_bad_one, false),
      -1);
  for (int handle : handles) {
    PutGraph(0, 0, handle, 0);
    EXPECT_EQ(BackPixel(1, 1), 0x112233u) << "cell " << std::hex << handle;
  }
}

TEST_F(BlitterTest, ASheetTooSmallForItsCellsIsRefused) {
  WriteBmp("small.bmp", 200, 64, [](int, int) -> uint32_t { return 0x777777; });
  int handles[208];
  EXPECT_EQ(graphics::LoadDividedPicture("small.bmp", 208, 26, 8, 8, 8, handles, 1), -1);
  EXPECT_EQ(graphics::GraphCount(), 0);
  EXPECT_NE(Log().find(SJIS("指定のサイズで分割できません in CreateDXDivGraph\n")),
            std::string::npos);
  WriteBmp("large.bmp", 320, 100, [](int, int) -> uint32_t { return 0x777777; });
  EXPECT_EQ(graphics::LoadDividedPicture("large.bmp", 208, 26, 8, 8, 8, handles, 1), 0);
}

TEST_F(BlitterTest, AMissingFileIsLoggedAndRefused) {
  EXPECT_EQ(graphics::LoadPicture("system\\none.png"), -1);
  EXPECT_NE(
      Log().find(SJIS("右記のグラフィックファイルのロードに失敗しました：system\\none.png\n")),
      std::string::npos);
}

TEST_F(BlitterTest, GraphsComeBackFromTheirFilesAfterADisplayRebuild) {
  const int cell = LoadCell();
  // The display is lost: every graph surface comes back empty and must be reloaded.
  graphics::BmpData* data = graphics::LookupBmpData(graphics::LookupGraphRecord(cell)->bmp_data[0]);
  data->surface->MarkLostForTesting();
  graphics::RepairGraphSurfaces(cell);
  EXPECT_EQ(data->surface->Pixel(5, 5) & 0xFFFFFF, 0u);
  graphics::RebuildDisplayDevice();
  EXPECT_EQ(data->surface->Pixel(5, 5) & 0xFFFFFF, Cell(5, 5));
  EXPECT_NE(Log().find(SJIS("グラフィックを復帰します\n")), std::string::npos);
}

TEST_F(BlitterTest, APresentShowsTheBackBufferInTheWindow) {
  graphics::BackSurface()->Fill(nullptr, 0x336699);
  EXPECT_EQ(graphics::PresentFrame(), 0);
  EXPECT_EQ(graphics::FrontSurface()->Pixel(160, 120) & 0xFFFFFF, 0x336699u);
}

}  // namespace

namespace {

class PresentGeometryTest : public test_support::GraphicsFixture {};

TEST_F(PresentGeometryTest, AClientAreaPartlyOffTheDesktopShowsOnlyItsVisiblePart) {
  // Client area 50 pixels left of the desktop: source columns 50..319 go to screen 0..269, which
  // are columns 50..319 of the window; the hidden columns are not copied.
  runtime::GetWindowState().client = {-50, 0, 270, 240};
  for (int x = 0; x < 320; ++x) {
    const platform::SurfaceRect column{x, 0, x + 1, 240};
    graphics::BackSurface()->Fill(&column, static_cast<uint32_t>(x + 1));
  }
  graphics::FrontSurface()->Fill(nullptr, 0);
  ASSERT_EQ(graphics::PresentFrame(), 0);
  EXPECT_EQ(graphics::FrontSurface()->Pixel(49, 10) & 0xFFFFFF, 0u);
  EXPECT_EQ(graphics::FrontSurface()->Pixel(50, 10) & 0xFFFFFF, 51u);
  EXPECT_EQ(graphics::FrontSurface()->Pixel(319, 10) & 0xFFFFFF, 320u);
}

}  // namespace

namespace {

class AlphaAndReloadTest : public test_support::GraphicsFixture {};

TEST_F(AlphaAndReloadTest, APictureWithAlphaIsBlendedThroughItsAlphaPlane) {
  // Three pixels of the raw format: alpha 255, 0 and 128 over a grey background.
  std::string raw = "BGRA";
  raw += std::string("\x08\x08\x08\x08", 4);
  raw += std::string("\x03\x00\x00\x00\x01\x00\x00\x00", 8);
  raw += std::string("\x00\x00\xFF\xFF", 4);  // red, opaque
  raw += std::string("\x00\xFF\x00\x00", 4);  // green, fully transparent
  raw += std::string("\xFF\x00\x00\x80", 4);  // blue, half
  dir.WriteFile("alpha.bgra", raw);
  const int graph = graphics::LoadPicture("alpha.bgra");
  ASSERT_GT(graph, 0);
  EXPECT_TRUE(graphics::LookupGraphRecord(graph)->alpha_plane);
  graphics::BackSurface()->Fill(nullptr, 0x404040);
  graphics::PutGraph(10, 10, graph, 0);
  EXPECT_EQ(BackPixel(10, 10), 0xFF0000u);
  EXPECT_EQ(BackPixel(11, 10), 0x404040u);
  // Blue: 0x40 + ((0xFF - 0x40) × 128 >> 8) = 0x9F; red and green: 0x40 - (0x40 × 128 >> 8) = 0x20.
  EXPECT_EQ(BackPixel(12, 10), 0x20209Fu);
}

TEST_F(AlphaAndReloadTest, TheAlphaSumIsFormedOnTheWholeDestinationPixel) {
  // Red 0x20 at alpha 129 over 0x10FFFF: the lower fields' 0xFFFF carries into each field above.
  std::string raw = "BGRA";
  raw += std::string("\x08\x08\x08\x08", 4);
  raw += std::string("\x01\x00\x00\x00\x01\x00\x00\x00", 8);
  raw += std::string("\x00\x00\x20\x81", 4);
  dir.WriteFile("carry.bgra", raw);
  const int graph = graphics::LoadPicture("carry.bgra");
  ASSERT_GT(graph, 0);
  graphics::BackSurface()->Fill(nullptr, 0x10FFFF);
  graphics::PutGraph(5, 5, graph, 0);
  // Red 0x10FFFF + (0x10 × 129 >> 8 in the red field) gives 0x19, not the per-channel 0x18;
  // green takes the carry from blue (0x7F), blue is 0xFF - 129 = 0x7E.
  EXPECT_EQ(BackPixel(5, 5), 0x197F7Eu);
}

TEST_F(AlphaAndReloadTest, TheReloadStopsAtAFileThatIsGone) {
  WriteBmp("a.bmp", 4, 4, [](int, int) -> uint32_t { return 0x112233; });
  WriteBmp("b.bmp", 4, 4, [](int, int) -> uint32_t { return 0x445566; });
  const int a = graphics::LoadPicture("a.bmp");
  const int b = graphics::LoadPicture("b.bmp");
  std::remove(dir.Join("a.bmp").c_str());
  for (int handle : {a, b}) {
    graphics::BmpData* data =
        graphics::LookupBmpData(graphics::LookupGraphRecord(handle)->bmp_data[0]);
    data->surface->MarkLostForTesting();
    data->surface->Restore();
  }
  graphics::ReloadLostGraphs();
  EXPECT_NE(Log().find(SJIS("ファイル:a.bmp がロードできませんでした")), std::string::npos);
  // The walk stopped at a.bmp: b.bmp, after it, was not refilled.
  const graphics::BmpData* b_data =
      graphics::LookupBmpData(graphics::LookupGraphRecord(b)->bmp_data[0]);
  EXPECT_EQ(b_data->surface->Pixel(0, 0) & 0xFFFFFF, 0u);
}

}  // namespace

namespace {

class ScreenModeTest : public test_support::GraphicsFixture {};

TEST_F(ScreenModeTest, MinusTwoOnlyForAFallbackThatChangedTheMode) {
  EXPECT_EQ(graphics::RequestScreenMode(320, 240, 32, -1), 0);  // as requested
  runtime::ChangeWindowMode(0);
  ASSERT_EQ(graphics::RequestScreenMode(640, 480, 16, -1), 0);
  // A 24-bit mode is refused and the previous mode comes back: it has the fallback's shape, but
  // nothing changed, so this is a plain failure.
  EXPECT_EQ(graphics::RequestScreenMode(640, 480, 24, -1), -1);
  ASSERT_EQ(graphics::RequestScreenMode(320, 240, 16, -1), 0);
  EXPECT_EQ(graphics::RequestScreenMode(320, 240, 24, -1), -1);
  runtime::ChangeWindowMode(1);
}

}  // namespace
