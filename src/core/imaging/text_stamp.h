// The text stamp: one line drawn into the image with the stamp font.
#pragma once

#include <cstdint>
#include <string>

#include "base/bitmap.h"
#include "base/font_choice.h"

namespace brevane::imaging {

/// How the text stamp is drawn.
struct TextStampOptions {
  FontChoice font;
  int position = 6;    // anchor 0-6 (OverlayOrigin)
  int opacity = 75;    // percent; 100 and more draws opaque text
  bool shadow = true;  // a black copy behind the text, offset down and right
};

/// Smallest size the automatic fitting goes down to, in points.
inline constexpr int kMinFittedSize = 8;

/// The alphas of a semi-transparent stamp at `opacity` percent: shadow Round(p / 100 * 75),
/// text Round(p / 100 * 255), both limited to 0-255.
struct StampAlphas {
  uint8_t shadow = 0, text = 0;
  bool operator==(const StampAlphas&) const = default;
};
StampAlphas stampAlphas(int opacity);

/// The size the line is drawn at on an image `imageWidth` pixels wide: the largest size from
/// the font's own down to 8 points whose line is at most Round(imageWidth * 0.35) wide, or 8
/// when none is; a font below 8 points keeps its size. Sizes above kMaxFontPoints count as
/// too wide.
int fitFontSize(const FontChoice& font, const std::string& line, int imageWidth);

/// Draws `line` into `image` with the options' font, position, opacity and shadow. The caller
/// holds ConversionLock during a run. A semi-transparent stamp leaves the image 32-bit only
/// when it has an alpha plane; the alpha plane itself is not touched. Throws brevane::Error
/// when drawing fails.
void stampText(Bitmap& image, bool hasAlphaPlane, const std::string& line, const TextStampOptions& options);

}  // namespace brevane::imaging
