// The list preview's rules.
#include "imaging/list_preview.h"

#include <algorithm>

#include "base/paths.h"
#include "base/platform.h"
#include "codecs/registry.h"
#include "codecs/working_image.h"
#include "imaging/resampler.h"

namespace brevane::imaging {

std::string previewMessage(const std::string& path) {
  // Only a regular file is opened: a FIFO named like a picture would block the preview.
  int64_t bytes = isRegularFile(path) ? fileSize(path) : -1;
  if (bytes <= kPreviewMinBytes) return kPreviewErrorMessage;
  if (codecs::isRawExtension(extensionOf(namePart(path)))) return kPreviewRawMessage;
  return {};
}

Size fitPreview(int w, int h, int bw, int bh) {
  if (w <= bw && h <= bh) return {w, h};
  if (w < 1 || h < 1) return {bw, bh};
  const double r = static_cast<double>(w) / h;
  Size s;
  if (w > h) {
    s = {bw, static_cast<int>(bw / r)};
    if (s.height > bh) s = {static_cast<int>(bh * r), bh};
  } else {
    s = {static_cast<int>(bh * r), bh};
    if (s.width > bw) s = {bw, static_cast<int>(bw / r)};
  }
  return s;
}

std::string previewCaption(const std::string& path, int width, int height) {
  std::string name = namePart(path);
  // Characters, not bytes: a cut never splits a UTF-8 sequence.
  size_t chars = 0, cut = name.size();
  for (size_t i = 0; i < name.size(); ++i) {
    if ((static_cast<unsigned char>(name[i]) & 0xc0) == 0x80) continue;
    if (chars == kPreviewCaptionNameChars) {
      cut = i;
      break;
    }
    ++chars;
  }
  if (cut < name.size()) name = name.substr(0, cut) + "...";
  return name + " - " + std::to_string(width) + "x" + std::to_string(height) + " ";
}

FallbackPreview loadFallbackPreview(const std::string& path, int boxWidth, int boxHeight) {
  WorkingImage work = buildWorkingImage(codecs::loadImage(path));
  FallbackPreview out;
  out.sourceWidth = work.image.width();
  out.sourceHeight = work.image.height();
  Size fitted = fitPreview(out.sourceWidth, out.sourceHeight, boxWidth, boxHeight);
  out.bitmap = Bitmap(std::max(1, fitted.width), std::max(1, fitted.height), 24);
  ResampleImage(work.image, out.bitmap, kNearestNeighbour, 0.0f);
  return out;
}

}  // namespace brevane::imaging
