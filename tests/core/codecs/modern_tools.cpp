// Helpers of the WebP, AVIF, HEIF and JPEG XL tests: the formats' own command-line tools.
#include "core/codecs/modern_tools.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "codecs/encoders.h"
#include "core/codecs/reference_decoders.h"
#include "support/test_support.h"

namespace brevane::test {

namespace {

std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
  for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) s.replace(p, from.size(), to);
  return s;
}

}  // namespace

bool haveTool(const std::string& name) {
  std::string cmd = "command -v " + quoted(name) + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

ToolRun runInFolder(const std::string& command, const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files,
                    const std::string& outName) {
  const std::string dir = makeTempDir("tool");
  for (const auto& [name, bytes] : files) writeBytes(dir + name, bytes);
  ToolRun run;
  const std::string log = dir + "tool.log";
  std::string line = "cd " + quoted(dir) + " && (" + command + ") >" + quoted(log) + " 2>&1";
  run.ok = std::system(line.c_str()) == 0 && std::filesystem::exists(dir + outName);
  std::vector<uint8_t> text = readBytes(log);
  run.log = command + "\n" + std::string(text.begin(), text.end());
  if (run.ok) run.output = readBytes(dir + outName);
  return run;
}

ToolRun runTool(const std::string& commandTemplate, const std::vector<uint8_t>& input, const std::string& inExt,
                const std::string& outExt) {
  const std::string in = "in." + inExt, out = "out." + outExt;
  return runInFolder(replaceAll(replaceAll(commandTemplate, "{in}", in), "{out}", out), {{in, input}}, out);
}

Bitmap withAlphaPlane(const Bitmap& image, const Bitmap& alpha) {
  Bitmap storage;
  const Bitmap& src = trueColour(image, storage);
  Bitmap out(src.width(), src.height(), 32);
  const int step = src.bitsPerPixel() / 8;
  for (int y = 0; y < src.height(); ++y)
    for (int x = 0; x < src.width(); ++x) {
      const uint8_t* s = src.scanLine(y) + step * x;
      uint8_t* d = out.scanLine(y) + 4 * x;
      d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = alpha.scanLine(y)[3 * x + 2];
    }
  return out;
}

Bitmap alphaPattern(int width, int height) {
  Bitmap a(width, height, 24);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int v = x < width / 3 ? 255 : x < 2 * width / 3 ? (x * 37 + y * 11) % 256 : (y % 2 ? 0 : 255);
      a.scanLine(y)[3 * x + 2] = static_cast<uint8_t>(v);
    }
  a.scanLine(0)[2] = 100;  // even a 1 x 1 plane is not opaque
  return a;
}

std::vector<uint8_t> pngOf(const Bitmap& image, const Bitmap* alpha) {
  return codecs::encodePng(image, alpha, {false, false, 6});
}

std::vector<uint8_t> toolEncode(const std::string& commandTemplate, const Bitmap& image, const Bitmap* alpha,
                                const std::string& outExt) {
  ToolRun run = runTool(commandTemplate, pngOf(image, alpha), "png", outExt);
  EXPECT_TRUE(run.ok) << run.log;
  return run.output;
}

Bitmap toolDecode(const std::string& commandTemplate, const std::vector<uint8_t>& file, const std::string& inExt) {
  ToolRun run = runTool(commandTemplate, file, inExt, "png");
  EXPECT_TRUE(run.ok) << run.log;
  if (!run.ok) return Bitmap();
  return readPng(run.output).image;
}

int maxDifference(const Bitmap& a, const Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) return 256;
  const bool alpha = a.bitsPerPixel() == 32 && b.bitsPerPixel() == 32;
  int worst = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      Bgr p = a.pixel(x, y), q = b.pixel(x, y);
      worst = std::max({worst, std::abs(p.b - q.b), std::abs(p.g - q.g), std::abs(p.r - q.r)});
      if (alpha) worst = std::max(worst, std::abs(a.scanLine(y)[4 * x + 3] - b.scanLine(y)[4 * x + 3]));
    }
  return worst;
}

std::string exiftoolTag(const std::vector<uint8_t>& file, const std::string& ext, const std::string& tag) {
  ToolRun run = runTool("exiftool -s3 -" + tag + " {in} > {out}", file, ext, "txt");
  if (!run.ok) return "";
  std::string text(run.output.begin(), run.output.end());
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace brevane::test
