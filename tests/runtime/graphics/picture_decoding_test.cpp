#include "runtime/graphics/picture_decoding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "test_support/bmp_writer.h"
#include "test_support/scratch_directory.h"

namespace {

namespace fs = std::filesystem;
using graphics::GraphImage;
using graphics::ImageArgb;

const std::string kPngSuite = SHARED_TESTDATA_DIR "/pngsuite";
const std::string kBmpSuite = SHARED_TESTDATA_DIR "/bmpsuite";

std::vector<uint8_t> Bytes(const std::string& path) {
  const std::string text = test_support::ReadWholeFile(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

int Decode(const std::string& path, GraphImage* image) {
  const std::vector<uint8_t> bytes = Bytes(path);
  return graphics::DecodePictureMemory(bytes.data(), bytes.size(), false, image);
}

// The public suites live beside the project (shared/testdata); a checkout without them skips.
#define REQUIRE_SUITE(folder) \
  if (!fs::exists(folder)) GTEST_SKIP() << "test suite not found: " << (folder)

std::vector<std::string> Files(const std::string& folder, const std::string& extension) {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == extension) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

TEST(PngSuiteTest, EveryGoodImageDecodesToItsReferencePixels) {
  REQUIRE_SUITE(kPngSuite);
  int compared = 0;
  for (const std::string& png : Files(kPngSuite, ".png")) {
    const std::string name = fs::path(png).stem().string();
    if (name[0] == 'x') continue;
    const std::string reference = test_support::ReadWholeFile(kPngSuite + "/" + name + ".rgba");
    GraphImage image;
    ASSERT_EQ(Decode(png, &image), 0) << name;
    ASSERT_EQ(reference.size(), static_cast<size_t>(image.width) * image.height * 4) << name;
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        const uint32_t argb = ImageArgb(image, x, y);
        const size_t at = (static_cast<size_t>(y) * image.width + x) * 4;
        const uint32_t expected =
            (static_cast<uint32_t>(static_cast<uint8_t>(reference[at + 3])) << 24) |
            (static_cast<uint32_t>(static_cast<uint8_t>(reference[at])) << 16) |
            (static_cast<uint32_t>(static_cast<uint8_t>(reference[at + 1])) << 8) |
            static_cast<uint8_t>(reference[at + 2]);
        ASSERT_EQ(argb, expected) << name << " at " << x << "," << y;
      }
    }
    ++compared;
  }
  EXPECT_GT(compared, 150);
}

TEST(PngSuiteTest, EveryCorruptImageIsRefused) {
  REQUIRE_SUITE(kPngSuite);
  int refused = 0;
  for (const std::string& png : Files(kPngSuite, ".png")) {
    if (fs::path(png).stem().string()[0] != 'x') continue;
    GraphImage image;
    EXPECT_EQ(Decode(png, &image), -1) << png;
    ++refused;
  }
  EXPECT_GT(refused, 10);
}

std::map<std::string, std::pair<int, int>> ReferenceSizes() {
  std::map<std::string, std::pair<int, int>> sizes;
  std::istringstream in(test_support::ReadWholeFile(kBmpSuite + "/ref/SIZES"));
  std::string name;
  int w = 0;
  int h = 0;
  while (in >> name >> w >> h) sizes[name] = {w, h};
  return sizes;
}

// Compares with the reference; bit-field and 16-bit pictures within 8 per channel.
void ExpectMatchesReference(const std::string& dir, const std::string& file,
                            const GraphImage& image, int tolerance) {
  const std::string reference = test_support::ReadWholeFile(
      kBmpSuite + "/ref/" + dir + "-" + fs::path(file).stem().string() + ".rgb");
  ASSERT_EQ(reference.size(), static_cast<size_t>(image.width) * image.height * 3) << file;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const uint32_t argb = ImageArgb(image, x, y);
      const size_t at = (static_cast<size_t>(y) * image.width + x) * 3;
      for (int c = 0; c < 3; ++c) {
        const int got = (argb >> (16 - 8 * c)) & 0xFF;
        const int want = static_cast<uint8_t>(reference[at + c]);
        ASSERT_LE(std::abs(got - want), tolerance)
            << file << " at " << x << "," << y << " channel " << c;
      }
    }
  }
}

bool Loose(const std::string& name) {
  return name.find("16") != std::string::npos || name.find("bf") != std::string::npos ||
         name.find("32") != std::string::npos;
}

TEST(BmpSuiteTest, EveryGoodFileDecodesToItsReferencePixels) {
  REQUIRE_SUITE(kBmpSuite);
  const auto sizes = ReferenceSizes();
  int compared = 0;
  for (const std::string& bmp : Files(kBmpSuite + "/g", ".bmp")) {
    const std::string name = fs::path(bmp).filename().string();
    GraphImage image;
    ASSERT_EQ(Decode(bmp, &image), 0) << name;
    const auto size = sizes.find("g/" + name);
    ASSERT_NE(size, sizes.end()) << name;
    EXPECT_EQ(image.width, size->second.first) << name;
    EXPECT_EQ(image.height, size->second.second) << name;
    EXPECT_EQ(image.layout.bits_per_pixel, 24);
    ExpectMatchesReference("g", name, image, Loose(name) ? 8 : 0);
    ++compared;
  }
  EXPECT_GE(compared, 25);
}

TEST(BmpSuiteTest, QuestionableFilesDecodeSanelyOrAreRefused) {
  REQUIRE_SUITE(kBmpSuite);
  const auto sizes = ReferenceSizes();
  for (const std::string& bmp : Files(kBmpSuite + "/q", ".bmp")) {
    GraphImage image;
    if (Decode(bmp, &image) != 0) continue;
    EXPECT_GT(image.width, 0);
    EXPECT_GT(image.height, 0);
    EXPECT_EQ(image.pixels.size(), static_cast<size_t>(image.pitch) * image.height);
  }
}

TEST(BmpSuiteTest, BadFilesAreRefusedOrDecodedWithinBounds) {
  REQUIRE_SUITE(kBmpSuite);
  for (const std::string& bmp : Files(kBmpSuite + "/b", ".bmp")) {
    GraphImage image;
    if (Decode(bmp, &image) == 0) {
      EXPECT_LE(image.width, graphics::kMaxPictureSide) << bmp;
      EXPECT_EQ(image.pixels.size(), static_cast<size_t>(image.pitch) * image.height) << bmp;
    }
  }
}

// A 24-bit BMP of w × h, bottom-up unless `top_down`: blue 10 x, green 100 + y, red 7.
std::vector<uint8_t> Bmp24(int w, int h, bool top_down) {
  return test_support::MakeBmp24(w, h, top_down, [](int x, int y) -> uint32_t {
    return 0x070000u | (static_cast<uint32_t>(100 + y) << 8) | static_cast<uint32_t>(10 * x);
  });
}

TEST(PictureDecodingTest, RowsComeOutTopDownWhicheverWayTheyAreStored) {
  for (bool top_down : {false, true}) {
    const std::vector<uint8_t> bytes = Bmp24(3, 2, top_down);
    GraphImage image;
    ASSERT_EQ(graphics::DecodePictureMemory(bytes.data(), bytes.size(), false, &image), 0);
    EXPECT_EQ(image.pitch, 12);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(ImageArgb(image, 2, 1), 0xFF076514u);  // red 7, green 100 + 1, blue 20
  }
}

TEST(PictureDecodingTest, TruncatedAndOversizedPicturesAreRefused) {
  std::vector<uint8_t> bytes = Bmp24(3, 2, false);
  bytes.resize(60);  // the headers and a little of the rows
  GraphImage image;
  EXPECT_EQ(graphics::DecodePictureMemory(bytes.data(), bytes.size(), false, &image), -1);
  bytes = Bmp24(1, 1, false);
  bytes[18] = 0x21;  // width 16417: above the 16384 limit
  bytes[19] = 0x40;
  EXPECT_EQ(graphics::DecodePictureMemory(bytes.data(), bytes.size(), false, &image), -1);
  // A raw picture claiming more pixels than it holds.
  std::vector<uint8_t> bgra = {'B', 'G', 'R', 'A',  8, 8, 8, 8, 0, 0x10,
                               0,   0,   0,   0x10, 0, 0, 1, 2, 3, 4};
  EXPECT_EQ(graphics::DecodePictureMemory(bgra.data(), bgra.size(), false, &image), -1);
}

TEST(PictureDecodingTest, TheRawFormatKeepsBlueGreenRedAlphaAndTheHighByte) {
  std::vector<uint8_t> eight = {'B', 'G', 'R', 'A', 8, 8, 8, 8, 1, 0, 0, 0, 1, 0, 0, 0, 1, 2, 3, 4};
  GraphImage image;
  ASSERT_EQ(graphics::DecodePictureMemory(eight.data(), eight.size(), false, &image), 0);
  EXPECT_EQ(ImageArgb(image, 0, 0), 0x04030201u);
  std::vector<uint8_t> sixteen = {'B',  'G',  'R',  'A',  16,   16,   16,   16,
                                  1,    0,    0,    0,    1,    0,    0,    0,
                                  0xFF, 0x11, 0xFF, 0x22, 0xFF, 0x33, 0xFF, 0x44};
  ASSERT_EQ(graphics::DecodePictureMemory(sixteen.data(), sixteen.size(), false, &image), 0);
  EXPECT_EQ(ImageArgb(image, 0, 0), 0x44332211u);
}

TEST(PictureDecodingTest, MirroringReversesEveryRow) {
  std::vector<uint8_t> raw = {'B', 'G', 'R', 'A', 8, 8, 8, 8, 4, 0, 0, 0, 1, 0, 0, 0};
  for (uint8_t p : {'A', 'B', 'C', 'D'}) raw.insert(raw.end(), {p, p, p, 255});
  GraphImage image;
  ASSERT_EQ(graphics::DecodePictureMemory(raw.data(), raw.size(), true, &image), 0);
  EXPECT_EQ(ImageArgb(image, 0, 0) & 0xFF, 'D');
  EXPECT_EQ(ImageArgb(image, 3, 0) & 0xFF, 'A');
}

TEST(PictureDecodingTest, FilesAreRecognisedByContentWithTheirCompanionAlpha) {
  REQUIRE_SUITE(kPngSuite);
  test_support::ScratchDirectory dir;
  test_support::CurrentDirectoryScope here(dir.path());
  const std::string png = test_support::ReadWholeFile(kPngSuite + "/basn2c08.png");
  const std::vector<uint8_t> bmp = Bmp24(4, 4, false);
  dir.WriteFile("system/x.bmp", png);
  dir.WriteFile("system/y.png", std::string(bmp.begin(), bmp.end()));
  dir.WriteFile("system/y_a.png", std::string(bmp.begin(), bmp.end()));
  GraphImage picture;
  GraphImage alpha;
  EXPECT_EQ(graphics::DecodePictureFile("system\\x.bmp", false, &picture, &alpha), 1);
  EXPECT_EQ(picture.width, 32);
  EXPECT_EQ(graphics::DecodePictureFile("system\\y.png", false, &picture, &alpha), 0);
  EXPECT_EQ(alpha.width, 4);
  EXPECT_EQ(graphics::DecodePictureFile("system\\none.png", false, &picture, &alpha), -1);
  EXPECT_EQ(graphics::CompanionAlphaName("system\\jukebg.png"), "system\\jukebg_a.png");
  // The first dot may be in the folder part: the "_a" goes there.
  EXPECT_EQ(graphics::CompanionAlphaName(".\\system\\x.png"), "_a.\\system\\x.png");
  EXPECT_EQ(graphics::CompanionAlphaName("noext"), "noext_a");
}

}  // namespace
