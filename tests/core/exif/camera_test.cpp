// Camera JPEGs of the shared corpus: the carry-over keeps every Exif and maker-note tag, as an
// independent reader (exiftool) sees them, except the tags the carry-over sets or drops.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "base/error.h"
#include "base/platform.h"
#include "base/strings.h"
#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "core/exif/exif_test_support.h"
#include "core/exif/exiftool_tags.h"
#include "engine/pipeline.h"
#include "exif/exif.h"
#include "exif/jpeg_segments.h"
#include "support/test_support.h"

namespace brevane {
namespace {

namespace fs = std::filesystem;

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The tags to compare: the Exif block and the maker notes, without those the carry-over sets
// (software, modify date, sub-second time, pixel dimensions) or drops (the filler), without
// positions inside the block (offsets), which a rewritten block changes by nature, and without
// the main-image layout tags of IFD0 that a JPEG's Exif block does not record (the Exif
// writer leaves them out: they describe strips or an embedded image the new file lacks).
std::vector<std::pair<std::string, std::string>> comparable(const test::ExiftoolTags& o) {
  static const std::vector<std::string> kChanged = {
      "EXIF:IFD0:Software",          "EXIF:IFD0:ModifyDate",         "EXIF:ExifIFD:SubSecTime",
      "EXIF:ExifIFD:ExifImageWidth", "EXIF:ExifIFD:ExifImageHeight", "EXIF:IFD0:PhotometricInterpretation",
      "EXIF:IFD0:StripOffsets",      "EXIF:IFD0:RowsPerStrip",       "EXIF:IFD0:StripByteCounts",
      "EXIF:IFD0:OtherImageStart",   "EXIF:IFD0:OtherImageLength",   "EXIF:IFD0:SubIFDs"};
  std::vector<std::pair<std::string, std::string>> tags;
  for (const auto& [key, value] : o) {
    if (key.rfind("EXIF:", 0) != 0 && key.rfind("MakerNotes:", 0) != 0) continue;
    if (std::find(kChanged.begin(), kChanged.end(), key) != kChanged.end()) continue;
    if (endsWith(key, ":Padding") || endsWith(key, "Offset") || endsWith(key, "Offsets") ||
        endsWith(key, "PreviewImageStart") || endsWith(key, ":OffsetSchema"))
      continue;
    tags.emplace_back(key, value);
  }
  std::sort(tags.begin(), tags.end());
  return tags;
}

// True when the JPEG reader and writer work (they may still be placeholders).
bool jpegCodecsAvailable(const std::string& sample) {
  try {
    codecs::encodeJpeg(test::patternImage(4, 4), 85, false);
    codecs::loadImage(sample);
    return true;
  } catch (const Error&) {
    return false;
  }
}

// The output after its JFIF header: "FF E1" with the Exif header and a TIFF header in the
// source's byte order, then the source's ICC profile (APP2 "ICC_PROFILE" segments) when it
// has one, then a segment that is no APPn (the encoder's tables).
::testing::AssertionResult segmentOrder(const std::vector<uint8_t>& out, char byteOrder) {
  if (out.size() < 4 || out[0] != 0xFF || out[1] != 0xD8) return ::testing::AssertionFailure() << "no SOI";
  if (out[2] != 0xFF || out[3] != 0xE0) return ::testing::AssertionFailure() << "no APP0 after SOI";
  size_t p = 4 + ((out[4] << 8) | out[5]);
  if (p + 14 > out.size() || out[p] != 0xFF || out[p + 1] != 0xE1 || std::memcmp(&out[p + 4], "Exif\0\0", 6) != 0)
    return ::testing::AssertionFailure() << "no Exif APP1 after APP0";
  if (out[p + 10] != byteOrder || out[p + 11] != byteOrder)
    return ::testing::AssertionFailure() << "byte order " << out[p + 10] << " instead of " << byteOrder;
  size_t q = p + 2 + ((out[p + 2] << 8) | out[p + 3]);
  while (q + 16 <= out.size() && out[q] == 0xFF && out[q + 1] == 0xE2 && std::memcmp(&out[q + 4], "ICC_PROFILE", 12) == 0)
    q += 2 + ((out[q + 2] << 8) | out[q + 3]);
  if (q + 2 > out.size() || out[q] != 0xFF || (out[q + 1] >= 0xE0 && out[q + 1] <= 0xEF))
    return ::testing::AssertionFailure() << "an APPn segment after the Exif block";
  return ::testing::AssertionSuccess();
}

TEST(CameraFiles, CarryOverKeepsEveryTagButTheOnesItSets) {
  BREVANE_REQUIRE_TESTDATA();
  std::vector<std::string> sources = test::cameraFiles();
  if (sources.empty()) GTEST_SKIP() << "no camera JPEGs under testdata/exif";
  if (!test::haveExiftool()) GTEST_SKIP() << "exiftool is absent (Debian libimage-exiftool-perl)";
  const bool pipeline = jpegCodecsAvailable(sources.front());
  if (!pipeline)
    std::printf(
        "[ NOTE     ] JPEG reader or writer not available: the camera blocks are carried into "
        "streams made with libjpeg instead of a converted image\n");

  std::string dir = test::makeTempDir("camera");
  TConversionSettings settings = TConversionSettings::defaults();
  settings.Output_format = 0;
  settings.Exif = true;
  settings.Overwrite = true;
  settings.Rename_enabled = false;
  settings.Selected_mode = 2;
  settings.Resize_percent = 50;
  RunCounters counters;
  LifetimeTotals totals;
  ErrorLog log;
  PipelineEnv env{settings, counters, totals, log};

  std::vector<std::string> converted, outputs;
  std::map<std::string, std::string> failed;
  for (size_t i = 0; i < sources.size(); ++i) {
    const std::string& src = sources[i];
    std::string target = dir + std::to_string(i) + "_" + fs::path(src).stem().string() + ".JPG";
    std::vector<uint8_t> bytes = test::readBytes(src);
    exif::JpegHeader header = exif::walkJpegHeader(bytes);
    auto tiff = exif::findExifTiff(header);
    char order = tiff ? static_cast<char>((*tiff)[0]) : 'I';
    if (pipeline) {
      size_t lines = log.size();
      TConversionThread worker(env);
      worker.filename = src;
      worker.target = target;
      worker.format = "JPG";
      worker.index = static_cast<int32_t>(i + 1);
      runPipeline(worker, env);
      if (log.size() != lines) {
        failed[src] = log.lines().back();
        continue;
      }
    } else {
      auto frame = exif::frameSize(header);
      if (!frame) {
        failed[src] = "no frame header";
        continue;
      }
      std::vector<uint8_t> plain = test::makeJpeg(std::max(1, frame->width / 2), std::max(1, frame->height / 2));
      try {
        std::vector<uint8_t> out = exif::carryOver(plain, exif::readSourceExif(src), localNow());
        // Byte for byte: SOI and the JFIF header, the new APP1, then the rest of the plain stream.
        size_t app0End = 4 + ((plain[4] << 8) | plain[5]);
        size_t app1Length = 2 + ((out[app0End + 2] << 8) | out[app0End + 3]);
        std::vector<uint8_t> expected(plain.begin(), plain.begin() + app0End);
        expected.insert(expected.end(), out.begin() + app0End, out.begin() + app0End + app1Length);
        expected.insert(expected.end(), plain.begin() + app0End, plain.end());
        EXPECT_EQ(out, expected) << src;
        test::writeBytes(target, out);
      } catch (const Error& e) {
        failed[src] = e.what();
        continue;
      }
    }
    std::vector<uint8_t> out = test::readBytes(target);
    EXPECT_TRUE(segmentOrder(out, order)) << src;
    converted.push_back(src);
    outputs.push_back(target);
  }

  // The reference: each source's first Exif block, unchanged, spliced into the same kind of
  // stream. Tags that exiftool finds in the source but not there live in other segments (which
  // the carry-over does not take), and a difference it already shows comes from reading the
  // block outside its file, not from the rewrite.
  std::vector<std::string> references;
  for (size_t i = 0; i < converted.size(); ++i) {
    std::vector<uint8_t> plain = test::makeJpeg(8, 8);
    exif::SourceExif block = exif::readSourceExif(converted[i]);
    std::string ref = dir + "ref_" + std::to_string(i) + ".jpg";
    test::writeBytes(ref, exif::spliceExif(plain, exif::walkJpegHeader(plain), block.tiff));
    references.push_back(ref);
  }
  std::map<std::string, test::ExiftoolTags> before = test::readTags(converted), after = test::readTags(outputs),
                                      alone = test::readTags(references);
  // Known: a directory nested inside the Ricoh maker note addresses its values from the TIFF
  // header too; only the maker note's own directory is shifted when it moves.
  const std::map<std::string, std::vector<std::string>> kKnown = {
      {"Ricoh2.jpg", {"MakerNotes:Ricoh:ManufactureDate1", "MakerNotes:Ricoh:ManufactureDate2"}}};
  size_t compared = 0;
  for (size_t i = 0; i < converted.size(); ++i) {
    SCOPED_TRACE(converted[i]);
    const test::ExiftoolTags& src = before[converted[i]];
    const test::ExiftoolTags& ref = alone[references[i]];
    const test::ExiftoolTags& b = after[outputs[i]];
    EXPECT_EQ(test::tagValue(b, "EXIF:IFD0:Software"), exif::softwareValue());
    std::string modify = test::tagValue(b, "EXIF:IFD0:ModifyDate");
    EXPECT_TRUE(modify.size() == 19 && modify[4] == ':' && modify[13] == ':') << modify;
    if (test::tagValue(src, "EXIF:ExifIFD:ExifImageWidth") != "<absent>") {
      EXPECT_EQ(test::tagValue(b, "EXIF:ExifIFD:ExifImageWidth"), test::tagValue(b, "File:ImageWidth"));
      EXPECT_EQ(test::tagValue(b, "EXIF:ExifIFD:ExifImageHeight"), test::tagValue(b, "File:ImageHeight"));
    }
    EXPECT_EQ(test::tagValue(src, "EXIF:ExifIFD:SubSecTime") == "<absent>", test::tagValue(b, "EXIF:ExifIFD:SubSecTime") == "<absent>");

    std::map<std::string, std::string> source, output;
    for (const auto& [k, v] : comparable(src)) source[k] += v + "\n";
    for (const auto& [k, v] : comparable(b)) output[k] += v + "\n";
    std::map<std::string, std::string> standalone;
    for (const auto& [k, v] : comparable(ref)) standalone[k] += v + "\n";
    auto known = kKnown.find(fs::path(converted[i]).filename().string());
    std::string report;
    for (const auto& [k, v] : standalone) {
      if (known != kKnown.end() && std::count(known->second.begin(), known->second.end(), k)) continue;
      auto out = output.find(k);
      auto in = source.find(k);
      std::string want = in != source.end() ? in->second : v;
      if (out == output.end())
        report += "  lost " + k + " = " + want.substr(0, 80) + "\n";
      else if (out->second != want && out->second != v)
        report += "  changed " + k + ": " + want.substr(0, 60) + " -> " + out->second.substr(0, 60) + "\n";
    }
    // Tags the independent reader does not find in the block at all: only when it could read
    // the block's directories (a damaged one it rejects whole, where Exiv2 still reads some).
    bool refDamaged = test::tagValue(ref, "ExifTool:Warning").find("Bad ") != std::string::npos;
    for (const auto& [k, v] : output)
      if (!standalone.count(k) && !refDamaged) report += "  gained " + k + " = " + v.substr(0, 80) + "\n";
    EXPECT_TRUE(report.empty()) << report;
    if (!standalone.empty()) ++compared;
  }
  // A carry-over may fail only where the independent reader finds no Exif tag either (a block
  // too damaged to parse); the file is then written without Exif and the line says why.
  std::vector<std::string> failedSources;
  for (const auto& [src, why] : failed) failedSources.push_back(src);
  std::map<std::string, test::ExiftoolTags> unreadable = test::readTags(failedSources);
  for (const auto& [src, why] : failed) EXPECT_TRUE(comparable(unreadable[src]).empty()) << src << ": " << why;
  std::printf("[ NOTE     ] %zu camera files compared tag by tag\n", compared);
}

}  // namespace
}  // namespace brevane
