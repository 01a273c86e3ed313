// The pixel size of an image read from its first bytes, for names that need the size without
// a decode.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace brevane::cli {

struct PixelSize {
  int width = 0, height = 0;
  bool operator==(const PixelSize&) const = default;
};

/// The size the decoder of `path`'s extension would give, from the header alone: JPEG (the
/// frame header), PNG, GIF (the logical screen) and BMP. None for other formats, and for a
/// header that is damaged, truncated or does not match the extension: the caller then decodes.
std::optional<PixelSize> headerPixelSize(const std::string& path, std::span<const uint8_t> head);

/// The same from the first 64 KiB of the file.
std::optional<PixelSize> headerPixelSize(const std::string& path);

}  // namespace brevane::cli
