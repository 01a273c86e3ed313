// The stamp font: matching (fontconfig), shaping (HarfBuzz) and grey coverage (FreeType).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/bitmap.h"
#include "base/font_choice.h"

namespace brevane::imaging {

/// Largest point size the renderer accepts (16384 pixels); larger sizes are refused.
inline constexpr int kMaxFontPoints = 12288;

/// Pixel height of a point size at 96 dots per inch, ties to even (26 points are 35 pixels).
int pointsToPixels(int points);

/// The font's colour (0x00BBGGRR) in bitmap byte order. System colours (negative values) have
/// no meaning off the desktop they came from and read as black.
Bgr fontColor(const FontChoice& font);

/// The fontconfig language of a Windows character-set number ("ru" for 204), or "" when the
/// number carries no language.
std::string charsetLanguage(int charset);

/// The face fontconfig chose for a font: family name, file and face index.
struct FontMatch {
  std::string family;
  std::string file;
  int index = 0;
};

/// Matches the font's face, weight, slant and language hint the way fontconfig substitutes a
/// missing face. Throws brevane::Error when no font at all is available.
FontMatch matchFont(const FontChoice& font);

/// Width (advance of the shaped line) and line height (ascender - descender) in pixels.
struct TextExtent {
  int width = 0;
  int height = 0;
  bool operator==(const TextExtent&) const = default;
};

/// A rectangle in line coordinates: the extent box of a line has its top-left at (0, 0).
struct LineRect {
  int x = 0, y = 0, width = 0, height = 0;
};

/// An 8-bit coverage image of a rendered line: 0 untouched, 255 fully covered. (left, top) is
/// its corner in line coordinates; glyphs that overhang the extent box (italics) are kept.
struct Coverage {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> data;  // width * height, rows top first
  uint8_t at(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
  bool empty() const { return width <= 0 || height <= 0; }
};

/// Measures `line` (UTF-8) in the font at `sizePoints`. Throws brevane::Error.
TextExtent measureText(const FontChoice& font, int sizePoints, const std::string& line);

/// Renders `line` with grey antialiasing, underline and strike-out included, limited to
/// `window` (the part that can show; pass the image's rectangle in line coordinates) so that
/// a long line costs only what is visible. Throws brevane::Error.
Coverage renderText(const FontChoice& font, int sizePoints, const std::string& line, const LineRect& window);

}  // namespace brevane::imaging
