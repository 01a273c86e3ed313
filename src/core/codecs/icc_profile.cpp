// ICC profiles as image files store them: JPEG APP2 chunks, the PNG iCCP chunk and the JP2 colr box.
#include "codecs/icc_profile.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "base/byte_reader.h"
#include "base/bytes.h"
#include "base/error.h"

namespace brevane::codecs {

namespace {

constexpr char kIccMarker[] = "ICC_PROFILE";          // followed by its zero byte
constexpr size_t kIccHeader = sizeof kIccMarker + 2;  // marker, zero, sequence number, count

}  // namespace

std::vector<uint8_t> jpegIccProfile(const std::vector<std::span<const uint8_t>>& app2Payloads) {
  struct Chunk {
    int sequence, count;
    std::span<const uint8_t> data;
  };
  std::vector<Chunk> chunks;
  for (std::span<const uint8_t> p : app2Payloads) {
    if (p.size() < kIccHeader || std::memcmp(p.data(), kIccMarker, sizeof kIccMarker) != 0) continue;
    chunks.push_back({p[sizeof kIccMarker], p[sizeof kIccMarker + 1], p.subspan(kIccHeader)});
  }
  if (chunks.empty()) return {};
  // Well-formed: sequence numbers 1..count, each once, every chunk naming the same count.
  const int count = chunks.front().count;
  bool ordered = count == static_cast<int>(chunks.size());
  std::vector<const Chunk*> bySequence(chunks.size(), nullptr);
  for (const Chunk& c : chunks) {
    if (!ordered) break;
    if (c.count != count || c.sequence < 1 || c.sequence > count || bySequence[c.sequence - 1]) {
      ordered = false;
      break;
    }
    bySequence[c.sequence - 1] = &c;
  }
  std::vector<uint8_t> profile;
  // Beyond the limit the profile is cut, which its own size field then shows as damage.
  auto append = [&](std::span<const uint8_t> d) {
    size_t n = std::min(d.size(), kMaxIccProfileBytes - profile.size());
    profile.insert(profile.end(), d.begin(), d.begin() + static_cast<std::ptrdiff_t>(n));
  };
  if (ordered) {
    for (const Chunk* c : bySequence) append(c->data);
  } else {
    for (const Chunk& c : chunks) append(c.data);
  }
  return profile;
}

std::vector<uint8_t> pngIccProfile(std::span<const uint8_t> chunkData) {
  // Keyword of 1-79 Latin-1 characters, its zero byte, then the compression method (0).
  size_t zero = 0;
  while (zero < chunkData.size() && zero < 80 && chunkData[zero] != 0) ++zero;
  if (zero == 0 || zero >= 80 || zero + 2 > chunkData.size() || chunkData[zero + 1] != 0) return {};
  std::span<const uint8_t> stream = chunkData.subspan(zero + 2);

  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw std::bad_alloc();
  std::vector<uint8_t> profile;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  int rc = Z_OK;
  uint8_t buffer[16384];
  while (rc == Z_OK) {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    rc = inflate(&z, Z_NO_FLUSH);
    size_t got = std::min(sizeof buffer - z.avail_out, kMaxIccProfileBytes - profile.size());
    profile.insert(profile.end(), buffer, buffer + got);
    if (profile.size() == kMaxIccProfileBytes) break;
  }
  inflateEnd(&z);
  // A stream that is cut short, damaged or too long gives what it inflated to: the profile's
  // own size field then shows the damage to the check that reports it.
  return profile;
}

std::vector<uint8_t> pngIccChunkData(std::span<const uint8_t> profile) {
  static const char kKeyword[] = "ICC Profile";
  std::vector<uint8_t> data(kKeyword, kKeyword + sizeof kKeyword);  // with its zero byte
  data.push_back(0);                                                // deflate
  uLongf size = compressBound(static_cast<uLong>(profile.size()));
  size_t start = data.size();
  data.resize(start + size);
  if (compress2(data.data() + start, &size, profile.data(), static_cast<uLong>(profile.size()), 9) != Z_OK)
    throw Error("Colour profile could not be compressed");
  data.resize(start + size);
  return data;
}

namespace {

// A box of a JP2 file: where it starts, where its contents start and where it ends.
struct Box {
  size_t begin = 0, contents = 0, end = 0;
  uint32_t type = 0;
};

// The boxes one after another in [begin, end).
std::vector<Box> boxes(std::span<const uint8_t> data, size_t begin, size_t end) {
  std::vector<Box> out;
  ByteReader r(data.subspan(0, end), "JP2 file is not valid");
  r.seek(begin);
  while (r.remaining() >= 8) {
    Box b;
    b.begin = r.pos();
    uint64_t length = r.u32be();
    b.type = r.u32be();
    if (length == 1) length = (uint64_t{r.u32be()} << 32) | r.u32be();
    if (length == 0) length = end - b.begin;
    b.contents = r.pos();
    if (length < b.contents - b.begin || length > end - b.begin) throw Error("JP2 file is not valid");
    b.end = b.begin + static_cast<size_t>(length);
    out.push_back(b);
    r.seek(b.end);
  }
  return out;
}

constexpr uint32_t fourCc(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
         uint8_t(s[3]);
}

}  // namespace

std::vector<uint8_t> jp2WithIccProfile(std::span<const uint8_t> jp2, std::span<const uint8_t> profile) {
  for (const Box& header : boxes(jp2, 0, jp2.size())) {
    if (header.type != fourCc("jp2h")) continue;
    for (const Box& colr : boxes(jp2, header.contents, header.end)) {
      if (colr.type != fourCc("colr")) continue;
      std::vector<uint8_t> box;
      appendBe32(box, static_cast<uint32_t>(8 + 3 + profile.size()));
      appendBe32(box, fourCc("colr"));
      box.insert(box.end(), {2, 0, 0});  // method: restricted ICC; precedence; approximation
      box.insert(box.end(), profile.begin(), profile.end());
      const size_t headerLength = header.end - header.begin - (colr.end - colr.begin) + box.size();
      if (header.contents - header.begin != 8 || headerLength > UINT32_MAX) throw Error("JP2 header box is too large");
      std::vector<uint8_t> out(jp2.begin(), jp2.begin() + static_cast<std::ptrdiff_t>(header.begin));
      appendBe32(out, static_cast<uint32_t>(headerLength));
      appendBe32(out, fourCc("jp2h"));
      out.insert(out.end(), jp2.begin() + static_cast<std::ptrdiff_t>(header.contents),
                 jp2.begin() + static_cast<std::ptrdiff_t>(colr.begin));
      out.insert(out.end(), box.begin(), box.end());
      out.insert(out.end(), jp2.begin() + static_cast<std::ptrdiff_t>(colr.end), jp2.end());
      return out;
    }
  }
  throw Error("JP2 file has no colour specification box");
}

}  // namespace brevane::codecs
