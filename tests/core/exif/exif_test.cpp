// Exif carry-over on synthetic blocks, the source read and the Exif date.
#include "exif/exif.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "core/exif/exif_test_support.h"
#include "support/test_support.h"

namespace brevane::exif {
namespace {

using test::makeJpeg;

const LocalDateTime kNow{2024, 2, 29, 13, 4, 5, 7};

std::string text(const Exiv2::ExifData& ed, const char* key) {
  auto it = ed.findKey(Exiv2::ExifKey(key));
  return it == ed.end() ? "<absent>" : it->toString();
}

std::vector<uint8_t> thumbnailOf(const Exiv2::ExifData& ed) {
  Exiv2::DataBuf buf = Exiv2::ExifThumbC(ed).copy();
  return std::vector<uint8_t>(buf.pData_, buf.pData_ + buf.size_);
}

// A camera-like block: IFD0, Exif, GPS and IFD1 with a JPEG thumbnail, filler tags in IFD0 and
// the Exif directory.
Exiv2::ExifData cameraExif(const std::vector<uint8_t>& thumb, bool shortDimensions = true) {
  Exiv2::ExifData ed;
  ed["Exif.Image.Make"] = "Maker";
  ed["Exif.Image.Model"] = "Model 1";
  ed["Exif.Image.Orientation"] = uint16_t(6);
  ed["Exif.Image.Software"] = "Firmware 1.0";
  ed["Exif.Image.DateTime"] = "2001:02:03 04:05:06";
  ed["Exif.Photo.DateTimeOriginal"] = "2001:02:03 04:05:06";
  ed["Exif.Photo.SubSecTime"] = "42";
  ed["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
  if (shortDimensions) {
    ed["Exif.Photo.PixelXDimension"] = uint16_t(4000);
    ed["Exif.Photo.PixelYDimension"] = uint16_t(3000);
  } else {
    ed["Exif.Photo.PixelXDimension"] = uint32_t(4000);
  }
  ed["Exif.GPSInfo.GPSLatitudeRef"] = "N";
  ed["Exif.GPSInfo.GPSLatitude"] = "48/1 51/1 24/1";
  std::vector<uint8_t> filler(64, 0);
  filler[0] = 0x1C;
  filler[1] = 0xEA;
  Exiv2::DataValue fillerValue(filler.data(), static_cast<long>(filler.size()));
  ed.add(Exiv2::ExifKey(0xEA1C, "Image"), &fillerValue);
  ed.add(Exiv2::ExifKey(0xEA1C, "Photo"), &fillerValue);
  if (!thumb.empty()) Exiv2::ExifThumb(ed).setJpegThumbnail(thumb.data(), static_cast<long>(thumb.size()));
  return ed;
}

TEST(ExifCarryOver, CameraBlockKeepsItsTagsAndGetsSoftwareDateSubSecAndSize) {
  std::vector<uint8_t> thumb = makeJpeg(16, 12);
  for (auto order : {Exiv2::bigEndian, Exiv2::littleEndian}) {
    SCOPED_TRACE(order == Exiv2::bigEndian ? "big-endian" : "little-endian");
    SourceExif source{true, test::encodeTiff(cameraExif(thumb), order)};
    std::vector<uint8_t> jpeg = makeJpeg(200, 150);
    std::vector<uint8_t> out = carryOver(jpeg, source, kNow);
    int w = 0, h = 0;
    ASSERT_TRUE(test::decodesAsJpeg(out, &w, &h));
    EXPECT_EQ(w, 200);

    Exiv2::ByteOrder read = Exiv2::invalidByteOrder;
    Exiv2::ExifData ed = test::decodeOutputExif(out, &read);
    EXPECT_EQ(read, order);
    EXPECT_EQ(text(ed, "Exif.Image.Software"), "Brevane v" BREVANE_VERSION_STRING);
    EXPECT_EQ(text(ed, "Exif.Image.DateTime"), "2024:02:29 13:04:05");
    EXPECT_EQ(text(ed, "Exif.Photo.SubSecTime"), "007");
    EXPECT_EQ(text(ed, "Exif.Photo.PixelXDimension"), "200");
    EXPECT_EQ(text(ed, "Exif.Photo.PixelYDimension"), "150");
    EXPECT_EQ(ed.findKey(Exiv2::ExifKey("Exif.Photo.PixelXDimension"))->typeId(), Exiv2::unsignedShort);
    EXPECT_EQ(text(ed, "Exif.Image.Make"), "Maker");
    EXPECT_EQ(text(ed, "Exif.Image.Model"), "Model 1");
    EXPECT_EQ(text(ed, "Exif.Image.Orientation"), "6");
    EXPECT_EQ(text(ed, "Exif.Photo.DateTimeOriginal"), "2001:02:03 04:05:06");
    EXPECT_EQ(text(ed, "Exif.Photo.ExposureTime"), "1/250");
    EXPECT_EQ(text(ed, "Exif.GPSInfo.GPSLatitude"), "48/1 51/1 24/1");
    EXPECT_EQ(thumbnailOf(ed), thumb);
    for (const auto& d : ed) EXPECT_NE(d.tag(), 0xEA1C) << d.key();
  }
}

TEST(ExifCarryOver, DimensionsAreSetTogetherWhenEitherExists) {
  SourceExif source{true, test::encodeTiff(cameraExif({}, false), Exiv2::littleEndian)};
  Exiv2::ExifData ed = test::decodeOutputExif(carryOver(makeJpeg(33, 21), source, kNow));
  EXPECT_EQ(text(ed, "Exif.Photo.PixelXDimension"), "33");
  EXPECT_EQ(text(ed, "Exif.Photo.PixelYDimension"), "21");
}

TEST(ExifCarryOver, SubSecondAndDimensionsAreNotCreated) {
  Exiv2::ExifData src;
  src["Exif.Image.Make"] = "Maker";
  src["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 60);
  SourceExif source{true, test::encodeTiff(src, Exiv2::bigEndian)};
  Exiv2::ExifData ed = test::decodeOutputExif(carryOver(makeJpeg(8, 8), source, kNow));
  EXPECT_EQ(text(ed, "Exif.Photo.SubSecTime"), "<absent>");
  EXPECT_EQ(text(ed, "Exif.Photo.PixelXDimension"), "<absent>");
  EXPECT_EQ(text(ed, "Exif.Image.Make"), "Maker");
}

// A source without Exif (a PNG, a JPEG without a block): exactly the two tags, little-endian.
TEST(ExifCarryOver, NoSourceBlockGivesSoftwareAndDateTimeOnly) {
  std::vector<uint8_t> out = carryOver(makeJpeg(10, 10), SourceExif{}, kNow);
  ASSERT_TRUE(test::decodesAsJpeg(out));
  // SOI, the JFIF APP0, then the new APP1.
  size_t app0Length = (out[4] << 8) | out[5];
  ASSERT_EQ(out[3], 0xE0);
  ASSERT_EQ(out[4 + app0Length], 0xFF);
  ASSERT_EQ(out[5 + app0Length], 0xE1);
  EXPECT_EQ(out[14 + app0Length], 'I');
  Exiv2::ByteOrder read = Exiv2::invalidByteOrder;
  Exiv2::ExifData ed = test::decodeOutputExif(out, &read);
  EXPECT_EQ(read, Exiv2::littleEndian);
  ASSERT_EQ(ed.count(), 2);
  EXPECT_EQ(text(ed, "Exif.Image.Software"), softwareValue());
  EXPECT_EQ(text(ed, "Exif.Image.DateTime"), "2024:02:29 13:04:05");
}

TEST(ExifCarryOver, SoftwareValueHasTheFourPartVersion) {
  std::string v = softwareValue();
  ASSERT_EQ(v.rfind("Brevane v", 0), 0u);
  int parts = 1;
  for (char c : v.substr(9)) {
    if (c == '.')
      ++parts;
    else
      EXPECT_TRUE(c >= '0' && c <= '9') << v;
  }
  EXPECT_EQ(parts, 4) << v;
}

TEST(ExifCarryOver, OutputThatIsNotAJpegFails) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  try {
    carryOver(png, SourceExif{}, kNow);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "JPEG header is not valid");
  }
}

// A block too large for one APP1 loses its thumbnail first; one that still does not fit fails.
TEST(ExifCarryOver, OversizedBlocksDropTheThumbnailThenFail) {
  std::vector<uint8_t> bigThumb(40000, 0x55);
  bigThumb[0] = 0xFF, bigThumb[1] = 0xD8;
  Exiv2::ExifData src = cameraExif(bigThumb);
  src["Exif.Image.ImageDescription"] = std::string(30000, 'd');
  SourceExif source{true, test::encodeTiffUnlimited(src, Exiv2::littleEndian)};
  ASSERT_GT(source.tiff.size(), 65527u);
  std::vector<uint8_t> out = carryOver(makeJpeg(8, 8), source, kNow);
  Exiv2::ExifData ed = test::decodeOutputExif(out);
  EXPECT_TRUE(thumbnailOf(ed).empty());
  EXPECT_EQ(text(ed, "Exif.Image.ImageDescription").size(), 30000u);
  EXPECT_EQ(text(ed, "Exif.Image.Make"), "Maker");

  src["Exif.Image.ImageDescription"] = std::string(70000, 'd');
  SourceExif huge{true, test::encodeTiffUnlimited(src, Exiv2::littleEndian)};
  EXPECT_THROW(carryOver(makeJpeg(8, 8), huge, kNow), Error);
}

// Damaged TIFF structures behind a valid header: the carry-over either writes a decodable
// JPEG or fails with an Error, never anything else.
TEST(ExifCarryOver, DamagedSourceBlocksFailCleanly) {
  std::vector<uint8_t> good = test::encodeTiff(cameraExif(makeJpeg(8, 8)), Exiv2::bigEndian);
  std::vector<uint8_t> jpeg = makeJpeg(8, 8);
  uint32_t seed = 12345;
  for (int round = 0; round < 60; ++round) {
    std::vector<uint8_t> bad = good;
    if (round % 3 == 0) bad.resize(8 + (round * 37) % (good.size() - 8));
    for (int k = 0; k < 8; ++k) {
      seed = seed * 1103515245 + 12345;
      size_t at = 4 + (seed >> 8) % (bad.size() - 4);
      bad[at] = static_cast<uint8_t>(seed >> 24);
    }
    try {
      std::vector<uint8_t> out = carryOver(jpeg, SourceExif{true, bad}, kNow);
      EXPECT_TRUE(test::decodesAsJpeg(out)) << "round " << round;
    } catch (const Error&) {
    }
  }
}

class SourceFiles : public ::testing::Test {
 protected:
  std::string dir = test::makeTempDir("exif");
  std::string withExif(const std::string& name, const Exiv2::ExifData& ed) {
    std::string path = dir + name;
    test::writeBytes(path,
                     makeJpeg(8, 8, {{JPEG_APP0 + 1, test::exifPayload(test::encodeTiff(ed, Exiv2::bigEndian))}}));
    return path;
  }
};

TEST_F(SourceFiles, ReadSourceExifByExtension) {
  Exiv2::ExifData ed;
  ed["Exif.Image.Make"] = "M";
  for (const char* name : {"a.jpg", "b.JPEG", "c.Jfif"}) {
    SourceExif s = readSourceExif(withExif(name, ed));
    EXPECT_TRUE(s.present) << name;
    ASSERT_GE(s.tiff.size(), 8u);
    EXPECT_EQ(s.tiff[0], 'M');
  }
  // Any other extension is not read, whatever the content.
  EXPECT_FALSE(readSourceExif(withExif("d.png", ed)).present);
  EXPECT_FALSE(readSourceExif(dir + "missing.png").present);

  test::writeBytes(dir + "plain.jpg", makeJpeg(8, 8));
  EXPECT_FALSE(readSourceExif(dir + "plain.jpg").present);
  test::writeBytes(dir + "fake.jpg", {0x89, 'P', 'N', 'G', 1, 2, 3});
  try {
    readSourceExif(dir + "fake.jpg");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "JPEG header is not valid");
  }
  EXPECT_THROW(readSourceExif(dir + "missing.jpg"), Error);
}

// A header larger than the first read: the Exif block sits behind 1.5 MiB of other segments.
TEST_F(SourceFiles, ReadSourceExifBehindLargeSegments) {
  std::vector<test::Marker> markers;
  for (int i = 0; i < 24; ++i) markers.push_back({JPEG_APP0 + 2, std::vector<uint8_t>(65000, uint8_t(i))});
  Exiv2::ExifData ed;
  ed["Exif.Image.Make"] = "Far";
  markers.push_back({JPEG_APP0 + 1, test::exifPayload(test::encodeTiff(ed, Exiv2::littleEndian))});
  test::writeBytes(dir + "far.jpg", makeJpeg(8, 8, markers));
  SourceExif s = readSourceExif(dir + "far.jpg");
  ASSERT_TRUE(s.present);
  EXPECT_EQ(s.tiff[0], 'I');
}

struct DateCase {
  const char* name;
  const char* dateTime;  // nullptr: tag absent
  const char* subSec;    // nullptr: tag absent
  bool expectDate;
  LocalDateTime expected;
};

class ExifDateCases : public SourceFiles, public ::testing::WithParamInterface<DateCase> {};

TEST_P(ExifDateCases, Reads) {
  const DateCase& c = GetParam();
  Exiv2::ExifData ed;
  ed["Exif.Image.Make"] = "M";
  if (c.dateTime) ed["Exif.Image.DateTime"] = std::string(c.dateTime);
  if (c.subSec) ed["Exif.Photo.SubSecTime"] = std::string(c.subSec);
  ExifDate d = readExifDate(withExif("s.jpg", ed));
  if (!c.expectDate) {
    EXPECT_EQ(d.kind, ExifDate::Kind::kNone);
    return;
  }
  ASSERT_EQ(d.kind, ExifDate::Kind::kDate);
  const LocalDateTime& v = d.value;
  const LocalDateTime& e = c.expected;
  EXPECT_EQ(std::vector<int>({v.year, v.month, v.day, v.hour, v.minute, v.second, v.millisecond}),
            std::vector<int>({e.year, e.month, e.day, e.hour, e.minute, e.second, e.millisecond}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, ExifDateCases,
    ::testing::Values(DateCase{"plain", "2021:03:04 05:06:07", nullptr, true, {2021, 3, 4, 5, 6, 7, 0}},
                      DateCase{"subsec_one_digit", "2021:03:04 05:06:07", "5", true, {2021, 3, 4, 5, 6, 7, 500}},
                      DateCase{"subsec_long", "2021:03:04 05:06:07", "123456", true, {2021, 3, 4, 5, 6, 7, 123}},
                      DateCase{"subsec_blank", "2021:03:04 05:06:07", "  ", true, {2021, 3, 4, 5, 6, 7, 0}},
                      DateCase{"leap_day", "2024:02:29 23:59:59", nullptr, true, {2024, 2, 29, 23, 59, 59, 0}},
                      DateCase{"absent", nullptr, "5", false, {}},
                      DateCase{"all_zero", "0000:00:00 00:00:00", nullptr, false, {}},
                      DateCase{"blank", "                   ", nullptr, false, {}},
                      DateCase{"dashes", "2021-03-04 05:06:07", nullptr, false, {}},
                      DateCase{"short", "2021:03:04 05:06", nullptr, false, {}},
                      DateCase{"no_leap_day", "2023:02:29 10:00:00", nullptr, false, {}},
                      DateCase{"hour_24", "2021:03:04 24:00:00", nullptr, false, {}},
                      DateCase{"letters", "2021:0a:04 05:06:07", nullptr, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SourceFiles, ExifDateAnswersByExtensionAndFailsOnUnreadableSources) {
  Exiv2::ExifData ed;
  ed["Exif.Image.DateTime"] = "2021:03:04 05:06:07";
  EXPECT_EQ(readExifDate(withExif("p.png", ed)).kind, ExifDate::Kind::kNotJpeg);
  test::writeBytes(dir + "bare.jpeg", makeJpeg(4, 4));
  EXPECT_EQ(readExifDate(dir + "bare.jpeg").kind, ExifDate::Kind::kNone);
  EXPECT_THROW(readExifDate(dir + "missing.png"), Error);
  EXPECT_THROW(readExifDate(dir + "missing.jpg"), Error);
  test::writeBytes(dir + "text.jpg", {'h', 'e', 'l', 'l', 'o'});
  EXPECT_THROW(readExifDate(dir + "text.jpg"), Error);
}

}  // namespace
}  // namespace brevane::exif
