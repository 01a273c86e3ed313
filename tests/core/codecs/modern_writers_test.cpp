// WebP, AVIF and JPEG XL writers, read back by each format's own decoder: lossless files hold
// the working image's pixels exactly, lossy ones stay above a PSNR floor, alpha comes from the
// alpha plane, and exiftool finds the Exif block in each container.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "codecs/encoders.h"
#include "core/codecs/modern_tools.h"
#include "core/codecs/reference_decoders.h"
#include "core/exif/exif_test_support.h"
#include "exif/exif.h"
#include "support/test_support.h"

namespace brevane {
namespace {

using Encode = std::function<std::vector<uint8_t>(const Bitmap&, const Bitmap*, int quality, bool lossless,
                                                  std::span<const uint8_t> exif)>;

struct WriterFormat {
  const char* ext;
  const char* decoder;  // {in} to PNG {out}
  Encode encode;
  int defaultQuality;
  double psnrFloor;     // at the default quality on the photo-like test image
  int alphaTolerance;   // lossy mode: WebP and AVIF keep alpha losslessly, JPEG XL codes it at the image's distance
};

std::vector<uint8_t> webp(const Bitmap& i, const Bitmap* a, int q, bool lossless, std::span<const uint8_t> exif) {
  return codecs::encodeWebp(i, a, {q, lossless}, exif);
}
std::vector<uint8_t> avif(const Bitmap& i, const Bitmap* a, int q, bool, std::span<const uint8_t> exif) {
  return codecs::encodeAvif(i, a, {q, 8}, exif);
}
std::vector<uint8_t> jxl(const Bitmap& i, const Bitmap* a, int q, bool lossless, std::span<const uint8_t> exif) {
  return codecs::encodeJxl(i, a, {q, lossless}, exif);
}

const WriterFormat kWebpOut{"webp", "dwebp -quiet {in} -o {out}", webp, 80, 33.0, 0};
const WriterFormat kAvifOut{"avif", "avifdec {in} {out}", avif, 60, 33.0, 0};
const WriterFormat kJxlOut{"jxl", "djxl {in} {out}", jxl, 80, 33.0, 16};

std::string formatName(const ::testing::TestParamInfo<WriterFormat>& info) { return info.param.ext; }
void PrintTo(const WriterFormat& f, std::ostream* os) { *os << f.ext; }

class ModernWriter : public ::testing::TestWithParam<WriterFormat> {
 protected:
  void SetUp() override {
    std::string d = GetParam().decoder;
    BREVANE_REQUIRE_TOOL(d.substr(0, d.find(' ')));
  }
  Bitmap readBack(const std::vector<uint8_t>& file) { return test::toolDecode(GetParam().decoder, file, GetParam().ext); }
};

// The working image as the pipeline hands it over: 24 bits, or 32 bits over transparent white
// with the alpha in the alpha plane.
Bitmap working32(const Bitmap& image) {
  Bitmap w = image;
  w.convertTo32();
  return w;
}

class ModernLosslessWriter : public ModernWriter {};

TEST_P(ModernLosslessWriter, LosslessKeepsEveryPixel) {
  const WriterFormat& f = GetParam();
  for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 3}, std::pair{45, 31}, std::pair{300, 7}}) {
    Bitmap img = test::patternImage(w, h, 24, 11);
    EXPECT_TRUE(test::samePixels(readBack(f.encode(img, nullptr, 50, true, {})), img)) << w << "x" << h;
    Bitmap alpha = test::alphaPattern(w, h);
    Bitmap back = readBack(f.encode(working32(img), &alpha, 50, true, {}));
    ASSERT_EQ(back.bitsPerPixel(), 32) << w << "x" << h;
    // Colours of fully transparent pixels are kept as well.
    EXPECT_TRUE(test::samePixels(back, test::withAlphaPlane(img, alpha))) << w << "x" << h;
  }
  // Palette and 16-bit layouts are written through their colours.
  Bitmap grey(9, 5, 8);
  grey.setGreyPalette();
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 9; ++x) grey.scanLine(y)[x] = static_cast<uint8_t>(x * 29 + y);
  Bitmap expected = grey;
  expected.convertTo24();
  EXPECT_TRUE(test::samePixels(readBack(f.encode(grey, nullptr, 50, true, {})), expected));
}

TEST_P(ModernWriter, LossyStaysAboveItsFloorAndFollowsQuality) {
  const WriterFormat& f = GetParam();
  Bitmap img = test::photoLike(256, 160, 6);
  std::vector<uint8_t> normal = f.encode(img, nullptr, f.defaultQuality, false, {});
  std::vector<uint8_t> high = f.encode(img, nullptr, 95, false, {});
  std::vector<uint8_t> low = f.encode(img, nullptr, 10, false, {});
  Bitmap back = readBack(normal);
  ASSERT_EQ(back.bitsPerPixel(), 24);
  const double atDefault = test::psnr(back, img), atHigh = test::psnr(readBack(high), img),
               atLow = test::psnr(readBack(low), img);
  EXPECT_GT(atDefault, f.psnrFloor);
  EXPECT_GT(atHigh, atDefault);
  EXPECT_LT(atLow, atDefault);
  EXPECT_LT(low.size(), normal.size());
  EXPECT_LT(normal.size(), high.size());
  EXPECT_LT(normal.size(), img.byteSize() / 4);
}

TEST_P(ModernWriter, LossyKeepsTheAlphaPlane) {
  const WriterFormat& f = GetParam();
  Bitmap img = working32(test::photoLike(64, 48, 3));
  Bitmap alpha = test::alphaPattern(64, 48);
  Bitmap back = readBack(f.encode(img, &alpha, f.defaultQuality, false, {}));
  ASSERT_EQ(back.bitsPerPixel(), 32);
  int worst = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) worst = std::max(worst, std::abs(back.scanLine(y)[4 * x + 3] - alpha.scanLine(y)[3 * x + 2]));
  EXPECT_LE(worst, f.alphaTolerance);
  // Opaque areas keep their colours within the lossy bounds.
  EXPECT_GT(test::psnr(back.copyRect(0, 0, 20, 48), img.copyRect(0, 0, 20, 48)), 28.0);
}

TEST_P(ModernWriter, ExifGoesIntoTheContainer) {
  BREVANE_REQUIRE_TOOL("exiftool");
  const WriterFormat& f = GetParam();
  Exiv2::ExifData camera;
  camera["Exif.Image.Make"] = "Maker";
  camera["Exif.Image.Model"] = "Model 7";
  camera["Exif.Photo.PixelXDimension"] = uint32_t(4000);
  camera["Exif.Photo.PixelYDimension"] = uint32_t(3000);
  exif::SourceExif source{true, test::encodeTiff(camera, Exiv2::bigEndian)};
  LocalDateTime now{2024, 5, 6, 7, 8, 9, 0};
  std::vector<uint8_t> block = exif::exifBlock(source, now, 40, 30);
  std::vector<uint8_t> file = f.encode(test::photoLike(40, 30), nullptr, f.defaultQuality, false, block);
  EXPECT_EQ(test::exiftoolTag(file, f.ext, "Make"), "Maker");
  EXPECT_EQ(test::exiftoolTag(file, f.ext, "Model"), "Model 7");
  EXPECT_EQ(test::exiftoolTag(file, f.ext, "Software"), exif::softwareValue());
  EXPECT_EQ(test::exiftoolTag(file, f.ext, "ModifyDate"), "2024:05:06 07:08:09");
  EXPECT_EQ(test::exiftoolTag(file, f.ext, "ExifImageWidth"), "40");
  EXPECT_EQ(test::exiftoolTag(file, f.ext, "ExifImageHeight"), "30");
  // The file still decodes, and without a block there is no Exif at all.
  EXPECT_EQ(readBack(file).width(), 40);
  std::vector<uint8_t> plain = f.encode(test::photoLike(40, 30), nullptr, f.defaultQuality, false, {});
  EXPECT_EQ(test::exiftoolTag(plain, f.ext, "Software"), "");
}

INSTANTIATE_TEST_SUITE_P(Formats, ModernWriter, ::testing::Values(kWebpOut, kAvifOut, kJxlOut), formatName);
INSTANTIATE_TEST_SUITE_P(Formats, ModernLosslessWriter, ::testing::Values(kWebpOut, kJxlOut), formatName);

TEST(ModernWriterLimits, QualityMapsOntoEachLibrarysScale) {
  EXPECT_EQ(codecs::avifQuantizer(100), 0);
  EXPECT_EQ(codecs::avifQuantizer(60), 25);
  EXPECT_EQ(codecs::avifQuantizer(1), 62);
  EXPECT_EQ(codecs::avifQuantizer(-5), 62);
  EXPECT_EQ(codecs::avifQuantizer(500), 0);
  EXPECT_FLOAT_EQ(codecs::jxlDistance(90), 1.0f);
  EXPECT_FLOAT_EQ(codecs::jxlDistance(80), 1.9f);
  EXPECT_FLOAT_EQ(codecs::jxlDistance(100), 0.1f);
  EXPECT_GT(codecs::jxlDistance(29), codecs::jxlDistance(30));
  EXPECT_FLOAT_EQ(codecs::jxlDistance(1), 25.0f);
}

TEST(ModernWriterLimits, WebpRefusesSidesBeyondItsFormat) {
  try {
    codecs::encodeWebp(Bitmap(16384, 1, 24), nullptr, {});
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "WebP image encoding failed (at most 16383 pixels a side)");
  }
}

}  // namespace
}  // namespace brevane
