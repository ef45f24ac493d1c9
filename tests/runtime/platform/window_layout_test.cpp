// The main window beyond its fixed size: where the picture sits at any window size, files dropped
// on the window, and a present that is skipped when nothing changed.
#include "runtime/platform/window_layout.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "runtime/platform/pixel_surface.h"
#include "runtime/platform/sdl_presenter.h"
#include "runtime/platform/sdl_window.h"

namespace {

using platform::PlacePicture;

TEST(WindowLayoutTest, ThePictureTakesTheLargestWholeFactorCentred) {
  const platform::PicturePlacement same = PlacePicture(320, 240, 320, 240);
  EXPECT_EQ(same.factor, 1);
  EXPECT_EQ(same.x, 0);
  EXPECT_EQ(same.y, 0);
  const platform::PicturePlacement three = PlacePicture(320, 240, 960, 720);
  EXPECT_EQ(three.factor, 3);
  EXPECT_EQ(three.width, 960);
  const platform::PicturePlacement screen = PlacePicture(320, 240, 1920, 1080);
  EXPECT_EQ(screen.factor, 4);  // 1280 x 960, centred
  EXPECT_EQ(screen.x, 320);
  EXPECT_EQ(screen.y, 60);
  const platform::PicturePlacement wide = PlacePicture(320, 240, 1000, 500);
  EXPECT_EQ(wide.factor, 2);
  EXPECT_EQ(wide.x, 180);
  EXPECT_EQ(wide.y, 10);
  // Smaller than the picture: shrunk to fit, its shape kept.
  const platform::PicturePlacement small = PlacePicture(320, 240, 160, 200);
  EXPECT_EQ(small.factor, 0);
  EXPECT_EQ(small.width, 160);
  EXPECT_EQ(small.height, 120);
  EXPECT_EQ(small.y, 40);
}

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::SdlWindow::InitVideo("RtLib"));
    ASSERT_TRUE(platform::SdlWindow::Create("test", 0, 0, 320, 240, true));
  }
  void TearDown() override {
    platform::SdlPresenter::Close();
    platform::SdlWindow::QuitVideo();
  }
};

TEST_F(WindowTest, FilesDroppedOnTheWindowAreTakenInOrder) {
  for (const char* path : {"/music/a.org", "/music/folder"}) {
    SDL_Event event{};
    event.type = SDL_DROPFILE;
    event.drop.file = SDL_strdup(path);
    ASSERT_EQ(SDL_PushEvent(&event), 1);
  }
  std::vector<platform::WindowMessage> messages;
  platform::SdlWindow::TranslateEvents(&messages);
  EXPECT_EQ(platform::SdlWindow::TakeDroppedFiles(),
            (std::vector<std::string>{"/music/a.org", "/music/folder"}));
  EXPECT_TRUE(platform::SdlWindow::TakeDroppedFiles().empty());
}

TEST_F(WindowTest, TheSamePictureIsNotPresentedAgainUnlessTheWindowNeedsIt) {
  ASSERT_TRUE(platform::SdlPresenter::Open(320, 240, 4));
  platform::PixelSurface picture(320, 240, 4);
  picture.Fill(nullptr, 0x123456);
  const uint64_t before = platform::SdlPresenter::PresentedCount();
  ASSERT_TRUE(platform::SdlPresenter::Present(picture, false));
  ASSERT_TRUE(platform::SdlPresenter::Present(picture, false));
  EXPECT_EQ(platform::SdlPresenter::PresentedCount(), before + 1);
  platform::MarkWindowDirty();  // exposed, say
  ASSERT_TRUE(platform::SdlPresenter::Present(picture, false));
  EXPECT_EQ(platform::SdlPresenter::PresentedCount(), before + 2);
  picture.SetPixel(10, 10, 0xFFFFFF);  // one pixel changed
  ASSERT_TRUE(platform::SdlPresenter::Present(picture, false));
  EXPECT_EQ(platform::SdlPresenter::PresentedCount(), before + 3);
}

}  // namespace
