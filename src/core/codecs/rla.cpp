// Alias/Wavefront reader (.rla, .rpf): run-length channels of 8 to 16 bits, colour and matte
// (alpha); auxiliary channels are skipped.
#include <algorithm>
#include <vector>

#include "base/byte_reader.h"
#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/extra_util.h"

namespace brevane::codecs {
namespace {

constexpr const char* kTruncated = "Alias/Wavefront image data is truncated";
constexpr size_t kHeaderSize = 740;

// One channel of one scanline: a signed count byte starts each packet; n >= 0 repeats the next
// byte n + 1 times, n < 0 copies -n bytes. A sample of more than 8 bits is coded as one pass per
// byte, most significant first, each pass covering the whole width. Short data leaves zeros.
void decodeChannel(std::span<const uint8_t> in, int bytesPerSample, std::span<uint16_t> out) {
  std::fill(out.begin(), out.end(), 0);
  size_t e = 0;
  for (int pass = 0; pass < bytesPerSample; ++pass) {
    size_t n = 0;
    while (n < out.size() && e < in.size()) {
      auto count = static_cast<int8_t>(in[e++]);
      if (count >= 0) {
        if (e >= in.size()) return;
        uint8_t v = in[e++];
        for (int i = 0; i <= count && n < out.size(); ++i, ++n) out[n] = static_cast<uint16_t>((out[n] << 8) | v);
      } else {
        for (int i = 0; i < -count && n < out.size() && e < in.size(); ++i, ++n)
          out[n] = static_cast<uint16_t>((out[n] << 8) | in[e++]);
      }
    }
  }
}

int bytesFor(int bits) {
  return bits <= 8 ? 1 : 2;
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  ByteReader r(data, kTruncated);
  if (data.size() < kHeaderSize) throw Error("Alias/Wavefront header is truncated");
  r.seek(8);  // the full window; the image is the active window
  int left = static_cast<int16_t>(r.u16be()), right = static_cast<int16_t>(r.u16be());
  int bottom = static_cast<int16_t>(r.u16be()), top = static_cast<int16_t>(r.u16be());
  r.skip(4);  // frame number, colour channel type
  int colourChannels = static_cast<int16_t>(r.u16be());
  int matteChannels = static_cast<int16_t>(r.u16be());
  r.skip(2);  // auxiliary channels
  r.skip(2);  // revision: files before 0xFFFE share the layout but leave the bit counts zero
  r.seek(658);
  int colourBits = static_cast<int16_t>(r.u16be());
  r.skip(2);
  int matteBits = static_cast<int16_t>(r.u16be());
  if (right < left || top < bottom) throw Error("Alias/Wavefront file has an invalid image size");
  if (colourChannels < 0 || matteChannels < 0 || colourChannels + matteChannels == 0)
    throw Error("Alias/Wavefront file has no colour or matte channels");
  if (colourBits <= 0) colourBits = 8;
  if (matteBits <= 0) matteBits = 8;
  if (colourBits > 16 || (matteChannels > 0 && matteBits > 16))
    throw Error("Alias/Wavefront images of more than 16 bits per channel are not supported");
  const int width = right - left + 1, height = top - bottom + 1;
  checkImageSize(width, height);
  if (data.size() - kHeaderSize < size_t{4} * height) throw Error(kTruncated);

  // Grey or RGB from the colour channels; the first matte channel is the alpha. A file of mattes
  // only shows its matte as grey.
  const int colour = colourChannels >= 3 ? 3 : std::min(colourChannels, 1);
  const bool alpha = matteChannels > 0 && colour > 0;
  DecodedImage out;
  Bitmap& bm = out.bitmap;
  if (colour == 3)
    bm.reset(width, height, alpha ? 32 : 24);
  else if (alpha)
    bm.reset(width, height, 32);
  else {
    bm.reset(width, height, 8);
    bm.setGreyPalette();
  }
  // Renderers write colour multiplied by coverage.
  if (alpha) bm.setAlphaMode(AlphaMode::kPremultiplied);
  const size_t px = static_cast<size_t>(bm.bitsPerPixel() / 8);

  std::vector<uint16_t> samples(static_cast<size_t>(width));
  for (int line = 0; line < height; ++line) {
    r.seek(kHeaderSize + 4 * static_cast<size_t>(line));
    uint32_t offset = r.u32be();
    // Scanlines are listed from the bottom up.
    uint8_t* dst = bm.scanLine(height - 1 - line);
    r.seek(offset);
    const int needed = colour == 0 ? colourChannels + 1 : (alpha ? colourChannels + 1 : colour);
    for (int c = 0; c < needed; ++c) {
      bool matte = c >= colourChannels;
      int bits = matte ? matteBits : colourBits;
      size_t length = r.u16be();
      auto packet = r.bytes(length);
      bool used = matte || c < colour;
      if (!used) continue;
      decodeChannel(packet, bytesFor(bits), samples);
      const uint32_t maxValue = (1u << bits) - 1;
      for (int x = 0; x < width; ++x) {
        uint8_t v = bits == 8 ? static_cast<uint8_t>(samples[static_cast<size_t>(x)])
                              : scaleTo8(samples[static_cast<size_t>(x)], maxValue);
        uint8_t* d = dst + static_cast<size_t>(x) * px;
        if (matte && colour > 0) {
          d[3] = v;
        } else if (colour == 3) {
          d[2 - c] = v;
        } else {
          d[0] = v;
          if (px == 4) d[1] = d[2] = v;
        }
      }
    }
  }
  return out;
}

}  // namespace

const CodecDescriptor kRlaCodec{"Alias/Wavefront images", &decode};

}  // namespace brevane::codecs
