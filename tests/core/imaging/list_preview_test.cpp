// The list preview's rules: the fit into the box, the caption, the messages instead of a
// picture, and the fallback load.
#include "imaging/list_preview.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "codecs/encoders.h"
#include "support/test_support.h"

namespace brevane::imaging {
namespace {

struct FitCase {
  int w, h, bw, bh, fw, fh;
};
class PreviewFit : public ::testing::TestWithParam<FitCase> {};

TEST_P(PreviewFit, ShrinksOnlyKeepingProportionsTruncated) {
  const FitCase& c = GetParam();
  EXPECT_EQ(fitPreview(c.w, c.h, c.bw, c.bh), (Size{c.fw, c.fh}));
}
INSTANTIATE_TEST_SUITE_P(Cases, PreviewFit,
                         ::testing::Values(FitCase{4000, 3000, 488, 215, 286, 215},  // landscape, height binds
                                           FitCase{4000, 1000, 488, 215, 488, 122},  // landscape, width binds
                                           FitCase{3000, 4000, 488, 215, 161, 215},  // portrait
                                           FitCase{300, 4000, 100, 215, 16, 215},    // tall and narrow
                                           FitCase{1000, 1000, 488, 215, 215, 215},  // square: by the height
                                           FitCase{100, 80, 488, 215, 100, 80},      // smaller: its own size
                                           FitCase{488, 215, 488, 215, 488, 215},    // exactly the box
                                           FitCase{0, 5000, 488, 215, 488, 215}));   // unreadable side: the box

TEST(PreviewCaption, NameCutAtFiftyCharactersNeverInsideALetter) {
  EXPECT_EQ(previewCaption("/photos/photo.jpg", 4000, 3000), "photo.jpg - 4000x3000 ");
  std::string sixty(56, 'n');
  EXPECT_EQ(previewCaption("/p/" + sixty + ".jpg", 10, 20), std::string(50, 'n') + "... - 10x20 ");
  std::string fifty(46, 'n');
  EXPECT_EQ(previewCaption("/p/" + fifty + ".jpg", 1, 1), fifty + ".jpg - 1x1 ");  // exactly 50: whole
  // Cyrillic letters are two bytes each: the cut counts letters.
  std::string word;
  for (int i = 0; i < 56; ++i) word += "ж";
  std::string cut;
  for (int i = 0; i < 50; ++i) cut += "ж";
  EXPECT_EQ(previewCaption("/p/" + word + ".png", 3, 4), cut + "... - 3x4 ");
}

TEST(PreviewMessage, SmallMissingAndRawFilesGetTheirMessage) {
  std::string dir = test::makeTempDir("prev");
  test::writeBytes(dir + "tiny.png", std::vector<uint8_t>(40, 1));
  test::writeBytes(dir + "edge.png", std::vector<uint8_t>(49, 1));
  test::writeBytes(dir + "camera.nef", std::vector<uint8_t>(5000, 1));
  test::writeBytes(dir + "small.nef", std::vector<uint8_t>(40, 1));
  test::writeBytes(dir + "photo.png", std::vector<uint8_t>(50, 1));
  EXPECT_EQ(previewMessage(dir + "tiny.png"), kPreviewErrorMessage);
  EXPECT_EQ(previewMessage(dir + "edge.png"), kPreviewErrorMessage);
  EXPECT_EQ(previewMessage(dir + "camera.nef"), kPreviewRawMessage);
  EXPECT_EQ(previewMessage(dir + "small.nef"), kPreviewErrorMessage);  // too small comes first
  EXPECT_EQ(previewMessage(dir + "missing.png"), kPreviewErrorMessage);
  EXPECT_EQ(previewMessage(dir + "photo.png"), "");  // to be decoded
}

TEST(PreviewFallback, RegistryLoadScaledIntoTheBoxOrItsError) {
  std::string dir = test::makeTempDir("prev");
  test::writeBytes(dir + "wide.tga", codecs::encodeTga(test::patternImage(400, 100), nullptr));
  FallbackPreview p = loadFallbackPreview(dir + "wide.tga", 200, 200);
  EXPECT_EQ(p.sourceWidth, 400);
  EXPECT_EQ(p.sourceHeight, 100);
  EXPECT_EQ(p.bitmap.width(), 200);
  EXPECT_EQ(p.bitmap.height(), 50);
  test::writeBytes(dir + "bad.tga", std::vector<uint8_t>(100, 0xff));
  EXPECT_THROW(loadFallbackPreview(dir + "bad.tga", 200, 200), Error);
}

}  // namespace
}  // namespace brevane::imaging
