// Helpers of the Exif tests: small JPEG streams made with libjpeg directly, with extra marker
// segments, and Exif blocks built with Exiv2.
#pragma once

#include <jpeglib.h>
#include <setjmp.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace brevane::test {

/// A marker segment to write after the JFIF header: marker byte and data.
using Marker = std::pair<int, std::vector<uint8_t>>;

namespace detail {
struct JpegErr {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};
inline void jpegErrorExit(j_common_ptr c) {
  longjmp(reinterpret_cast<JpegErr*>(c->err)->jump, 1);
}

// Compresses a grey gradient into `*out`; false on a libjpeg error. No destructors in here.
inline bool compress(int width, int height, const Marker* markers, size_t count, unsigned char** out,
                     unsigned long* size, bool jfif) {
  jpeg_compress_struct c;
  JpegErr err;
  c.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = jpegErrorExit;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&c);
    return false;
  }
  jpeg_create_compress(&c);
  jpeg_mem_dest(&c, out, size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 1;
  c.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  c.write_JFIF_header = jfif ? TRUE : FALSE;
  jpeg_start_compress(&c, TRUE);
  for (size_t i = 0; i < count; ++i)
    jpeg_write_marker(&c, markers[i].first, markers[i].second.data(), static_cast<unsigned>(markers[i].second.size()));
  unsigned char row[4096];
  for (int x = 0; x < width && x < 4096; ++x) row[x] = static_cast<unsigned char>(x * 7);
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row;
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return true;
}

inline bool decompressOk(const unsigned char* data, unsigned long size, int* width, int* height) {
  jpeg_decompress_struct d;
  JpegErr err;
  d.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = jpegErrorExit;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&d);
    return false;
  }
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, data, size);
  jpeg_read_header(&d, TRUE);
  jpeg_start_decompress(&d);
  unsigned char row[4096 * 3];
  while (d.output_scanline < d.output_height) {
    JSAMPROW r = row;
    jpeg_read_scanlines(&d, &r, 1);
  }
  *width = static_cast<int>(d.output_width);
  *height = static_cast<int>(d.output_height);
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return true;
}
// Two byte ranges as one vector (memcpy: GCC's bounds warnings misfire on vector::insert here).
inline std::vector<uint8_t> join(const void* a, size_t na, const void* b, size_t nb) {
  std::vector<uint8_t> out(na + nb);
  if (na) std::memcpy(out.data(), a, na);
  if (nb) std::memcpy(out.data() + na, b, nb);
  return out;
}
}  // namespace detail

/// A baseline greyscale JPEG (width at most 4096) with a JFIF APP0 (unless `jfif` is false)
/// and then `markers`, in order.
inline std::vector<uint8_t> makeJpeg(int width, int height, const std::vector<Marker>& markers = {}, bool jfif = true) {
  unsigned char* out = nullptr;
  unsigned long size = 0;
  bool ok = detail::compress(width, height, markers.data(), markers.size(), &out, &size, jfif);
  std::vector<uint8_t> bytes;
  if (ok) bytes.assign(out, out + size);
  std::free(out);
  return bytes;
}

/// True when libjpeg decodes the whole stream; gives its size.
inline bool decodesAsJpeg(const std::vector<uint8_t>& jpeg, int* width = nullptr, int* height = nullptr) {
  int w = 0, h = 0;
  bool ok = detail::decompressOk(jpeg.data(), jpeg.size(), &w, &h);
  if (width) *width = w;
  if (height) *height = h;
  return ok;
}

/// The TIFF structure of an Exif block.
inline std::vector<uint8_t> encodeTiff(const Exiv2::ExifData& ed, Exiv2::ByteOrder order) {
  Exiv2::Blob blob;
  Exiv2::ExifParser::encode(blob, order, ed);
  return {blob.begin(), blob.end()};
}

/// The TIFF structure of an Exif block without the APP1 size limit (Exiv2's Exif encoder drops
/// large tags from a block that does not fit one segment), for blocks meant to be too large.
inline std::vector<uint8_t> encodeTiffUnlimited(const Exiv2::ExifData& ed, Exiv2::ByteOrder order) {
  Exiv2::MemIo io;
  Exiv2::TiffParser::encode(io, nullptr, 0, order, ed, Exiv2::IptcData(), Exiv2::XmpData());
  std::vector<uint8_t> out(static_cast<size_t>(io.size()));
  io.seek(0, Exiv2::BasicIo::beg);
  io.read(out.data(), static_cast<long>(out.size()));
  return out;
}

/// The data of an Exif APP1 segment: "Exif\0\0" + TIFF structure.
inline std::vector<uint8_t> exifPayload(const std::vector<uint8_t>& tiff) {
  const uint8_t head[] = {'E', 'x', 'i', 'f', 0, 0};
  return detail::join(head, sizeof head, tiff.data(), tiff.size());
}

/// The data of an XMP APP1 segment with a tiny packet.
inline std::vector<uint8_t> xmpPayload(const std::string& packet) {
  const char head[] = "http://ns.adobe.com/xap/1.0/";
  return detail::join(head, sizeof head /* with its zero byte */, packet.data(), packet.size());
}

/// The Exif block of the first Exif APP1 of a JPEG stream, decoded with Exiv2; `order` gets
/// its byte order. Empty when there is none. Found by a plain scan for the APP1 header.
inline Exiv2::ExifData decodeOutputExif(const std::vector<uint8_t>& jpeg, Exiv2::ByteOrder* order = nullptr) {
  Exiv2::ExifData ed;
  for (size_t i = 2; i + 14 <= jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xE1 && std::memcmp(&jpeg[i + 4], "Exif\0\0", 6) == 0) {
      size_t length = (jpeg[i + 2] << 8) | jpeg[i + 3];
      Exiv2::ByteOrder o = Exiv2::ExifParser::decode(ed, &jpeg[i + 10], static_cast<uint32_t>(length - 8));
      if (order) *order = o;
      break;
    }
  }
  return ed;
}

/// The parts one after another.
inline std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
  size_t n = 0;
  for (const auto& p : parts) n += p.size();
  std::vector<uint8_t> out(n);
  size_t at = 0;
  for (const auto& p : parts) {
    if (!p.empty()) std::memcpy(out.data() + at, p.data(), p.size());
    at += p.size();
  }
  return out;
}

/// Offset of `needle` in `hay`, or npos.
inline size_t findBytes(const std::vector<uint8_t>& hay, const std::vector<uint8_t>& needle, size_t from = 0) {
  if (needle.empty() || hay.size() < needle.size()) return std::string::npos;
  for (size_t i = from; i + needle.size() <= hay.size(); ++i)
    if (std::memcmp(&hay[i], needle.data(), needle.size()) == 0) return i;
  return std::string::npos;
}

/// A whole marker segment as bytes: FF, marker, length, data.
inline std::vector<uint8_t> segmentBytes(int marker, const std::vector<uint8_t>& data) {
  size_t length = data.size() + 2;
  const uint8_t head[] = {0xFF, static_cast<uint8_t>(marker), static_cast<uint8_t>(length >> 8),
                          static_cast<uint8_t>(length & 0xFF)};
  return detail::join(head, sizeof head, data.data(), data.size());
}

}  // namespace brevane::test
