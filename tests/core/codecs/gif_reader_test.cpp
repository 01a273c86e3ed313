// The GIF reader on files giflib writes here: the first frame on its logical screen.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include "base/error.h"
#include "core/codecs/codec_test_support.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

using test::decodeAs;

extern "C" int appendOutput(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

struct Frame {
  int left = 0, top = 0, width = 2, height = 2;
  bool interlace = false;
  int transparent = -1;
  std::vector<GifColorType> localColours;
  std::vector<uint8_t> pixels;  // row by row, top first
};

// A GIF with a 4-colour global table (black, red, green, blue) and the frames given.
std::vector<uint8_t> makeGif(int screenWidth, int screenHeight, int background, const std::vector<Frame>& frames) {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, appendOutput, &error);
  EXPECT_NE(gif, nullptr);
  GifColorType global[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  ColorMapObject* map = GifMakeMapObject(4, global);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, screenWidth, screenHeight, 2, background, map);
  for (const Frame& f : frames) {
    if (f.transparent >= 0) {
      GraphicsControlBlock gcb{};
      gcb.TransparentColor = f.transparent;
      GifByteType ext[4];
      size_t n = EGifGCBToExtension(&gcb, ext);
      EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
    }
    ColorMapObject* local = nullptr;
    if (!f.localColours.empty()) local = GifMakeMapObject(static_cast<int>(f.localColours.size()), f.localColours.data());
    EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlace, local);
    // Interlaced frames are written in pass order.
    std::vector<int> order;
    if (f.interlace) {
      for (int y = 0; y < f.height; y += 8) order.push_back(y);
      for (int y = 4; y < f.height; y += 8) order.push_back(y);
      for (int y = 2; y < f.height; y += 4) order.push_back(y);
      for (int y = 1; y < f.height; y += 2) order.push_back(y);
    } else {
      for (int y = 0; y < f.height; ++y) order.push_back(y);
    }
    std::vector<uint8_t> pixels = f.pixels;
    for (int y : order) EGifPutLine(gif, &pixels[static_cast<size_t>(y) * f.width], f.width);
    if (local) GifFreeMapObject(local);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

TEST(GifReader, FirstFrameIsPlacedOnTheScreenOverTheBackground) {
  Frame first;
  first.left = 1, first.top = 1;
  first.pixels = {1, 2, 3, 1};
  Frame second;
  second.pixels = {3, 3, 3, 3};
  auto img = decodeAs("gif", makeGif(4, 3, 2, {first, second}));
  EXPECT_EQ(img.kind, DecodedKind::kGif);
  ASSERT_EQ(img.bitmap.width(), 4);
  ASSERT_EQ(img.bitmap.height(), 3);
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{0, 255, 0}));  // background index 2
  EXPECT_EQ(img.bitmap.pixel(1, 1), (Bgr{0, 0, 255}));
  EXPECT_EQ(img.bitmap.pixel(2, 1), (Bgr{0, 255, 0}));
  EXPECT_EQ(img.bitmap.pixel(1, 2), (Bgr{255, 0, 0}));
  EXPECT_EQ(img.bitmap.pixel(3, 2), (Bgr{0, 255, 0}));
  EXPECT_FALSE(img.bitmap.transparent());
}

TEST(GifReader, TransparentIndexBecomesTheMarkAndFillsTheScreen) {
  Frame f;
  f.width = 1, f.height = 1, f.transparent = 3;
  f.pixels = {1};
  auto img = decodeAs("gif", makeGif(2, 1, 0, {f}));
  ASSERT_TRUE(img.bitmap.transparent());
  EXPECT_EQ(img.bitmap.transparentColor(), (Bgr{255, 0, 0}));
  EXPECT_EQ(img.bitmap.pixel(1, 0), (Bgr{255, 0, 0}));  // outside the frame: the transparent colour
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{0, 0, 255}));
}

TEST(GifReader, InterlacedFrameWithLocalPalette) {
  Frame f;
  f.width = 1, f.height = 10, f.interlace = true;
  for (int y = 0; y < 10; ++y) f.pixels.push_back(static_cast<uint8_t>(y % 2));
  f.localColours = {{9, 9, 9}, {200, 100, 50}};
  auto img = decodeAs("gif", makeGif(1, 10, 0, {f}));
  for (int y = 0; y < 10; ++y)
    EXPECT_EQ(img.bitmap.pixel(0, y), y % 2 ? (Bgr{50, 100, 200}) : (Bgr{9, 9, 9})) << y;
}

TEST(GifReader, FrameOutsideTheScreenIsClipped) {
  Frame f;
  f.left = 3, f.top = 0, f.width = 2, f.height = 1;
  f.pixels = {1, 1};
  auto img = decodeAs("gif", makeGif(4, 1, 0, {f}));
  EXPECT_EQ(img.bitmap.pixel(3, 0), (Bgr{0, 0, 255}));
  EXPECT_EQ(img.bitmap.pixel(2, 0), (Bgr{0, 0, 0}));
}

TEST(GifReader, DamagedFilesFail) {
  Frame f;
  f.pixels = {1, 2, 3, 1};
  std::vector<uint8_t> gif = makeGif(2, 2, 0, {f});
  EXPECT_THROW(decodeAs("gif", std::vector<uint8_t>(gif.begin(), gif.begin() + 30)), Error);
  EXPECT_THROW(decodeAs("gif", std::vector<uint8_t>{'G', 'I', 'F'}), Error);
  std::vector<uint8_t> noFrame = makeGif(2, 2, 0, {});
  EXPECT_THROW(decodeAs("gif", noFrame), Error);
  std::vector<uint8_t> zero = gif;
  zero[6] = zero[7] = 0;  // screen width 0
  EXPECT_THROW(decodeAs("gif", zero), Error);
}

}  // namespace
}  // namespace brevane::codecs
