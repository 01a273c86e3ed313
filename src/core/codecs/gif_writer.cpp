// GIF writer: one frame, the image's own palette or an octree-quantised one, the
// transparent-colour mark, LZW coding by giflib.
#include <gif_lib.h>

#include <algorithm>
#include <new>

#include "base/error.h"
#include "codecs/encoders.h"
#include "codecs/quantizer.h"

namespace brevane::codecs {
namespace {

struct Sink {
  std::vector<uint8_t> bytes;
  bool outOfMemory = false;
};

extern "C" int writeToSink(GifFileType* gif, const GifByteType* data, int size) {
  auto* sink = static_cast<Sink*>(gif->UserData);
  try {
    sink->bytes.insert(sink->bytes.end(), data, data + size);
  } catch (const std::bad_alloc&) {
    sink->outOfMemory = true;  // no exception may cross the library
    return 0;
  }
  return size;
}

// Palette indexes and palette of the frame, and the transparent index (-1 for none).
struct Frame {
  std::vector<PaletteEntry> palette;
  std::vector<uint8_t> indexes;
  int transparent = -1;
};

// 1, 4 and 8-bit images keep their palette; the pixels of the transparent colour all take the
// first palette entry of that colour (a palette may hold the colour more than once).
Frame fromPalette(const Bitmap& image) {
  const int w = image.width(), h = image.height(), bpp = image.bitsPerPixel();
  Frame f;
  f.palette = image.palette();
  f.palette.resize(size_t{1} << bpp);  // missing entries read black, as the bitmap draws them
  f.indexes.resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = image.scanLine(y);
    uint8_t* d = f.indexes.data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      int shift = 8 - bpp - (x * bpp) % 8;
      d[x] = static_cast<uint8_t>((s[(x * bpp) / 8] >> shift) & ((1 << bpp) - 1));
    }
  }
  if (!image.transparent()) return f;
  Bgr t = image.transparentColor();
  auto same = [&](const PaletteEntry& e) { return e.b == t.b && e.g == t.g && e.r == t.r; };
  auto it = std::find_if(f.palette.begin(), f.palette.end(), same);
  if (it == f.palette.end()) return f;
  f.transparent = static_cast<int>(it - f.palette.begin());
  std::vector<bool> isTransparent(f.palette.size());
  for (size_t i = 0; i < f.palette.size(); ++i) isTransparent[i] = same(f.palette[i]);
  for (uint8_t& i : f.indexes)
    if (isTransparent[i]) i = static_cast<uint8_t>(f.transparent);
  return f;
}

// Deeper images: the pixels of the transparent colour are masked out and get an entry of their
// own after the quantised colours (which are then at most 255).
Frame fromTruecolour(const Bitmap& image) {
  Frame f;
  std::vector<uint8_t> mask;
  Bgr t;
  if (image.transparent()) {
    t = image.transparentColor();
    mask.resize(static_cast<size_t>(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        mask[static_cast<size_t>(y) * image.width() + x] = image.pixel(x, y) == t;
  }
  QuantizedImage q = quantizeOctree(image, mask.empty() ? 256 : 255, mask.empty() ? nullptr : &mask);
  f.palette = std::move(q.palette);
  f.indexes = std::move(q.indexes);
  if (!mask.empty()) {
    f.transparent = static_cast<int>(f.palette.size());
    f.palette.push_back({t.b, t.g, t.r, 0});
  }
  return f;
}

[[noreturn]] void gifFailed(int code, const Sink& sink) {
  if (sink.outOfMemory) throw std::bad_alloc();
  const char* text = GifErrorString(code);
  throw Error(std::string("GIF encoding failed: ") + (text ? text : "unknown error"));
}

}  // namespace

std::vector<uint8_t> encodeGif(const Bitmap& image) {
  if (image.empty()) throw Error("Cannot write an empty image");
  if (image.width() > 0xFFFF || image.height() > 0xFFFF) throw Error("Image is too large for a GIF file");
  Frame frame = image.bitsPerPixel() <= 8 ? fromPalette(image) : fromTruecolour(image);

  int bits = 1;
  while ((size_t{1} << bits) < frame.palette.size()) ++bits;
  std::vector<GifColorType> colours(size_t{1} << bits, GifColorType{0, 0, 0});
  for (size_t i = 0; i < frame.palette.size(); ++i)
    colours[i] = GifColorType{frame.palette[i].r, frame.palette[i].g, frame.palette[i].b};
  ColorMapObject* map = GifMakeMapObject(1 << bits, colours.data());
  if (!map) throw std::bad_alloc();

  Sink sink;
  int error = 0;
  GifFileType* gif = EGifOpen(&sink, writeToSink, &error);
  if (!gif) {
    GifFreeMapObject(map);
    gifFailed(error, sink);
  }
  const int w = image.width(), h = image.height();
  bool ok = true;
  if (frame.transparent >= 0) EGifSetGifVersion(gif, true);
  ok = EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK;
  if (ok && frame.transparent >= 0) {
    // Graphic control extension: transparent-colour flag, no delay, the transparent index.
    const GifByteType control[4] = {0x01, 0, 0, static_cast<GifByteType>(frame.transparent)};
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
  }
  ok = ok && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
  for (int y = 0; ok && y < h; ++y)
    ok = EGifPutLine(gif, frame.indexes.data() + static_cast<size_t>(y) * w, w) == GIF_OK;
  int code = gif->Error;
  int closeError = 0;
  bool closed = EGifCloseFile(gif, &closeError) == GIF_OK;
  GifFreeMapObject(map);
  if (!ok) gifFailed(code, sink);
  if (!closed) gifFailed(closeError, sink);
  return std::move(sink.bytes);
}

}  // namespace brevane::codecs
