// PNG writer over zlib: truecolour (with alpha), optional Adam7, per-row filter choice,
// IDAT chunks of 65535 bytes.
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

// A zlib stream that grows its output vector; rows are fed in batches.
class Deflater {
 public:
  explicit Deflater(int level, size_t expected) {
    std::memset(&m_z, 0, sizeof m_z);
    if (deflateInit(&m_z, level) != Z_OK) throw Error("PNG compression could not be started");
    m_out.resize(std::max<size_t>(expected, 4096));
  }
  ~Deflater() { deflateEnd(&m_z); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  void feed(const uint8_t* data, size_t size, bool finish) {
    m_z.next_in = const_cast<Bytef*>(data);
    m_z.avail_in = static_cast<uInt>(size);
    for (;;) {
      if (m_used == m_out.size()) m_out.resize(m_out.size() * 2);
      m_z.next_out = m_out.data() + m_used;
      m_z.avail_out = static_cast<uInt>(std::min<size_t>(m_out.size() - m_used, 1u << 30));
      int rc = deflate(&m_z, finish ? Z_FINISH : Z_NO_FLUSH);
      m_used = static_cast<size_t>(m_z.next_out - m_out.data());
      if (rc == Z_STREAM_END) return;
      if (rc != Z_OK && rc != Z_BUF_ERROR) throw Error("PNG compression failed");
      if (!finish && m_z.avail_in == 0 && m_z.avail_out != 0) return;
    }
  }
  const uint8_t* data() const { return m_out.data(); }
  size_t size() const { return m_used; }

 private:
  z_stream m_z;
  std::vector<uint8_t> m_out;
  size_t m_used = 0;
};

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

constexpr size_t kBatchBytes = 1 << 18;
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

  Deflater z(level, rowBytes * height / 3);
  std::vector<uint8_t> batch;
  batch.reserve(kBatchBytes + rowBytes + 1);
  auto emit = [&](png::FilterType type, const uint8_t* bytes, size_t n) {
    batch.push_back(type);
    batch.insert(batch.end(), bytes, bytes + n);
    if (batch.size() >= kBatchBytes) {
      z.feed(batch.data(), batch.size(), false);
      batch.clear();
    }
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
    std::vector<uint8_t> full(rowBytes * height);
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
  z.feed(batch.data(), batch.size(), true);

  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> out(kSignature, kSignature + 8);
  out.reserve(z.size() + z.size() / kIdatBytes * 12 + 64);
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
  for (size_t at = 0; at < z.size(); at += kIdatBytes)
    putChunk(out, "IDAT", z.data() + at, std::min(kIdatBytes, z.size() - at));
  putChunk(out, "IEND", nullptr, 0);
  return out;
}

}  // namespace brevane::codecs
