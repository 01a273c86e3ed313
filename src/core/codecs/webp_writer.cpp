// WebP writer on libwebp: lossy at a quality or lossless with every pixel kept exactly, alpha
// from the alpha plane, Exif in the EXIF chunk (through libwebpmux).
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <memory>
#include <new>

#include "base/error.h"
#include "codecs/encoders.h"
#include "codecs/pixel_rows.h"

namespace brevane::codecs {
namespace {

[[noreturn]] void failEncoding(WebPEncodingError code) {
  switch (code) {
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY: throw std::bad_alloc();
    case VP8_ENC_ERROR_BAD_DIMENSION:
      throw Error(format("WebP image encoding failed (at most %d pixels a side)", WEBP_MAX_DIMENSION));
    case VP8_ENC_ERROR_FILE_TOO_BIG: throw Error("WebP image encoding failed (file too large)");
    default: throw Error(format("WebP image encoding failed (error %d)", static_cast<int>(code)));
  }
}

struct Picture {
  WebPPicture pic;
  Picture() {
    if (!WebPPictureInit(&pic)) throw Error("WebP image encoding failed (library version mismatch)");
  }
  ~Picture() { WebPPictureFree(&pic); }
};

struct MemoryWriter {
  WebPMemoryWriter writer;
  MemoryWriter() { WebPMemoryWriterInit(&writer); }
  ~MemoryWriter() { WebPMemoryWriterClear(&writer); }
};

struct MuxDeleter {
  void operator()(WebPMux* m) const { WebPMuxDelete(m); }
};

// The encoded image with an EXIF chunk added (and the VP8X header that announces it).
std::vector<uint8_t> withExifChunk(const WebPMemoryWriter& image, std::span<const uint8_t> exif) {
  WebPData bitstream{image.mem, image.size};
  std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxCreate(&bitstream, 0));
  if (!mux) throw std::bad_alloc();
  WebPData chunk{exif.data(), exif.size()};
  if (WebPMuxSetChunk(mux.get(), "EXIF", &chunk, 1) != WEBP_MUX_OK)
    throw Error("WebP image encoding failed (Exif chunk)");
  WebPData assembled{nullptr, 0};
  WebPMuxError e = WebPMuxAssemble(mux.get(), &assembled);
  std::vector<uint8_t> out;
  if (e == WEBP_MUX_OK) out.assign(assembled.bytes, assembled.bytes + assembled.size);
  WebPDataClear(&assembled);
  if (e == WEBP_MUX_MEMORY_ERROR) throw std::bad_alloc();
  if (e != WEBP_MUX_OK) throw Error("WebP image encoding failed (Exif chunk)");
  return out;
}

}  // namespace

std::vector<uint8_t> encodeWebp(const Bitmap& image, const Bitmap* alpha, const WebpWriteOptions& options,
                                std::span<const uint8_t> exif) {
  WebPConfig config;
  if (!WebPConfigInit(&config)) throw Error("WebP image encoding failed (library version mismatch)");
  if (options.lossless) {
    config.lossless = 1;
    config.exact = 1;  // keep the colour of fully transparent pixels too
  } else {
    config.quality = static_cast<float>(std::clamp(options.quality, 1, 100));
  }
  if (!WebPValidateConfig(&config)) throw Error("WebP image encoding failed (invalid configuration)");

  Picture picture;
  WebPPicture& pic = picture.pic;
  pic.width = image.width();
  pic.height = image.height();
  pic.use_argb = options.lossless ? 1 : 0;
  if (pic.width > WEBP_MAX_DIMENSION || pic.height > WEBP_MAX_DIMENSION) failEncoding(VP8_ENC_ERROR_BAD_DIMENSION);
  {
    const std::vector<uint8_t> packed = packPixels(image, alpha, ChannelOrder::kBgr);
    const int stride = pic.width * (alpha ? 4 : 3);
    int ok = alpha ? WebPPictureImportBGRA(&pic, packed.data(), stride) : WebPPictureImportBGR(&pic, packed.data(), stride);
    if (!ok) throw std::bad_alloc();
  }
  MemoryWriter output;
  pic.writer = WebPMemoryWrite;
  pic.custom_ptr = &output.writer;
  if (!WebPEncode(&config, &pic)) failEncoding(pic.error_code);
  if (!exif.empty()) return withExifChunk(output.writer, exif);
  return std::vector<uint8_t>(output.writer.mem, output.writer.mem + output.writer.size);
}

}  // namespace brevane::codecs
