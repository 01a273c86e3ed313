// Every file of the shared corpus in the formats read here: good files decode to the size an
// independent decoder reports, the rest fail with a message, and pixels match the references
// the suites ship.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "base/error.h"
#include "base/strings.h"
#include "codecs/registry.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

namespace fs = std::filesystem;

// Folders whose files go through the decoders tested here.
const char* const kFolders[] = {"bmp", "damaged", "exif", "gif", "ico", "jp2", "jpeg", "metafile", "png",
                                "pngsuite", "tga", "tiff"};
const std::set<std::string> kExtensions = {"bmp", "ico", "wmf", "emf", "jpg", "jpeg", "tga", "tif", "tiff",
                                           "png", "gif", "jp2", "j2k"};

// Good files the libraries cannot read, with the reason.
const std::map<std::string, std::string> kUnsupported = {
    {"jpeg/libjpeg-turbo/monkey12.jpg", "12-bit JPEG: libjpeg-turbo 2.1 decodes 8-bit samples only"},
    {"gif/issue_2811.gif", "LZW minimum code size 11: giflib refuses codes above 8 bits"},
};

// Damaged files a library reads anyway (partly, or ignoring a broken ancillary part).
const std::set<std::string> kTolerated = {
    "damaged/crash-0da013a13571cc8eb457a39fee8db18f8a3c7127.tif",
    "damaged/crash-2020-10-test.tif",
    "damaged/crash-63b1dffefc8c075ddc606c0a2f5fdc15ece78863.tif",
    "damaged/crash-74d2a78403a5a59db1fb0a2b8735ac068a75f6e3.tif",
    "damaged/crash-4fb027452e6988530aa5dabee76eecacb3b79f8a.j2k",
    "damaged/crash-7d4c83eb92150fb8f1653a697703ae06ae7c4998.j2k",
    "damaged/crash-ccca68ff40171fdae983d924e127a721cab2bd50.j2k",
    "damaged/crash-d2c93af851d3ab9a19e34503626368b2ecde9c03.j2k",
    "damaged/decompression_bomb_extents.gif",  // the frame is clipped to the screen
    "damaged/exif-samples/image01137.jpg",     // broken Exif, good pixels
    "damaged/exif-samples/image01551.jpg",
    "damaged/exif-samples/image02206.jpg",
    "damaged/invalid_header_length.jp2",
    "damaged/libemf2svg/bad_corrupted_2014-12-02-215400.emf",  // the header itself is sound
    "damaged/libemf2svg/bad_corrupted_2014-12-02-215425.emf",
    "damaged/libemf2svg/bad_corrupted_2014-12-13-132605.emf",
    "damaged/libemf2svg/bad_corrupted_2016-02-02-220639.emf",
    "damaged/libemf2svg/bad_corrupted_2017-02-12-010400.emf",
    "damaged/png_decompression_dos.png",      // the text chunk is dropped, the pixel is read
    "damaged/truncated_jpeg.jpg",             // missing rows are filled
    "damaged/truncated_end_chunk.png",        // every row is there; only IEND is cut
    "damaged/unknown_compression_method.png",  // the iCCP chunk is dropped
};

std::string extensionOf(const fs::path& p) {
  std::string e = p.extension().string();
  if (!e.empty()) e.erase(0, 1);
  return toLower(e);
}

std::map<std::string, std::pair<int, int>> expectedSizes() {
  std::map<std::string, std::pair<int, int>> sizes;
  std::ifstream in(std::string(BREVANE_SOURCE_DIR) + "/tests/core/codecs/data/corpus_sizes.tsv");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream row(line);
    std::string path;
    int w = 0, h = 0;
    std::getline(row, path, '\t');
    row >> w >> h;
    sizes[path] = {w, h};
  }
  return sizes;
}

std::vector<std::string> corpusFiles() {
  std::vector<std::string> files;
  const std::string root = test::testdata("");
  for (const char* folder : kFolders)
    for (const auto& e : fs::recursive_directory_iterator(root + folder))
      if (e.is_regular_file() && kExtensions.count(extensionOf(e.path())))
        files.push_back(e.path().string().substr(root.size()));
  std::sort(files.begin(), files.end());
  return files;
}

TEST(CorpusConformance, GoodFilesDecodeToTheirSize) {
  BREVANE_REQUIRE_TESTDATA();
  auto sizes = expectedSizes();
  ASSERT_GT(sizes.size(), 600u);
  std::vector<std::string> failures;
  for (const auto& [path, size] : sizes) {
    try {
      DecodedImage img = loadImage(test::testdata(path));
      if (img.width != size.first || img.height != size.second)
        failures.push_back(path + ": " + std::to_string(img.width) + "x" + std::to_string(img.height));
      if (img.kind != DecodedKind::kMetafile && img.bitmap.empty()) failures.push_back(path + ": no pixels");
    } catch (const std::exception& e) {
      failures.push_back(path + ": " + e.what());
    }
  }
  std::string all;
  for (const std::string& f : failures) all += f + "\n";
  EXPECT_TRUE(failures.empty()) << all;
}

TEST(CorpusConformance, EveryOtherFileFailsWithAMessage) {
  BREVANE_REQUIRE_TESTDATA();
  auto sizes = expectedSizes();
  std::vector<std::string> failures;
  for (const std::string& path : corpusFiles()) {
    if (sizes.count(path)) continue;
    bool mayDecode = kTolerated.count(path) > 0 || extensionOf(path) == "wmf" || extensionOf(path) == "emf";
    bool mayFail = path.rfind("damaged/", 0) == 0 || path.rfind("pngsuite/x", 0) == 0 ||
                   path.rfind("bmp/b/", 0) == 0 || path.rfind("bmp/q/", 0) == 0 || kUnsupported.count(path);
    try {
      loadImage(test::testdata(path));
      if (!mayDecode) failures.push_back(path + ": decoded");
    } catch (const Error& e) {
      if (!mayFail || kTolerated.count(path)) failures.push_back(path + ": " + e.what());
      else if (std::string(e.what()).empty()) failures.push_back(path + ": empty message");
    } catch (const std::exception& e) {
      failures.push_back(path + ": not a brevane::Error: " + e.what());
    }
  }
  std::string all;
  for (const std::string& f : failures) all += f + "\n";
  EXPECT_TRUE(failures.empty()) << all;
}

TEST(CorpusConformance, MetafilesGiveTheirPictureSize) {
  BREVANE_REQUIRE_TESTDATA();
  for (const std::string& path : corpusFiles()) {
    if (path.rfind("metafile/", 0) != 0 || extensionOf(path) == "png") continue;
    DecodedImage img = loadImage(test::testdata(path));
    EXPECT_EQ(img.kind, DecodedKind::kMetafile) << path;
    EXPECT_TRUE(img.bitmap.empty()) << path;
    std::vector<uint8_t> head = test::readBytes(test::testdata(path));
    bool placeable = head.size() > 4 && head[0] == 0xD7 && head[1] == 0xCD && head[2] == 0xC6 && head[3] == 0x9A;
    if (placeable || extensionOf(path) == "emf") {  // plain WMFs need not state a size
      EXPECT_GT(img.width, 0) << path;
      EXPECT_GT(img.height, 0) << path;
    }
  }
  // A placeable file at 96 pixels per inch; its reference was rendered at 72.
  DecodedImage drawing = loadImage(test::testdata("metafile/drawing.wmf"));
  DecodedImage reference = loadImage(test::testdata("metafile/drawing_wmf_ref.png"));
  EXPECT_NEAR(drawing.width, reference.width * 96.0 / 72, 1.0);
  EXPECT_NEAR(drawing.height, reference.height * 96.0 / 72, 1.0);
}

// How a decoded file is compared with its reference image.
enum class Compare {
  kColour,     // blue, green, red only
  kColourAlpha,  // and the fourth byte where both are 32-bit
  kOverBlack,  // the file's straight alpha composited over black, against the reference's colour
};

struct ReferenceCase {
  std::string file, reference;
  int tolerance;
  Compare mode;
};

std::ostream& operator<<(std::ostream& os, const ReferenceCase& c) { return os << c.file; }

std::vector<ReferenceCase> referenceCases() {
  std::vector<ReferenceCase> cases;
  for (const char* mode : {"l", "la", "p", "rgb", "rgba"})
    for (const char* origin : {"bl", "tl"})
      for (const char* packing : {"raw", "rle"}) {
        std::string stem = std::string("tga/common/200x32_") + mode;
        Compare how = std::string(mode) == "la" ? Compare::kOverBlack : Compare::kColourAlpha;
        cases.push_back({stem + "_" + origin + "_" + packing + ".tga", stem + ".png", 0, how});
      }
  for (const char* origin : {"bl", "tl"})
    for (const char* packing : {"raw", "rle"})
      cases.push_back({std::string("tga/common/1x1_l_") + origin + "_" + packing + ".tga", "tga/common/1x1_l.png", 0,
                       Compare::kColour});
  cases.push_back({"tga/cross_scan_line.tga", "tga/cross_scan_line.png", 0, Compare::kColour});
  cases.push_back({"tga/p_16.tga", "png/p_16.png", 0, Compare::kColour});
  // The BMP suite's renderings (palette entries rounded differently by one step).
  const std::pair<const char*, const char*> bmp[] = {
      {"pal1", "pal1"},       {"pal1wb", "pal1"},     {"pal1bg", "pal1bg"},     {"pal4", "pal4"},
      {"pal4rle", "pal4"},    {"pal8", "pal8"},       {"pal8-0", "pal8"},       {"pal8os2", "pal8"},
      {"pal8rle", "pal8"},    {"pal8topdown", "pal8"}, {"pal8v4", "pal8"},      {"pal8v5", "pal8"},
      {"pal8w124", "pal8w124"}, {"pal8w125", "pal8w125"}, {"pal8w126", "pal8w126"}, {"rgb16-565", "rgb16-565"},
      {"rgb16-565pal", "rgb16-565"}, {"rgb16", "rgb16"}, {"rgb24", "rgb24"},    {"rgb24pal", "rgb24"},
      {"rgb32", "rgb24"},     {"rgb32bf", "rgb24"}};
  for (const auto& [file, ref] : bmp)
    cases.push_back({std::string("bmp/g/") + file + ".bmp", std::string("bmp/html/") + ref + ".png", 1, Compare::kColour});
  // PngSuite: interlaced files against their plain twins, split data streams against the plain file.
  const std::string suite = test::testdata("pngsuite/");
  if (!suite.empty())
    for (const auto& e : fs::directory_iterator(suite)) {
      std::string name = e.path().filename().string();
      if (name.size() == 12 && name[3] == 'i' && (name.rfind("basi", 0) == 0 || name[0] == 's')) {
        std::string twin = name;
        twin[3] = 'n';
        if (fs::exists(suite + twin)) cases.push_back({"pngsuite/" + name, "pngsuite/" + twin, 0, Compare::kColourAlpha});
      }
      if (name.rfind("oi", 0) == 0)
        cases.push_back({"pngsuite/" + name, "pngsuite/basn" + name.substr(4), 0, Compare::kColourAlpha});
    }
  std::sort(cases.begin(), cases.end(), [](const auto& a, const auto& b) { return a.file < b.file; });
  cases.push_back({"jp2/test-card-lossless.jp2", "jp2/test-card.png", 1, Compare::kColour});
  cases.push_back({"tiff/tiff_16bit_RGB.tiff", "tiff/tiff_16bit_RGB_target.png", 1, Compare::kColour});
  // Deep TIFF samples against the 8-bit file of the same picture.
  for (const char* kind : {"minisblack", "rgb-contig", "rgb-planar"})
    for (const char* depth : {"10", "12", "14", "16", "24", "32"})
      cases.push_back({std::string("tiff/libtiffpic/depth/flower-") + kind + "-" + depth + ".tif",
                       std::string("tiff/libtiffpic/depth/flower-") + kind + "-08.tif", 1, Compare::kColour});
  for (const char* kind : {"contig", "planar"})
    cases.push_back({std::string("tiff/libtiffpic/depth/flower-separated-") + kind + "-16.tif",
                     std::string("tiff/libtiffpic/depth/flower-separated-") + kind + "-08.tif", 2, Compare::kColour});
  return cases;
}

class CorpusReference : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(CorpusReference, PixelsMatch) {
  BREVANE_REQUIRE_TESTDATA();
  const ReferenceCase& c = GetParam();
  Bitmap got = loadImage(test::testdata(c.file)).bitmap;
  Bitmap want = loadImage(test::testdata(c.reference)).bitmap;
  ASSERT_EQ(got.width(), want.width());
  ASSERT_EQ(got.height(), want.height());
  bool alpha = c.mode == Compare::kColourAlpha && got.bitsPerPixel() == 32 && want.bitsPerPixel() == 32;
  Bitmap straight = got;
  if (c.mode == Compare::kOverBlack) straight.convertTo32();
  int worst = 0, count = 0;
  for (int y = 0; y < got.height(); ++y)
    for (int x = 0; x < got.width(); ++x) {
      Bgr p = got.pixel(x, y), q = want.pixel(x, y);
      if (c.mode == Compare::kOverBlack) {
        const uint8_t* s = straight.scanLine(y) + 4 * x;
        auto over = [a = s[3]](uint8_t v) { return static_cast<uint8_t>((v * a + 127) / 255); };
        p = {over(s[0]), over(s[1]), over(s[2])};
      }
      int d = std::max({std::abs(p.b - q.b), std::abs(p.g - q.g), std::abs(p.r - q.r)});
      if (alpha) d = std::max(d, std::abs(got.scanLine(y)[4 * x + 3] - want.scanLine(y)[4 * x + 3]));
      worst = std::max(worst, d);
      if (d > c.tolerance) ++count;
    }
  EXPECT_LE(worst, c.tolerance) << count << " pixels differ";
}

INSTANTIATE_TEST_SUITE_P(Suites, CorpusReference, ::testing::ValuesIn(referenceCases()),
                         [](const auto& info) {
                           std::string n = info.param.file;
                           for (char& ch : n)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

}  // namespace
}  // namespace brevane::codecs
