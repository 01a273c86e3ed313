// Helpers of the photo-option tests: one file through the pipeline, Pillow's fixtures and
// references (tests/data/photo_fixtures.py), and what a JPEG, PNG or JP2 file embeds.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/codecs/extras_test_support.h"
#include "engine/pipeline.h"
#include "exif/jpeg_segments.h"
#include "support/test_support.h"

namespace brevane::test {

/// Settings of a photo test: no renaming, overwrite on, Exif on, no resize.
inline TConversionSettings photoSettings() {
  TConversionSettings s = TConversionSettings::defaults();
  s.Overwrite = true;
  s.Rename_enabled = false;
  s.Selected_mode = 0;
  s.Exif = true;
  return s;
}

/// One file converted by a worker into `target` with the format code `format`.
struct Converted {
  std::vector<uint8_t> bytes;      // the written file (empty when none)
  std::vector<std::string> lines;  // the run's error lines
};
inline Converted convertOne(const std::string& source, const std::string& target, const std::string& format,
                            const TConversionSettings& settings) {
  RunCounters counters;
  LifetimeTotals totals;
  ErrorLog log;
  PipelineEnv env{settings, counters, totals, log};
  TConversionThread worker(env);
  worker.filename = source;
  worker.target = target;
  worker.format = format;
  worker.index = 1;
  std::remove(target.c_str());
  runPipeline(worker, env);
  Converted c;
  c.lines = log.lines();
  std::FILE* f = std::fopen(target.c_str(), "rb");
  if (f) {
    std::fclose(f);
    c.bytes = readBytes(target);
  }
  return c;
}

/// Runs tests/data/photo_fixtures.py with its arguments (already quoted where needed).
inline bool photoFixture(const std::string& arguments) {
  return run(pilPython() + " " + shellQuote(std::string(BREVANE_SOURCE_DIR) + "/tests/data/photo_fixtures.py") + " " +
             arguments);
}

/// A PAM file written by photo_fixtures.py.
inline std::optional<Rgba> readPam(const std::string& path) {
  return readNetpbm(readBytes(path));
}

/// The profile a file embeds, as Pillow reads it (empty: none); nullopt when Pillow fails.
inline std::optional<std::vector<uint8_t>> pillowProfile(const std::string& path) {
  std::string out = path + ".icc";
  if (!photoFixture("profile-of " + shellQuote(path) + " " + shellQuote(out))) return std::nullopt;
  return readBytes(out);
}

/// The APPn markers of a JPEG's header, in order ("E1" Exif, "E2" ICC, ...), as bytes.
inline std::vector<uint8_t> appMarkers(const std::vector<uint8_t>& jpeg) {
  std::vector<uint8_t> markers;
  for (const exif::JpegSegment& s : exif::walkJpegHeader(jpeg).segments)
    if (s.marker >= 0xE0 && s.marker <= 0xEF) markers.push_back(s.marker);
  return markers;
}

/// The profile of a JP2 file's colr box (method 2), or empty.
inline std::vector<uint8_t> jp2Profile(const std::vector<uint8_t>& jp2) {
  for (size_t i = 4; i + 7 < jp2.size(); ++i) {
    if (std::memcmp(&jp2[i], "colr", 4) != 0) continue;
    uint32_t size =
        (uint32_t{jp2[i - 4]} << 24) | (uint32_t{jp2[i - 3]} << 16) | (uint32_t{jp2[i - 2]} << 8) | jp2[i - 1];
    if (size < 11 || i - 4 + size > jp2.size() || jp2[i + 4] != 2) return {};
    return std::vector<uint8_t>(jp2.begin() + static_cast<std::ptrdiff_t>(i + 7),
                                jp2.begin() + static_cast<std::ptrdiff_t>(i - 4 + size));
  }
  return {};
}

/// True when the PNG file has a chunk of that type.
inline bool hasPngChunk(const std::vector<uint8_t>& png, const char* type) {
  for (size_t p = 8; p + 8 <= png.size();) {
    uint32_t length =
        (uint32_t{png[p]} << 24) | (uint32_t{png[p + 1]} << 16) | (uint32_t{png[p + 2]} << 8) | png[p + 3];
    if (std::memcmp(&png[p + 4], type, 4) == 0) return true;
    p += 12 + static_cast<size_t>(length);
  }
  return false;
}

}  // namespace brevane::test
