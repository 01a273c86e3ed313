// The output formats table.
#include "codecs/output_formats.h"

#include <iterator>

namespace brevane::codecs {

namespace {

std::vector<uint8_t> jpeg(const Bitmap& image, const Bitmap*, const EncodeOptions& o) {
  return encodeJpeg(image, o.jpegQuality, o.jpegProgressive, o.iccProfile);
}
std::vector<uint8_t> png(const Bitmap& image, const Bitmap* alpha, const EncodeOptions& o) {
  return encodePng(image, alpha, o.png, o.iccProfile);
}
std::vector<uint8_t> bmp(const Bitmap& image, const Bitmap*, const EncodeOptions&) {
  return encodeBmp(image);
}
std::vector<uint8_t> gif(const Bitmap& image, const Bitmap*, const EncodeOptions&) {
  return encodeGif(image);
}
std::vector<uint8_t> jpeg2000(const Bitmap& image, const Bitmap*, const EncodeOptions& o) {
  return encodeJpeg2000(image, o.jpeg2000Quality, o.jpeg2000Lossless, o.iccProfile);
}
std::vector<uint8_t> tga(const Bitmap& image, const Bitmap* alpha, const EncodeOptions&) {
  return encodeTga(image, alpha);
}
std::vector<uint8_t> webp(const Bitmap& image, const Bitmap* alpha, const EncodeOptions& o) {
  return encodeWebp(image, alpha, o.webp, o.exif);
}
std::vector<uint8_t> avif(const Bitmap& image, const Bitmap* alpha, const EncodeOptions& o) {
  return encodeAvif(image, alpha, o.avif, o.exif);
}
std::vector<uint8_t> jxl(const Bitmap& image, const Bitmap* alpha, const EncodeOptions& o) {
  return encodeJxl(image, alpha, o.jxl, o.exif);
}

// In index order; a new format is one more row. JPEG 2000 output is converted by one worker
// at a time.
// clang-format off
constexpr OutputFormatInfo kFormats[] = {
    {OutputFormat::kJpeg, "JPG", ".JPG", &jpeg, false, 0, ExifPlace::kJpegSegment},
    {OutputFormat::kPng, "PNG", ".PNG", &png, true, 0, ExifPlace::kNone},
    {OutputFormat::kBmp, "BMP", ".BMP", &bmp, false, 0, ExifPlace::kNone},
    {OutputFormat::kGif, "GIF", ".GIF", &gif, false, 0, ExifPlace::kNone},
    {OutputFormat::kJpeg2000, "JP2", ".JP2", &jpeg2000, false, 1, ExifPlace::kNone},
    {OutputFormat::kTga, "TGA", ".TGA", &tga, true, 0, ExifPlace::kNone},
    {OutputFormat::kWebp, "WEBP", ".WEBP", &webp, true, 0, ExifPlace::kContainer},
    {OutputFormat::kAvif, "AVIF", ".AVIF", &avif, true, 0, ExifPlace::kContainer},
    {OutputFormat::kJxl, "JXL", ".JXL", &jxl, true, 0, ExifPlace::kContainer},
};
// clang-format on

constexpr bool indexesMatchRows() {
  for (size_t i = 0; i < std::size(kFormats); ++i)
    if (kFormats[i].index() != static_cast<int>(i)) return false;
  return true;
}
static_assert(indexesMatchRows(), "every row sits at its own index");

}  // namespace

std::span<const OutputFormatInfo> outputFormats() {
  return kFormats;
}

const OutputFormatInfo& outputFormat(int index) {
  if (index < 0 || static_cast<size_t>(index) >= std::size(kFormats)) return kFormats[0];
  return kFormats[index];
}

const OutputFormatInfo& outputFormat(OutputFormat id) {
  return outputFormat(static_cast<int>(id));
}

const OutputFormatInfo* findOutputFormat(std::string_view code) {
  for (const OutputFormatInfo& f : kFormats)
    if (f.code == code) return &f;
  return nullptr;
}

}  // namespace brevane::codecs
