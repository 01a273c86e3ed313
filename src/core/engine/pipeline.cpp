// The per-file conversion pipeline: decode, working image, resize, stamp, watermark, rename,
// encode and write, each failure as its error line.
#include "engine/pipeline.h"

#include <mutex>
#include <new>
#include <optional>

#include "base/error.h"
#include "base/platform.h"
#include "codecs/encoders.h"
#include "codecs/raw_route.h"
#include "codecs/registry.h"
#include "engine/conversion_lock.h"
#include "exif/exif.h"
#include "imaging/masks.h"
#include "imaging/resize.h"
#include "imaging/text_stamp.h"
#include "imaging/watermark.h"

namespace brevane {

using codecs::DecodedImage;
using codecs::DecodedKind;

DecodedSource decodeSource(const std::string& path, DecodeFailure& failure) {
  DecodedSource result;
  if (codecs::isRawExtension(extensionOf(path))) {
    failure = DecodeFailure::kRaw;
    try {
      codecs::RawDecodeResult raw = codecs::decodeRaw(path);
      result.image = std::move(raw.image);
      result.inputSize = raw.blockSize;
    } catch (const codecs::RawLibraryMissing&) {
      failure = DecodeFailure::kRawLibrary;
      throw;
    }
  } else {
    failure = DecodeFailure::kSource;
    result.image = codecs::loadImage(path);
    int64_t size = fileSize(path);
    result.inputSize = size < 0 || size > INT32_MAX ? (size < 0 ? -1 : INT32_MAX) : static_cast<int32_t>(size);
  }
  failure = DecodeFailure::kNone;
  return result;
}

std::string replaceExtension(const std::string& path, const std::string& extension) {
  std::string folder = folderPart(path);
  std::string name = namePart(path);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return folder + name + extension;
}

namespace {

// A failure's message for its line; running out of memory is named as such.
std::string messageOf(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "Out of memory";
  return e.what();
}

std::vector<uint8_t> encodeAs(const std::string& format, const WorkingImage& w, const TConversionSettings& s) {
  const Bitmap* alpha = w.hasAlpha ? &w.alpha : nullptr;
  if (format == "JPG") return codecs::encodeJpeg(w.image, s.JPG_quality, s.JPG_progressive);
  if (format == "PNG") return codecs::encodePng(w.image, alpha, {s.Png_interlace, s.Png_filter, s.PNG_compression});
  if (format == "BMP") return codecs::encodeBmp(w.image);
  if (format == "GIF") return codecs::encodeGif(w.image);
  if (format == "JP2") return codecs::encodeJpeg2000(w.image, s.J2K_quality, s.J2K_Lossless);
  if (format == "TGA") return codecs::encodeTga(w.image, alpha);
  throw Error("Unknown output format " + format);
}

// The Exif carry-over in memory: the source's block is read (under the lock) before anything
// is written, so a source converted onto itself keeps its Exif.
std::vector<uint8_t> withExif(const std::vector<uint8_t>& jpeg, const std::string& source) {
  std::lock_guard lock(ConversionLock());
  exif::SourceExif src = exif::readSourceExif(source);
  return exif::carryOver(jpeg, src, localNow());
}

void addOutputBytes(const PipelineEnv& env, const std::string& path) {
  int64_t size = fileSize(path);
  atomicAdd(env.counters.outputbytes, static_cast<int32_t>(size / 1024));
}

// Single format: encode, carry Exif over, write; every failure is "FSE:" + target.
void writeSingle(TConversionThread& worker, const PipelineEnv& env, const WorkingImage& w) {
  const TConversionSettings& s = env.settings;
  std::vector<uint8_t> bytes;
  std::optional<std::string> exifError;
  try {
    bytes = encodeAs(worker.format, w, s);
    if (worker.format == "JPG" && s.Exif) {
      try {
        bytes = withExif(bytes, worker.filename);
      } catch (const std::exception& e) {
        exifError = messageOf(e);  // the JPEG is still written, without Exif
      }
    }
    writeFileAtomic(worker.target, bytes, s.Overwrite);
  } catch (const std::exception& e) {
    env.log.add("FSE:", worker.target, messageOf(e));
    return;
  }
  addOutputBytes(env, worker.target);
  if (exifError) env.log.add("FSE:", worker.target, *exifError);
}

// Automatic format: a JPEG candidate, a PNG candidate for non-JPEG sources, the smaller wins
// (JPEG on a tie) and is always written.
void writeAutomatic(TConversionThread& worker, const PipelineEnv& env, const WorkingImage& w) {
  const TConversionSettings& s = env.settings;
  try {
    std::vector<uint8_t> jpeg = codecs::encodeJpeg(w.image, s.JPG_quality, false);
    std::vector<uint8_t> png;
    std::string ext = toUpper(extensionOf(worker.filename));
    bool pngCandidate = ext != ".JPG" && ext != ".JPEG";
    if (pngCandidate) png = codecs::encodePng(w.image, w.hasAlpha ? &w.alpha : nullptr, {false, true, 9});
    bool choosePng = pngCandidate && png.size() < jpeg.size();
    worker.target = replaceExtension(worker.target, choosePng ? ".PNG" : ".JPG");
    if (!s.Overwrite && fileExists(worker.target)) throw Error("File already exists");

    std::optional<std::string> exifError;
    if (!choosePng && s.Exif) {
      try {
        jpeg = withExif(jpeg, worker.filename);
      } catch (const std::exception& e) {
        exifError = messageOf(e);
      }
    }
    try {
      writeFileAtomic(worker.target, choosePng ? png : jpeg, s.Overwrite);
    } catch (const Error& e) {
      if (!s.Overwrite && std::string(e.what()) == "File already exists") throw;
      // A failed save is reported without a code and the step goes on; the carry-over of a
      // JPEG then has no file to work on.
      env.log.add(worker.target + ": " + e.what());
      if (!choosePng && s.Exif) exifError = e.what();
    }
    addOutputBytes(env, worker.target);
    if (exifError) env.log.add("AFE:", worker.target, *exifError);
  } catch (const std::exception& e) {
    env.log.add("AFE:", worker.target, messageOf(e));
  }
}

}  // namespace

void runPipeline(TConversionThread& worker, const PipelineEnv& env) {
  const TConversionSettings& s = env.settings;

  // 1. Overwrite guard on the provisional path.
  if (!s.Overwrite && fileExists(worker.target)) {
    env.log.add("AFO:", worker.filename, "File already exists");
    return;
  }

  // 2-3. Decode under the lock, then count the input.
  DecodedSource source;
  {
    DecodeFailure failure = DecodeFailure::kSource;
    try {
      std::lock_guard lock(ConversionLock());
      source = decodeSource(worker.filename, failure);
    } catch (const std::exception& e) {
      switch (failure) {
        case DecodeFailure::kRawLibrary: env.log.add(worker.target + ": " + e.what()); break;
        case DecodeFailure::kRaw: env.log.add("RFO:", worker.filename, messageOf(e)); break;
        default: env.log.add("AFO:", worker.filename, messageOf(e)); break;
      }
      return;
    }
  }
  atomicAdd(env.counters.processedbytes, source.inputSize / 1024);

  // 4-5. The working image; the decoded image is released here.
  WorkingImage w;
  try {
    w = buildWorkingImage(std::move(source.image));
  } catch (const std::exception& e) {
    env.log.add("AFO:", worker.filename, messageOf(e));
    return;
  }
  env.totals.allprocessedfiles.fetch_add(1);
  atomicAdd(env.totals.allprocessedbytes, int64_t{source.inputSize / 1024});
  source = DecodedSource{};

  // 6. Resize (its own lines for the stretch and percent modes).
  try {
    imaging::resizeStep(w.image, w.hasAlpha ? &w.alpha : nullptr, s, worker.filename, worker.target, env.log);
  } catch (const std::exception& e) {
    env.log.add("RE1:", worker.target, messageOf(e));
    return;
  }

  // 7. Text stamp.
  if (s.Watermark_enable) {
    try {
      imaging::MaskInput input{worker.filename, worker.target, worker.index, w.image.width(), w.image.height()};
      std::string line = imaging::ExpandTextMask(s.Watermark_text_mask, input, s.textfs);
      std::lock_guard lock(ConversionLock());
      imaging::stampText(w.image, w.hasAlpha, line, s);
    } catch (const std::exception& e) {
      env.log.add("FSE:", worker.target, messageOf(e));
      return;
    }
  }

  // 8. Image watermark.
  if (s.Img_watermark_enabled) {
    try {
      imaging::drawWatermark(w.image, s.Img_path, s.Img_position);
    } catch (const std::exception& e) {
      env.log.add("WLE:", worker.filename, messageOf(e));
    }
  }

  // 9. Rename.
  if (s.Rename_enabled) {
    try {
      imaging::MaskInput input{worker.filename, worker.target, worker.index, w.image.width(), w.image.height()};
      std::lock_guard lock(ConversionLock());
      worker.target = imaging::ExpandNameMask(s.Rename_mask, s.Counter_length, input, s.filefs);
    } catch (const std::exception& e) {
      env.log.add("FSE:", worker.target, messageOf(e));
      return;
    }
  }

  // 10. Encode and write.
  if (s.Auto_format)
    writeAutomatic(worker, env, w);
  else
    writeSingle(worker, env, w);
}

}  // namespace brevane
