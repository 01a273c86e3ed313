// Helpers of the extra-format reader tests: an independent decoder (ImageMagick) and writers
// (netpbm, ImageMagick, python3-pil) run as programs, and pixel comparison against them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/bitmap.h"

namespace brevane::test {

/// True when a program of this name is on PATH.
bool haveProgram(const std::string& name);
/// Runs a shell command; true when it exits with status 0. Its error output goes to /dev/null.
bool run(const std::string& command);
/// Single-quotes a string for the shell.
std::string shellQuote(const std::string& s);

/// An image as 8-bit RGBA rows (alpha 255 where the file has none).
struct Rgba {
  int width = 0, height = 0;
  bool hasAlpha = false;
  std::vector<uint8_t> pixels;  // r, g, b, a
  const uint8_t* at(int x, int y) const { return pixels.data() + (static_cast<size_t>(y) * width + x) * 4; }
};

/// Parses a PAM (P7) or binary PNM (P5/P6) file.
std::optional<Rgba> readNetpbm(const std::vector<uint8_t>& bytes);
/// The first image of a file as ImageMagick decodes it (`options` go before the input);
/// nullopt when convert is absent or fails.
std::optional<Rgba> imageMagickDecode(const std::string& path, const std::string& options = "");
/// The python3 interpreter that has PIL, or "" when there is none.
std::string pilPython();
/// The first image of a file as PIL decodes it (converted to RGBA); nullopt when absent or failing.
std::optional<Rgba> pilDecode(const std::string& path);
/// A decoded bitmap in the same form (palette resolved; alpha only for 32-bit bitmaps).
Rgba toRgba(const Bitmap& bitmap);

/// Compares colour (and alpha when `alpha`) of two images: same size and every channel within
/// `tolerance`. The message names the first differing pixel.
::testing::AssertionResult closePixels(const Rgba& ours, const Rgba& reference, int tolerance, bool alpha = true);

}  // namespace brevane::test

/// Skips the current test when a program is missing.
#define BREVANE_REQUIRE_PIL()                                                                                         \
  do {                                                                                                                \
    if (::brevane::test::pilPython().empty()) GTEST_SKIP() << "python3-pil is not installed (tools/install-deps.sh)"; \
  } while (0)

#define BREVANE_REQUIRE_PROGRAM(name)                                                                             \
  do {                                                                                                            \
    if (!::brevane::test::haveProgram(name)) GTEST_SKIP() << name << " is not installed (tools/install-deps.sh)"; \
  } while (0)
