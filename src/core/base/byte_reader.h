// Bounds-checked reading of file bytes: every read past the end throws brevane::Error.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/error.h"

namespace brevane {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data, const char* truncatedMessage = "Unexpected end of file")
      : m_data(data), m_message(truncatedMessage) {}

  size_t size() const { return m_data.size(); }
  size_t pos() const { return m_pos; }
  size_t remaining() const { return m_data.size() - m_pos; }
  bool atEnd() const { return m_pos >= m_data.size(); }

  void seek(size_t pos) {
    if (pos > m_data.size()) fail();
    m_pos = pos;
  }
  void skip(size_t n) {
    if (n > remaining()) fail();
    m_pos += n;
  }
  uint8_t u8() {
    need(1);
    return m_data[m_pos++];
  }
  uint16_t u16le() {
    need(2);
    uint16_t v = static_cast<uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return v;
  }
  uint16_t u16be() {
    need(2);
    uint16_t v = static_cast<uint16_t>((m_data[m_pos] << 8) | m_data[m_pos + 1]);
    m_pos += 2;
    return v;
  }
  uint32_t u32le() {
    need(4);
    uint32_t v = static_cast<uint32_t>(m_data[m_pos]) | (static_cast<uint32_t>(m_data[m_pos + 1]) << 8) |
                 (static_cast<uint32_t>(m_data[m_pos + 2]) << 16) | (static_cast<uint32_t>(m_data[m_pos + 3]) << 24);
    m_pos += 4;
    return v;
  }
  uint32_t u32be() {
    need(4);
    uint32_t v = (static_cast<uint32_t>(m_data[m_pos]) << 24) | (static_cast<uint32_t>(m_data[m_pos + 1]) << 16) |
                 (static_cast<uint32_t>(m_data[m_pos + 2]) << 8) | static_cast<uint32_t>(m_data[m_pos + 3]);
    m_pos += 4;
    return v;
  }
  int16_t s16le() { return static_cast<int16_t>(u16le()); }
  int32_t s32le() { return static_cast<int32_t>(u32le()); }
  int32_t s32be() { return static_cast<int32_t>(u32be()); }
  /// The next n bytes as a span; advances past them.
  std::span<const uint8_t> bytes(size_t n) {
    need(n);
    auto s = m_data.subspan(m_pos, n);
    m_pos += n;
    return s;
  }
  /// Bytes from pos to the end, without advancing.
  std::span<const uint8_t> rest() const { return m_data.subspan(m_pos); }
  std::span<const uint8_t> all() const { return m_data; }

 private:
  void need(size_t n) const {
    if (n > remaining()) fail();
  }
  [[noreturn]] void fail() const { throw Error(m_message); }

  std::span<const uint8_t> m_data;
  size_t m_pos = 0;
  const char* m_message;
};

}  // namespace brevane
