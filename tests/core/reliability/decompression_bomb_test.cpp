// Decompression bombs: small files that declare huge images, every reader. Each is refused with
// one line before its pixels are allocated (the memory it made resident is measured in a child
// process), and data that inflates far beyond its image never grows the memory either.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "base/error.h"
#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "reliability_support.h"

namespace brevane {
namespace {

using Bytes = std::vector<uint8_t>;

void le16(Bytes& b, uint32_t v) { b.push_back(v & 0xFF), b.push_back((v >> 8) & 0xFF); }
void le32(Bytes& b, uint32_t v) { le16(b, v & 0xFFFF), le16(b, v >> 16); }
void be16(Bytes& b, uint32_t v) { b.push_back((v >> 8) & 0xFF), b.push_back(v & 0xFF); }
void be32(Bytes& b, uint32_t v) { be16(b, v >> 16), be16(b, v & 0xFFFF); }
void putBe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
void putLe(Bytes& b, size_t at, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

const Bitmap& small() {
  static const Bitmap image = test::patternImage(4, 3);
  return image;
}

// Our own PNG with its header's size changed (and its CRC mended, so that only the size is
// wrong).
Bytes pngOf(uint32_t width, uint32_t height) {
  Bytes b = codecs::encodePng(small(), nullptr, {false, false, 6});
  putBe32(b, 16, width), putBe32(b, 20, height);
  putBe32(b, 29, static_cast<uint32_t>(crc32(0, b.data() + 12, 17)));
  return b;
}

Bytes jpegOf(uint16_t width, uint16_t height) {
  Bytes b = codecs::encodeJpeg(small(), 90, false);
  for (size_t i = 2; i + 9 < b.size(); ++i)
    if (b[i] == 0xFF && b[i + 1] == 0xC0) {
      b[i + 5] = height >> 8, b[i + 6] = height & 0xFF, b[i + 7] = width >> 8, b[i + 8] = width & 0xFF;
      break;
    }
  return b;
}

Bytes gifScreen(uint16_t width, uint16_t height) {
  Bytes b = codecs::encodeGif(small());
  putLe(b, 6, width, 2), putLe(b, 8, height, 2);
  return b;
}

// The JPEG 2000 codestream of our own file, image and tile declared width x height.
Bytes j2kOf(uint32_t width, uint32_t height) {
  Bytes jp2 = codecs::encodeJpeg2000(small(), 50, false);
  const uint8_t soc[] = {0xFF, 0x4F, 0xFF, 0x51};
  auto at = std::search(jp2.begin(), jp2.end(), soc, soc + 4);
  Bytes b(at, jp2.end());
  putBe32(b, 8, width), putBe32(b, 12, height);    // Xsiz, Ysiz
  putBe32(b, 24, width), putBe32(b, 28, height);  // XTsiz, YTsiz: one tile
  return b;
}

Bytes bmpOf(int32_t width, int32_t height) {
  Bytes b = codecs::encodeBmp(small());
  putLe(b, 18, static_cast<uint32_t>(width), 4), putLe(b, 22, static_cast<uint32_t>(height), 4);
  return b;
}

Bytes tgaOf(uint16_t width, uint16_t height) {
  Bytes b = codecs::encodeTga(small(), nullptr);
  putLe(b, 12, width, 2), putLe(b, 14, height, 2);
  return b;
}

// A little-endian TIFF of 8-bit grey with `strips` strips whose tables lie past the file's end.
Bytes tiffOf(uint32_t width, uint32_t height, uint32_t rowsPerStrip) {
  uint32_t strips = (height + rowsPerStrip - 1) / rowsPerStrip;
  Bytes b = {'I', 'I', 42, 0};
  le32(b, 8);
  auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    le16(b, tag), le16(b, type), le32(b, count), le32(b, value);
  };
  le16(b, 9);
  entry(256, 4, 1, width);
  entry(257, 4, 1, height);
  entry(258, 3, 1, 8);
  entry(259, 3, 1, 1);
  entry(262, 3, 1, 1);
  entry(273, 4, strips, strips == 1 ? 200 : 4096);
  entry(277, 3, 1, 1);
  entry(278, 4, 1, rowsPerStrip);
  entry(279, 4, strips, strips == 1 ? 16 : 8192);
  le32(b, 0);
  b.resize(216, 0);
  return b;
}

Bytes pcxOf(uint16_t xmax, uint16_t ymax) {
  Bytes h(128, 0);
  h[0] = 0x0A, h[1] = 5, h[2] = 1, h[3] = 8;
  putLe(h, 8, xmax, 2), putLe(h, 10, ymax, 2);
  h[65] = 3, putLe(h, 66, xmax + 1u, 2);
  return h;
}

Bytes sgiOf(uint16_t width, uint16_t height) {
  Bytes h = {0x01, 0xDA, 0, 1};  // verbatim, one byte per sample
  be16(h, 3), be16(h, width), be16(h, height), be16(h, 3);
  h.resize(512, 0);
  return h;
}

Bytes psdOf(uint32_t width, uint32_t height) {
  Bytes h = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3};
  be32(h, height), be32(h, width), be16(h, 8), be16(h, 3);
  h.resize(h.size() + 12, 0);
  return h;
}

Bytes rlaOf(uint16_t right, uint16_t top) {
  Bytes h(740, 0);
  h[10] = right >> 8, h[11] = right & 0xFF, h[14] = top >> 8, h[15] = top & 0xFF;
  h[21] = 3, h[26] = 0xFF, h[27] = 0xFE, h[659] = 8, h[663] = 8;
  return h;
}

Bytes celOf(uint16_t width, uint16_t height) {
  Bytes h = {0x19, 0x91};
  le16(h, width), le16(h, height), le32(h, 0);
  h.push_back(8), h.push_back(0);
  h.resize(32 + 768, 0);
  return h;
}

Bytes flicOf(uint16_t width, uint16_t height) {
  Bytes h(128, 0);
  putLe(h, 4, 0xAF11, 2), putLe(h, 8, width, 2), putLe(h, 10, height, 2), putLe(h, 12, 8, 2);
  return h;
}

Bytes haloOf(uint16_t width, uint16_t height) {
  Bytes h;
  le16(h, width), le16(h, height), le16(h, 0);
  return h;
}

Bytes pspOf(uint32_t width, uint32_t height) {
  Bytes f(32, 0);
  std::memcpy(f.data(), "Paint Shop Pro Image File\n\x1a", 27);
  le16(f, 10), le16(f, 0);
  Bytes attr;
  le32(attr, 46), le32(attr, width), le32(attr, height);
  attr.resize(attr.size() + 9, 0);
  le16(attr, 0), le16(attr, 24), le16(attr, 1), le32(attr, 1u << 24);
  attr.resize(46, 0);
  f.insert(f.end(), {'~', 'B', 'K', 0});
  le16(f, 0), le32(f, static_cast<uint32_t>(attr.size()));
  f.insert(f.end(), attr.begin(), attr.end());
  return f;
}

// The DIB of a BMP file (an icon entry holds no file header; its height counts the mask too).
Bytes dibOf(int32_t width, int32_t height) {
  Bytes b = bmpOf(width, 2 * height);
  return Bytes(b.begin() + 14, b.end());
}

Bytes icoWith(const Bytes& image) {
  Bytes b = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 32, 0};
  le32(b, static_cast<uint32_t>(image.size())), le32(b, 22);
  b.insert(b.end(), image.begin(), image.end());
  return b;
}

struct Bomb {
  const char* label;
  const char* file;  // decoded by this name's extension
  Bytes bytes;
};

void PrintTo(const Bomb& b, std::ostream* os) { *os << b.label; }

class DecompressionBomb : public ::testing::TestWithParam<Bomb> {};

constexpr long kAllowedGrowthKiB = 64 << 10;

TEST_P(DecompressionBomb, IsRefusedWithOneLineBeforeItsPixelsAreAllocated) {
  const Bomb& bomb = GetParam();
  test::ChildOutcome outcome = test::inChild([&] { codecs::decodeBytes(bomb.file, bomb.bytes); });
  ASSERT_TRUE(outcome.exited) << "the decoder crashed";
  EXPECT_FALSE(outcome.message.empty()) << "a " << bomb.label << " was decoded";
  EXPECT_EQ(outcome.message.find('\n'), std::string::npos) << outcome.message;
  EXPECT_LT(outcome.growthKiB, kAllowedGrowthKiB) << outcome.message;
}

INSTANTIATE_TEST_SUITE_P(
    Readers, DecompressionBomb,
    ::testing::Values(Bomb{"bmp", "a.bmp", bmpOf(100000, 100000)}, Bomb{"bmp_top_down", "a.bmp", bmpOf(100000, -100000)},
                      Bomb{"png", "a.png", pngOf(100000, 100000)}, Bomb{"png_wide", "a.png", pngOf(0x7FFFFFFF, 1)},
                      Bomb{"jpeg", "a.jpg", jpegOf(65500, 65500)}, Bomb{"gif_screen", "a.gif", gifScreen(65535, 65535)},
                      Bomb{"j2k", "a.j2k", j2kOf(100000, 100000)}, Bomb{"tga", "a.tga", tgaOf(65535, 65535)},
                      Bomb{"tiff", "a.tif", tiffOf(100000, 100000, 100000)},
                      Bomb{"tiff_strip_count", "a.tif", tiffOf(1, 1u << 27, 1)},
                      Bomb{"tiff_many_strips", "a.tif", tiffOf(60000, 60000, 1)},
                      Bomb{"pcx", "a.pcx", pcxOf(65534, 65534)}, Bomb{"sgi", "a.sgi", sgiOf(65535, 65535)},
                      Bomb{"psd", "a.psd", psdOf(300000, 300000)}, Bomb{"pnm", "a.ppm", text("P6 100000 100000 255\n")},
                      Bomb{"pam_wide", "a.pgm", text("P5 4294967295 1 255\n")},
                      Bomb{"rla", "a.rla", rlaOf(32767, 32767)}, Bomb{"cel", "a.cel", celOf(65535, 65535)},
                      Bomb{"flic", "a.cel", flicOf(65535, 65535)}, Bomb{"cut", "a.cut", haloOf(65535, 65535)},
                      Bomb{"psp", "a.psp", pspOf(100000, 100000)},
                      Bomb{"eps_preview", "a.eps", text("%!PS\n%%BeginPreview: 100000 100000 8 1\n")},
                      Bomb{"ico_png", "a.ico", icoWith(pngOf(100000, 100000))},
                      Bomb{"ico_bmp", "a.ico", icoWith(dibOf(60000, 60000))}),
    [](const auto& info) { return std::string(info.param.label); });

// A PNG of 1000 x 1000 grey pixels whose image data inflates to 1 GiB: the rows are read and the
// rest of the stream is never held in memory.
TEST(DecompressionBombData, PngDataInflatingToAGibibyteKeepsTheMemoryOfItsImage) {
  Bytes zlibStream;
  {
    z_stream z{};
    ASSERT_EQ(deflateInit(&z, 1), Z_OK);
    std::vector<uint8_t> zeros(1 << 20, 0), out(1 << 20);
    for (int chunk = 0; chunk < 1024; ++chunk) {
      z.next_in = zeros.data();
      z.avail_in = static_cast<uInt>(zeros.size());
      int flush = chunk == 1023 ? Z_FINISH : Z_NO_FLUSH;
      do {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, flush);
        zlibStream.insert(zlibStream.end(), out.data(), out.data() + (out.size() - z.avail_out));
      } while (z.avail_out == 0);
    }
    deflateEnd(&z);
  }
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&](const char* type, const Bytes& data) {
    be32(png, static_cast<uint32_t>(data.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    be32(png, static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(data.size() + 4))));
  };
  Bytes ihdr;
  be32(ihdr, 1000), be32(ihdr, 1000), ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});
  chunk("IHDR", ihdr);
  for (size_t at = 0; at < zlibStream.size(); at += 65536)
    chunk("IDAT", Bytes(zlibStream.begin() + at, zlibStream.begin() + std::min(zlibStream.size(), at + 65536)));
  chunk("IEND", {});
  ASSERT_LT(png.size(), 8u << 20);

  test::ChildOutcome outcome = test::inChild([&] {
    if (codecs::decodeBytes("a.png", png).width != 1000) throw std::runtime_error("wrong size");
  });
  ASSERT_TRUE(outcome.exited);
  EXPECT_TRUE(outcome.message.empty()) << outcome.message;
  EXPECT_LT(outcome.growthKiB, kAllowedGrowthKiB) << outcome.message;
}

}  // namespace
}  // namespace brevane
