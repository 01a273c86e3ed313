// ICC profiles as image files store them: JPEG APP2 chunks, the PNG iCCP chunk and the JP2 colr box.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace brevane::codecs {

/// Largest profile read from a file or written into one. Real profiles stay far below (a
/// large printer profile has a few megabytes); a JPEG cannot hold more than 255 chunks anyway.
inline constexpr size_t kMaxIccProfileBytes = 16u << 20;

/// The payloads of a JPEG's APP2 segments, in file order.
/// The profile they carry: the "ICC_PROFILE\0" segments joined by their sequence numbers.
/// Segments whose numbering is inconsistent (a repeated or missing number, counts that
/// disagree) are joined in file order, so that a damaged profile still reaches the check that
/// reports it. Empty when no segment is an ICC segment.
std::vector<uint8_t> jpegIccProfile(const std::vector<std::span<const uint8_t>>& app2Payloads);

/// The profile of a PNG iCCP chunk's data (keyword, zero byte, method 0, zlib stream): empty
/// when the chunk's head is malformed; a damaged or overlong stream gives what it inflated to
/// (at most kMaxIccProfileBytes), which the profile check then finds damaged.
std::vector<uint8_t> pngIccProfile(std::span<const uint8_t> chunkData);

/// The data of an iCCP chunk for a profile: keyword "ICC Profile", method 0, zlib stream.
std::vector<uint8_t> pngIccChunkData(std::span<const uint8_t> profile);

/// A JP2 file whose colour specification box (inside the header box) is replaced by one that
/// holds `profile` (method 2, restricted ICC). OpenJPEG 2.5 cannot write that box itself. Throws
/// brevane::Error when the file has no header box with a colour box.
std::vector<uint8_t> jp2WithIccProfile(std::span<const uint8_t> jp2, std::span<const uint8_t> profile);

}  // namespace brevane::codecs
