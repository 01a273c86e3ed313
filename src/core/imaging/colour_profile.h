// A source's ICC profile in a conversion: kept for the output, or the pixels turned into sRGB
// with Little CMS; a damaged profile is set aside, never the file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/codec.h"

namespace brevane::imaging {

/// What a conversion does with a source's profile.
struct ColourOptions {
  bool keepProfile = true;     // the output carries the source's profile (formats that hold one)
  bool convertToSrgb = false;  // the pixels are turned into sRGB; the output then carries none
};

/// What became of the profile.
struct ColourOutcome {
  /// The profile the output is to carry: empty when there is none to keep, when the pixels
  /// were converted, or when the profile does not describe colours as the output stores them
  /// (a CMYK or grey profile of pixels that are now RGB).
  std::vector<uint8_t> outputProfile;
  /// Why the profile was ignored, when it is damaged: it cannot be read, or no transform into
  /// sRGB can be built from it for the pixels it came with. Empty otherwise.
  std::string problem;
};

/// Applies the options to a decoded source in place. With conversion on, an RGB profile turns
/// colour pixels (24 bits, 32 bits with their alpha left as it is, or a palette) into sRGB, a
/// grey profile grey pixels, a CMYK profile the ink amounts of DecodedImage::cmykInks; the
/// perceptual intent is used. Profiles of other colour spaces, or that do not fit the pixels, are
/// left aside without a word. A damaged profile leaves the pixels as they are (inks get the
/// plain conversion) and is named in `problem`. Safe from several threads at once.
ColourOutcome applyColourOptions(codecs::DecodedImage& image, const ColourOptions& options);

/// Empties the cache of transforms (each profile's transforms are kept for the next file).
void clearColourTransformCache();
/// How many transforms the cache holds now.
size_t colourTransformCacheSize();

}  // namespace brevane::imaging
