// The list preview's rules: which files get a message instead of a picture, the fit into the
// preview box, the caption line, and the fallback load through the registry and the resampler.
#pragma once

#include <cstdint>
#include <string>

#include "base/bitmap.h"
#include "imaging/resize.h"

namespace brevane::imaging {

inline constexpr char kPreviewErrorMessage[] = "Error!";
inline constexpr char kPreviewRawMessage[] = "No preview for RAW";
/// Files of this many bytes or fewer are not previewed.
inline constexpr int64_t kPreviewMinBytes = 49;
/// File names longer than this many characters are cut in the caption.
inline constexpr size_t kPreviewCaptionNameChars = 50;

/// The message a file gets instead of a picture, or "" when it is to be decoded: "Error!" for
/// a file that cannot be opened or of 49 bytes or fewer, "No preview for RAW" for a RAW file.
std::string previewMessage(const std::string& path);

/// The list preview's fit of w x h into a box of bw x bh: shrink only, keeping proportions,
/// sides truncated toward zero.
Size fitPreview(int w, int h, int bw, int bh);

/// The caption under the preview: the file name (cut to its first 50 characters and "..."
/// when longer), " - ", width, "x", height and a blank.
std::string previewCaption(const std::string& path, int width, int height);

/// The preview of a file the window's own reader cannot read: decoded through the registry,
/// made a working image and scaled into the fitted size with the nearest-neighbour kernel.
struct FallbackPreview {
  Bitmap bitmap;  // 24 bits per pixel, the fitted size
  int sourceWidth = 0;
  int sourceHeight = 0;
};
/// Throws brevane::Error with the decoder's message when the file cannot be decoded.
FallbackPreview loadFallbackPreview(const std::string& path, int boxWidth, int boxHeight);

}  // namespace brevane::imaging
