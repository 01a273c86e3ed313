// PNG row filtering with the choice of filter per row (used by the PNG writer and its benchmark).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brevane::codecs::png {

enum FilterType : uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

/// Positions j from 2 to n - 1 where bytes[j] equals bytes[j - 1] or bytes[j - 2]: the
/// measure by which a filter is chosen (repeated bytes deflate well).
size_t repeatScore(const uint8_t* bytes, size_t n);

/// Filters the rows of one image or interlace pass. With all filters each row takes the filter
/// with the highest repeatScore (ties and all-zero rows to the earlier of None, Sub, Up,
/// Average, Paeth); otherwise every row uses None.
class RowFilter {
 public:
  RowFilter(size_t rowBytes, int bytesPerPixel, bool allFilters);

  /// Filters `raw` against `prior` (the pass's previous raw row, nullptr for its first row)
  /// and returns the chosen filter; the filtered bytes are then at filtered().
  FilterType apply(const uint8_t* raw, const uint8_t* prior);
  const uint8_t* filtered() const { return m_result; }

 private:
  size_t m_rowBytes;
  int m_bpp;
  bool m_all;
  std::vector<uint8_t> m_zero;
  std::vector<uint8_t> m_buf[4];  // Sub, Up, Average, Paeth
  const uint8_t* m_result = nullptr;
};

}  // namespace brevane::codecs::png
