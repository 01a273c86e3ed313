// The extra-format readers on the real files of the shared corpus, pixel for pixel against
// ImageMagick's (or, where it reads a file differently or not at all, PIL's) decoding of it.
#include <gtest/gtest.h>

#include "core/codecs/extras_test_support.h"
#include "codecs/registry.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

struct ReferenceCase {
  const char* file;   // under the corpus
  int tolerance;      // per channel, 0-255
  bool alpha = true;  // compare alpha too
  bool pil = false;   // PIL is the reference (ImageMagick reads this file otherwise)
};

void PrintTo(const ReferenceCase& c, std::ostream* os) {
  *os << c.file;
}

class ExtrasCorpusReference : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(ExtrasCorpusReference, MatchesImageMagick) {
  BREVANE_REQUIRE_TESTDATA();
  const ReferenceCase& c = GetParam();
  if (c.pil)
    BREVANE_REQUIRE_PIL();
  else
    BREVANE_REQUIRE_PROGRAM("convert");
  std::string path = test::testdata(c.file);
  DecodedImage ours = loadImage(path);
  ASSERT_EQ(ours.kind, DecodedKind::kBitmap);
  std::optional<test::Rgba> reference = c.pil ? test::pilDecode(path) : test::imageMagickDecode(path);
  ASSERT_TRUE(reference) << "the reference decoder failed on " << path;
  EXPECT_TRUE(test::closePixels(test::toRgba(ours.bitmap), *reference, c.tolerance, c.alpha));
}

INSTANTIATE_TEST_SUITE_P(
    Extras, ExtrasCorpusReference,
    ::testing::Values(ReferenceCase{"pcx/odd_stride.pcx", 0}, ReferenceCase{"pcx/p_4_planes.pcx", 0},
                      ReferenceCase{"pcx/pil184.pcx", 0, true, true}, ReferenceCase{"pcx/exiftool/PCX.pcx", 0},
                      ReferenceCase{"sgi/hopper.bw", 0}, ReferenceCase{"sgi/hopper.rgb", 0},
                      ReferenceCase{"sgi/hopper.sgi", 0}, ReferenceCase{"sgi/hopper16.rgb", 1},
                      ReferenceCase{"sgi/transparent.sgi", 0}, ReferenceCase{"psd/hopper.psd", 0},
                      ReferenceCase{"psd/hopper_merged.psd", 0}, ReferenceCase{"psd/rgba.psd", 0},
                      ReferenceCase{"psd/negative_layer_count.psd", 0}, ReferenceCase{"psd/five_channels.psd", 0},
                      ReferenceCase{"psd/exiftool/Photoshop.psd", 0}, ReferenceCase{"psd/exiv2/exiv2-photoshop.psd", 0},
                      ReferenceCase{"psd/oiio/psd_123.psd", 1}, ReferenceCase{"psd/oiio/psd_bitmap.psd", 0},
                      ReferenceCase{"psd/oiio/psd_indexed_trans.psd", 0, false, true},
                      ReferenceCase{"psd/oiio/psd_rgb_16.psd", 1}, ReferenceCase{"pnm/16_bit_binary.pgm", 1},
                      ReferenceCase{"pnm/hopper.ppm", 0}, ReferenceCase{"pnm/hopper_16bit.pgm", 1},
                      ReferenceCase{"pnm/hopper_16bit_plain.pgm", 1}, ReferenceCase{"pnm/hopper_1bit.pbm", 0},
                      ReferenceCase{"pnm/hopper_1bit_plain.pbm", 0}, ReferenceCase{"pnm/hopper_8bit.pgm", 0},
                      ReferenceCase{"pnm/hopper_8bit_plain.pgm", 0}, ReferenceCase{"pnm/hopper_8bit_plain.ppm", 0},
                      ReferenceCase{"pnm/exiftool/PPM.ppm", 0}));

}  // namespace
}  // namespace brevane::codecs
