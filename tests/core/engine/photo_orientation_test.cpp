// Auto_rotate: all eight orientations of JPEG Exif, PNG eXIf and the TIFF tag against Pillow's
// exif_transpose, and what the carried Exif block says afterwards.
#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

#include "codecs/registry.h"
#include "core/codecs/reference_decoders.h"
#include "core/exif/exif_test_support.h"
#include "engine/photo_steps.h"
#include "imaging/orientation.h"
#include "photo_test_support.h"

namespace brevane {
namespace {

struct OrientationCase {
  const char* kind;  // the source's format as photo_fixtures.py makes it
  int orientation;
  bool autoRotate;
};

std::string caseName(const ::testing::TestParamInfo<OrientationCase>& info) {
  return std::string(info.param.kind) + "_" + std::to_string(info.param.orientation) +
         (info.param.autoRotate ? "_turned" : "_off");
}

class Orientation : public ::testing::TestWithParam<OrientationCase> {};

// The output (PNG, lossless) against Pillow: upright with Auto_rotate on. Off, the pixels stay as
// stored, except that libtiff's reader turns the TIFF orientations 2-4 itself, as before.
TEST_P(Orientation, MatchesPillow) {
  BREVANE_REQUIRE_PIL();
  const OrientationCase& c = GetParam();
  std::string dir = test::makeTempDir("orient");
  std::string src = dir + "src." + c.kind;
  ASSERT_TRUE(test::photoFixture(std::string("oriented ") + c.kind + " " + std::to_string(c.orientation) + " " +
                                 test::shellQuote(src)));
  const bool tiff = std::string(c.kind) == "tiff";
  bool upright = c.autoRotate || (tiff && c.orientation <= 4);
  std::string ref = dir + "ref.pam";
  // Pillow turns a TIFF's pixels as it loads them: its reference is the stored pattern, turned
  // (or not) by exif_transpose with the same tag.
  if (tiff) {
    ASSERT_TRUE(
        test::photoFixture("pattern " + std::to_string(upright ? c.orientation : 1) + " " + test::shellQuote(ref)));
  } else if (upright) {
    ASSERT_TRUE(test::photoFixture("upright " + test::shellQuote(src) + " " + test::shellQuote(ref)));
  }
  std::optional<test::Rgba> reference = upright || tiff ? test::readPam(ref) : test::pilDecode(src);
  ASSERT_TRUE(reference);

  TConversionSettings s = test::photoSettings();
  s.Auto_rotate = c.autoRotate;
  test::Converted out = test::convertOne(src, dir + "out.PNG", "PNG", s);
  EXPECT_TRUE(out.lines.empty()) << out.lines.front();
  test::PngRead png = test::readPng(out.bytes);
  // A JPEG source is decoded by the same libjpeg-turbo in both; the others are lossless.
  EXPECT_TRUE(test::closePixels(test::toRgba(png.image), *reference, 0, false));
}

std::vector<OrientationCase> allCases() {
  std::vector<OrientationCase> cases;
  for (const char* kind : {"jpeg", "png", "tiff"})
    for (int o = 1; o <= 8; ++o) cases.push_back({kind, o, true});
  for (const char* kind : {"jpeg", "tiff"})
    for (int o : {3, 6}) cases.push_back({kind, o, false});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Photos, Orientation, ::testing::ValuesIn(allCases()), caseName);

// Layouts the pixel turn keeps: palette indexes (1-bit spread to 8), a fixed transparent colour
// and the alpha mode; an alpha plane turns with its image.
TEST(OrientBitmap, KeepsPaletteMarkAndAlphaMode) {
  Bitmap one(3, 2, 1);
  one.palette() = {PaletteEntry{0, 0, 0, 0}, PaletteEntry{255, 255, 255, 0}};
  one.scanLine(0)[0] = 0b10000000;  // (0, 0) white
  one.scanLine(1)[0] = 0b00100000;  // (2, 1) white
  one.setTransparentColor({255, 255, 255});
  Bitmap turned = imaging::orientBitmap(one, 6);  // a quarter turn clockwise: 2 x 3
  ASSERT_EQ(turned.bitsPerPixel(), 8);
  EXPECT_EQ(turned.width(), 2);
  EXPECT_EQ(turned.height(), 3);
  EXPECT_EQ(turned.palette(), one.palette());
  EXPECT_TRUE(turned.transparent() && !turned.transparentAuto());
  EXPECT_EQ(turned.pixel(1, 0), (Bgr{255, 255, 255}));  // the old top-left is now top-right
  EXPECT_EQ(turned.pixel(0, 2), (Bgr{255, 255, 255}));  // the old bottom-right is now bottom-left
  EXPECT_EQ(turned.pixel(0, 0), (Bgr{0, 0, 0}));

  WorkingImage w;
  w.image = test::patternImage(5, 3, 32);
  w.image.setAlphaMode(AlphaMode::kStraight);
  w.alpha = test::patternImage(5, 3, 24, 9);
  w.hasAlpha = true;
  Bitmap expectedAlpha = imaging::orientBitmap(w.alpha, 8);
  PhotoOptions photo;
  photo.autoRotate = true;
  turnUpright(w, 8, photo);
  EXPECT_EQ(w.turnedBy, 8);
  EXPECT_EQ(w.image.width(), 3);
  EXPECT_EQ(w.image.alphaMode(), AlphaMode::kStraight);
  EXPECT_TRUE(test::samePixels(w.alpha, expectedAlpha));
}

// The carried block of a turned photo: orientation 1, the pixel sizes of the turned image, the
// thumbnail turned too (or dropped when it is a placeholder that cannot be read).
TEST(Orientation, CarriedExifSaysUprightWithTurnedSizesAndThumbnail) {
  BREVANE_REQUIRE_TESTDATA();
  std::string dir = test::makeTempDir("orientexif");
  TConversionSettings s = test::photoSettings();
  s.Auto_rotate = true;

  std::string canon = test::testdata("exif/exiv2/exiv2-canon-eos-300d.jpg");  // orientation 6, 150 x 91
  exif::SourceExif before = exif::readSourceExif(canon);
  std::optional<std::vector<uint8_t>> thumbBefore = exif::jpegThumbnail(before);
  ASSERT_TRUE(thumbBefore);
  codecs::DecodedImage small = codecs::decodeBytes("t.jpg", *thumbBefore);

  test::Converted out = test::convertOne(canon, dir + "canon.JPG", "JPG", s);
  ASSERT_TRUE(out.lines.empty()) << out.lines.front();
  Exiv2::ExifData ed = test::decodeOutputExif(out.bytes);
  EXPECT_EQ(ed["Exif.Image.Orientation"].toLong(), 1);
  auto frame = exif::frameSize(exif::walkJpegHeader(out.bytes));
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->width, 91);
  EXPECT_EQ(frame->height, 150);
  if (ed.findKey(Exiv2::ExifKey("Exif.Photo.PixelXDimension")) != ed.end()) {
    EXPECT_EQ(ed["Exif.Photo.PixelXDimension"].toLong(), 91);
    EXPECT_EQ(ed["Exif.Photo.PixelYDimension"].toLong(), 150);
  }
  Exiv2::DataBuf thumb = Exiv2::ExifThumbC(ed).copy();
  ASSERT_GT(thumb.size_, 0);
  codecs::DecodedImage turned = codecs::decodeBytes("t.jpg", std::span<const uint8_t>(thumb.pData_, thumb.size_));
  EXPECT_EQ(turned.bitmap.width(), small.bitmap.height());
  EXPECT_EQ(turned.bitmap.height(), small.bitmap.width());

  // Orientation 8 with a 28-byte placeholder for a thumbnail: the placeholder goes.
  test::Converted pentax = test::convertOne(test::testdata("exif/exiftool/Pentax.jpg"), dir + "pentax.JPG", "JPG", s);
  ASSERT_TRUE(pentax.lines.empty()) << pentax.lines.front();
  Exiv2::ExifData pd = test::decodeOutputExif(pentax.bytes);
  EXPECT_EQ(pd["Exif.Image.Orientation"].toLong(), 1);
  EXPECT_EQ(Exiv2::ExifThumbC(pd).copy().size_, 0);
  EXPECT_EQ(pd.findKey(Exiv2::ExifKey("Exif.Image.Make"))->toString().rfind("PENTAX Corporation", 0), 0u);
}

TEST(Orientation, ThumbnailTurnRefusesLargeOrBrokenThumbnails) {
  std::vector<uint8_t> big = test::makeJpeg(kMaxThumbnailSide + 1, 8);
  EXPECT_FALSE(turnThumbnail(big, 6));
  EXPECT_FALSE(turnThumbnail(std::vector<uint8_t>(28, 0), 6));
  std::optional<std::vector<uint8_t>> ok = turnThumbnail(test::makeJpeg(64, 48), 6);
  ASSERT_TRUE(ok);
  EXPECT_EQ(exif::frameSize(exif::walkJpegHeader(*ok))->width, 48);
}

}  // namespace
}  // namespace brevane
