// The options of one run (TConversionSettings), the output format codes and the stamp font.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/datetime.h"

namespace brevane {

/// The text-stamp font: face, Windows character-set number, colour 0x00BBGGRR (signed; system
/// colours are negative), size in points, style bits (bold 1, italic 2, underline 4, strike-out 8).
struct FontSpec {
  std::string name = "Times New Roman";
  int charset = 204;
  int32_t color = 0x00FFFFFF;
  int size = 26;
  int style = 0;
  bool operator==(const FontSpec&) const = default;
};

/// Output formats, in the order of the Output_format setting.
enum class OutputFormat : int { kJpeg = 0, kPng = 1, kBmp = 2, kGif = 3, kJpeg2000 = 4, kTga = 5 };

/// The upper-case code of an Output_format value ("JPG", "PNG", "BMP", "GIF", "JP2", "TGA");
/// values outside 0-5 give "JPG".
std::string_view formatCode(int outputFormat);

/// Every option of one run; each field is named after its settings key. Defaults are those of
/// a first start without a settings file.
struct TConversionSettings {
  int Threads = 1;  // set to the number of logical processors by defaults()
  int Output_format = 0;
  std::string Output_path;  // $HOME/brv-output/ by defaults()
  bool Overwrite = false;
  bool Auto_format = false;
  bool Exif = true;
  int JPG_quality = 85;
  bool JPG_progressive = false;
  int PNG_compression = 9;
  bool Png_interlace = false;
  bool Png_filter = true;
  int J2K_quality = 75;
  bool J2K_Lossless = false;
  int Selected_mode = 0;
  int Resize_width = 1920;  // the primary screen's size; 1920 x 1080 without a screen
  int Resize_height = 1080;
  int Resize_percent = 50;
  bool Resize_proportional = true;
  bool EnlargeIfSmall = false;
  bool SmartCrop_enable = false;
  int Resampling_filter = 5;
  bool Rename_enabled = true;
  std::string Rename_mask = "[N]_[C]_[W]x[H][E]";
  int Counter_length = 3;
  bool Watermark_enable = false;
  std::string Watermark_text_mask = "[D] - [T]";
  int Text_position = 6;
  int Text_opacity = 75;
  bool Text_Shadow = true;
  FontSpec Text_Font;
  bool Img_watermark_enabled = false;
  std::string Img_path;  // program folder + "watermark.png" by defaults()
  int Img_position = 6;

  /// Locale conventions: textfs for stamped text, filefs (separators "_") for names.
  DateTimeFormat textfs;
  DateTimeFormat filefs = DateTimeFormat().forFileNames();

  /// The defaults of a first start on this machine.
  static TConversionSettings defaults();
};

}  // namespace brevane
