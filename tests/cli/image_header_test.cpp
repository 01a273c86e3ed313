// Pixel sizes from headers agree with the decoders', and damaged headers give none.
#include "cli/image_header.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "support/test_support.h"

namespace brevane::cli {
namespace {

using Encoder = std::function<std::vector<uint8_t>(const Bitmap&)>;

struct HeaderCase {
  const char* name;  // a file name with the extension that picks the decoder
  Encoder encode;
};

class HeaderSize : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderSize, IsTheDecodersSizeAndNoPrefixGivesAnotherOne) {
  const HeaderCase& c = GetParam();
  for (auto [w, h] : {std::pair{1, 1}, {37, 13}, {300, 2}}) {
    std::vector<uint8_t> bytes = c.encode(test::patternImage(w, h));
    codecs::DecodedImage decoded = codecs::decodeBytes(c.name, bytes);
    auto size = headerPixelSize(c.name, bytes);
    ASSERT_TRUE(size.has_value()) << c.name << " " << w << "x" << h;
    EXPECT_EQ(*size, (PixelSize{decoded.width, decoded.height})) << c.name;
    // A truncated header tells nothing rather than something wrong.
    for (size_t n = 0; n < std::min<size_t>(bytes.size(), 200); ++n) {
      auto partial = headerPixelSize(c.name, std::span(bytes.data(), n));
      if (partial) {
        EXPECT_EQ(*partial, *size) << c.name << " cut at " << n;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, HeaderSize,
    ::testing::Values(HeaderCase{"a.jpg", [](const Bitmap& b) { return codecs::encodeJpeg(b, 80, false); }},
                      HeaderCase{"a.JPEG", [](const Bitmap& b) { return codecs::encodeJpeg(b, 80, true); }},
                      HeaderCase{"a.png", [](const Bitmap& b) { return codecs::encodePng(b, nullptr, {}); }},
                      HeaderCase{"a.gif", [](const Bitmap& b) { return codecs::encodeGif(b); }},
                      HeaderCase{"a.bmp", [](const Bitmap& b) { return codecs::encodeBmp(b); }}),
    [](const auto& info) { return std::string(info.param.name).substr(2); });

TEST(HeaderSize, FindsTheJpegFrameAfterLargeSegments) {
  std::vector<uint8_t> jpeg = codecs::encodeJpeg(test::patternImage(33, 21), 80, false);
  // Two full-size application segments (Exif, ICC) between the start and the frame header.
  std::vector<uint8_t> segment = {0xFF, 0xE1, 0xFF, 0xFF};
  segment.resize(2 + 0xFFFF, 0x00);
  for (int i = 0; i < 2; ++i) jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
  EXPECT_EQ(headerPixelSize("x.jpg", jpeg), (PixelSize{33, 21}));
}

TEST(HeaderSize, NoneForOtherFormatsAndForBytesOfAnotherFormat) {
  std::vector<uint8_t> png = codecs::encodePng(test::patternImage(5, 5), nullptr, {});
  EXPECT_EQ(headerPixelSize("x.jpg", png), std::nullopt);  // chosen by extension, as decoders are
  EXPECT_EQ(headerPixelSize("x.tga", codecs::encodeTga(test::patternImage(5, 5), nullptr)), std::nullopt);
  EXPECT_EQ(headerPixelSize("noextension", png), std::nullopt);
}

TEST(HeaderSize, RandomBytesBehindAValidSignatureNeverGiveANonPositiveSize) {
  std::mt19937 rng(7);
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> starts = {
      {"r.jpg", {0xFF, 0xD8}},
      {"r.png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}},
      {"r.gif", {'G', 'I', 'F'}},
      {"r.bmp", {'B', 'M'}}};
  for (int i = 0; i < 4000; ++i) {
    const auto& [name, start] = starts[i % starts.size()];
    std::vector<uint8_t> bytes = start;
    size_t n = rng() % 64;
    for (size_t k = 0; k < n; ++k) bytes.push_back(static_cast<uint8_t>(rng() % 4 == 0 ? 0xFF : rng()));
    if (auto size = headerPixelSize(name, bytes)) {
      EXPECT_TRUE(size->width > 0 && size->height > 0);
    }
  }
}

}  // namespace
}  // namespace brevane::cli
