// Decoders independent of the project's writers: libpng, libjpeg, giflib, OpenJPEG, and a
// small Targa reader.
#include "core/codecs/reference_decoders.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <openjpeg.h>
#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>

#include <jpeglib.h>

namespace brevane::test {

namespace {
uint32_t be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }
}  // namespace

PngRead readPng(const std::vector<uint8_t>& file) {
  PngRead r;
  for (size_t at = 8; at + 12 <= file.size();) {
    uint32_t len = be32(&file[at]);
    std::string type(reinterpret_cast<const char*>(&file[at + 4]), 4);
    r.chunks.push_back(type);
    if (type == "IHDR") {
      r.colorType = file[at + 8 + 9];
      r.interlace = file[at + 8 + 12];
    }
    if (type == "IDAT") {
      r.idatSizes.push_back(len);
      r.zlibStream.insert(r.zlibStream.end(), file.begin() + at + 8, file.begin() + at + 8 + len);
    }
    at += 12 + len;
  }
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, file.data(), file.size())) throw std::runtime_error(img.message);
  bool alpha = img.format & PNG_FORMAT_FLAG_ALPHA;
  img.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  r.image.reset(static_cast<int>(img.width), static_cast<int>(img.height), alpha ? 32 : 24);
  if (!png_image_finish_read(&img, nullptr, r.image.data(), static_cast<png_int_32>(r.image.stride()), nullptr))
    throw std::runtime_error(img.message);
  return r;
}

namespace {

struct JpegErr {
  jpeg_error_mgr pub;
  jmp_buf jump;
};
extern "C" void jpegFail(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErr*>(c->err)->jump, 1); }

// Plain C data only between setjmp and longjmp.
bool decompress(const std::vector<uint8_t>& file, Bitmap* out, JpegRead* info) {
  jpeg_decompress_struct cinfo;
  JpegErr err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = jpegFail;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), file.size());
  jpeg_read_header(&cinfo, TRUE);
  info->progressive = cinfo.progressive_mode;
  info->jfif = cinfo.saw_JFIF_marker;
  info->lumaH = cinfo.comp_info[0].h_samp_factor;
  info->lumaV = cinfo.comp_info[0].v_samp_factor;
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  if (static_cast<int>(cinfo.output_width) != out->width() || static_cast<int>(cinfo.output_height) != out->height()) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out->scanLine(static_cast<int>(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

JpegRead readJpeg(const std::vector<uint8_t>& file) {
  // The size comes from the SOF marker so that the bitmap exists before libjpeg runs.
  int w = 0, h = 0;
  for (size_t i = 2; i + 9 < file.size();) {
    if (file[i] != 0xFF) throw std::runtime_error("bad JPEG marker");
    uint8_t m = file[i + 1];
    size_t len = size_t{file[i + 2]} << 8 | file[i + 3];
    if (m == 0xC0 || m == 0xC1 || m == 0xC2) {
      h = file[i + 5] << 8 | file[i + 6];
      w = file[i + 7] << 8 | file[i + 8];
      break;
    }
    i += 2 + len;
  }
  JpegRead r;
  r.image.reset(w, h, 24);
  if (!decompress(file, &r.image, &r)) throw std::runtime_error("libjpeg failed");
  return r;
}

namespace {
struct GifSource {
  const std::vector<uint8_t>* data;
  size_t pos = 0;
};
extern "C" int gifRead(GifFileType* gif, GifByteType* buf, int n) {
  auto* s = static_cast<GifSource*>(gif->UserData);
  size_t k = std::min(static_cast<size_t>(n), s->data->size() - s->pos);
  std::memcpy(buf, s->data->data() + s->pos, k);
  s->pos += k;
  return static_cast<int>(k);
}
}  // namespace

GifRead readGif(const std::vector<uint8_t>& file) {
  GifSource src{&file};
  int error = 0;
  GifFileType* gif = DGifOpen(&src, gifRead, &error);
  if (!gif) throw std::runtime_error("DGifOpen failed");
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &error);
    throw std::runtime_error("DGifSlurp failed");
  }
  GifRead r;
  r.width = gif->SWidth;
  r.height = gif->SHeight;
  r.frames = gif->ImageCount;
  r.colorResolution = gif->SColorResolution;
  if (gif->SColorMap)
    for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
      const GifColorType& c = gif->SColorMap->Colors[i];
      r.palette.push_back({c.Blue, c.Green, c.Red, 0});
    }
  if (gif->ImageCount > 0) {
    const SavedImage& im = gif->SavedImages[0];
    r.indexes.assign(im.RasterBits, im.RasterBits + static_cast<size_t>(im.ImageDesc.Width) * im.ImageDesc.Height);
    GraphicsControlBlock gcb;
    if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK) r.transparent = gcb.TransparentColor;
  }
  DGifCloseFile(gif, &error);
  return r;
}

namespace {
struct Jp2Source {
  const std::vector<uint8_t>* data;
  size_t pos = 0;
};
extern "C" OPJ_SIZE_T jp2Read(void* buf, OPJ_SIZE_T n, void* user) {
  auto* s = static_cast<Jp2Source*>(user);
  if (s->pos >= s->data->size()) return static_cast<OPJ_SIZE_T>(-1);
  size_t k = std::min(n, s->data->size() - s->pos);
  std::memcpy(buf, s->data->data() + s->pos, k);
  s->pos += k;
  return k;
}
extern "C" OPJ_OFF_T jp2Skip(OPJ_OFF_T n, void* user) {
  auto* s = static_cast<Jp2Source*>(user);
  s->pos += static_cast<size_t>(n);
  return n;
}
extern "C" OPJ_BOOL jp2Seek(OPJ_OFF_T n, void* user) {
  static_cast<Jp2Source*>(user)->pos = static_cast<size_t>(n);
  return OPJ_TRUE;
}
}  // namespace

Jp2Read readJp2(const std::vector<uint8_t>& file) {
  Jp2Read r;
  static const uint8_t kSig[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
  r.isJp2File = file.size() >= 12 && std::memcmp(file.data(), kSig, 12) == 0;
  Jp2Source src{&file};
  opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
  opj_stream_set_user_data(stream, &src, nullptr);
  opj_stream_set_user_data_length(stream, file.size());
  opj_stream_set_read_function(stream, jp2Read);
  opj_stream_set_skip_function(stream, jp2Skip);
  opj_stream_set_seek_function(stream, jp2Seek);
  opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_JP2);
  opj_dparameters_t params;
  opj_set_default_decoder_parameters(&params);
  opj_setup_decoder(codec, &params);
  opj_image_t* image = nullptr;
  bool ok = opj_read_header(stream, codec, &image) && opj_decode(codec, stream, image) && opj_end_decompress(codec, stream);
  if (ok) {
    r.components = static_cast<int>(image->numcomps);
    r.alphaMarked = r.components == 4 && image->comps[3].alpha != 0;
    int w = static_cast<int>(image->comps[0].w), h = static_cast<int>(image->comps[0].h);
    r.image.reset(w, h, r.components == 4 ? 32 : 24);
    static constexpr int kByteOf[4] = {2, 1, 0, 3};
    int step = r.components == 4 ? 4 : 3;
    for (int c = 0; c < std::min(r.components, 4); ++c)
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          r.image.scanLine(y)[x * step + kByteOf[c]] = static_cast<uint8_t>(image->comps[c].data[y * w + x]);
  }
  if (image) opj_image_destroy(image);
  opj_destroy_codec(codec);
  opj_stream_destroy(stream);
  if (!ok) throw std::runtime_error("OpenJPEG could not decode the file");
  return r;
}

TgaRead readTga(const std::vector<uint8_t>& f) {
  if (f.size() < 18 || f[2] != 10 || f[17] != 0x20) throw std::runtime_error("not a top-left RLE Targa");
  int w = f[12] | f[13] << 8, h = f[14] | f[15] << 8, bytes = f[16] / 8;
  TgaRead r;
  r.image.reset(w, h, bytes * 8);
  size_t at = 18 + f[0];
  for (int y = 0; y < h; ++y) {
    uint8_t* row = r.image.scanLine(y);
    int x = 0;
    while (x < w) {  // a packet never crosses a row in these files
      uint8_t head = f.at(at++);
      int n = (head & 0x7F) + 1;
      if (x + n > w) throw std::runtime_error("packet crosses a row");
      ++r.packets;
      for (int i = 0; i < n; ++i, ++x) {
        size_t from = head & 0x80 ? at : at + static_cast<size_t>(i) * bytes;
        for (int b = 0; b < bytes; ++b) row[x * bytes + b] = f.at(from + b);
      }
      at += head & 0x80 ? bytes : static_cast<size_t>(n) * bytes;
    }
  }
  if (at != f.size()) throw std::runtime_error("bytes after the last row");
  return r;
}

double psnr(const Bitmap& a, const Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) return 0;
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      Bgr p = a.pixel(x, y), q = b.pixel(x, y);
      double d0 = p.b - q.b, d1 = p.g - q.g, d2 = p.r - q.r;
      sum += d0 * d0 + d1 * d1 + d2 * d2;
    }
  double mse = sum / (3.0 * a.width() * a.height());
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

Bitmap photoLike(int width, int height, int noise, uint32_t seed) {
  Bitmap img(width, height, 24);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> n(-noise, noise);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = img.scanLine(y);
    for (int x = 0; x < width; ++x) {
      int r = 255 * x / std::max(1, width - 1), g = 255 * y / std::max(1, height - 1), b = (r + 2 * g) / 3;
      int v[3] = {b, g, r};
      for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<uint8_t>(std::clamp(v[c] + (noise ? n(rng) : 0), 0, 255));
    }
  }
  return img;
}

}  // namespace brevane::test
