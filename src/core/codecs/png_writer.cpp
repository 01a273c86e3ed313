// PNG writer: truecolour (with alpha), optional Adam7, per-row filter choice, the filtered rows
// compressed by libdeflate into one zlib stream, IDAT chunks of 65535 bytes.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "base/byte_buffer.h"
#include "base/bytes.h"
#include "base/error.h"
#include "codecs/encoders.h"
#include "codecs/icc_profile.h"
#include "codecs/png_filter.h"

namespace brevane::codecs {
namespace png {

size_t repeatScore(const uint8_t* b, size_t n) {
  size_t count = 0;
  // Branch-free so that the compiler vectorises it.
  for (size_t j = 2; j < n; ++j) count += static_cast<size_t>((b[j] == b[j - 1]) | (b[j] == b[j - 2]));
  return count;
}

RowFilter::RowFilter(size_t rowBytes, int bytesPerPixel, bool allFilters)
    : m_rowBytes(rowBytes), m_bpp(bytesPerPixel), m_all(allFilters) {
  if (m_all) {
    m_zero.assign(rowBytes, 0);
    for (auto& b : m_buf) b.resize(rowBytes);
  }
}

namespace {

// The four predictive filters of one row; separate restrict-qualified loops so that each one
// vectorises (the first pixel has no left neighbour: a = c = 0).
void filterAll(const uint8_t* __restrict raw, const uint8_t* __restrict prior, size_t n, size_t bpp,
               uint8_t* __restrict sub, uint8_t* __restrict up, uint8_t* __restrict avg,
               uint8_t* __restrict paeth) {
  size_t first = std::min(bpp, n);
  for (size_t i = 0; i < first; ++i) {
    sub[i] = raw[i];
    avg[i] = static_cast<uint8_t>(raw[i] - (prior[i] >> 1));
    paeth[i] = static_cast<uint8_t>(raw[i] - prior[i]);  // the predictor of b alone is b
  }
  for (size_t i = 0; i < n; ++i) up[i] = static_cast<uint8_t>(raw[i] - prior[i]);
  for (size_t i = first; i < n; ++i) sub[i] = static_cast<uint8_t>(raw[i] - raw[i - bpp]);
  for (size_t i = first; i < n; ++i) avg[i] = static_cast<uint8_t>(raw[i] - ((raw[i - bpp] + prior[i]) >> 1));
  for (size_t i = first; i < n; ++i) {
    int16_t a = raw[i - bpp], b = prior[i], c = prior[i - bpp];
    int16_t pa = static_cast<int16_t>(std::abs(b - c)), pb = static_cast<int16_t>(std::abs(a - c)),
            pc = static_cast<int16_t>(std::abs(a + b - 2 * c));
    // The usual choice (a when pa is smallest, else b when pb <= pc, else c) as nested
    // selects without a short-circuit, which the vectoriser can handle.
    int16_t ac = pa <= pc ? a : c, bc = pb <= pc ? b : c;
    int16_t pred = pa <= pb ? ac : bc;
    paeth[i] = static_cast<uint8_t>(raw[i] - pred);
  }
}

}  // namespace

FilterType RowFilter::apply(const uint8_t* raw, const uint8_t* prior) {
  m_result = raw;
  if (!m_all) return kNone;
  if (!prior) prior = m_zero.data();
  filterAll(raw, prior, m_rowBytes, static_cast<size_t>(m_bpp), m_buf[0].data(), m_buf[1].data(), m_buf[2].data(),
            m_buf[3].data());
  FilterType best = kNone;
  size_t bestScore = repeatScore(raw, m_rowBytes);
  for (int f = 0; f < 4; ++f) {
    size_t score = repeatScore(m_buf[f].data(), m_rowBytes);
    if (score > bestScore) {
      bestScore = score;
      best = static_cast<FilterType>(f + 1);
    }
  }
  if (best != kNone) m_result = m_buf[best - 1].data();
  return best;
}

}  // namespace png

namespace {

void putChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size) {
  appendBe32(out, static_cast<uint32_t>(size));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  if (size) out.insert(out.end(), data, data + size);
  uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(size + 4));
  appendBe32(out, static_cast<uint32_t>(crc));
}

// The filtered rows in one zlib stream (libdeflate compresses a whole buffer at once; at every
// level it is faster than zlib and its output no larger). Level 0 gives stored blocks.
ByteBuffer compressStream(const ByteBuffer& filtered, int level, size_t& compressedSize) {
  std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> compressor(
      libdeflate_alloc_compressor(level), &libdeflate_free_compressor);
  if (!compressor) throw std::bad_alloc();
  ByteBuffer out(libdeflate_zlib_compress_bound(compressor.get(), filtered.size()));
  compressedSize =
      libdeflate_zlib_compress(compressor.get(), filtered.data(), filtered.size(), out.data(), out.size());
  if (compressedSize == 0) throw Error("PNG compression failed");
  return out;
}

// The image's rows as PNG samples: R, G, B (, A from the alpha plane's third byte).
class RowSource {
 public:
  RowSource(const Bitmap& image, const Bitmap* alpha) : m_image(&image), m_alpha(alpha) {
    if (image.bitsPerPixel() != 24 && image.bitsPerPixel() != 32) {
      m_converted = image;
      m_converted.convertTo24();
      m_image = &m_converted;
    }
  }
  int channels() const { return m_alpha ? 4 : 3; }
  void row(int y, uint8_t* out) const {
    const uint8_t* s = m_image->scanLine(y);
    const int step = m_image->bitsPerPixel() / 8;
    const int w = m_image->width();
    if (m_alpha) {
      const uint8_t* a = m_alpha->scanLine(y);
      for (int x = 0; x < w; ++x, s += step, out += 4) {
        out[0] = s[2], out[1] = s[1], out[2] = s[0], out[3] = a[3 * x + 2];
      }
    } else {
      for (int x = 0; x < w; ++x, s += step, out += 3) out[0] = s[2], out[1] = s[1], out[2] = s[0];
    }
  }

 private:
  const Bitmap* m_image;
  const Bitmap* m_alpha;
  Bitmap m_converted;
};

constexpr size_t kIdatBytes = 65535;

struct Pass {
  int x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

}  // namespace

std::vector<uint8_t> encodePng(const Bitmap& image, const Bitmap* alpha, const PngWriteOptions& options,
                               std::span<const uint8_t> icc) {
  if (image.empty()) throw Error("Cannot write an empty image");
  if (alpha && (alpha->width() != image.width() || alpha->height() != image.height() || alpha->bitsPerPixel() != 24))
    throw Error("Alpha plane does not match the image");
  const int width = image.width(), height = image.height();
  RowSource source(image, alpha);
  const int channels = source.channels();
  const size_t rowBytes = static_cast<size_t>(width) * channels;
  const int level = std::clamp(options.level, 0, 9);

  // The size of the filtered stream: a filter byte and the samples of each row of each pass.
  size_t streamBytes = 0;
  if (!options.interlace) {
    streamBytes = (rowBytes + 1) * static_cast<size_t>(height);
  } else {
    for (const Pass& p : kAdam7) {
      if (width <= p.x0 || height <= p.y0) continue;
      const size_t passWidth = static_cast<size_t>((width - p.x0 + p.dx - 1) / p.dx);
      const size_t passRows = static_cast<size_t>((height - p.y0 + p.dy - 1) / p.dy);
      streamBytes += (passWidth * channels + 1) * passRows;
    }
  }
  ByteBuffer filtered(streamBytes);
  size_t at = 0;
  auto emit = [&](png::FilterType type, const uint8_t* bytes, size_t n) {
    filtered.data()[at] = type;
    std::memcpy(filtered.data() + at + 1, bytes, n);
    at += n + 1;
  };

  if (!options.interlace) {
    png::RowFilter filter(rowBytes, channels, options.allFilters);
    std::vector<uint8_t> cur(rowBytes), prev(rowBytes);
    for (int y = 0; y < height; ++y) {
      source.row(y, cur.data());
      png::FilterType type = filter.apply(cur.data(), y ? prev.data() : nullptr);
      emit(type, filter.filtered(), rowBytes);
      cur.swap(prev);
    }
  } else {
    // Each pass is a small image of its own; the prior row restarts at each pass.
    ByteBuffer full(rowBytes * height);
    for (int y = 0; y < height; ++y) source.row(y, full.data() + rowBytes * y);
    for (const Pass& p : kAdam7) {
      if (width <= p.x0 || height <= p.y0) continue;
      const size_t passWidth = static_cast<size_t>((width - p.x0 + p.dx - 1) / p.dx);
      const size_t passBytes = passWidth * channels;
      png::RowFilter filter(passBytes, channels, options.allFilters);
      std::vector<uint8_t> cur(passBytes), prev(passBytes);
      bool first = true;
      for (int y = p.y0; y < height; y += p.dy) {
        const uint8_t* src = full.data() + rowBytes * y;
        for (size_t i = 0; i < passWidth; ++i)
          std::memcpy(cur.data() + i * channels, src + (p.x0 + i * p.dx) * channels, channels);
        png::FilterType type = filter.apply(cur.data(), first ? nullptr : prev.data());
        emit(type, filter.filtered(), passBytes);
        cur.swap(prev);
        first = false;
      }
    }
  }
  size_t zsize = 0;
  const ByteBuffer z = compressStream(filtered, level, zsize);

  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> out(kSignature, kSignature + 8);
  out.reserve(zsize + zsize / kIdatBytes * 12 + 64);
  std::vector<uint8_t> ihdr;
  appendBe32(ihdr, static_cast<uint32_t>(width));
  appendBe32(ihdr, static_cast<uint32_t>(height));
  ihdr.push_back(8);                       // bit depth
  ihdr.push_back(alpha ? 6 : 2);           // truecolour with or without alpha
  ihdr.push_back(0);                       // deflate
  ihdr.push_back(0);                       // adaptive filtering
  ihdr.push_back(options.interlace ? 1 : 0);
  putChunk(out, "IHDR", ihdr.data(), ihdr.size());
  if (!icc.empty()) {
    std::vector<uint8_t> iccp = pngIccChunkData(icc);
    putChunk(out, "iCCP", iccp.data(), iccp.size());
  }
  for (size_t pos = 0; pos < zsize; pos += kIdatBytes)
    putChunk(out, "IDAT", z.data() + pos, std::min(kIdatBytes, zsize - pos));
  putChunk(out, "IEND", nullptr, 0);
  return out;
}

}  // namespace brevane::codecs
