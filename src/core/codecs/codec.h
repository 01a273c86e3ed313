// The one interface every decoder plugs into, and the decoded image it returns.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/bitmap.h"

namespace brevane::codecs {

/// What a decoder's result is, which decides how the pipeline builds its working image.
enum class DecodedKind : uint8_t {
  kBitmap,    // a device-independent bitmap of the file's own layout (BMP, TGA, TIFF, extras, JP2, RAW)
  kJpeg,      // 8-bit grey, 24-bit, or 32-bit for four-component files
  kPng,       // see pngColorType
  kGif,       // first frame, with the transparent index as the transparent-colour mark
  kIcon,      // 32-bit, drawn over black
  kMetafile,  // no pixels; width and height from the header only
};

/// A decoded source.
///
/// `bitmap` is what the kind's conversion to a bitmap gives:
/// - kPng with colour type 6: 32 bits, straight alpha (the pipeline applies the PNG formula);
/// - kPng otherwise: the layout that fits it; with one transparent colour the bitmap carries it
///   as its transparent-colour mark; with partial transparency 32 bits composited over black
///   (alpha byte 255);
/// - kBitmap with 32 bits: its alphaMode says how the fourth byte reads (unmarked, straight,
///   premultiplied);
/// - kMetafile: empty; `width` and `height` hold the picture size.
struct DecodedImage {
  DecodedKind kind = DecodedKind::kBitmap;
  Bitmap bitmap;
  int pngColorType = -1;         // 0, 2, 3, 4, 6 for kPng
  bool reportsAlpha = false;     // a Targa image with an alpha channel
  int width = 0, height = 0;     // picture size (equals the bitmap's unless a metafile)
  /// How the pixels are to be turned to stand upright, as an Exif orientation value: 1 when
  /// they already do (or the reader does not tell), 2-8 mirrored and/or rotated. Readers leave
  /// the pixels as stored; HEIF's library applies the file's geometry itself and reports 1.
  int orientation = 1;
  /// The ICC profile the pixels are in, as the file embeds it; empty for sRGB or none.
  std::vector<uint8_t> iccProfile;
  /// The 32-bit bitmap holds the source's CMYK ink amounts (cyan, magenta, yellow, black; 0 is
  /// no ink) instead of blue, green, red, alpha: only when DecodeContext::keepCmykInks asked
  /// for them and an ICC profile came with them, so that the profile can turn them into colours.
  bool cmykInks = false;
};

/// Per-call context of a decoder.
struct DecodeContext {
  std::string path;  // the source path (for side files such as a Dr. Halo palette)
  /// A CMYK source that embeds an ICC profile keeps its ink amounts (DecodedImage::cmykInks)
  /// instead of the plain conversion to colours; readers that cannot do it ignore the wish.
  bool keepCmykInks = false;
};

using DecodeFn = DecodedImage (*)(std::span<const uint8_t> data, const DecodeContext& context);

/// One format: the loader's description ("" for formats outside the loader's list) and its
/// reader. registry.cpp maps extensions to descriptors.
struct CodecDescriptor {
  std::string_view description;
  DecodeFn decode = nullptr;
};

/// The plain conversion of CMYK ink amounts (DecodedImage::cmykInks) to blue, green, red with
/// alpha 255, used when no profile applies: each colour is what its ink leaves of white, times
/// what black leaves.
void cmykInksToBgra(Bitmap& bitmap);

// The descriptors, one per format file, listed by registry.cpp.
extern const CodecDescriptor kBmpCodec, kIcoCodec, kMetafileCodec, kJpegCodec, kTgaCodec, kTiffCodec,
    kEpsCodec, kPcxCodec, kRlaCodec, kSgiCodec, kPsdCodec, kPnmCodec, kCelCodec, kPcdCodec, kCutCodec,
    kPspCodec, kPngCodec, kGifCodec, kJpeg2000Codec, kWebpCodec, kAvifCodec, kHeifCodec, kJxlCodec;

}  // namespace brevane::codecs
