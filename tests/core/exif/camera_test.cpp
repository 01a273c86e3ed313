// Camera JPEGs of the shared corpus: the carry-over keeps every Exif and maker-note tag, as an
// independent reader (exiftool) sees them, except the tags the carry-over sets or drops.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <map>

#include "base/error.h"
#include "base/platform.h"
#include "base/strings.h"
#include "core/exif/exif_test_support.h"
#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "exif/exif.h"
#include "exif/jpeg_segments.h"
#include "engine/pipeline.h"
#include "support/test_support.h"

namespace brevane {
namespace {

namespace fs = std::filesystem;

// ---- A small reader for exiftool's JSON: an array of flat objects. Strings are unescaped;
// numbers, literals, arrays and objects are kept as their text.
class Json {
 public:
  explicit Json(const std::string& text) : m_s(text) {}
  using Object = std::vector<std::pair<std::string, std::string>>;

  bool parseArray(std::vector<Object>& out) {
    skip();
    if (!eat('[')) return false;
    skip();
    if (eat(']')) return true;
    for (;;) {
      Object o;
      if (!parseObject(o)) return false;
      out.push_back(std::move(o));
      skip();
      if (eat(']')) return true;
      if (!eat(',')) return false;
    }
  }

 private:
  bool parseObject(Object& o) {
    skip();
    if (!eat('{')) return false;
    skip();
    if (eat('}')) return true;
    for (;;) {
      std::string key, value;
      skip();
      if (!parseString(key)) return false;
      skip();
      if (!eat(':')) return false;
      skip();
      if (!parseValue(value)) return false;
      o.emplace_back(std::move(key), std::move(value));
      skip();
      if (eat('}')) return true;
      if (!eat(',')) return false;
    }
  }
  bool parseValue(std::string& v) {
    if (m_p < m_s.size() && m_s[m_p] == '"') return parseString(v);
    size_t start = m_p;
    int depth = 0;
    bool inString = false;
    for (; m_p < m_s.size(); ++m_p) {
      char c = m_s[m_p];
      if (inString) {
        if (c == '\\')
          ++m_p;
        else if (c == '"')
          inString = false;
        continue;
      }
      if (c == '"')
        inString = true;
      else if (c == '[' || c == '{')
        ++depth;
      else if (c == ']' || c == '}') {
        if (depth == 0) break;
        --depth;
      } else if (c == ',' && depth == 0)
        break;
    }
    v = m_s.substr(start, m_p - start);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\n' || v.back() == '\r')) v.pop_back();
    return true;
  }
  bool parseString(std::string& v) {
    if (!eat('"')) return false;
    v.clear();
    while (m_p < m_s.size() && m_s[m_p] != '"') {
      char c = m_s[m_p++];
      if (c == '\\' && m_p < m_s.size()) {
        char e = m_s[m_p++];
        switch (e) {
          case 'n': v += '\n'; break;
          case 't': v += '\t'; break;
          case 'r': v += '\r'; break;
          case 'b': v += '\b'; break;
          case 'f': v += '\f'; break;
          case 'u': v += "\\u" + m_s.substr(m_p, 4), m_p += 4; break;  // kept escaped: compared, not shown
          default: v += e; break;
        }
      } else {
        v += c;
      }
    }
    return eat('"');
  }
  void skip() {
    while (m_p < m_s.size() && (m_s[m_p] == ' ' || m_s[m_p] == '\n' || m_s[m_p] == '\r' || m_s[m_p] == '\t')) ++m_p;
  }
  bool eat(char c) {
    if (m_p < m_s.size() && m_s[m_p] == c) {
      ++m_p;
      return true;
    }
    return false;
  }
  const std::string& m_s;
  size_t m_p = 0;
};

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

bool haveExiftool() {
  return std::system("exiftool -ver >/dev/null 2>&1") == 0;
}

// Every tag of every file as exiftool reads it: "-G0:1" names (EXIF:IFD0:Make), "-n" plain
// values, "-b" binary data in base64, "-a" duplicates too. Keyed by the file's path.
std::map<std::string, Json::Object> readTags(const std::vector<std::string>& files) {
  std::string cmd = "exiftool -j -G0:1 -a -s -n -b -q -q";
  for (const std::string& f : files) cmd += " " + quote(f);
  cmd += " 2>/dev/null";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    std::array<char, 65536> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    pclose(p);
  }
  std::vector<Json::Object> objects;
  std::map<std::string, Json::Object> result;
  if (!Json(out).parseArray(objects)) {
    ADD_FAILURE() << "exiftool gave no readable JSON";
    return result;
  }
  for (Json::Object& o : objects) {
    auto source = std::find_if(o.begin(), o.end(), [](const auto& kv) { return kv.first == "SourceFile"; });
    if (source != o.end()) result[source->second] = std::move(o);
  }
  return result;
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The tags to compare: the Exif block and the maker notes, without those the carry-over sets
// (software, modify date, sub-second time, pixel dimensions) or drops (the filler), without
// positions inside the block (offsets), which a rewritten block changes by nature, and without
// the main-image layout tags of IFD0 that a JPEG's Exif block does not record (the Exif
// writer leaves them out: they describe strips or an embedded image the new file lacks).
std::vector<std::pair<std::string, std::string>> comparable(const Json::Object& o) {
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

std::string value(const Json::Object& o, const std::string& key) {
  for (const auto& kv : o)
    if (kv.first == key) return kv.second;
  return "<absent>";
}

std::vector<std::string> cameraFiles() {
  std::vector<std::string> files;
  std::string root = test::testdata("exif");
  if (root.empty() || !fs::is_directory(root)) return files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    std::string path = e.path().string();
    std::string ext = toUpper(e.path().extension().string());
    // preview/ holds thumbnails extracted from the camera files, not camera files.
    if ((ext == ".JPG" || ext == ".JPEG") && path.find("/preview/") == std::string::npos) files.push_back(path);
  }
  std::sort(files.begin(), files.end());
  return files;
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
// source's byte order, then a segment that is no APPn (the encoder's tables).
::testing::AssertionResult segmentOrder(const std::vector<uint8_t>& out, char byteOrder) {
  if (out.size() < 4 || out[0] != 0xFF || out[1] != 0xD8) return ::testing::AssertionFailure() << "no SOI";
  if (out[2] != 0xFF || out[3] != 0xE0) return ::testing::AssertionFailure() << "no APP0 after SOI";
  size_t p = 4 + ((out[4] << 8) | out[5]);
  if (p + 14 > out.size() || out[p] != 0xFF || out[p + 1] != 0xE1 || std::memcmp(&out[p + 4], "Exif\0\0", 6) != 0)
    return ::testing::AssertionFailure() << "no Exif APP1 after APP0";
  if (out[p + 10] != byteOrder || out[p + 11] != byteOrder)
    return ::testing::AssertionFailure() << "byte order " << out[p + 10] << " instead of " << byteOrder;
  size_t q = p + 2 + ((out[p + 2] << 8) | out[p + 3]);
  if (q + 2 > out.size() || out[q] != 0xFF || (out[q + 1] >= 0xE0 && out[q + 1] <= 0xEF))
    return ::testing::AssertionFailure() << "an APPn segment after the Exif block";
  return ::testing::AssertionSuccess();
}

TEST(CameraFiles, CarryOverKeepsEveryTagButTheOnesItSets) {
  BREVANE_REQUIRE_TESTDATA();
  std::vector<std::string> sources = cameraFiles();
  if (sources.empty()) GTEST_SKIP() << "no camera JPEGs under testdata/exif";
  if (!haveExiftool()) GTEST_SKIP() << "exiftool is absent (Debian libimage-exiftool-perl)";
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
  std::map<std::string, Json::Object> before = readTags(converted), after = readTags(outputs),
                                      alone = readTags(references);
  // Known: a directory nested inside the Ricoh maker note addresses its values from the TIFF
  // header too; only the maker note's own directory is shifted when it moves.
  const std::map<std::string, std::vector<std::string>> kKnown = {
      {"Ricoh2.jpg", {"MakerNotes:Ricoh:ManufactureDate1", "MakerNotes:Ricoh:ManufactureDate2"}}};
  size_t compared = 0;
  for (size_t i = 0; i < converted.size(); ++i) {
    SCOPED_TRACE(converted[i]);
    const Json::Object& src = before[converted[i]];
    const Json::Object& ref = alone[references[i]];
    const Json::Object& b = after[outputs[i]];
    EXPECT_EQ(value(b, "EXIF:IFD0:Software"), exif::softwareValue());
    std::string modify = value(b, "EXIF:IFD0:ModifyDate");
    EXPECT_TRUE(modify.size() == 19 && modify[4] == ':' && modify[13] == ':') << modify;
    if (value(src, "EXIF:ExifIFD:ExifImageWidth") != "<absent>") {
      EXPECT_EQ(value(b, "EXIF:ExifIFD:ExifImageWidth"), value(b, "File:ImageWidth"));
      EXPECT_EQ(value(b, "EXIF:ExifIFD:ExifImageHeight"), value(b, "File:ImageHeight"));
    }
    EXPECT_EQ(value(src, "EXIF:ExifIFD:SubSecTime") == "<absent>", value(b, "EXIF:ExifIFD:SubSecTime") == "<absent>");

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
    bool refDamaged = value(ref, "ExifTool:Warning").find("Bad ") != std::string::npos;
    for (const auto& [k, v] : output)
      if (!standalone.count(k) && !refDamaged) report += "  gained " + k + " = " + v.substr(0, 80) + "\n";
    EXPECT_TRUE(report.empty()) << report;
    if (!standalone.empty()) ++compared;
  }
  // A carry-over may fail only where the independent reader finds no Exif tag either (a block
  // too damaged to parse); the file is then written without Exif and the line says why.
  std::vector<std::string> failedSources;
  for (const auto& [src, why] : failed) failedSources.push_back(src);
  std::map<std::string, Json::Object> unreadable = readTags(failedSources);
  for (const auto& [src, why] : failed) EXPECT_TRUE(comparable(unreadable[src]).empty()) << src << ": " << why;
  std::printf("[ NOTE     ] %zu camera files compared tag by tag\n", compared);
}

}  // namespace
}  // namespace brevane
