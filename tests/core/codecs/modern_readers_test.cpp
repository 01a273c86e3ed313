// WebP, AVIF, HEIF and JPEG XL readers on files made by each format's own tools: lossless files
// give the source back, lossy ones the tools' own pixels; alpha takes PNG's path; the first
// frame of animations; high bit depths; orientation and ICC reported; damage fails with a line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "codecs/orientation.h"
#include "codecs/working_image.h"
#include "core/codecs/codec_test_support.h"
#include "core/codecs/modern_tools.h"
#include "core/codecs/reference_decoders.h"
#include "support/test_support.h"

namespace brevane {
namespace {

using codecs::DecodedImage;
using codecs::DecodedKind;
using codecs::exifOrientation;
using codecs::Mirror;
using codecs::orientationOf;
namespace ct = codecs::test;
using test::runInFolder;
using test::runTool;

struct Format {
  const char* ext;
  const char* tool;      // the encoder, whose presence the test needs
  const char* lossless;  // PNG {in} to {out}, every pixel kept (HEIF: within 1)
  const char* lossy;
  const char* decoder;   // {in} to PNG {out}
  int losslessTolerance;
};

const Format kWebp{"webp", "cwebp", "cwebp -quiet -lossless -exact {in} -o {out}", "cwebp -quiet -q 70 {in} -o {out}",
                   "dwebp -quiet {in} -o {out}", 0};
const Format kAvif{"avif", "avifenc", "avifenc -s 10 -l {in} {out}", "avifenc -s 10 --min 20 --max 30 {in} {out}",
                   "avifdec {in} {out}", 0};
const Format kHeic{"heic", "heif-enc", "heif-enc -L -p chroma=444 --matrix_coefficients=0 {in} -o {out}",
                   "heif-enc -q 60 {in} -o {out}", "heif-convert {in} {out}", 1};
const Format kJxl{"jxl", "cjxl", "cjxl {in} {out} -d 0", "cjxl {in} {out} -d 1.5", "djxl {in} {out}", 0};

std::string formatName(const ::testing::TestParamInfo<Format>& info) { return info.param.ext; }
void PrintTo(const Format& f, std::ostream* os) { *os << f.ext; }

class ModernReader : public ::testing::TestWithParam<Format> {
 protected:
  void SetUp() override {
    BREVANE_REQUIRE_TOOL(GetParam().tool);
    BREVANE_REQUIRE_TOOL(std::string(GetParam().decoder).substr(0, std::string(GetParam().decoder).find(' ')));
  }
};

TEST_P(ModernReader, LosslessFilesGiveTheSourceBack) {
  const Format& f = GetParam();
  for (auto [w, h] : {std::pair{1, 1}, std::pair{45, 31}}) {
    for (bool withAlpha : {false, true}) {
      Bitmap img = test::patternImage(w, h, 24, 3);
      Bitmap alpha = test::alphaPattern(w, h);
      std::vector<uint8_t> file = test::toolEncode(f.lossless, img, withAlpha ? &alpha : nullptr, f.ext);
      ASSERT_FALSE(file.empty());
      DecodedImage d = ct::decodeAs(f.ext, file);
      EXPECT_EQ(d.kind, DecodedKind::kBitmap);
      Bitmap expected = withAlpha ? test::withAlphaPlane(img, alpha) : img;
      if (withAlpha) {
        ASSERT_EQ(d.bitmap.bitsPerPixel(), 32) << w << "x" << h;
        EXPECT_EQ(d.bitmap.alphaMode(), AlphaMode::kStraight);
      } else if (d.bitmap.bitsPerPixel() == 32) {
        // Some encoders add an opaque alpha plane; it must read as opaque.
        Bitmap opaque(w, h, 24);
        opaque.fill(255);
        expected = test::withAlphaPlane(img, opaque);
      }
      EXPECT_LE(test::maxDifference(d.bitmap, expected), f.losslessTolerance) << w << "x" << h << " alpha " << withAlpha;
      EXPECT_EQ(d.orientation, 1);
      EXPECT_TRUE(d.iccProfile.empty());
    }
  }
}

TEST_P(ModernReader, LossyFilesGiveTheToolsOwnPixels) {
  const Format& f = GetParam();
  Bitmap img = test::photoLike(97, 64, 5);
  Bitmap alpha = test::alphaPattern(97, 64);
  for (bool withAlpha : {false, true}) {
    std::vector<uint8_t> file = test::toolEncode(f.lossy, img, withAlpha ? &alpha : nullptr, f.ext);
    ASSERT_FALSE(file.empty());
    DecodedImage d = ct::decodeAs(f.ext, file);
    Bitmap reference = test::toolDecode(f.decoder, file, f.ext);
    EXPECT_LE(test::maxDifference(d.bitmap, reference), 1) << "alpha " << withAlpha;
    EXPECT_GT(test::psnr(d.bitmap, img), 30.0) << "alpha " << withAlpha;  // colours in their places
    EXPECT_EQ(d.bitmap.bitsPerPixel() == 32, withAlpha || reference.bitsPerPixel() == 32);
  }
}

// A straight-alpha decode goes through the working image exactly as the same pixels in a PNG of
// colour type 6 do: blended over transparent white, alpha in the alpha plane.
class ModernExactReader : public ModernReader {};

TEST_P(ModernExactReader, AlphaTakesThePathOfPngWithAlpha) {
  const Format& f = GetParam();
  Bitmap img = test::patternImage(40, 9, 24, 5);
  Bitmap alpha = test::alphaPattern(40, 9);
  std::vector<uint8_t> png = test::pngOf(img, &alpha);
  WorkingImage fromPng = buildWorkingImage(ct::decodeAs("png", png));
  WorkingImage fromFile = buildWorkingImage(ct::decodeAs(f.ext, test::toolEncode(f.lossless, img, &alpha, f.ext)));
  ASSERT_TRUE(fromFile.hasAlpha);
  EXPECT_TRUE(test::samePixels(fromFile.image, fromPng.image));
  EXPECT_TRUE(test::samePixels(fromFile.alpha, fromPng.alpha));
}

TEST_P(ModernReader, DamagedFilesFailWithTheFormatsLine) {
  const Format& f = GetParam();
  std::vector<uint8_t> good = test::toolEncode(f.lossy, test::photoLike(64, 48, 4), nullptr, f.ext);
  ASSERT_GT(good.size(), 64u);
  std::vector<std::vector<uint8_t>> bad = {
      {},
      {0x52, 0x49, 0x46, 0x46, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
      std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2),
      std::vector<uint8_t>(good.begin(), good.begin() + 40),
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    try {
      ct::decodeAs(f.ext, bad[i]);
      ADD_FAILURE() << "case " << i << " decoded";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("image is not valid ("), std::string::npos) << i << ": " << e.what();
    }
  }
  // Bytes changed inside the coded data: a line or a picture, never a crash.
  for (size_t step = 7; step < good.size(); step += good.size() / 9) {
    std::vector<uint8_t> changed = good;
    for (size_t p = good.size() / 3; p < good.size(); p += step) changed[p] ^= 0x5A;
    try {
      ct::decodeAs(f.ext, changed);
    } catch (const Error&) {
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ModernReader, ::testing::Values(kWebp, kAvif, kHeic, kJxl), formatName);
// HEIF's lossless mode is within 1, not exact.
INSTANTIATE_TEST_SUITE_P(Formats, ModernExactReader, ::testing::Values(kWebp, kAvif, kJxl), formatName);

// 16-bit samples stored at 10, 12 or 16 bits come back as 8-bit values within 1.
struct DepthCase {
  const char* ext;
  const char* tool;
  const char* command;
};
void PrintTo(const DepthCase& c, std::ostream* os) { *os << c.command; }
class ModernReaderDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(ModernReaderDepth, HighBitDepthsAreReducedTo8) {
  const DepthCase& c = GetParam();
  BREVANE_REQUIRE_TOOL(c.tool);
  const int w = 33, h = 17;
  std::vector<std::vector<uint8_t>> rows;
  Bitmap expected(w, h, 24);
  for (int y = 0; y < h; ++y) {
    std::vector<uint8_t> row;
    for (int x = 0; x < w; ++x)
      for (int ch = 0; ch < 3; ++ch) {
        unsigned v = (static_cast<unsigned>(x) * 1987u + static_cast<unsigned>(y) * 3001u + ch * 20011u) * 7u % 65536u;
        row.push_back(static_cast<uint8_t>(v >> 8));
        row.push_back(static_cast<uint8_t>(v));
        expected.scanLine(y)[3 * x + 2 - ch] = static_cast<uint8_t>((v * 255 + 32767) / 65535);
      }
    rows.push_back(row);
  }
  test::ToolRun run = runTool(c.command, ct::makePng(w, h, 2, 16, rows), "png", c.ext);
  ASSERT_TRUE(run.ok) << run.log;
  DecodedImage d = ct::decodeAs(c.ext, run.output);
  Bitmap colours = d.bitmap;
  colours.convertTo24();
  EXPECT_LE(test::maxDifference(colours, expected), 1) << c.command;
}

INSTANTIATE_TEST_SUITE_P(Depths, ModernReaderDepth,
                         ::testing::Values(DepthCase{"avif", "avifenc", "avifenc -s 10 -l -d 10 {in} {out}"},
                                           DepthCase{"avif", "avifenc", "avifenc -s 10 -l -d 12 {in} {out}"},
                                           DepthCase{"heic", "heif-enc",
                                                     "heif-enc -b 10 -L -p chroma=444 --matrix_coefficients=0 {in} -o {out}"},
                                           DepthCase{"jxl", "cjxl", "cjxl {in} {out} -d 0"}));

// Two frames: the first is a 20 x 10 red block, the second fills the 32 x 16 canvas in green.
std::vector<std::pair<std::string, std::vector<uint8_t>>> twoFrames(bool firstFillsCanvas) {
  Bitmap red(firstFillsCanvas ? 32 : 20, firstFillsCanvas ? 16 : 10, 24), green(32, 16, 24);
  for (int y = 0; y < red.height(); ++y)
    for (int x = 0; x < red.width(); ++x) red.scanLine(y)[3 * x] = 40, red.scanLine(y)[3 * x + 1] = 30, red.scanLine(y)[3 * x + 2] = 200;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) green.scanLine(y)[3 * x + 1] = 220;
  return {{"f1.png", test::pngOf(red)}, {"f2.png", test::pngOf(green)}};
}

void expectRedFirstFrame(const DecodedImage& d, int x0, int y0, int w, int h) {
  ASSERT_EQ(d.bitmap.width(), 32);
  ASSERT_EQ(d.bitmap.height(), 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) {
      bool inside = x >= x0 && x < x0 + w && y >= y0 && y < y0 + h;
      Bgr p = d.bitmap.pixel(x, y);
      if (inside) {
        ASSERT_EQ(p, (Bgr{40, 30, 200})) << x << "," << y;
        if (d.bitmap.bitsPerPixel() == 32) {
          ASSERT_EQ(d.bitmap.scanLine(y)[4 * x + 3], 255);
        }
      } else {
        ASSERT_EQ(d.bitmap.bitsPerPixel(), 32);
        ASSERT_EQ(d.bitmap.scanLine(y)[4 * x + 3], 0) << x << "," << y;
      }
    }
}

TEST(ModernReaderAnimation, TheFirstFrameIsDecoded) {
  if (test::haveTool("cwebp") && test::haveTool("webpmux")) {
    // A first frame smaller than the canvas lies on transparency.
    test::ToolRun run = runInFolder(
        "cwebp -quiet -lossless f1.png -o f1.webp && cwebp -quiet -lossless f2.png -o f2.webp && "
        "webpmux -frame f1.webp +100+4+2 -frame f2.webp +100+0+0 -loop 0 -o anim.webp",
        twoFrames(false), "anim.webp");
    ASSERT_TRUE(run.ok) << run.log;
    expectRedFirstFrame(ct::decodeAs("webp", run.output), 4, 2, 20, 10);
  }
  if (test::haveTool("avifenc")) {
    test::ToolRun run = runInFolder("avifenc -s 10 -l f1.png f2.png anim.avif", twoFrames(true), "anim.avif");
    ASSERT_TRUE(run.ok) << run.log;
    expectRedFirstFrame(ct::decodeAs("avif", run.output), 0, 0, 32, 16);
  }
  if (test::haveTool("cjxl") && test::haveTool("convert")) {
    test::ToolRun run =
        runInFolder("convert -delay 10 f1.png f2.png anim.gif && cjxl anim.gif anim.jxl -d 0", twoFrames(true), "anim.jxl");
    ASSERT_TRUE(run.ok) << run.log;
    expectRedFirstFrame(ct::decodeAs("jxl", run.output), 0, 0, 32, 16);
  }
}

// Headers that claim more pixels than the engine takes fail before the pixels are allocated.
std::string decodeError(const std::string& ext, const std::vector<uint8_t>& bytes) {
  try {
    ct::decodeAs(ext, bytes);
  } catch (const Error& e) {
    return e.what();
  }
  return "decoded";
}

void patchBe32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (24 - 8 * i));
}

TEST(ModernReaderLimits, OversizedHeadersFailBeforeAllocating) {
  if (test::haveTool("cwebp") && test::haveTool("webpmux")) {
    test::ToolRun run = runInFolder(
        "cwebp -quiet -lossless f1.png -o f1.webp && cwebp -quiet -lossless f2.png -o f2.webp && "
        "webpmux -frame f1.webp +100+0+0 -frame f2.webp +100+0+0 -loop 0 -o anim.webp",
        twoFrames(false), "anim.webp");
    ASSERT_TRUE(run.ok) << run.log;
    std::vector<uint8_t> file = run.output;
    ASSERT_EQ(std::string(file.begin() + 12, file.begin() + 16), "VP8X");
    // A 20000 x 20000 canvas: within the demuxer's limit, beyond the engine's.
    for (size_t at : {24u, 27u}) file[at] = 0x1F, file[at + 1] = 0x4E, file[at + 2] = 0;
    EXPECT_EQ(decodeError("webp", file), "Image is too large (20000x20000 pixels)");
  }
  if (test::haveTool("avifenc")) {
    test::ToolRun run = runTool("avifenc -s 10 --min 40 --max 50 {in} {out}", test::pngOf(test::photoLike(16, 16)), "png", "avif");
    ASSERT_TRUE(run.ok) << run.log;
    std::vector<uint8_t> file = run.output;
    size_t ispe = std::string(file.begin(), file.end()).find("ispe");
    ASSERT_NE(ispe, std::string::npos);
    patchBe32(file, ispe + 8, 20000);
    patchBe32(file, ispe + 12, 20000);
    EXPECT_EQ(decodeError("avif", file).rfind("AVIF image is not valid (", 0), 0u) << decodeError("avif", file);
  }
  // A grid that declares 65535 x 64263 pixels over an 8 x 8 picture (found by fuzzing: libheif
  // bounds sides only and allocated 4 GiB for it).
  std::vector<uint8_t> grid = test::readBytes(std::string(BREVANE_SOURCE_DIR) + "/tests/core/codecs/data/heif_grid_oversized.heic");
  ASSERT_FALSE(grid.empty());
  EXPECT_EQ(decodeError("heic", grid).rfind("HEIF image is not valid (", 0), 0u) << decodeError("heic", grid);
  // A JPEG XL codestream whose size header claims 2^20 x 2^20 pixels, default metadata.
  std::vector<uint8_t> jxl = {0xFF, 0x0A};
  std::vector<bool> bits;  // least significant bit first
  auto put = [&](uint32_t value, int n) {
    for (int i = 0; i < n; ++i) bits.push_back((value >> i) & 1);
  };
  put(0, 1);                         // not small
  put(3, 2), put((1u << 20) - 1, 30);  // height
  put(0, 3);                         // no ratio
  put(3, 2), put((1u << 20) - 1, 30);  // width
  put(1, 1);                         // all metadata default
  for (size_t i = 0; i < bits.size(); i += 8) {
    uint8_t byte = 0;
    for (size_t b = 0; b < 8 && i + b < bits.size(); ++b) byte |= static_cast<uint8_t>(bits[i + b] << b);
    jxl.push_back(byte);
  }
  jxl.resize(jxl.size() + 32, 0);
  EXPECT_EQ(decodeError("jxl", jxl), "Image is too large (1048576x1048576 pixels)");
}

// A TIFF structure holding one orientation tag.
std::vector<uint8_t> orientationExif(uint16_t value, bool bigEndian) {
  auto u16 = [&](std::vector<uint8_t>& v, uint16_t x) {
    if (bigEndian) {
      v.insert(v.end(), {uint8_t(x >> 8), uint8_t(x)});
    } else {
      v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8)});
    }
  };
  auto u32 = [&](std::vector<uint8_t>& v, uint32_t x) {
    u16(v, uint16_t(bigEndian ? x >> 16 : x));
    u16(v, uint16_t(bigEndian ? x : x >> 16));
  };
  std::vector<uint8_t> t = bigEndian ? std::vector<uint8_t>{'M', 'M'} : std::vector<uint8_t>{'I', 'I'};
  u16(t, 42);
  u32(t, 8);
  u16(t, 2);
  u16(t, 0x010F), u16(t, 2), u32(t, 4), t.insert(t.end(), {'A', 'b', 'c', 0});  // Make, before it
  u16(t, 0x0112), u16(t, 3), u32(t, 1), u16(t, value), u16(t, 0);
  u32(t, 0);
  return t;
}

TEST(ModernReaderOrientation, ExifBlocksAreReadDefensively) {
  EXPECT_EQ(exifOrientation(orientationExif(6, false)), 6);
  EXPECT_EQ(exifOrientation(orientationExif(8, true)), 8);
  std::vector<uint8_t> withHeader = {'E', 'x', 'i', 'f', 0, 0};
  std::vector<uint8_t> tiff = orientationExif(3, true);
  withHeader.insert(withHeader.end(), tiff.begin(), tiff.end());
  EXPECT_EQ(exifOrientation(withHeader), 3);
  EXPECT_EQ(exifOrientation(orientationExif(9, false)), 1);   // out of range
  EXPECT_EQ(exifOrientation(orientationExif(0, false)), 1);
  EXPECT_EQ(exifOrientation({}), 1);
  std::vector<uint8_t> cut = orientationExif(6, false);
  cut.resize(20);  // the directory is cut off before the tag
  EXPECT_EQ(exifOrientation(cut), 1);
  std::vector<uint8_t> farOffset = orientationExif(6, false);
  farOffset[4] = 0xF0;  // directory offset past the end
  EXPECT_EQ(exifOrientation(farOffset), 1);
}

TEST(ModernReaderOrientation, RotationAndMirrorMapOntoExifValues) {
  struct Case {
    int turns;
    Mirror mirror;
    int exif;
  };
  for (Case c : {Case{0, Mirror::kNone, 1}, Case{0, Mirror::kLeftRight, 2}, Case{2, Mirror::kNone, 3},
                 Case{0, Mirror::kTopBottom, 4}, Case{1, Mirror::kTopBottom, 5}, Case{3, Mirror::kNone, 6},
                 Case{3, Mirror::kTopBottom, 7}, Case{1, Mirror::kNone, 8}, Case{2, Mirror::kLeftRight, 4},
                 Case{1, Mirror::kLeftRight, 7}, Case{5, Mirror::kNone, 8}})
    EXPECT_EQ(orientationOf(c.turns, c.mirror), c.exif) << c.turns << " " << int(c.mirror);
}

TEST(ModernReaderOrientation, FilesReportTheirOrientationWithoutTurningThePixels) {
  Bitmap img = test::patternImage(12, 7, 24, 9);
  if (test::haveTool("cwebp") && test::haveTool("webpmux")) {
    test::ToolRun run = runInFolder("cwebp -quiet -lossless in.png -o a.webp && webpmux -set exif o.exif a.webp -o out.webp",
                                    {{"in.png", test::pngOf(img)}, {"o.exif", orientationExif(6, false)}}, "out.webp");
    ASSERT_TRUE(run.ok) << run.log;
    DecodedImage d = ct::decodeAs("webp", run.output);
    EXPECT_EQ(d.orientation, 6);
    EXPECT_TRUE(test::samePixels(d.bitmap, img));
  }
  if (test::haveTool("avifenc")) {
    for (auto [args, want] : {std::pair{"--irot 1", 8}, std::pair{"--imir 1", 2}, std::pair{"--irot 3 --imir 0", 7}}) {
      test::ToolRun run = runTool(std::string("avifenc -s 10 -l ") + args + " {in} {out}", test::pngOf(img), "png", "avif");
      ASSERT_TRUE(run.ok) << run.log;
      DecodedImage d = ct::decodeAs("avif", run.output);
      EXPECT_EQ(d.orientation, want) << args;
      EXPECT_EQ(d.bitmap.width(), 12) << args;
    }
  }
  if (test::haveTool("cjxl")) {
    // The encoder moves a PNG's Exif orientation into the codestream.
    std::vector<uint8_t> png = test::pngOf(img);
    std::vector<uint8_t> exif = orientationExif(6, false);
    std::vector<uint8_t> withExif(png.begin(), png.end() - 12);  // before IEND
    ct::appendChunk(withExif, "eXIf", exif);
    ct::appendChunk(withExif, "IEND", {});
    test::ToolRun run = runTool("cjxl {in} {out} -d 0", withExif, "png", "jxl");
    ASSERT_TRUE(run.ok) << run.log;
    DecodedImage d = ct::decodeAs("jxl", run.output);
    EXPECT_EQ(d.orientation, 6);
    EXPECT_TRUE(test::samePixels(d.bitmap, img));
  }
}

TEST(ModernReaderColour, EmbeddedIccProfilesAreReported) {
  // The containers carry the profile as bytes; these readers hand the bytes on unchanged.
  std::vector<uint8_t> icc(560);
  for (size_t i = 0; i < icc.size(); ++i) icc[i] = static_cast<uint8_t>(i * 13 + 1);
  Bitmap img = test::patternImage(8, 8, 24, 2);
  if (test::haveTool("cwebp") && test::haveTool("webpmux")) {
    test::ToolRun run = runInFolder("cwebp -quiet -lossless in.png -o a.webp && webpmux -set icc p.icc a.webp -o out.webp",
                                    {{"in.png", test::pngOf(img)}, {"p.icc", icc}}, "out.webp");
    ASSERT_TRUE(run.ok) << run.log;
    EXPECT_EQ(ct::decodeAs("webp", run.output).iccProfile, icc);
  }
  if (test::haveTool("avifenc")) {
    test::ToolRun run = runInFolder("avifenc -s 10 -l --icc p.icc in.png out.avif",
                                    {{"in.png", test::pngOf(img)}, {"p.icc", icc}}, "out.avif");
    ASSERT_TRUE(run.ok) << run.log;
    EXPECT_EQ(ct::decodeAs("avif", run.output).iccProfile, icc);
  }
}

}  // namespace
}  // namespace brevane
