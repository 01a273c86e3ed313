// TIFF and fax reader on libtiff: first page through libtiff's RGBA interface, alpha kept.
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/error.h"
#include "codecs/codec.h"
#include "codecs/icc_profile.h"

namespace brevane::codecs {
namespace {

// Largest single allocation libtiff may make for one file (strip and tile buffers).
constexpr tmsize_t kMaxSingleAlloc = tmsize_t{1} << 30;

struct MemoryFile {
  const uint8_t* data;
  uint64_t size;
  uint64_t pos;
  char message[256];
};

extern "C" tmsize_t tiff_onRead(thandle_t h, void* out, tmsize_t n) {
  auto* f = static_cast<MemoryFile*>(h);
  if (n <= 0 || f->pos >= f->size) return 0;
  uint64_t count = static_cast<uint64_t>(n);
  if (count > f->size - f->pos) count = f->size - f->pos;
  std::memcpy(out, f->data + f->pos, count);
  f->pos += count;
  return static_cast<tmsize_t>(count);
}

extern "C" tmsize_t tiff_onWrite(thandle_t, void*, tmsize_t) { return 0; }

extern "C" toff_t tiff_onSeek(thandle_t h, toff_t offset, int whence) {
  auto* f = static_cast<MemoryFile*>(h);
  uint64_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->size : 0;
  if (offset > UINT64_MAX - base) return static_cast<toff_t>(-1);
  f->pos = base + offset;  // reads past the end return nothing
  return f->pos;
}

extern "C" int tiff_onClose(thandle_t) { return 0; }
extern "C" toff_t tiff_onSize(thandle_t h) { return static_cast<MemoryFile*>(h)->size; }
extern "C" int tiff_onMap(thandle_t, void**, toff_t*) { return 0; }
extern "C" void tiff_onUnmap(thandle_t, void*, toff_t) {}

extern "C" int tiff_onError(TIFF*, void* user, const char* module, const char* fmt, va_list args) {
  auto* f = static_cast<MemoryFile*>(user);
  if (f->message[0]) return 1;  // keep the first message: it names the cause
  char text[200];
  std::vsnprintf(text, sizeof text, fmt, args);
  std::snprintf(f->message, sizeof f->message, "%s%s%s", module ? module : "", module ? ": " : "", text);
  return 1;
}

extern "C" int tiff_onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffHandle {
  TIFF* tif = nullptr;
  TIFFOpenOptions* options = nullptr;
  ~TiffHandle() {
    if (tif) TIFFClose(tif);
    if (options) TIFFOpenOptionsFree(options);
  }
};

struct RgbaImage {
  TIFFRGBAImage img{};
  bool begun = false;
  ~RgbaImage() {
    if (begun) TIFFRGBAImageEnd(&img);
  }
};

[[noreturn]] void fail(const MemoryFile& f, const char* fallback) {
  throw Error(std::string("TIFF image is not valid (") + (f.message[0] ? f.message : fallback) + ")");
}

// Layouts libtiff's RGBA interface refuses (2-4 bit colour, 10-32 bit, float, 16-bit CMYK) are
// read here sample by sample from the decoded strips or tiles and scaled to 8 bits.
struct Layout {
  uint32_t width = 0, height = 0;
  uint16_t bits = 0, format = SAMPLEFORMAT_UINT, samples = 1, planar = PLANARCONFIG_CONTIG, photometric = 0;
  int colours = 1;     // colour samples per pixel: 1 grey, 3 RGB, 4 CMYK
  int alphaType = 0;   // EXTRASAMPLE_ASSOCALPHA / UNASSALPHA of the first extra sample, else 0
  bool tiled = false;
  uint32_t chunkWidth = 0, chunkHeight = 0;  // tile size, or image width and rows per strip
};

// One sample of `bits` bits at bit offset `bit` of a decoded row, as a double.
double sampleAt(const uint8_t* row, uint64_t bit, const Layout& l) {
  const uint8_t* p = row + bit / 8;
  if (l.format == SAMPLEFORMAT_IEEEFP) {
    if (l.bits == 32) {
      float f;
      std::memcpy(&f, p, 4);
      return f;
    }
    double d;
    std::memcpy(&d, p, 8);
    return d;
  }
  uint64_t v = 0;
  if (l.bits == 16 || l.bits == 24 || l.bits == 32) {
    // Byte-aligned samples are in host order after libtiff's decoding.
    for (int i = l.bits / 8 - 1; i >= 0; --i) v = (v << 8) | p[i];
  } else if (l.bits == 8) {
    v = *p;
  } else {
    for (int i = 0; i < l.bits; ++i) {
      uint64_t b = bit + static_cast<uint64_t>(i);
      v = (v << 1) | ((row[b / 8] >> (7 - b % 8)) & 1);
    }
  }
  double max = static_cast<double>((uint64_t{1} << l.bits) - 1);
  if (l.format == SAMPLEFORMAT_INT) {
    int64_t s = static_cast<int64_t>(v);
    if (v & (uint64_t{1} << (l.bits - 1))) s -= int64_t{1} << l.bits;
    return (static_cast<double>(s) + static_cast<double>(uint64_t{1} << (l.bits - 1))) / max;
  }
  return static_cast<double>(v) / max;
}

// The layout of the first page, refused when the sample reader cannot read it.
Layout readLayout(TIFF* tif) {
  Layout l;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric)) l.photometric = PHOTOMETRIC_MINISBLACK;
  switch (l.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE: l.colours = 1; break;
    case PHOTOMETRIC_RGB: l.colours = 3; break;
    case PHOTOMETRIC_SEPARATED: l.colours = 4; break;
    default: throw Error("TIFF image is not valid (unsupported photometric interpretation)");
  }
  bool floating = l.format == SAMPLEFORMAT_IEEEFP;
  if (floating ? (l.bits != 32 && l.bits != 64) : (l.bits < 1 || l.bits > 32) ||
      (l.format != SAMPLEFORMAT_UINT && l.format != SAMPLEFORMAT_INT && !floating))
    throw Error("TIFF image is not valid (unsupported sample format)");
  if (l.samples < l.colours) throw Error("TIFF image is not valid (too few samples per pixel)");
  uint16_t extraCount = 0;
  uint16_t* extra = nullptr;
  if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount > 0 && extra &&
      l.samples > l.colours && (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA))
    l.alphaType = extra[0];
  l.tiled = TIFFIsTiled(tif);
  if (l.tiled) {
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &l.chunkWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &l.chunkHeight);
  } else {
    l.chunkWidth = l.width;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &l.chunkHeight);
    if (l.chunkHeight > l.height) l.chunkHeight = l.height;
  }
  if (l.chunkWidth == 0 || l.chunkHeight == 0) throw Error("TIFF image is not valid (bad strip or tile size)");
  return l;
}

// The colour samples (and the alpha sample) of every pixel scaled to 0..1, `used` per pixel,
// read strip by strip or tile by tile, plane by plane for separate planes.
std::vector<float> readSamples(TIFF* tif, const MemoryFile& file, const Layout& l, int used) {
  std::vector<float> values(static_cast<size_t>(l.width) * l.height * static_cast<size_t>(used), 0.0f);
  const int perChunk = l.planar == PLANARCONFIG_SEPARATE ? 1 : l.samples;
  const uint64_t rowBits = static_cast<uint64_t>(l.chunkWidth) * perChunk * l.bits;
  const uint64_t rowBytes = (rowBits + 7) / 8;
  const uint64_t chunkBytes = rowBytes * l.chunkHeight;
  if (chunkBytes > (uint64_t{1} << 30)) throw Error("TIFF image is not valid (strip or tile too large)");
  std::vector<uint8_t> chunk(chunkBytes);
  const int planes = l.planar == PLANARCONFIG_SEPARATE ? used : 1;
  for (int plane = 0; plane < planes; ++plane) {
    for (uint32_t cy = 0; cy < l.height; cy += l.chunkHeight) {
      for (uint32_t cx = 0; cx < l.width; cx += l.chunkWidth) {
        std::fill(chunk.begin(), chunk.end(), uint8_t{0});
        tmsize_t got;
        if (l.tiled) {
          got = TIFFReadEncodedTile(tif, TIFFComputeTile(tif, cx, cy, 0, static_cast<uint16_t>(plane)), chunk.data(),
                                    static_cast<tmsize_t>(chunk.size()));
        } else {
          got = TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, cy, static_cast<uint16_t>(plane)), chunk.data(),
                                     static_cast<tmsize_t>(chunk.size()));
        }
        if (got < 0) fail(file, "cannot read the image data");
        for (uint32_t ry = 0; ry < l.chunkHeight && cy + ry < l.height; ++ry) {
          const uint8_t* row = chunk.data() + ry * rowBytes;
          for (uint32_t rx = 0; rx < l.chunkWidth && cx + rx < l.width; ++rx) {
            float* out = &values[((static_cast<size_t>(cy) + ry) * l.width + cx + rx) * used];
            if (planes > 1) {
              out[plane] = static_cast<float>(sampleAt(row, static_cast<uint64_t>(rx) * l.bits, l));
            } else {
              for (int s = 0; s < used; ++s)
                out[s] = static_cast<float>(sampleAt(row, (static_cast<uint64_t>(rx) * perChunk + s) * l.bits, l));
            }
          }
        }
      }
    }
  }
  return values;
}

// Floating-point data outside 0..1 is stretched over its own range.
void stretchFloatingRange(std::vector<float>& values) {
  float lo = 0, hi = 1;
  for (float v : values) {
    if (!(v == v)) continue;
    lo = std::min(lo, v), hi = std::max(hi, v);
  }
  if (hi > lo && (lo < 0 || hi > 1))
    for (float& v : values) v = (v - lo) / (hi - lo);
}

// Samples of 0..1 as an 8-bit grey, 24-bit or (with alpha) 32-bit bitmap.
Bitmap samplesToBitmap(const std::vector<float>& values, const Layout& l, int used) {
  auto byte = [](float v) {
    if (!(v > 0)) return uint8_t{0};
    return v >= 1 ? uint8_t{255} : static_cast<uint8_t>(std::lround(v * 255.0f));
  };
  Bitmap bmp;
  const int w = static_cast<int>(l.width), h = static_cast<int>(l.height);
  const int outBytes = l.alphaType ? 4 : l.colours == 1 ? 1 : 3;
  bmp.reset(w, h, outBytes * 8);
  if (outBytes == 1) bmp.setGreyPalette();
  if (l.alphaType) bmp.setAlphaMode(l.alphaType == EXTRASAMPLE_ASSOCALPHA ? AlphaMode::kPremultiplied : AlphaMode::kStraight);
  for (int y = 0; y < h; ++y) {
    uint8_t* d = bmp.scanLine(y);
    for (int x = 0; x < w; ++x, d += outBytes) {
      const float* v = &values[(static_cast<size_t>(y) * w + x) * used];
      uint8_t r, g, b;
      if (l.colours == 1) {
        r = g = b = byte(l.photometric == PHOTOMETRIC_MINISWHITE ? 1 - v[0] : v[0]);
      } else if (l.colours == 3) {
        r = byte(v[0]), g = byte(v[1]), b = byte(v[2]);
      } else {
        float k = 1 - v[3];
        r = byte((1 - v[0]) * k), g = byte((1 - v[1]) * k), b = byte((1 - v[2]) * k);
      }
      if (outBytes == 1) {
        d[0] = r;
        continue;
      }
      d[0] = b, d[1] = g, d[2] = r;
      if (outBytes == 4) d[3] = byte(v[l.colours]);
    }
  }
  return bmp;
}

Bitmap readGeneric(TIFF* tif, const MemoryFile& file) {
  const Layout l = readLayout(tif);
  const int used = l.colours + (l.alphaType ? 1 : 0);
  std::vector<float> values = readSamples(tif, file, l, used);
  if (l.format == SAMPLEFORMAT_IEEEFP) stretchFloatingRange(values);
  return samplesToBitmap(values, l, used);
}

// Unassociated alpha would come back premultiplied at 8 bits from the RGBA interface, which
// loses the colour of faint pixels; such files, and signed or floating-point samples (which
// the interface would read as unsigned ones, breaking the scale at zero), are read sample by
// sample when their layout allows.
bool preferSampleReader(TIFF* tif) {
  uint16_t photometric = 0, extraCount = 0;
  uint16_t* extra = nullptr;
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  bool straightAlpha = TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount > 0 && extra &&
                       extra[0] == EXTRASAMPLE_UNASSALPHA;
  bool plainLayout = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE ||
                     photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_SEPARATED;
  uint16_t sampleFormat = SAMPLEFORMAT_UINT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
  return plainLayout && (straightAlpha || sampleFormat != SAMPLEFORMAT_UINT);
}

// The RGBA interface's raster (top row first) as an 8-bit grey, 24-bit or 32-bit bitmap.
Bitmap rasterToBitmap(const TIFFRGBAImage& img, const std::vector<uint32_t>& raster, uint32_t width, uint32_t height) {
  const uint16_t photometric = img.photometric;
  const int alpha = img.alpha;  // 0, EXTRASAMPLE_ASSOCALPHA or EXTRASAMPLE_UNASSALPHA
  const bool grey = !alpha && img.samplesperpixel == 1 &&
                    (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE);
  Bitmap bmp;
  const int w = static_cast<int>(width), ht = static_cast<int>(height);
  if (grey) {
    bmp.reset(w, ht, 8);
    bmp.setGreyPalette();
  } else {
    bmp.reset(w, ht, alpha ? 32 : 24);
  }
  // The RGBA interface premultiplies unassociated alpha; it is undone here so the bitmap holds
  // what the file holds.
  if (alpha == EXTRASAMPLE_ASSOCALPHA) bmp.setAlphaMode(AlphaMode::kPremultiplied);
  if (alpha == EXTRASAMPLE_UNASSALPHA) bmp.setAlphaMode(AlphaMode::kStraight);
  for (int y = 0; y < ht; ++y) {
    const uint32_t* s = raster.data() + static_cast<size_t>(y) * width;
    uint8_t* d = bmp.scanLine(y);
    for (int x = 0; x < w; ++x) {
      uint32_t p = s[x];
      uint8_t r = static_cast<uint8_t>(TIFFGetR(p)), g = static_cast<uint8_t>(TIFFGetG(p)),
              b = static_cast<uint8_t>(TIFFGetB(p)), a = static_cast<uint8_t>(TIFFGetA(p));
      if (grey) {
        d[x] = r;
        continue;
      }
      if (alpha == EXTRASAMPLE_UNASSALPHA && a != 255) {
        auto unmul = [a](unsigned c) {
          if (a == 0) return uint8_t{0};
          unsigned v = (c * 255 + a / 2) / a;
          return static_cast<uint8_t>(v > 255 ? 255 : v);
        };
        r = unmul(r), g = unmul(g), b = unmul(b);
      }
      uint8_t* o = d + (alpha ? 4 : 3) * x;
      o[0] = b, o[1] = g, o[2] = r;
      if (alpha) o[3] = a;
    }
  }
  return bmp;
}

// The profile of the first page; the orientation tag, 1 when absent or out of range.
void readMetadata(TIFF* tif, DecodedImage& image) {
  uint32_t size = 0;
  void* profile = nullptr;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &size, &profile) && profile && size > 0)
    image.iccProfile.assign(static_cast<const uint8_t*>(profile),
                            static_cast<const uint8_t*>(profile) + std::min<size_t>(size, kMaxIccProfileBytes));
  uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetField(tif, TIFFTAG_ORIENTATION, &orientation);
  image.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
}

DecodedImage decode(std::span<const uint8_t> data, const DecodeContext&) {
  MemoryFile file{data.data(), data.size(), 0, {}};
  TiffHandle h;
  h.options = TIFFOpenOptionsAlloc();
  if (!h.options) throw std::bad_alloc();
  TIFFOpenOptionsSetMaxSingleMemAlloc(h.options, kMaxSingleAlloc);
  TIFFOpenOptionsSetErrorHandlerExtR(h.options, tiff_onError, &file);
  TIFFOpenOptionsSetWarningHandlerExtR(h.options, tiff_onWarning, &file);
  h.tif = TIFFClientOpenExt("memory", "rm", &file, tiff_onRead, tiff_onWrite, tiff_onSeek, tiff_onClose, tiff_onSize,
                            tiff_onMap, tiff_onUnmap, h.options);
  if (!h.tif) fail(file, "cannot open");

  uint32_t width = 0, height = 0;
  TIFFGetField(h.tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(h.tif, TIFFTAG_IMAGELENGTH, &height);
  checkImageSize(width, height);
  DecodedImage image;
  image.kind = DecodedKind::kBitmap;
  readMetadata(h.tif, image);
  char message[1024] = {0};
  RgbaImage rgba;
  if (preferSampleReader(h.tif) || !TIFFRGBAImageOK(h.tif, message) ||
      !TIFFRGBAImageBegin(&rgba.img, h.tif, 0, message)) {
    file.message[0] = 0;
    try {
      image.bitmap = readGeneric(h.tif, file);
    } catch (const Error&) {
      // The RGBA interface's reason names the layout better than the fallback's.
      if (message[0]) std::snprintf(file.message, sizeof file.message, "%s", message);
      fail(file, "unsupported layout");
    }
    return image;
  }
  rgba.begun = true;
  // The RGBA interface turns the mirrored and upside-down orientations (2-4) upright itself;
  // the turned ones (5-8) it can only flip, which would leave them mirrored: those are read as
  // stored, and the orientation says what is left to do.
  if (image.orientation >= 5) {
    rgba.img.req_orientation = static_cast<uint16_t>(image.orientation);
  } else {
    rgba.img.req_orientation = ORIENTATION_TOPLEFT;
    image.orientation = 1;
  }
  std::vector<uint32_t> raster(static_cast<size_t>(width) * height);
  if (!TIFFRGBAImageGet(&rgba.img, raster.data(), width, height)) fail(file, "cannot read the image data");
  image.bitmap = rasterToBitmap(rgba.img, raster, width, height);
  return image;
}

}  // namespace

const CodecDescriptor kTiffCodec{"Tagged image file format images", &decode};

}  // namespace brevane::codecs
