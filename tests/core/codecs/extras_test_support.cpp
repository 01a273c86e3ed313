// Helpers of the extra-format reader tests: independent programs and pixel comparison.
#include "core/codecs/extras_test_support.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "support/test_support.h"

namespace brevane::test {

std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

bool run(const std::string& command) {
  return std::system(("{ " + command + "; } 2>/dev/null").c_str()) == 0;
}

bool haveProgram(const std::string& name) {
  return run("command -v " + shellQuote(name) + " >/dev/null");
}

namespace {

// Header tokens of a netpbm file, skipping comments.
struct Tokens {
  const std::vector<uint8_t>& b;
  size_t pos = 0;
  std::string next() {
    for (;;) {
      while (pos < b.size() && std::isspace(b[pos])) ++pos;
      if (pos < b.size() && b[pos] == '#') {
        while (pos < b.size() && b[pos] != '\n') ++pos;
        continue;
      }
      break;
    }
    std::string t;
    while (pos < b.size() && !std::isspace(b[pos])) t += static_cast<char>(b[pos++]);
    return t;
  }
};

}  // namespace

std::optional<Rgba> readNetpbm(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 3 || bytes[0] != 'P') return std::nullopt;
  Tokens t{bytes};
  std::string magic = t.next();
  int depth = 0, maxval = 0;
  Rgba img;
  std::string tuple;
  if (magic == "P7") {
    for (std::string k = t.next(); k != "ENDHDR" && !k.empty(); k = t.next()) {
      if (k == "WIDTH")
        img.width = std::stoi(t.next());
      else if (k == "HEIGHT")
        img.height = std::stoi(t.next());
      else if (k == "DEPTH")
        depth = std::stoi(t.next());
      else if (k == "MAXVAL")
        maxval = std::stoi(t.next());
      else if (k == "TUPLTYPE")
        tuple = t.next();
    }
  } else if (magic == "P5" || magic == "P6") {
    img.width = std::stoi(t.next());
    img.height = std::stoi(t.next());
    maxval = std::stoi(t.next());
    depth = magic == "P5" ? 1 : 3;
  } else {
    return std::nullopt;
  }
  ++t.pos;  // the single white-space byte before the raster
  if (maxval != 255 || depth < 1 || depth > 4) return std::nullopt;
  size_t n = static_cast<size_t>(img.width) * img.height;
  if (bytes.size() < t.pos + n * depth) return std::nullopt;
  img.hasAlpha = depth == 2 || depth == 4;
  img.pixels.resize(n * 4);
  const uint8_t* p = bytes.data() + t.pos;
  for (size_t i = 0; i < n; ++i, p += depth) {
    uint8_t* d = img.pixels.data() + 4 * i;
    if (depth <= 2)
      d[0] = d[1] = d[2] = p[0];
    else
      d[0] = p[0], d[1] = p[1], d[2] = p[2];
    d[3] = depth == 2 ? p[1] : depth == 4 ? p[3] : 255;
  }
  return img;
}

std::optional<Rgba> imageMagickDecode(const std::string& path, const std::string& options) {
  if (!haveProgram("convert")) return std::nullopt;
  std::string out = makeTempDir("im") + "ref.pam";
  // A Photo CD's resolution is chosen by -size, which a frame index would override.
  std::string input = options.find("-size") != std::string::npos ? path : path + "[0]";
  if (!run("convert " + options + " " + shellQuote(input) + " -colorspace sRGB -depth 8 " + shellQuote("pam:" + out)))
    return std::nullopt;
  return readNetpbm(readBytes(out));
}

std::string pilPython() {
  static const std::string python = [] {
    for (const char* p : {"/usr/bin/python3", "python3"})
      if (run(std::string(p) + " -c 'import PIL.Image' >/dev/null")) return std::string(p);
    return std::string();
  }();
  return python;
}

std::optional<Rgba> pilDecode(const std::string& path) {
  if (pilPython().empty()) return std::nullopt;
  std::string out = makeTempDir("pil") + "ref.pam";
  const char* script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1]).convert('RGBA')\n"
      "with open(sys.argv[2], 'wb') as f:\n"
      "    f.write(b'P7\\nWIDTH %d\\nHEIGHT %d\\nDEPTH 4\\nMAXVAL 255\\nTUPLTYPE RGB_ALPHA\\nENDHDR\\n' % im.size)\n"
      "    f.write(im.tobytes())\n";
  if (!run(pilPython() + " -c " + shellQuote(script) + " " + shellQuote(path) + " " + shellQuote(out)))
    return std::nullopt;
  return readNetpbm(readBytes(out));
}

Rgba toRgba(const Bitmap& bitmap) {
  Rgba img;
  img.width = bitmap.width();
  img.height = bitmap.height();
  img.hasAlpha = bitmap.bitsPerPixel() == 32;
  img.pixels.resize(static_cast<size_t>(img.width) * img.height * 4);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      Bgr c = bitmap.pixel(x, y);
      uint8_t* d = img.pixels.data() + (static_cast<size_t>(y) * img.width + x) * 4;
      d[0] = c.r, d[1] = c.g, d[2] = c.b;
      d[3] = img.hasAlpha ? bitmap.scanLine(y)[4 * x + 3] : 255;
    }
  return img;
}

::testing::AssertionResult closePixels(const Rgba& ours, const Rgba& reference, int tolerance, bool alpha) {
  if (ours.width != reference.width || ours.height != reference.height)
    return ::testing::AssertionFailure() << "size " << ours.width << "x" << ours.height << " vs reference "
                                         << reference.width << "x" << reference.height;
  int channels = alpha ? 4 : 3;
  for (int y = 0; y < ours.height; ++y)
    for (int x = 0; x < ours.width; ++x) {
      const uint8_t* a = ours.at(x, y);
      const uint8_t* b = reference.at(x, y);
      for (int c = 0; c < channels; ++c)
        if (std::abs(a[c] - b[c]) > tolerance)
          return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") channel "
                                               << "RGBA"[c] << ": " << int(a[c]) << " vs reference " << int(b[c])
                                               << " (tolerance " << tolerance << ")";
    }
  return ::testing::AssertionSuccess();
}

}  // namespace brevane::test
