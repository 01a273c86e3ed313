// The options of one run (TConversionSettings) and the output format codes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/font_choice.h"

namespace brevane {

/// The upper-case code of an Output_format value ("JPG", "PNG", "BMP", "GIF", "JP2", "TGA",
/// "WEBP", "AVIF", "JXL"); values outside the table of output formats give "JPG".
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
  int WEBP_quality = 80;
  bool WEBP_Lossless = false;
  int AVIF_quality = 60;
  int AVIF_speed = 6;  // 0 slowest (smallest files) - 10 fastest
  int JXL_quality = 80;
  bool JXL_Lossless = false;
  int Selected_mode = 0;    // an imaging::ResizeMode value
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
  FontChoice Text_Font;
  bool Img_watermark_enabled = false;
  std::string Img_path;  // program folder + "watermark.png" by defaults()
  int Img_position = 6;
  bool Auto_rotate = false;     // turn by the source's orientation before resizing
  bool Keep_icc = true;         // the source's ICC profile into outputs that hold one
  bool Convert_srgb = false;    // the pixels turned into sRGB by the source's profile
  bool Strip_private = false;   // no GPS, owner, serial numbers or maker note in the carried Exif
  bool Strip_metadata = false;  // no Exif, no ICC profile, no XMP in any output
  bool Unique_names = false;  // with Overwrite off, a taken name gets " (2)", " (3)", ...
  bool Keep_folders = false;  // the sources' folder tree below their deepest common folder
  int JPG_target_kb = 0;      // JPEG output of at most this many KiB, Exif included; 0: off

  /// Locale conventions: textfs for stamped text, filefs (separators "_") for names.
  DateTimeFormat textfs;
  DateTimeFormat filefs = DateTimeFormat().forFileNames();

  /// The defaults of a first start on this machine.
  static TConversionSettings defaults();
};

}  // namespace brevane
