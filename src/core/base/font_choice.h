// The description of a text font as the settings store it: face, character set, colour, size, style.
#pragma once

#include <cstdint>
#include <string>

namespace brevane {

/// A font: face, Windows character-set number, colour 0x00BBGGRR (signed; system colours are
/// negative), size in points, style bits (bold 1, italic 2, underline 4, strike-out 8).
struct FontChoice {
  std::string name = "Times New Roman";
  int charset = 204;
  int32_t color = 0x00FFFFFF;
  int size = 26;
  int style = 0;
  bool operator==(const FontChoice&) const = default;
};

}  // namespace brevane
