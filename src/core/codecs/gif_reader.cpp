// GIF reader on giflib: the first frame placed on its logical screen, transparent index as mark.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "base/error.h"
#include "codecs/codec.h"

namespace brevane::codecs {
namespace {

struct MemoryInput {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

extern "C" int gif_onRead(GifFileType* gif, GifByteType* out, int length) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  if (length <= 0) return 0;
  size_t n = std::min(static_cast<size_t>(length), in->size - in->pos);
  std::memcpy(out, in->data + in->pos, n);
  in->pos += n;
  return static_cast<int>(n);
}

struct GifFile {
  GifFileType* gif = nullptr;
  ~GifFile() {
    if (gif) DGifCloseFile(gif, nullptr);
  }
};

[[noreturn]] void fail(int code) {
  const char* text = GifErrorString(code);
  throw Error(std::string("GIF image is not valid (") + (text ? text : "unknown error") + ")");
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  MemoryInput input{data.data(), data.size(), 0};
  int error = 0;
  GifFile file;
  file.gif = DGifOpen(&input, gif_onRead, &error);
  if (!file.gif) fail(error);
  GifFileType* gif = file.gif;
  checkImageSize(gif->SWidth, gif->SHeight);

  int transparent = -1;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) fail(gif->Error);
    if (type == TERMINATE_RECORD_TYPE) throw Error("GIF image is not valid (no image)");
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) fail(gif->Error);
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
        GraphicsControlBlock gcb;
        if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) transparent = gcb.TransparentColor;
      }
      while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) fail(gif->Error);
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) == GIF_ERROR) fail(gif->Error);
    break;
  }

  const GifImageDesc& desc = gif->Image;
  checkImageSize(desc.Width, desc.Height);
  const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;

  DecodedImage image;
  image.kind = DecodedKind::kGif;
  Bitmap& bmp = image.bitmap;
  bmp.reset(gif->SWidth, gif->SHeight, 8);
  std::vector<PaletteEntry>& palette = bmp.palette();
  palette.assign(256, PaletteEntry{});
  if (map && map->Colors) {
    int count = std::min(map->ColorCount, 256);
    for (int i = 0; i < count; ++i) palette[i] = {map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 0};
  } else {
    // No colour table at all: a grey ramp keeps the indexes visible.
    for (int i = 0; i < 256; ++i) palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
  }
  if (transparent > 255) transparent = -1;
  // Outside the frame the screen shows the transparent colour, else the background colour.
  int background = transparent >= 0 ? transparent : gif->SBackGroundColor;
  if (background < 0 || background > 255) background = 0;
  bmp.fill(static_cast<uint8_t>(background));

  std::vector<GifPixelType> line(static_cast<size_t>(desc.Width));
  // Rows in the order they are stored: four passes when interlaced.
  std::vector<int> order;
  order.reserve(static_cast<size_t>(desc.Height));
  if (desc.Interlace) {
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = kStart[pass]; y < desc.Height; y += kStep[pass]) order.push_back(y);
  } else {
    for (int y = 0; y < desc.Height; ++y) order.push_back(y);
  }
  for (int y : order) {
    if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) fail(gif->Error);
    int sy = desc.Top + y;
    if (sy < 0 || sy >= bmp.height()) continue;
    uint8_t* row = bmp.scanLine(sy);
    for (int x = 0; x < desc.Width; ++x) {
      int sx = desc.Left + x;
      if (sx >= 0 && sx < bmp.width()) row[sx] = line[static_cast<size_t>(x)];
    }
  }
  if (transparent >= 0) {
    const PaletteEntry& e = palette[static_cast<size_t>(transparent)];
    bmp.setTransparentColor({e.b, e.g, e.r});
  }
  return image;
}

}  // namespace

const CodecDescriptor kGifCodec{"", &decode};

}  // namespace brevane::codecs
