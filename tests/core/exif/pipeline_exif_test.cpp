// The Exif carry-over as the pipeline runs it: other sources, Exif off, a JPEG converted onto
// itself, a source block that cannot be parsed.
#include <gtest/gtest.h>

#include "base/error.h"
#include "base/platform.h"
#include "core/exif/exif_test_support.h"
#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "exif/exif.h"
#include "exif/jpeg_segments.h"
#include "engine/pipeline.h"
#include "support/test_support.h"

namespace brevane {
namespace {

bool jpegWriterWorks() {
  try {
    codecs::encodeJpeg(test::patternImage(4, 4), 85, false);
    return true;
  } catch (const Error&) {
    return false;
  }
}

bool jpegReaderWorks() {
  try {
    std::vector<uint8_t> jpeg = test::makeJpeg(4, 4);
    codecs::decodeBytes("probe.jpg", jpeg);
    return true;
  } catch (const Error&) {
    return false;
  }
}

#define REQUIRE_JPEG_WRITER() \
  if (!jpegWriterWorks()) GTEST_SKIP() << "the JPEG writer is not available yet"
#define REQUIRE_JPEG_CODECS() \
  if (!jpegWriterWorks() || !jpegReaderWorks()) GTEST_SKIP() << "the JPEG reader or writer is not available yet"

size_t exifSegments(const std::vector<uint8_t>& jpeg) {
  size_t n = 0;
  for (const auto& s : exif::walkJpegHeader(jpeg).segments) n += s.marker == 0xE1;
  return n;
}

class PipelineExif : public ::testing::Test {
 protected:
  void SetUp() override {
    settings = TConversionSettings::defaults();
    settings.Output_format = 0;
    settings.Exif = true;
    settings.Overwrite = true;
    settings.Rename_enabled = false;
    settings.Selected_mode = 0;
  }
  std::vector<std::string> run(const std::string& source, const std::string& target) {
    RunCounters counters;
    LifetimeTotals totals;
    ErrorLog log;
    PipelineEnv env{settings, counters, totals, log};
    TConversionThread worker(env);
    worker.filename = source;
    worker.target = target;
    worker.format = "JPG";
    worker.index = 1;
    runPipeline(worker, env);
    return log.lines();
  }
  std::string dir = test::makeTempDir("pexif");
  TConversionSettings settings;
};

TEST_F(PipelineExif, OtherSourcesGetSoftwareAndDateTimeOnlyAndExifOffNoApp1) {
  REQUIRE_JPEG_WRITER();
  test::writeBytes(dir + "a.bmp", codecs::encodeBmp(test::patternImage(20, 10)));
  std::vector<std::string> sources = {dir + "a.bmp"};
  try {  // a PNG too, once its reader and writer work
    test::writeBytes(dir + "b.png", codecs::encodePng(test::patternImage(20, 10), nullptr, {false, true, 6}));
    codecs::loadImage(dir + "b.png");
    sources.push_back(dir + "b.png");
  } catch (const Error&) {
  }
  for (const std::string& src : sources) {
    SCOPED_TRACE(src);
    LocalDateTime before = localNow();
    EXPECT_TRUE(run(src, dir + "out.JPG").empty());
    std::vector<uint8_t> out = test::readBytes(dir + "out.JPG");
    EXPECT_EQ(exifSegments(out), 1u);
    Exiv2::ExifData ed = test::decodeOutputExif(out);
    ASSERT_EQ(ed.count(), 2);
    EXPECT_EQ(ed["Exif.Image.Software"].toString(), exif::softwareValue());
    std::string dt = ed["Exif.Image.DateTime"].toString();
    LocalDateTime written;
    ASSERT_TRUE(exif::parseExifDateTime(dt, written)) << dt;
    EXPECT_EQ(written.year, before.year);

    settings.Exif = false;
    EXPECT_TRUE(run(src, dir + "plain.JPG").empty());
    EXPECT_EQ(exifSegments(test::readBytes(dir + "plain.JPG")), 0u);
    settings.Exif = true;
  }
}

TEST_F(PipelineExif, JpegConvertedOntoItselfKeepsItsExif) {
  REQUIRE_JPEG_CODECS();
  Exiv2::ExifData ed;
  ed["Exif.Image.Make"] = "Camera Maker";
  ed["Exif.Image.DateTime"] = "2001:02:03 04:05:06";
  std::string path = dir + "photo.JPG";
  test::writeBytes(
      path, test::makeJpeg(32, 16, {{JPEG_APP0 + 1, test::exifPayload(test::encodeTiff(ed, Exiv2::bigEndian))}}));
  EXPECT_TRUE(run(path, path).empty());
  Exiv2::ByteOrder order = Exiv2::invalidByteOrder;
  Exiv2::ExifData out = test::decodeOutputExif(test::readBytes(path), &order);
  EXPECT_EQ(out["Exif.Image.Make"].toString(), "Camera Maker");
  EXPECT_EQ(order, Exiv2::bigEndian);
}

TEST_F(PipelineExif, UnparsableSourceBlockStillWritesTheJpegAndALine) {
  REQUIRE_JPEG_CODECS();
  // A TIFF header cut off before its first directory's offset: the parser refuses it.
  std::vector<uint8_t> broken = {'M', 'M', 0, 42, 0, 0, 0};
  std::string src = dir + "broken.jpg";
  test::writeBytes(src, test::makeJpeg(16, 16, {{JPEG_APP0 + 1, test::exifPayload(broken)}}));
  EXPECT_THROW(exif::carryOver(test::makeJpeg(4, 4), exif::readSourceExif(src), localNow()), Error);
  std::vector<std::string> lines = run(src, dir + "broken.JPG");
  std::vector<uint8_t> out = test::readBytes(dir + "broken.JPG");
  EXPECT_TRUE(test::decodesAsJpeg(out));
  EXPECT_EQ(exifSegments(out), 0u);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("FSE:" + dir + "broken.JPG: ", 0), 0u) << lines[0];
}

}  // namespace
}  // namespace brevane
