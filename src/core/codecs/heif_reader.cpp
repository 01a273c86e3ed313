// HEIF reader on libheif (HEIC and AVIF coded images): the primary image with the file's crop,
// rotation and mirror applied by the library, high bit depths reduced to 8, straight alpha,
// the embedded ICC profile reported.
#include <libheif/heif.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/pixel_rows.h"

namespace brevane::codecs {
namespace {

// libheif's own limit, checked on each side of every image and grid it reads before it
// allocates. It bounds sides, not areas: a damaged grid that declares 65535 x 65535 pixels over a
// tiny picture would otherwise take gigabytes. 16384 x 16384 is the engine's own largest image.
constexpr int kMaxSide = 16384;
static_assert(uint64_t{kMaxSide} * kMaxSide <= kMaxImagePixels);

void checkHeif(const heif_error& e) {
  if (e.code == heif_error_Ok) return;
  if (e.code == heif_error_Memory_allocation_error && e.subcode == heif_suberror_Unspecified)
    throw std::bad_alloc();
  throw Error(std::string("HEIF image is not valid (") + (e.message ? e.message : "unknown error") + ")");
}

struct ContextDeleter {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsDeleter {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

// Registers the library's built-in decoders once per process.
void initialiseOnce() {
  static std::once_flag once;
  std::call_once(once, [] { heif_init(nullptr); });
}

// Colour divided by alpha: the file stored premultiplied colours.
void unpremultiply(Bitmap& bitmap) {
  for (int y = 0; y < bitmap.height(); ++y) {
    uint8_t* p = bitmap.scanLine(y);
    for (int x = 0; x < bitmap.width(); ++x, p += 4) {
      unsigned a = p[3];
      if (a == 0 || a == 255) continue;
      for (int c = 0; c < 3; ++c) {
        unsigned v = (p[c] * 255u + a / 2) / a;
        p[c] = static_cast<uint8_t>(v > 255 ? 255 : v);
      }
    }
  }
}

std::vector<uint8_t> iccProfileOf(const heif_image_handle* handle) {
  heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
  if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
  std::vector<uint8_t> icc(heif_image_handle_get_raw_color_profile_size(handle));
  if (icc.empty()) return icc;
  checkHeif(heif_image_handle_get_raw_color_profile(handle, icc.data()));
  return icc;
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  initialiseOnce();
  std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
  if (!context) throw std::bad_alloc();
  heif_context_set_maximum_image_size_limit(context.get(), kMaxSide);
  heif_context_set_max_decoding_threads(context.get(), 0);  // files run in parallel on the job's workers
  checkHeif(heif_context_read_from_memory_without_copy(context.get(), data.data(), data.size(), nullptr));

  heif_image_handle* rawHandle = nullptr;
  checkHeif(heif_context_get_primary_image_handle(context.get(), &rawHandle));
  std::unique_ptr<heif_image_handle, HandleDeleter> handle(rawHandle);
  checkImageSize(heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get()));
  const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;

  std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
  if (!options) throw std::bad_alloc();
  options->convert_hdr_to_8bit = 1;
  heif_image* rawImage = nullptr;
  checkHeif(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get()));
  std::unique_ptr<heif_image, ImageDeleter> decoded(rawImage);

  const int width = heif_image_get_width(decoded.get(), heif_channel_interleaved);
  const int height = heif_image_get_height(decoded.get(), heif_channel_interleaved);
  int stride = 0;
  const uint8_t* plane = heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
  const size_t channels = alpha ? 4 : 3;
  if (!plane || heif_image_get_bits_per_pixel_range(decoded.get(), heif_channel_interleaved) != 8 || stride <= 0 ||
      static_cast<size_t>(stride) < channels * static_cast<size_t>(width > 0 ? width : 0))
    throw Error("HEIF image is not valid (unexpected decoded layout)");

  DecodedImage image;
  image.kind = DecodedKind::kBitmap;
  image.bitmap = decodeTarget(width, height, alpha);
  for (int y = 0; y < height; ++y)
    std::memcpy(image.bitmap.scanLine(y), plane + static_cast<size_t>(y) * static_cast<size_t>(stride),
                channels * static_cast<size_t>(width));
  swapRedBlue(image.bitmap);
  if (alpha && heif_image_handle_is_premultiplied_alpha(handle.get())) unpremultiply(image.bitmap);
  image.iccProfile = iccProfileOf(handle.get());
  return image;
}

}  // namespace

const CodecDescriptor kHeifCodec{"", &decode};

}  // namespace brevane::codecs
