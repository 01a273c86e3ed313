// The JPEG header walk and the Exif splice on streams made with libjpeg.
#include "exif/jpeg_segments.h"

#include <gtest/gtest.h>

#include "core/exif/exif_test_support.h"

namespace brevane::exif {
namespace {

using test::findBytes;
using test::makeJpeg;
using test::segmentBytes;

const std::vector<uint8_t> kTiffA = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const std::vector<uint8_t> kTiffB = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0};

std::vector<uint8_t> without(std::vector<uint8_t> bytes, const std::vector<uint8_t>& part) {
  size_t at = findBytes(bytes, part);
  EXPECT_NE(at, std::string::npos);
  if (at != std::string::npos) bytes.erase(bytes.begin() + at, bytes.begin() + at + part.size());
  return bytes;
}

TEST(JpegSplice, RebuildsSoiApp0NewApp1ThenTheRestWithoutFirstExifAndXmp) {
  std::vector<uint8_t> exifA = test::exifPayload(kTiffA), exifB = test::exifPayload(kTiffB);
  std::vector<uint8_t> xmp1 = test::xmpPayload("<x:one/>"), xmp2 = test::xmpPayload("<x:two/>");
  std::vector<uint8_t> notExif = {'E', 'x', 'i', 'f', 0, 0, 'X', 'X', 0, 0};  // no TIFF header
  std::vector<uint8_t> second0 = {'J', 'F', 'X', 'X', 0, 0x10};               // a second APP0
  std::vector<uint8_t> app13 = {'P', 'h', 'o', 't', 'o'};
  std::vector<uint8_t> comment = {'h', 'i'};
  std::vector<uint8_t> jpeg = makeJpeg(16, 8,
                                       {{JPEG_APP0 + 1, notExif},
                                        {JPEG_APP0 + 1, xmp1},
                                        {JPEG_APP0 + 1, exifA},
                                        {JPEG_APP0, second0},
                                        {JPEG_APP0 + 13, app13},
                                        {JPEG_APP0 + 1, exifB},
                                        {JPEG_APP0 + 1, xmp2},
                                        {JPEG_COM, comment}});
  ASSERT_FALSE(jpeg.empty());
  ASSERT_EQ(jpeg[2], 0xFF);
  ASSERT_EQ(jpeg[3], 0xE0);  // libjpeg's JFIF header
  size_t jfifLength = (jpeg[4] << 8) | jpeg[5];
  std::vector<uint8_t> jfif(jpeg.begin() + 2, jpeg.begin() + 4 + jfifLength);

  JpegHeader header = walkJpegHeader(jpeg);
  EXPECT_TRUE(header.reachedScan);
  auto tiff = findExifTiff(header);
  ASSERT_TRUE(tiff);
  EXPECT_EQ(std::vector<uint8_t>(tiff->begin(), tiff->end()), kTiffA);

  std::vector<uint8_t> newTiff = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 2, 3};
  std::vector<uint8_t> out = spliceExif(jpeg, header, newTiff);

  // Expected: SOI, both APP0 in order, the new APP1, then the original stream after SOI with
  // the APP0s, the first Exif APP1 and the first XMP APP1 taken out.
  std::vector<uint8_t> app0b = segmentBytes(JPEG_APP0, second0);
  std::vector<uint8_t> rest(jpeg.begin() + 2, jpeg.end());
  rest = without(rest, jfif);
  rest = without(rest, app0b);
  rest = without(rest, segmentBytes(JPEG_APP0 + 1, exifA));
  rest = without(rest, segmentBytes(JPEG_APP0 + 1, xmp1));
  std::vector<uint8_t> expected = {0xFF, 0xD8};
  expected.insert(expected.end(), jfif.begin(), jfif.end());
  expected.insert(expected.end(), app0b.begin(), app0b.end());
  std::vector<uint8_t> app1 = segmentBytes(JPEG_APP0 + 1, test::exifPayload(newTiff));
  expected.insert(expected.end(), app1.begin(), app1.end());
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(out, expected);
  EXPECT_TRUE(test::decodesAsJpeg(out));

  // The second Exif block, the second XMP packet and the look-alike stay where they were.
  EXPECT_NE(findBytes(out, segmentBytes(JPEG_APP0 + 1, exifB)), std::string::npos);
  EXPECT_NE(findBytes(out, segmentBytes(JPEG_APP0 + 1, xmp2)), std::string::npos);
  EXPECT_NE(findBytes(out, segmentBytes(JPEG_APP0 + 1, notExif)), std::string::npos);
}

TEST(JpegSplice, EmptyTiffWritesNoApp1) {
  std::vector<uint8_t> jpeg = makeJpeg(8, 8);
  std::vector<uint8_t> out = spliceExif(jpeg, walkJpegHeader(jpeg), {});
  EXPECT_EQ(out, jpeg);
}

TEST(JpegSplice, FrameSizeComesFromTheStartOfFrame) {
  std::vector<uint8_t> jpeg = makeJpeg(300, 17);
  auto frame = frameSize(walkJpegHeader(jpeg));
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->width, 300);
  EXPECT_EQ(frame->height, 17);
}

// Damaged headers end the walk without reading past the data: every truncation of a stream
// with several segments, a length that runs past the end, a length below 2, garbage instead of
// a marker, fill bytes.
TEST(JpegSplice, DamagedHeadersEndTheWalkSafely) {
  std::vector<uint8_t> jpeg = makeJpeg(8, 8, {{JPEG_APP0 + 1, test::exifPayload(kTiffA)}, {JPEG_COM, {'x'}}});
  for (size_t n = 2; n <= jpeg.size(); ++n) {
    std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + n);
    JpegHeader h = walkJpegHeader(cut);
    ASSERT_LE(h.restOffset, cut.size());
    for (const JpegSegment& s : h.segments) ASSERT_LE(s.end, h.restOffset);
    std::vector<uint8_t> out = spliceExif(cut, h, kTiffB);
    ASSERT_GE(out.size(), 2u);
  }
  std::vector<std::vector<uint8_t>> odd = {
      {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 1, 2},              // length past the end
      {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01, 1, 2},              // length below 2
      {0xFF, 0xD8, 0x12, 0x34},                                // no marker
      {0xFF, 0xD8, 0xFF, 0xFF, 0xFF},                          // fill bytes only
      {0xFF, 0xD8, 0xFF, 0xFF, 0xFE, 0x00, 0x02, 0xFF, 0xDA},  // fill before a comment, then SOS
  };
  for (const auto& data : odd) {
    JpegHeader h = walkJpegHeader(data);
    EXPECT_LE(h.restOffset, data.size());
    EXPECT_FALSE(findExifTiff(h));
  }
  JpegHeader filled = walkJpegHeader(odd.back());
  ASSERT_EQ(filled.segments.size(), 1u);
  EXPECT_EQ(filled.segments[0].marker, 0xFE);
  EXPECT_TRUE(filled.reachedScan);
}

// Stray bytes between segments (a damaged writer's leftovers) are skipped like libjpeg does,
// so an Exif block behind them is still found, and a splice keeps them.
TEST(JpegSplice, StrayBytesBeforeAMarkerAreSkippedAndKept) {
  std::vector<uint8_t> jpeg = makeJpeg(8, 8, {{JPEG_COM, {'c'}}});
  std::vector<uint8_t> stray = {0x12, 0x34, 0x00};
  std::vector<uint8_t> exif = segmentBytes(JPEG_APP0 + 1, test::exifPayload(kTiffB));
  size_t at = findBytes(jpeg, segmentBytes(JPEG_COM, {'c'}));
  ASSERT_NE(at, std::string::npos);
  // Stray bytes, the Exif block, stray bytes, the comment.
  jpeg = test::concat({std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + at), stray, exif, stray,
                       std::vector<uint8_t>(jpeg.begin() + at, jpeg.end())});
  JpegHeader h = walkJpegHeader(jpeg);
  ASSERT_TRUE(findExifTiff(h));
  EXPECT_TRUE(h.reachedScan);
  EXPECT_TRUE(frameSize(h));
  std::vector<uint8_t> out = spliceExif(jpeg, h, kTiffA);
  // The comment keeps the stray bytes before it; those before the Exif block went with it.
  EXPECT_NE(findBytes(out, {0x12, 0x34, 0x00, 0xFF, 0xFE}), std::string::npos);
  EXPECT_EQ(findBytes(out, {0x12, 0x34, 0x00, 0xFF, 0xE1}), std::string::npos);
  EXPECT_EQ(findBytes(out, exif), std::string::npos);
}

TEST(JpegSplice, ExifBlocksAfterTheImageDataAreNotTheSourceBlock) {
  std::vector<uint8_t> jpeg = makeJpeg(8, 8);
  std::vector<uint8_t> tail = segmentBytes(JPEG_APP0 + 1, test::exifPayload(kTiffA));
  // Before EOI, after the scan.
  jpeg = test::concat({std::vector<uint8_t>(jpeg.begin(), jpeg.end() - 2), tail, {0xFF, 0xD9}});
  EXPECT_FALSE(findExifTiff(walkJpegHeader(jpeg)));
}

}  // namespace
}  // namespace brevane::exif
