// WebP reader on libwebp: lossy and lossless, alpha, the first frame of an animation; the ICC
// profile and the Exif orientation are reported.
#include <webp/decode.h>
#include <webp/demux.h>

#include <memory>
#include <new>

#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/orientation.h"
#include "codecs/pixel_rows.h"

namespace brevane::codecs {
namespace {

[[noreturn]] void fail(const char* what) { throw Error(std::string("WebP image is not valid (") + what + ")"); }

[[noreturn]] void failStatus(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY: throw std::bad_alloc();
    case VP8_STATUS_UNSUPPORTED_FEATURE: fail("unsupported feature");
    case VP8_STATUS_NOT_ENOUGH_DATA: fail("file is truncated");
    default: fail("bitstream error");
  }
}

struct DemuxDeleter {
  void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};

struct FrameIterator {
  WebPIterator it{};
  ~FrameIterator() { WebPDemuxReleaseIterator(&it); }
};

// The bytes of the first chunk of a kind ("ICCP", "EXIF"), empty when there is none.
std::span<const uint8_t> chunk(const WebPDemuxer* demux, const char* fourcc) {
  WebPChunkIterator it;
  std::span<const uint8_t> bytes;
  if (WebPDemuxGetChunk(demux, fourcc, 1, &it)) bytes = {it.chunk.bytes, it.chunk.size};
  WebPDemuxReleaseChunkIterator(&it);  // the bytes point into the caller's data
  return bytes;
}

// Decodes one frame's bitstream into the rectangle of `canvas` at (x, y).
void decodeFrame(const WebPIterator& frame, Bitmap& canvas) {
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) fail("library version mismatch");
  const bool alpha = canvas.bitsPerPixel() == 32;
  const size_t step = alpha ? 4 : 3;
  config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
  config.output.is_external_memory = 1;
  config.output.width = frame.width;
  config.output.height = frame.height;
  config.output.u.RGBA.rgba = canvas.scanLine(frame.y_offset) + step * static_cast<size_t>(frame.x_offset);
  config.output.u.RGBA.stride = static_cast<int>(canvas.stride());
  // What the rectangle may use: from its first byte to the end of the canvas.
  config.output.u.RGBA.size = canvas.byteSize() - static_cast<size_t>(config.output.u.RGBA.rgba - canvas.data());
  VP8StatusCode status = WebPDecode(frame.fragment.bytes, frame.fragment.size, &config);
  WebPFreeDecBuffer(&config.output);
  if (status != VP8_STATUS_OK) failStatus(status);
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  WebPData input{data.data(), data.size()};
  std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&input));
  if (!demux) fail("invalid header");
  const uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
  const uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
  const uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
  checkImageSize(width, height);

  FrameIterator first;
  if (!WebPDemuxGetFrame(demux.get(), 1, &first.it)) fail("no image");
  const WebPIterator& frame = first.it;
  if (!frame.complete) fail("file is truncated");
  if (frame.x_offset < 0 || frame.y_offset < 0 || frame.width <= 0 || frame.height <= 0 ||
      static_cast<uint32_t>(frame.x_offset) + static_cast<uint32_t>(frame.width) > width ||
      static_cast<uint32_t>(frame.y_offset) + static_cast<uint32_t>(frame.height) > height)
    fail("frame outside the canvas");
  // The first frame of an animation is drawn on a transparent canvas; where it does not cover
  // the canvas, the picture is transparent.
  const bool covers = frame.width == static_cast<int>(width) && frame.height == static_cast<int>(height);
  const bool alpha = frame.has_alpha || !covers;

  DecodedImage image;
  image.kind = DecodedKind::kBitmap;
  image.bitmap = decodeTarget(width, height, alpha);
  decodeFrame(frame, image.bitmap);
  if (flags & ICCP_FLAG) {
    auto icc = chunk(demux.get(), "ICCP");
    image.iccProfile.assign(icc.begin(), icc.end());
  }
  if (flags & EXIF_FLAG) image.orientation = exifOrientation(chunk(demux.get(), "EXIF"));
  return image;
}

}  // namespace

const CodecDescriptor kWebpCodec{"", &decode};

}  // namespace brevane::codecs
