// Helpers shared by the tests: temporary folders, the shared test corpus, small images.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/bitmap.h"

namespace brevane::test {

/// A new empty folder under the build's test area, with a trailing "/". Removed at exit.
std::string makeTempDir(const std::string& tag = "t");
/// Path inside ../shared/testdata, or "" when the corpus is absent.
std::string testdata(const std::string& relative);
/// Writes bytes (or text) to a file, creating nothing else.
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void writeText(const std::string& path, const std::string& text);
std::vector<uint8_t> readBytes(const std::string& path);
/// A 24-bit (or 32-bit) image with a deterministic pattern.
Bitmap patternImage(int width, int height, int bitsPerPixel = 24, uint32_t seed = 1);
/// True when both bitmaps have the same size and equal B, G, R (and A for 32-bit) bytes.
::testing::AssertionResult samePixels(const Bitmap& a, const Bitmap& b);

}  // namespace brevane::test

/// Skips the current test when the shared corpus is absent.
#define BREVANE_REQUIRE_TESTDATA()                                                       \
  do {                                                                                   \
    if (::brevane::test::testdata("").empty()) GTEST_SKIP() << "shared/testdata is absent"; \
  } while (0)
