// The output formats table: each row's encoder writes a file of its own format, with the alpha
// plane exactly when the row says so.
#include "codecs/output_formats.h"

#include <gtest/gtest.h>

#include "core/codecs/codec_test_support.h"
#include "support/test_support.h"

namespace brevane::codecs {
namespace {

class OutputFormatRow : public ::testing::TestWithParam<int> {};

TEST_P(OutputFormatRow, EncodesAFileItsOwnDecoderReadsBack) {
  const OutputFormatInfo& f = outputFormat(GetParam());
  EXPECT_EQ(f.index(), GetParam());
  EXPECT_EQ(f.extension, "." + std::string(f.code));
  EXPECT_EQ(findOutputFormat(f.code), &f);

  const Bitmap image = brevane::test::patternImage(5, 3, 24, 9);
  Bitmap alpha(5, 3, 24);
  alpha.fill(128);
  std::vector<uint8_t> bytes = f.encode(image, nullptr, EncodeOptions{});
  DecodedImage back = decodeBytes("out" + std::string(f.extension), bytes);
  EXPECT_EQ(back.width, 5);
  EXPECT_EQ(back.height, 3);
  // (The Targa writer marks no attribute bits, so its alpha shows only in the bytes.)
  EXPECT_EQ(f.encode(image, &alpha, EncodeOptions{}) != bytes, f.takesAlpha) << f.code;
}

INSTANTIATE_TEST_SUITE_P(EveryRow, OutputFormatRow, ::testing::Range(0, static_cast<int>(outputFormats().size())),
                         [](const auto& info) { return std::string(outputFormat(info.param).code); });

TEST(OutputFormats, IndexesOfTheSettingAndTheirLimits) {
  const char* codes[] = {"JPG", "PNG", "BMP", "GIF", "JP2", "TGA", "WEBP", "AVIF", "JXL"};
  ASSERT_EQ(outputFormats().size(), std::size(codes));
  for (int i = 0; i < 9; ++i) EXPECT_EQ(outputFormat(i).code, codes[i]);
  // Values the setting should never hold fall back to JPEG.
  EXPECT_EQ(outputFormat(-1).id, OutputFormat::kJpeg);
  EXPECT_EQ(outputFormat(static_cast<int>(outputFormats().size())).id, OutputFormat::kJpeg);
  EXPECT_EQ(findOutputFormat("jpg"), nullptr);
  for (const OutputFormatInfo& f : outputFormats()) EXPECT_EQ(f.maxWorkers, f.id == OutputFormat::kJpeg2000 ? 1 : 0);
}

}  // namespace
}  // namespace brevane::codecs
