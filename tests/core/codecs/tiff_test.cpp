// The TIFF reader on files libtiff writes here: both reading paths, depths, alpha, CMYK.
#include <tiffio.h>
#include <gtest/gtest.h>

#include <cstring>

#include "base/error.h"
#include "core/codecs/codec_test_support.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

using test::bgraAt;
using test::decodeAs;

struct TiffSpec {
  uint32_t width = 2, height = 1;
  uint16_t samples = 3, bits = 8, photometric = PHOTOMETRIC_RGB, planar = PLANARCONFIG_CONTIG;
  uint16_t format = SAMPLEFORMAT_UINT;
  int extra = -1;  // EXTRASAMPLE_* of one extra sample
  std::vector<uint8_t> data;  // the whole image in storage order (planes one after another)
};

std::vector<uint8_t> makeTiff(const TiffSpec& s) {
  std::string path = brevane::test::makeTempDir("tiff") + "t.tif";
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  EXPECT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.height);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.samples);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.bits);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, s.planar);
  TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, s.format);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, s.height);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  if (s.photometric == PHOTOMETRIC_SEPARATED) TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
  if (s.extra >= 0) {
    uint16_t types[1] = {static_cast<uint16_t>(s.extra)};
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, types);
  }
  int planes = s.planar == PLANARCONFIG_SEPARATE ? s.samples : 1;
  size_t planeBytes = s.data.size() / static_cast<size_t>(planes);
  for (int p = 0; p < planes; ++p) {
    std::vector<uint8_t> plane(s.data.begin() + static_cast<long>(p * planeBytes),
                               s.data.begin() + static_cast<long>((p + 1) * planeBytes));
    TIFFWriteEncodedStrip(tif, static_cast<uint32_t>(p), plane.data(), static_cast<tmsize_t>(plane.size()));
  }
  TIFFClose(tif);
  return brevane::test::readBytes(path);
}

template <typename T>
std::vector<uint8_t> bytesOf(std::initializer_list<T> values) {
  std::vector<uint8_t> out(values.size() * sizeof(T));
  std::memcpy(out.data(), values.begin(), out.size());
  return out;
}

TEST(TiffReader, EightBitRgbReadsExactly) {
  TiffSpec s;
  s.data = {10, 20, 30, 40, 50, 60};
  auto img = decodeAs("tif", makeTiff(s));
  EXPECT_EQ(img.kind, DecodedKind::kBitmap);
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 24);
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{30, 20, 10}));
  EXPECT_EQ(img.bitmap.pixel(1, 0), (Bgr{60, 50, 40}));
}

TEST(TiffReader, DeepGreyIsScaledToEightBits) {
  TiffSpec s;
  s.samples = 1, s.photometric = PHOTOMETRIC_MINISBLACK, s.bits = 12, s.width = 2;
  s.data = {0xFF, 0xF8, 0x00};  // 4095, 2048, packed most significant bit first
  auto img = decodeAs("tif", makeTiff(s));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 8);
  EXPECT_EQ(img.bitmap.pixel(0, 0).r, 255);
  EXPECT_EQ(img.bitmap.pixel(1, 0).r, 128);
}

TEST(TiffReader, SignedAndFloatingPointGrey) {
  TiffSpec s;
  s.samples = 1, s.photometric = PHOTOMETRIC_MINISBLACK, s.bits = 16, s.format = SAMPLEFORMAT_INT, s.width = 2;
  s.data = bytesOf<int16_t>({-32768, 32767});
  auto img = decodeAs("tif", makeTiff(s));
  EXPECT_EQ(img.bitmap.pixel(0, 0).r, 0);
  EXPECT_EQ(img.bitmap.pixel(1, 0).r, 255);
  // Floating-point samples outside 0..1 are stretched over their range.
  s.bits = 32, s.format = SAMPLEFORMAT_IEEEFP, s.width = 3;
  s.data = bytesOf<float>({-10.0f, 0.0f, 10.0f});
  img = decodeAs("tif", makeTiff(s));
  EXPECT_EQ(img.bitmap.pixel(0, 0).r, 0);
  EXPECT_EQ(img.bitmap.pixel(1, 0).r, 128);
  EXPECT_EQ(img.bitmap.pixel(2, 0).r, 255);
}

TEST(TiffReader, UnassociatedAlphaStaysStraight) {
  TiffSpec s;
  s.samples = 4, s.bits = 16, s.width = 1, s.extra = EXTRASAMPLE_UNASSALPHA;
  s.data = bytesOf<uint16_t>({65535, 0, 32896, 257});
  auto img = decodeAs("tif", makeTiff(s));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 32);
  EXPECT_EQ(img.bitmap.alphaMode(), AlphaMode::kStraight);
  EXPECT_EQ(bgraAt(img.bitmap, 0, 0), (test::Bgra{128, 0, 255, 1}));
}

TEST(TiffReader, AssociatedAlphaIsMarkedPremultiplied) {
  TiffSpec s;
  s.samples = 4, s.width = 1, s.extra = EXTRASAMPLE_ASSOCALPHA;
  s.data = {50, 25, 0, 100};
  auto img = decodeAs("tif", makeTiff(s));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 32);
  EXPECT_EQ(img.bitmap.alphaMode(), AlphaMode::kPremultiplied);
  EXPECT_EQ(bgraAt(img.bitmap, 0, 0), (test::Bgra{0, 25, 50, 100}));
}

TEST(TiffReader, CmykAtEightAndSixteenBits) {
  TiffSpec s;
  s.samples = 4, s.photometric = PHOTOMETRIC_SEPARATED, s.width = 1;
  s.data = {0, 255, 0, 0};  // magenta ink
  auto img = decodeAs("tif", makeTiff(s));
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{255, 0, 255}));
  s.bits = 16, s.planar = PLANARCONFIG_SEPARATE;
  s.data = bytesOf<uint16_t>({0, 0, 65535, 0});  // yellow ink, one plane per ink
  img = decodeAs("tif", makeTiff(s));
  EXPECT_EQ(img.bitmap.pixel(0, 0), (Bgr{0, 255, 255}));
}

TEST(TiffReader, DamagedFilesFail) {
  TiffSpec s;
  std::vector<uint8_t> good = makeTiff(s);
  auto expectInvalid = [](const std::vector<uint8_t>& bytes) {
    try {
      decodeAs("tiff", bytes);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("TIFF image is not valid", 0), 0u) << e.what();
    }
  };
  expectInvalid({});
  expectInvalid({'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F});  // first directory beyond the end
  expectInvalid(std::vector<uint8_t>(good.begin(), good.begin() + 12));
  TiffSpec huge;
  huge.width = 100000, huge.height = 100000;
  huge.data.assign(3, 0);  // the strip holds almost nothing
  EXPECT_THROW(decodeAs("tiff", makeTiff(huge)), Error);
}

}  // namespace
}  // namespace brevane::codecs
