// The output formats: one row per format with its code, extension, encoder and run limits.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/bitmap.h"
#include "codecs/encoders.h"

namespace brevane::codecs {

/// Output formats by their Output_format index. New formats take the next index.
enum class OutputFormat : int {
  kJpeg = 0,
  kPng = 1,
  kBmp = 2,
  kGif = 3,
  kJpeg2000 = 4,
  kTga = 5,
  kWebp = 6,
  kAvif = 7,
  kJxl = 8,
};

/// What every encoder may need of a run's options; each reads its own fields.
struct EncodeOptions {
  int jpegQuality = 85;
  bool jpegProgressive = false;
  PngWriteOptions png;
  int jpeg2000Quality = 75;
  bool jpeg2000Lossless = false;
  WebpWriteOptions webp;
  AvifWriteOptions avif;
  JxlWriteOptions jxl;
  /// The Exif block (a TIFF structure) for formats that keep it in their container; empty: none.
  std::span<const uint8_t> exif;
  /// The ICC profile to embed (JPEG, PNG and JPEG 2000 can hold one); empty for none. The
  /// bytes belong to the caller and stay valid for the call.
  std::span<const uint8_t> iccProfile;
};

/// Where a format carries the Exif block of a run with `Exif` on.
enum class ExifPlace : uint8_t {
  kNone,         // the format gets no Exif
  kJpegSegment,  // spliced into the written JPEG stream as an APP1 segment
  kContainer,    // handed to the encoder (EncodeOptions::exif) for the container's Exif place
};

/// Encodes the working image; `alpha` is the alpha plane, or null when the image has none.
using EncodeFn = std::vector<uint8_t> (*)(const Bitmap& image, const Bitmap* alpha, const EncodeOptions& options);

/// One output format.
struct OutputFormatInfo {
  OutputFormat id;
  std::string_view code;       // upper case, the Output_format's code ("JPG")
  std::string_view extension;  // of the provisional output path: "." + code
  EncodeFn encode;
  bool takesAlpha;  // the encoder writes the alpha plane when the image has one
  int maxWorkers;   // most workers at once while this is the Output_format; 0 = no limit
  ExifPlace exif;

  constexpr int index() const { return static_cast<int>(id); }
};

/// Every output format in index order.
std::span<const OutputFormatInfo> outputFormats();
/// The format of an Output_format value; values outside the table give JPEG.
const OutputFormatInfo& outputFormat(int index);
const OutputFormatInfo& outputFormat(OutputFormat id);
/// The format whose code is `code` (exact, upper case), or null.
const OutputFormatInfo* findOutputFormat(std::string_view code);

}  // namespace brevane::codecs
