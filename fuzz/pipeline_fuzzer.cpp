// Fuzz target: the whole conversion of one file. The last bytes choose the reader, the resize
// (mode, kernel, size, fit options) and the text stamp; the rest is the file. The image goes
// through the working-image build, the resize, the stamp and every encoder (the slow ones on
// small images only), and each output is decoded again by our own readers: an output we cannot
// read back, or one whose size or lossless pixels differ from the working image, stops the
// fuzzer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/memory_budget.h"
#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "codecs/working_image.h"
#include "engine/settings.h"
#include "engine/step_options.h"
#include "imaging/resize.h"
#include "imaging/text_stamp.h"

namespace {

using namespace brevane;

constexpr size_t kTrailer = 8;

// Every extension a reader is registered for (the RAW route has a target of its own).
const std::vector<std::string>& extensions() {
  static const std::vector<std::string> list = [] {
    std::vector<std::string> out;
    for (const codecs::LoaderEntry& e : codecs::loaderList()) out.emplace_back(e.extension);
    for (const char* e : {"png", "gif", "jp2", "j2k", "jpc"}) out.emplace_back(e);
    return out;
  }();
  return list;
}

[[noreturn]] void fault(const char* what, const std::string& detail) {
  std::fprintf(stderr, "pipeline fuzzer: %s: %s\n", what, detail.c_str());
  std::abort();
}

// Our own output must decode, at the working image's size; lossless outputs give its colours
// (and the alpha plane's alpha) back.
void checkRoundTrip(const char* extension, const std::vector<uint8_t>& bytes, const WorkingImage& w, bool exact,
                    bool withAlpha) {
  codecs::DecodedImage back;
  try {
    back = codecs::decodeBytes(std::string("out.") + extension, bytes);
  } catch (const Error& e) {
    fault(extension, std::string("our own output does not decode: ") + e.what());
  }
  if (back.width != w.image.width() || back.height != w.image.height())
    fault(extension, "decoded size differs from the working image");
  if (!exact) return;
  for (int y = 0; y < w.image.height(); ++y)
    for (int x = 0; x < w.image.width(); ++x) {
      if (!(back.bitmap.pixel(x, y) == w.image.pixel(x, y))) fault(extension, "a lossless output changed a colour");
      // A reader may give an opaque image without its alpha channel.
      uint8_t alpha = back.bitmap.bitsPerPixel() == 32 ? back.bitmap.scanLine(y)[4 * x + 3] : 255;
      if (withAlpha && alpha != w.alpha.scanLine(y)[3 * x + 2]) fault(extension, "a lossless output changed an alpha");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kTrailer) return 0;
  const uint8_t* t = data + size - kTrailer;
  std::span<const uint8_t> file(data, size - kTrailer);
  const std::string& extension = extensions()[t[0] % extensions().size()];

  // A small budget keeps each input quick: images beyond about 1.5 million pixels are refused
  // the way a run refuses what memory cannot hold.
  static const bool budgetSet = [] {
    MemoryBudget::process().setCapacity(24u << 20);
    return true;
  }();
  (void)budgetSet;
  MemoryClaim claim;

  TConversionSettings s;
  s.Selected_mode = t[1] % 3;
  s.Resize_proportional = t[1] & 0x04;
  s.EnlargeIfSmall = t[1] & 0x08;
  s.SmartCrop_enable = t[1] & 0x10;
  s.Resampling_filter = t[2] % 7;
  s.Resize_width = 1 + t[3];
  s.Resize_height = 1 + t[4];
  s.Resize_percent = 1 + t[5] % 200;
  s.Text_position = t[6] % 8;
  s.Text_opacity = 1 + (t[6] >> 3) * 99 / 31;
  s.Text_Shadow = t[1] & 0x40;
  s.Text_Font.size = 6 + t[7] % 30;
  s.Text_Font.style = (t[7] >> 5) & 0x0F;

  WorkingImage w;
  try {
    w = buildWorkingImage(codecs::decodeBytes("in." + extension, file));
    try {
      imaging::resizeStep(w.image, w.hasAlpha ? &w.alpha : nullptr, resizeOptions(s));
    } catch (const Error&) {
      // A failed resample leaves the image as it was; the conversion goes on with it.
    }
    if (t[1] & 0x20) {
      // The stamp's text is the file's first bytes: any bytes, UTF-8 or not.
      std::string line(reinterpret_cast<const char*>(file.data()), std::min<size_t>(file.size(), 24));
      imaging::stampText(w.image, w.hasAlpha, line, textStampOptions(s));
    }
  } catch (const Error&) {
    return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }

  const Bitmap* alpha = w.hasAlpha ? &w.alpha : nullptr;
  // A working image can still have a palette or 16 bits when no step changed the decoded one;
  // BMP keeps that layout, the others write true colour.
  bool trueColourImage = w.image.bitsPerPixel() >= 24;
  try {
    checkRoundTrip("bmp", codecs::encodeBmp(w.image), w, true, false);
    checkRoundTrip("png", codecs::encodePng(w.image, alpha, {(t[2] & 0x80) != 0, (t[2] & 0x40) != 0, t[3] % 10}), w,
                   trueColourImage || !w.image.transparent(), w.hasAlpha);
    checkRoundTrip("tga", codecs::encodeTga(w.image, alpha), w, true, w.hasAlpha);
    checkRoundTrip("jpg", codecs::encodeJpeg(w.image, 1 + t[5] % 100, t[2] & 0x20), w, false, false);
    checkRoundTrip("gif", codecs::encodeGif(w.image), w, false, false);
    // JPEG 2000 is slow; small images carry its cases as well as large ones.
    if (static_cast<int64_t>(w.image.width()) * w.image.height() <= 64 * 64)
      checkRoundTrip("jp2", codecs::encodeJpeg2000(w.image, 1 + t[4] % 100, t[4] & 0x80), w, (t[4] & 0x80) != 0,
                     false);
    // The modern formats: WebP is quick, the JPEG XL and AV1 encoders are not, so the larger
    // images go through WebP alone and AVIF takes the smallest at its fastest speed.
    const int64_t pixels = static_cast<int64_t>(w.image.width()) * w.image.height();
    const bool lossless = t[5] & 0x80;
    if (pixels <= 512 * 512)
      checkRoundTrip("webp", codecs::encodeWebp(w.image, alpha, {1 + t[3] % 100, lossless}), w,
                     lossless && trueColourImage, w.hasAlpha);
    if (pixels <= 64 * 64)
      checkRoundTrip("jxl", codecs::encodeJxl(w.image, alpha, {1 + t[3] % 100, lossless}), w,
                     lossless && trueColourImage, w.hasAlpha);
    if (pixels <= 24 * 24) checkRoundTrip("avif", codecs::encodeAvif(w.image, alpha, {1 + t[4] % 100, 10}), w, false, false);
  } catch (const Error& e) {
    fault("encoder", e.what());
  } catch (const std::bad_alloc&) {
    // The budget refused a buffer; not a fault of the encoders.
  }
  return 0;
}
