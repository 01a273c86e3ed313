// The JPEG reader on files libjpeg writes here: grey, colour, CMYK with and without the Adobe
// marker, damaged and oversized files.
#include <cstdio>

#include <jpeglib.h>
#include <gtest/gtest.h>

#include "base/error.h"
#include "core/codecs/codec_test_support.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

using test::bgraAt;
using test::decodeAs;

// A flat image of one sample tuple, written at quality 100.
std::vector<uint8_t> flatJpeg(int width, int height, J_COLOR_SPACE space, std::vector<uint8_t> tuple,
                              bool adobeMarker = true) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = static_cast<int>(tuple.size());
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 100, TRUE);
  if (space == JCS_CMYK) {
    jpeg_set_colorspace(&cinfo, JCS_CMYK);
    cinfo.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
  }
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row;
  for (int x = 0; x < width; ++x) row.insert(row.end(), tuple.begin(), tuple.end());
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return bytes;
}

void expectNear(Bgr got, Bgr want) {
  EXPECT_NEAR(got.b, want.b, 2);
  EXPECT_NEAR(got.g, want.g, 2);
  EXPECT_NEAR(got.r, want.r, 2);
}

TEST(JpegReader, OneComponentGivesEightBitGrey) {
  auto img = decodeAs("jpg", flatJpeg(9, 5, JCS_GRAYSCALE, {77}));
  EXPECT_EQ(img.kind, DecodedKind::kJpeg);
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 8);
  EXPECT_EQ(img.bitmap.width(), 9);
  EXPECT_EQ(img.bitmap.height(), 5);
  expectNear(img.bitmap.pixel(4, 2), {77, 77, 77});
}

TEST(JpegReader, ThreeComponentsGiveBlueGreenRed) {
  auto img = decodeAs("jpeg", flatJpeg(16, 16, JCS_RGB, {200, 100, 50}));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 24);
  expectNear(img.bitmap.pixel(7, 7), {50, 100, 200});
}

TEST(JpegReader, FourComponentsGive32BitsInvertedWhenAdobe) {
  // With the Adobe marker the stored values are inverted inks: 255 means no ink.
  auto adobe = decodeAs("jpg", flatJpeg(8, 8, JCS_CMYK, {255, 0, 255, 255}, true));
  ASSERT_EQ(adobe.bitmap.bitsPerPixel(), 32);
  test::Bgra p = bgraAt(adobe.bitmap, 3, 3);
  EXPECT_NEAR(p.r, 255, 2);
  EXPECT_NEAR(p.g, 0, 2);
  EXPECT_NEAR(p.b, 255, 2);
  EXPECT_EQ(p.a, 255);
  // Without it they are plain ink amounts.
  auto plain = decodeAs("jpg", flatJpeg(8, 8, JCS_CMYK, {0, 255, 0, 0}, false));
  p = bgraAt(plain.bitmap, 3, 3);
  EXPECT_NEAR(p.r, 255, 2);
  EXPECT_NEAR(p.g, 0, 2);
  EXPECT_NEAR(p.b, 255, 2);
}

TEST(JpegReader, DamagedFilesFailWithTheCodecsNumber) {
  std::vector<uint8_t> good = flatJpeg(16, 16, JCS_RGB, {1, 2, 3});
  for (size_t cut : {size_t{0}, size_t{1}, size_t{2}, size_t{20}}) {
    try {
      decodeAs("jpg", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(cut)));
      ADD_FAILURE() << "no error at " << cut;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("JPEG error #", 0), 0u) << e.what();
    }
  }
  // Cut inside the entropy-coded data: the rows that are missing are filled, as common
  // decoders do.
  auto partial = decodeAs("jpg", std::vector<uint8_t>(good.begin(), good.end() - 6));
  EXPECT_EQ(partial.bitmap.width(), 16);
}

TEST(JpegReader, DeclaredSizeAboveTheLimitIsRefused) {
  std::vector<uint8_t> bytes = flatJpeg(8, 8, JCS_GRAYSCALE, {0});
  // Find SOF0 and declare 65000 x 65000.
  for (size_t i = 0; i + 8 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
      bytes[i + 5] = bytes[i + 7] = 0xFD;
      bytes[i + 6] = bytes[i + 8] = 0xE8;
      break;
    }
  try {
    decodeAs("jpg", bytes);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace brevane::codecs
