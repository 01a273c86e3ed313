// The extra-format readers on files built here byte by byte where no independent writer
// exists (Dr. Halo, Autodesk, Paintshop Pro, Photo CD, EPSI previews), on corpus files read
// without a reference decoder (Alias/Wavefront, Photo CD, Paintshop Pro), and on portable-map
// header details.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/error.h"
#include "core/codecs/extras_test_support.h"
#include "codecs/registry.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

using Bytes = std::vector<uint8_t>;

void le16(Bytes& v, uint32_t x) {
  v.push_back(x & 0xFF);
  v.push_back((x >> 8) & 0xFF);
}
void le32(Bytes& v, uint32_t x) {
  le16(v, x & 0xFFFF);
  le16(v, x >> 16);
}
void append(Bytes& v, std::initializer_list<uint8_t> bytes) {
  v.insert(v.end(), bytes);
}

DecodedImage decode(const std::string& name, const Bytes& bytes) {
  return decodeBytes(name, bytes);
}

Bgr rgb(uint8_t r, uint8_t g, uint8_t b) {
  return Bgr{b, g, r};
}

// ---- Dr. Halo -------------------------------------------------------------------------------

// 5 x 3: a run, literals and a run, literals and a run; indexes 0-3.
Bytes haloImage() {
  Bytes d;
  le16(d, 5), le16(d, 3), le16(d, 0);
  for (Bytes row : {Bytes{0x85, 1, 0}, Bytes{0x03, 2, 3, 1, 0x82, 0, 0}, Bytes{0x02, 3, 2, 0x83, 1, 0}}) {
    le16(d, static_cast<uint32_t>(row.size()));
    d.insert(d.end(), row.begin(), row.end());
  }
  return d;
}

Bytes haloPalette() {
  Bytes p = {'A', 'H'};
  le16(p, 0), le16(p, 0);
  append(p, {0x0A, 0});
  for (uint32_t v : {0u, 0u, 3u, 255u, 255u, 255u}) le16(p, v);  // board, mode, max index, max r/g/b
  const char id[20] = "Dr. Halo";
  p.insert(p.end(), id, id + 20);
  for (uint32_t v : {10u, 20u, 30u, 255u, 0u, 0u, 0u, 255u, 0u, 0u, 0u, 255u}) le16(p, v);
  return p;
}

TEST(ExtrasHalo, PaletteBesideTheImageMatchesImageMagick) {
  BREVANE_REQUIRE_PROGRAM("convert");
  std::string dir = test::makeTempDir("cut");
  test::writeBytes(dir + "pic.cut", haloImage());
  test::writeBytes(dir + "pic.pal", haloPalette());
  DecodedImage ours = loadImage(dir + "pic.cut");
  ASSERT_EQ(ours.bitmap.bitsPerPixel(), 8);
  std::optional<test::Rgba> reference = test::imageMagickDecode(dir + "pic.cut");
  ASSERT_TRUE(reference);
  EXPECT_TRUE(test::closePixels(test::toRgba(ours.bitmap), *reference, 0));
  EXPECT_EQ(ours.bitmap.pixel(3, 1), rgb(10, 20, 30));
}

TEST(ExtrasHalo, WithoutPaletteIsGreyAndRunsAreClippedToTheRow) {
  Bytes d;
  le16(d, 4), le16(d, 2), le16(d, 0);
  // Row 0: a run of 9 into a 4-pixel row; row 1: a literal of 6 bytes into 4 pixels.
  for (Bytes row : {Bytes{0x89, 7, 0}, Bytes{0x06, 1, 2, 3, 4, 5, 6, 0}}) {
    le16(d, static_cast<uint32_t>(row.size()));
    d.insert(d.end(), row.begin(), row.end());
  }
  DecodedImage img = decodeBytes("/nonexistent/x.cut", d);
  EXPECT_EQ(img.bitmap.pixel(3, 0), rgb(7, 7, 7));
  EXPECT_EQ(img.bitmap.pixel(0, 1), rgb(1, 1, 1));
  EXPECT_EQ(img.bitmap.pixel(3, 1), rgb(4, 4, 4));
}

// ---- Autodesk Animator ----------------------------------------------------------------------

Bytes celFile(int width, int height, uint8_t paletteScale = 63) {
  Bytes d;
  le16(d, 0x9119), le16(d, static_cast<uint32_t>(width)), le16(d, static_cast<uint32_t>(height));
  le16(d, 0), le16(d, 0);
  append(d, {8, 0});
  le32(d, static_cast<uint32_t>(width * height));
  d.resize(32, 0);
  for (int i = 0; i < 256; ++i) append(d, {uint8_t(i % 64 * paletteScale / 63), uint8_t(paletteScale), 0});
  for (int i = 0; i < width * height; ++i) d.push_back(static_cast<uint8_t>(i * 7));
  return d;
}

TEST(ExtrasAutodesk, SixBitPaletteIsScaledAndRowsRunFromTheTop) {
  for (const char* name : {"a.cel", "a.pic"}) {
    DecodedImage img = decode(name, celFile(3, 2));
    ASSERT_EQ(img.bitmap.bitsPerPixel(), 8) << name;
    ASSERT_EQ(img.bitmap.width(), 3);
    // Pixel (1, 1) holds index 28: red 28 of 63 -> 113, green 63 -> 255.
    EXPECT_EQ(img.bitmap.scanLine(1)[1], 28);
    EXPECT_EQ(img.bitmap.pixel(1, 1), rgb(113, 255, 0));
  }
  // A palette with values above 63 is already 8-bit.
  DecodedImage wide = decode("a.cel", celFile(1, 1, 200));
  EXPECT_EQ(wide.bitmap.pixel(0, 0), rgb(0, 200, 0));
}

TEST(ExtrasAutodesk, FlicLayoutCelsGiveTheirFirstFrameAsPilDecodesIt) {
  BREVANE_REQUIRE_TESTDATA();
  BREVANE_REQUIRE_PIL();
  // Animator Pro saves cels in the flic layout; the corpus animations stand for them.
  std::string dir = test::makeTempDir("cel");
  std::string cel = dir + "frame.cel";
  test::writeBytes(cel, test::readBytes(test::testdata("other/hopper.fli")));
  std::optional<test::Rgba> reference = test::pilDecode(test::testdata("other/hopper.fli"));
  ASSERT_TRUE(reference);
  EXPECT_TRUE(test::closePixels(test::toRgba(loadImage(cel).bitmap), *reference, 0));
  // PIL stops at this one's postage-stamp chunk; its first frame still decodes: the start of a
  // black brush stroke on white.
  test::writeBytes(cel, test::readBytes(test::testdata("other/2422.flc")));
  Bitmap frame = loadImage(cel).bitmap;
  ASSERT_EQ(frame.width(), 320);
  ASSERT_EQ(frame.height(), 200);
  EXPECT_GE(frame.pixel(0, 0).g, 240);
  int black = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 320; ++x) black += frame.pixel(x, y) == rgb(0, 0, 0);
  EXPECT_GT(black, 500);
}

// ---- Photo CD -------------------------------------------------------------------------------

// An image pac with a neutral base image of luma `y`, except a 2 x 2 marker of luma 150 with
// chroma (200, 137) at the top-right corner.
Bytes photoCd(int turns, uint8_t y = 100) {
  const size_t base = 96 * 2048;
  Bytes d(base + 768 * 512 * 3 / 2, 0);
  std::memcpy(d.data() + 2048, "PCD_IPI", 7);
  d[0x0E02] = static_cast<uint8_t>(turns);
  for (int pair = 0; pair < 256; ++pair) {
    uint8_t* block = d.data() + base + static_cast<size_t>(pair) * 768 * 3;
    std::memset(block, y, 2 * 768);
    std::memset(block + 2 * 768, 156, 384);
    std::memset(block + 2 * 768 + 384, 137, 384);
  }
  uint8_t* first = d.data() + base;
  first[766] = first[767] = first[768 + 766] = first[768 + 767] = 150;
  first[2 * 768 + 383] = 200;
  return d;
}

TEST(ExtrasPhotoCd, NeutralChromaGivesGreyAndChromaCoversTwoByTwo) {
  DecodedImage img = decode("a.pcd", photoCd(0));
  ASSERT_EQ(img.bitmap.width(), 768);
  ASSERT_EQ(img.bitmap.height(), 512);
  EXPECT_EQ(img.bitmap.pixel(0, 0), rgb(136, 136, 136));  // 1.3584 * 100
  // Luma 150 -> 203.76; blue-difference 2.2179 * 44 = 97.59 raises blue and lowers green.
  Bgr marker = rgb(204, 185, 255);
  EXPECT_EQ(img.bitmap.pixel(767, 0), marker);
  EXPECT_EQ(img.bitmap.pixel(766, 1), marker);
  EXPECT_EQ(img.bitmap.pixel(765, 0), rgb(136, 136, 136));
  EXPECT_EQ(img.bitmap.pixel(767, 2), rgb(136, 136, 136));
}

TEST(ExtrasPhotoCd, OrientationTurnsTheImage) {
  struct Case {
    int turns, width, height, markerX, markerY;
  };
  // The marker sits at the top-right corner of the upright picture.
  for (Case c : {Case{1, 512, 768, 0, 0}, Case{2, 768, 512, 0, 511}, Case{3, 512, 768, 511, 767}}) {
    DecodedImage img = decode("a.pcd", photoCd(c.turns));
    ASSERT_EQ(img.bitmap.width(), c.width) << c.turns;
    ASSERT_EQ(img.bitmap.height(), c.height) << c.turns;
    EXPECT_EQ(img.bitmap.pixel(c.markerX, c.markerY).b, 255) << c.turns;
  }
}

TEST(ExtrasPhotoCd, CorpusFileAgreesWithImageMagickUpToItsHighlightRange) {
  BREVANE_REQUIRE_TESTDATA();
  BREVANE_REQUIRE_PROGRAM("convert");
  std::string path = test::testdata("other/hopper.pcd");
  test::Rgba ours = test::toRgba(loadImage(path).bitmap);
  std::optional<test::Rgba> reference = test::imageMagickDecode(path, "-size 768x512");
  ASSERT_TRUE(reference);
  ASSERT_EQ(reference->width, ours.width);
  ASSERT_EQ(reference->height, ours.height);
  // ImageMagick maps the whole PhotoYCC range (up to 1.36 times reference white) into 0-255,
  // where this reader clips above reference white; the samples both leave unclipped agree
  // after that scale. A misplaced plane or row gives mean differences of tens.
  double sum = 0;
  size_t count = 0;
  for (size_t i = 0; i < ours.pixels.size(); ++i) {
    if (i % 4 == 3 || ours.pixels[i] == 0 || ours.pixels[i] == 255) continue;
    sum += std::abs(ours.pixels[i] * 0.734 - reference->pixels[i]);
    ++count;
  }
  ASSERT_GT(count, ours.pixels.size() / 4);
  EXPECT_LT(sum / count, 4.0);
}

// ---- Alias/Wavefront ------------------------------------------------------------------------

TEST(ExtrasAlias, CorpusFilesOfOneRenderAgreeAcrossDepthsAndChannels) {
  BREVANE_REQUIRE_TESTDATA();
  // The same picture coded as 8-bit RGB, 10-bit RGB, 8-bit RGBA and as mattes of 8 and 16 bits.
  auto load = [](const char* name) { return loadImage(test::testdata(std::string("other/rla/") + name)).bitmap; };
  Bitmap rgb8 = load("ginsu_rgb_nc8.rla"), rgb10 = load("ginsu_rgb_nc10.rla");
  Bitmap rgba8 = load("ginsu_rgba_nc8.rla"), matte8 = load("ginsu_a_nc8.rla"), matte16 = load("ginsu_a_nc16.rla");
  ASSERT_EQ(rgb8.bitsPerPixel(), 24);
  ASSERT_EQ(rgba8.bitsPerPixel(), 32);
  EXPECT_EQ(rgba8.alphaMode(), AlphaMode::kPremultiplied);
  ASSERT_EQ(rgb8.width(), 512);
  int colourOff = 0, alphaOff = 0, depthOff = 0, covered = 0;
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) {
      Bgr a = rgb8.pixel(x, y), b = rgb10.pixel(x, y), c = rgba8.pixel(x, y);
      if (std::abs(a.r - b.r) > 1 || std::abs(a.g - b.g) > 1 || std::abs(a.b - b.b) > 1) ++depthOff;
      if (!(a == c)) ++colourOff;
      uint8_t alpha = rgba8.scanLine(y)[4 * x + 3];
      if (alpha != matte8.scanLine(y)[4 * x + 3] || std::abs(alpha - matte16.scanLine(y)[4 * x + 3]) > 1) ++alphaOff;
      covered += alpha > 0;
    }
  EXPECT_EQ(colourOff, 0);
  EXPECT_EQ(alphaOff, 0);
  EXPECT_LT(depthOff, 512 * 512 / 100);
  EXPECT_GT(covered, 512 * 512 / 10);  // the letters are there
  // The picture reads upright: the letters lie in the upper half, the bottom rows are clear.
  EXPECT_EQ(rgba8.scanLine(511)[3], 0);
}

// ---- Paintshop Pro --------------------------------------------------------------------------

struct PspChannel {
  uint16_t bitmapType, channelType;
  Bytes pixels;
};

Bytes compress(const Bytes& raw, int compression) {
  if (compression == 0) return raw;
  if (compression == 1) {
    // Runs of up to 127 equal bytes as 128 + n, value; everything else one literal at a time.
    Bytes out;
    for (size_t i = 0; i < raw.size();) {
      size_t n = 1;
      while (i + n < raw.size() && raw[i + n] == raw[i] && n < 127) ++n;
      if (n > 1)
        append(out, {uint8_t(128 + n), raw[i]});
      else
        append(out, {1, raw[i]});
      i += n;
    }
    return out;
  }
  uLongf size = compressBound(raw.size());
  Bytes out(size);
  compress2(out.data(), &size, raw.data(), raw.size(), 9);
  out.resize(size);
  return out;
}

void block(Bytes& file, uint16_t id, const Bytes& body) {
  append(file, {'~', 'B', 'K', 0});
  le16(file, id);
  le32(file, static_cast<uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
}

Bytes channelBlock(const PspChannel& c, int compression) {
  Bytes data = compress(c.pixels, compression), body;
  le32(body, 16), le32(body, static_cast<uint32_t>(data.size())), le32(body, static_cast<uint32_t>(c.pixels.size()));
  le16(body, c.bitmapType), le16(body, c.channelType);
  body.insert(body.end(), data.begin(), data.end());
  Bytes out;
  block(out, 5, body);
  return out;
}

// A version 10 file of one raster layer (and optionally a composite image holding `composite`).
Bytes pspFile(int width, int height, int bitDepth, int compression, const std::vector<PspChannel>& layer,
              const std::vector<PspChannel>& composite = {}, const Bytes& palette = {}) {
  Bytes f(32, 0);
  std::memcpy(f.data(), "Paint Shop Pro Image File\n\x1a", 27);
  le16(f, 10), le16(f, 0);
  Bytes attr;
  le32(attr, 46), le32(attr, static_cast<uint32_t>(width)), le32(attr, static_cast<uint32_t>(height));
  attr.resize(attr.size() + 9, 0);  // resolution, unit
  le16(attr, static_cast<uint32_t>(compression)), le16(attr, static_cast<uint32_t>(bitDepth)), le16(attr, 1);
  le32(attr, 1u << std::min(bitDepth, 24));
  attr.push_back(0);
  attr.resize(46, 0);
  block(f, 0, attr);
  if (!palette.empty()) {
    Bytes body;
    le32(body, 8), le32(body, static_cast<uint32_t>(palette.size() / 4));
    body.insert(body.end(), palette.begin(), palette.end());
    block(f, 2, body);
  }
  if (!composite.empty()) {
    Bytes bank, attrs, image;
    le32(bank, 8), le32(bank, 1);
    le32(attrs, 24), le32(attrs, static_cast<uint32_t>(width)), le32(attrs, static_cast<uint32_t>(height));
    le16(attrs, static_cast<uint32_t>(bitDepth)), le16(attrs, static_cast<uint32_t>(compression)), le16(attrs, 1);
    le32(attrs, 0), le16(attrs, 0);  // colours, type 0: the composite
    block(bank, 17, attrs);
    le32(image, 8), le16(image, 1), le16(image, static_cast<uint32_t>(composite.size()));
    for (const PspChannel& c : composite) {
      Bytes cb = channelBlock(c, compression);
      image.insert(image.end(), cb.begin(), cb.end());
    }
    block(bank, 9, image);
    block(f, 16, bank);
  }
  Bytes info;
  le32(info, 0);  // patched below
  le16(info, 4);
  append(info, {'L', 'a', 'y', 'r', 1});
  for (int v : {0, 0, width, height, 0, 0, width, height}) le32(info, static_cast<uint32_t>(v));
  append(info, {255, 0, 1, 0, 0});
  info.resize(info.size() + 32 + 3, 0);
  const uint32_t infoSize = static_cast<uint32_t>(info.size());
  std::memcpy(info.data(), &infoSize, 4);
  Bytes bitmapInfo;
  le32(bitmapInfo, 8), le16(bitmapInfo, 1), le16(bitmapInfo, static_cast<uint32_t>(layer.size()));
  info.insert(info.end(), bitmapInfo.begin(), bitmapInfo.end());
  for (const PspChannel& c : layer) {
    Bytes cb = channelBlock(c, compression);
    info.insert(info.end(), cb.begin(), cb.end());
  }
  Bytes bank;
  block(bank, 4, info);
  block(f, 3, bank);
  return f;
}

Bytes plane(int n, int seed) {
  Bytes p(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) p[static_cast<size_t>(i)] = static_cast<uint8_t>(i < n / 2 ? seed : seed + i * 13);
  return p;
}

class ExtrasPspCompression : public ::testing::TestWithParam<int> {};

TEST_P(ExtrasPspCompression, RasterLayerChannelsMakeTheImage) {
  const int w = 7, h = 3;
  Bytes r = plane(w * h, 10), g = plane(w * h, 70), b = plane(w * h, 140), a = plane(w * h, 200);
  DecodedImage img = decode("a.psp", pspFile(w, h, 24, GetParam(), {{0, 1, r}, {0, 2, g}, {0, 3, b}, {1, 0, a}}));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 32);
  EXPECT_EQ(img.bitmap.alphaMode(), AlphaMode::kStraight);
  for (int i : {0, 10, 20}) {
    const uint8_t* px = img.bitmap.scanLine(i / w) + 4 * (i % w);
    EXPECT_EQ(px[2], r[static_cast<size_t>(i)]);
    EXPECT_EQ(px[1], g[static_cast<size_t>(i)]);
    EXPECT_EQ(px[0], b[static_cast<size_t>(i)]);
    EXPECT_EQ(px[3], a[static_cast<size_t>(i)]);
  }
}

INSTANTIATE_TEST_SUITE_P(Extras, ExtrasPspCompression, ::testing::Values(0, 1, 2));

TEST(ExtrasPsp, CompositeImageIsPreferredAndPalettesApply) {
  const int w = 4, h = 2;
  Bytes grey(w * h, 9), index = {0, 1, 2, 3, 3, 2, 1, 0};
  Bytes palette = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 1, 2, 3, 0};  // red, green, blue, (3, 2, 1)
  DecodedImage img = decode("a.psp", pspFile(w, h, 8, 2, {{0, 0, grey}}, {{0, 0, index}}, palette));
  ASSERT_EQ(img.bitmap.bitsPerPixel(), 8);
  EXPECT_EQ(img.bitmap.pixel(0, 0), rgb(255, 0, 0));
  EXPECT_EQ(img.bitmap.pixel(3, 0), rgb(3, 2, 1));
  EXPECT_EQ(img.bitmap.pixel(1, 1), rgb(0, 0, 255));
}

TEST(ExtrasPsp, LayerRectangleFarOutsideTheImageFails) {
  // Found by fuzzing: a saved rectangle spanning almost the whole 32-bit range overflowed the
  // width computation.
  Bytes f = pspFile(2, 2, 24, 0, {{0, 1, Bytes(4, 1)}, {0, 2, Bytes(4, 2)}, {0, 3, Bytes(4, 3)}});
  const uint8_t name[] = {'L', 'a', 'y', 'r', 1};
  auto at = std::search(f.begin(), f.end(), name, name + 5) + 5 + 16;  // the saved rectangle
  for (int32_t v : {-2089125512, 0, 1936326656, 2}) {
    std::memcpy(&*at, &v, 4);
    at += 4;
  }
  EXPECT_THROW(decode("a.psp", f), Error);
}

TEST(ExtrasPsp, CorpusFileDecodesItsLayer) {
  BREVANE_REQUIRE_TESTDATA();
  // 8 x 8, LZ77; its composite bank holds only a JPEG thumbnail, so the layer is used: white.
  DecodedImage img = loadImage(test::testdata("other/exiftool/PSP.psp"));
  ASSERT_EQ(img.bitmap.width(), 8);
  ASSERT_EQ(img.bitmap.height(), 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(img.bitmap.pixel(x, y), rgb(255, 255, 255));
}

// ---- Encapsulated PostScript ----------------------------------------------------------------

std::string epsi(const std::string& previewLines) {
  return "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 12 2\n%%EndComments\n" + previewLines +
         "%%EndPreview\n0 0 moveto showpage\n%%EOF\n";
}

TEST(ExtrasEps, EpsiPreviewZeroIsWhite) {
  // 12 x 2 at 1 bit: rows of 2 bytes, the second padded; digits may be split and spaced.
  std::string text = epsi("%%BeginPreview: 12 2 1 2\n% F0 0\n%0 0FF0\n");
  DecodedImage img = decode("a.eps", Bytes(text.begin(), text.end()));
  ASSERT_EQ(img.bitmap.width(), 12);
  EXPECT_EQ(img.bitmap.pixel(0, 0), rgb(0, 0, 0));
  EXPECT_EQ(img.bitmap.pixel(4, 0), rgb(255, 255, 255));
  EXPECT_EQ(img.bitmap.pixel(11, 0), rgb(255, 255, 255));
  EXPECT_EQ(img.bitmap.pixel(3, 1), rgb(255, 255, 255));
  EXPECT_EQ(img.bitmap.pixel(4, 1), rgb(0, 0, 0));
  // 4-bit samples: 0 white, 15 black.
  text = "%!PS-Adobe-3.0 EPSF-3.0\n%%BeginPreview: 3 1 4 1\n%0F80\n%%EndPreview\n";
  img = decode("a.eps", Bytes(text.begin(), text.end()));
  EXPECT_EQ(img.bitmap.pixel(0, 0), rgb(255, 255, 255));
  EXPECT_EQ(img.bitmap.pixel(1, 0), rgb(0, 0, 0));
  EXPECT_EQ(img.bitmap.pixel(2, 0), rgb(119, 119, 119));
}

Bytes dosEps(const Bytes& postscript, const Bytes& tiff, uint32_t wmfLength = 0) {
  Bytes d = {0xC5, 0xD0, 0xD3, 0xC6};
  le32(d, 30), le32(d, static_cast<uint32_t>(postscript.size()));
  le32(d, 0), le32(d, wmfLength);
  le32(d, tiff.empty() ? 0 : static_cast<uint32_t>(30 + postscript.size())),
      le32(d, static_cast<uint32_t>(tiff.size()));
  le16(d, 0xFFFF);
  d.insert(d.end(), postscript.begin(), postscript.end());
  d.insert(d.end(), tiff.begin(), tiff.end());
  return d;
}

TEST(ExtrasEps, FilesWithoutADecodablePreviewFailClearly) {
  std::string plain = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n%%EndComments\nshowpage\n";
  Bytes ps(plain.begin(), plain.end());
  auto message = [](const Bytes& bytes) {
    try {
      decodeBytes("a.eps", bytes);
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("decoded");
  };
  EXPECT_EQ(message(ps), "EPS file has no preview image");
  EXPECT_EQ(message(dosEps(ps, {})), "EPS file has no preview image");
  EXPECT_EQ(message(dosEps(ps, {}, 100)), "EPS files with only a Windows metafile preview are not supported");
  Bytes cut = dosEps(ps, Bytes(50, 0));
  cut.resize(cut.size() - 10);
  EXPECT_EQ(message(cut), "EPS TIFF preview is truncated");
  // An EPSI preview inside the PostScript section of a binary file is found too.
  std::string withPreview = epsi("%%BeginPreview: 8 1 1 1\n%FF\n");
  DecodedImage img = decodeBytes("a.eps", dosEps(Bytes(withPreview.begin(), withPreview.end()), {}));
  EXPECT_EQ(img.bitmap.pixel(7, 0), rgb(0, 0, 0));
  if (!test::testdata("").empty()) {
    EXPECT_EQ(message(test::readBytes(test::testdata("eps/file-type/fixture.eps"))), "EPS file has no preview image");
  }
}

// The TIFF preview goes through the TIFF reader; skipped while that reader is not built in.
bool tiffReaderPresent() {
  try {
    decodeBytes("probe.tif", Bytes{});
  } catch (const Error& e) {
    return std::string(e.what()).find("not supported yet") == std::string::npos;
  }
  return true;
}

TEST(ExtrasEps, TiffPreviewMatchesImageMagicksDecodingOfIt) {
  BREVANE_REQUIRE_PROGRAM("convert");
  if (!tiffReaderPresent()) GTEST_SKIP() << "the TIFF reader is not built in yet";
  std::string dir = test::makeTempDir("eps");
  ASSERT_TRUE(test::run("convert -size 9x5 gradient:red-blue -depth 8 " + test::shellQuote(dir + "p.tif")));
  Bytes tiff = test::readBytes(dir + "p.tif");
  std::string ps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 9 5\n";
  test::writeBytes(dir + "a.eps", dosEps(Bytes(ps.begin(), ps.end()), tiff));
  DecodedImage ours = loadImage(dir + "a.eps");
  std::optional<test::Rgba> reference = test::imageMagickDecode(dir + "p.tif");
  ASSERT_TRUE(reference);
  EXPECT_TRUE(test::closePixels(test::toRgba(ours.bitmap), *reference, 0, false));

  if (test::testdata("").empty()) return;
  Bytes real = test::readBytes(test::testdata("eps/1.eps"));
  uint32_t offset = real[20] | real[21] << 8 | real[22] << 16 | uint32_t(real[23]) << 24;
  uint32_t length = real[24] | real[25] << 8 | real[26] << 16 | uint32_t(real[27]) << 24;
  test::writeBytes(dir + "1.tif", Bytes(real.begin() + offset, real.begin() + offset + length));
  reference = test::imageMagickDecode(dir + "1.tif");
  ASSERT_TRUE(reference);
  EXPECT_TRUE(test::closePixels(test::toRgba(loadImage(test::testdata("eps/1.eps")).bitmap), *reference, 0, false));
}

// ---- Portable maps --------------------------------------------------------------------------

struct PnmCase {
  const char* name;
  const char* text;
  int x;
  Bgr expected;
};

void PrintTo(const PnmCase& c, std::ostream* os) {
  *os << c.name;
}

class ExtrasPnmHeader : public ::testing::TestWithParam<PnmCase> {};

TEST_P(ExtrasPnmHeader, Decodes) {
  const PnmCase& c = GetParam();
  std::string text = c.text;
  DecodedImage img = decode("a.ppm", Bytes(text.begin(), text.end()));
  EXPECT_EQ(img.bitmap.pixel(c.x, 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Extras, ExtrasPnmHeader,
    ::testing::Values(PnmCase{"comments_everywhere", "P2#c\n2 #w\n1\n#m\n10 # x\n0 10\n", 1, Bgr{255, 255, 255}},
                      PnmCase{"maxval_scaled_rounded", "P2 3 1 1000 0 500 1000", 1, Bgr{128, 128, 128}},
                      PnmCase{"sample_above_maxval_clamped", "P3 1 1 10 20 5 0", 0, rgb(255, 128, 0)},
                      PnmCase{"plain_bits_without_spaces", "P1 3 1 010", 1, Bgr{0, 0, 0}},
                      PnmCase{"plain_bits_zero_is_white", "P1 3 1 010", 2, Bgr{255, 255, 255}},
                      PnmCase{"wide_binary_big_endian", "P5 1 1 65535\n\x80\x01", 0, Bgr{128, 128, 128}},
                      PnmCase{"raw_bits_odd_width", "P4 3 1\n\xA0", 2, Bgr{0, 0, 0}}));

}  // namespace
}  // namespace brevane::codecs
