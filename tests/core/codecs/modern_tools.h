// Helpers of the WebP, AVIF, HEIF and JPEG XL tests: the formats' own command-line tools as
// independent writers of test inputs and independent readers of the project's outputs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/bitmap.h"

namespace brevane::test {

/// True when a program is on PATH.
bool haveTool(const std::string& name);

/// What a tool run gave: success, the command and its output, the output file's bytes.
struct ToolRun {
  bool ok = false;
  std::string log;
  std::vector<uint8_t> output;
};
/// Runs a shell command in a fresh folder holding `files` (name, bytes); `outName` is the file
/// it is to write there.
ToolRun runInFolder(const std::string& command, const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files,
                    const std::string& outName);
/// Runs a command template with {in} and {out} standing for "in.<inExt>" holding `input` and
/// "out.<outExt>".
ToolRun runTool(const std::string& commandTemplate, const std::vector<uint8_t>& input, const std::string& inExt,
                const std::string& outExt);

/// A 32-bit bitmap of `image`'s colours with alpha from the alpha plane's third byte.
Bitmap withAlphaPlane(const Bitmap& image, const Bitmap& alpha);
/// An alpha plane (24 bits, alpha in the third byte) with opaque, transparent and partial areas;
/// the top-left pixel is partial.
Bitmap alphaPattern(int width, int height);

/// A PNG file of the image (with the alpha plane's alpha when given), as the tools' input.
std::vector<uint8_t> pngOf(const Bitmap& image, const Bitmap* alpha = nullptr);
/// Encodes an image with a tool reading PNG ({in}) and writing `outExt` ({out}).
std::vector<uint8_t> toolEncode(const std::string& commandTemplate, const Bitmap& image, const Bitmap* alpha,
                                const std::string& outExt);
/// Decodes a file with a tool writing PNG ({out}); the PNG is read with libpng (24 or 32 bits).
Bitmap toolDecode(const std::string& commandTemplate, const std::vector<uint8_t>& file, const std::string& inExt);

/// Largest difference of any channel (alpha included when both have it) of two same-size bitmaps.
int maxDifference(const Bitmap& a, const Bitmap& b);

/// One tag as exiftool prints it ("-s3"), read from a file written with `ext`; "" when absent.
std::string exiftoolTag(const std::vector<uint8_t>& file, const std::string& ext, const std::string& tag);

}  // namespace brevane::test

/// Skips the current test when a tool is not installed.
#define BREVANE_REQUIRE_TOOL(name)                                                               \
  do {                                                                                           \
    if (!::brevane::test::haveTool(name)) GTEST_SKIP() << name << " is not installed";           \
  } while (0)
