// ICC profiles as files store them: the JPEG chunks joined by their numbers (or in file order
// when the numbering is broken) and the PNG iCCP chunk both ways.
#include "codecs/icc_profile.h"

#include <gtest/gtest.h>

#include <string>

namespace brevane::codecs {
namespace {

std::vector<uint8_t> chunk(int sequence, int count, const std::string& data) {
  std::string head("ICC_PROFILE\0", 12);
  std::vector<uint8_t> p(head.begin(), head.end());
  p.push_back(static_cast<uint8_t>(sequence));
  p.push_back(static_cast<uint8_t>(count));
  p.insert(p.end(), data.begin(), data.end());
  return p;
}

std::string joined(const std::vector<std::vector<uint8_t>>& payloads) {
  std::vector<std::span<const uint8_t>> spans(payloads.begin(), payloads.end());
  std::vector<uint8_t> profile = jpegIccProfile(spans);
  return std::string(profile.begin(), profile.end());
}

TEST(JpegIccChunks, JoinedByNumberElseInFileOrder) {
  EXPECT_EQ(joined({chunk(1, 1, "abc")}), "abc");
  EXPECT_EQ(joined({chunk(2, 3, "B"), chunk(3, 3, "C"), chunk(1, 3, "A")}), "ABC");
  // Other APP2 segments (an MPF index, a short one) are not profile chunks.
  std::vector<uint8_t> mpf = {'M', 'P', 'F', 0, 1, 2};
  EXPECT_EQ(joined({mpf, chunk(1, 2, "A"), std::vector<uint8_t>{'I', 'C'}, chunk(2, 2, "B")}), "AB");
  // Broken numbering: a chunk missing, repeated, or counts that disagree.
  EXPECT_EQ(joined({chunk(2, 3, "B"), chunk(1, 3, "A")}), "BA");
  EXPECT_EQ(joined({chunk(1, 2, "A"), chunk(1, 2, "A")}), "AA");
  EXPECT_EQ(joined({chunk(1, 2, "A"), chunk(2, 3, "B")}), "AB");
  EXPECT_EQ(joined({chunk(0, 1, "Z")}), "Z");
  EXPECT_EQ(joined({mpf}), "");
}

TEST(PngIccChunk, RoundTripsAndRefusesMalformedHeads) {
  std::vector<uint8_t> profile(3000);
  for (size_t i = 0; i < profile.size(); ++i) profile[i] = static_cast<uint8_t>(i * 7 % 251);
  std::vector<uint8_t> data = pngIccChunkData(profile);
  EXPECT_EQ(std::string(data.begin(), data.begin() + 12), std::string("ICC Profile\0", 12));
  EXPECT_EQ(data[12], 0);  // deflate
  EXPECT_EQ(pngIccProfile(data), profile);

  std::vector<uint8_t> noKeyword(data.begin() + 11, data.end());  // starts with the zero byte
  EXPECT_TRUE(pngIccProfile(noKeyword).empty());
  std::vector<uint8_t> badMethod = data;
  badMethod[12] = 1;
  EXPECT_TRUE(pngIccProfile(badMethod).empty());
  // A stream cut short gives what it inflated: the profile's check then reports the damage.
  std::vector<uint8_t> cut(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(data.size() / 2));
  std::vector<uint8_t> partial = pngIccProfile(cut);
  EXPECT_LT(partial.size(), profile.size());
  EXPECT_TRUE(std::equal(partial.begin(), partial.end(), profile.begin()));
}

}  // namespace
}  // namespace brevane::codecs
