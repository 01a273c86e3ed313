// The preset sizes of the resize page, their parser and decoration, and the aspect-ratio text.
#pragma once

#include <string>
#include <vector>

#include "imaging/resize.h"

namespace brevane::imaging {

/// The preset list in its order; the first entry "--" means no preset ("1280x800" is listed twice).
const std::vector<std::string>& presetSizes();

/// Width and height of a preset entry ("1920x1080", "1024x600 ( ≈15:9 )  0,61 M"), or -1 x -1.
Size parsePresetSize(const std::string& entry);

/// Width and height reduced by their greatest common divisor, joined by ":" ("16:9"). When
/// either is 0 the two numbers are written as they are.
std::string aspectText(int width, int height);

/// width * height / 1000000 rounded to two decimals (ties to even), in the shortest decimal
/// form with the given separator ("0.31", "4.1", "2").
std::string megapixelText(int width, int height, char decimalSeparator);

/// An entry with its aspect ratio and megapixels ("640x480 ( 4:3 ) 0.31 M"); entries that do
/// not parse or already hold ":" are returned as they are.
std::string decoratePreset(const std::string& entry, char decimalSeparator);

/// The whole preset list decorated.
std::vector<std::string> decoratedPresetSizes(char decimalSeparator);

}  // namespace brevane::imaging
