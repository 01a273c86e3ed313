// The per-file conversion pipeline: decode, working image, resize, stamp, watermark, rename,
// encode and write, each failure as its error line.
#include "engine/pipeline.h"

#include <sys/stat.h>

#include <mutex>
#include <new>
#include <optional>
#include <span>

#include "base/error.h"
#include "base/memory_budget.h"
#include "base/paths.h"
#include "base/platform.h"
#include "base/strings.h"
#include "codecs/encoders.h"
#include "codecs/output_formats.h"
#include "codecs/raw_route.h"
#include "codecs/registry.h"
#include "engine/conversion_lock.h"
#include "engine/error_codes.h"
#include "engine/output_names.h"
#include "engine/step_options.h"
#include "engine/target_size.h"
#include "exif/exif.h"
#include "imaging/masks.h"
#include "imaging/resize.h"
#include "imaging/text_stamp.h"
#include "imaging/watermark.h"

namespace brevane {

using codecs::DecodedImage;
using codecs::DecodedKind;

DecodedSource decodeSource(const std::string& path, DecodeFailure& failure, const WrittenFiles* written,
                           bool keepCmykInks) {
  DecodedSource result;
  if (codecs::isRawExtension(extensionOf(path))) {
    failure = DecodeFailure::kRaw;
    // The RAW library opens the path itself; the check looks at what the path names now.
    struct stat st;
    if (written && ::stat(path.c_str(), &st) == 0 &&
        written->contains({static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)}))
      throw Error(kReplacedByOutput);
    // rawdll.so keeps the block of its last call until FreeMemory (and need not be reentrant):
    // one RAW file at a time, from loading the library to unloading it.
    std::lock_guard lock(ConversionLock());
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
    // The source is read whole from one handle before anything is written, and the file read
    // is checked against the run's outputs: a source listed twice (a link, "./") or replaced
    // by another file's output is never converted from an output.
    FileIdentity identity;
    result.image = codecs::loadImage(path, &identity, keepCmykInks);
    if (written && written->contains(identity)) throw Error(kReplacedByOutput);
    int64_t size = fileSize(path);
    result.inputSize = size < 0 || size > INT32_MAX ? (size < 0 ? -1 : INT32_MAX) : static_cast<int32_t>(size);
  }
  failure = DecodeFailure::kNone;
  return result;
}

std::string replaceExtension(const std::string& path, const std::string& extension) {
  return folderPart(path) + stemOf(path) + extension;
}

namespace {

// A failure's message for its line; running out of memory is named as such.
std::string messageOf(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "Out of memory";
  return e.what();
}

// The Exif carry-over in memory: the source's block is read (under the lock) before anything
// is written, so a source converted onto itself keeps its Exif.
std::vector<uint8_t> withExif(const std::vector<uint8_t>& jpeg, const std::string& source, const PhotoOptions& photo,
                              const WorkingImage& w) {
  std::lock_guard lock(ConversionLock());
  exif::SourceExif src = exif::readSourceExif(source);
  return exif::carryOver(jpeg, src, localNow(), exifEdits(photo, w.turnedBy, src));
}

// Records an output among the run's files before it gets its name: a worker that opens the
// name a moment later already finds it recorded.
BeforePlacing recordOutput(const PipelineEnv& env) {
  if (!env.written) return {};
  return [written = env.written](const FileIdentity& file) { written->add(file); };
}

// The Exif block of an output that keeps it in its container, for the working image's size.
std::vector<uint8_t> containerExif(const std::string& source, const PhotoOptions& photo, const WorkingImage& w) {
  std::lock_guard lock(ConversionLock());
  exif::SourceExif src = exif::readSourceExif(source);
  return exif::exifBlock(src, localNow(), w.image.width(), w.image.height(), exifEdits(photo, w.turnedBy, src));
}

// The JPEG of JPG_target_kb: the highest quality up to JPG_quality whose file, Exif included,
// fits. The source's Exif is read once; a carry-over that fails leaves the search without
// Exif and is reported in `exifError`.
SizedEncoding jpegWithinTarget(const std::string& source, const WorkingImage& w, const TConversionSettings& s,
                               bool progressive, std::optional<std::string>& exifError) {
  std::optional<exif::SourceExif> src;
  LocalDateTime now = localNow();
  const PhotoOptions photo = photoOptions(s);
  if (s.Exif && !s.Strip_metadata) {
    try {
      std::lock_guard lock(ConversionLock());
      src = exif::readSourceExif(source);
    } catch (const std::exception& e) {
      exifError = messageOf(e);
    }
  }
  auto encode = [&](int quality) {
    std::vector<uint8_t> jpeg = codecs::encodeJpeg(w.image, quality, progressive, w.iccProfile);
    if (!src) return jpeg;
    try {
      std::lock_guard lock(ConversionLock());
      return exif::carryOver(jpeg, *src, now, exifEdits(photo, w.turnedBy, *src));
    } catch (const std::exception& e) {
      exifError = messageOf(e);
      src.reset();
      return jpeg;
    }
  };
  return encodeWithinSize(s.JPG_quality, static_cast<uint64_t>(s.JPG_target_kb) * 1024, encode);
}

// The line of an output that is over JPG_target_kb even at the lowest quality.
std::string overTargetMessage(size_t size, int targetKb) {
  return "Larger than the target of " + std::to_string(targetKb) + " KiB even at quality 1; written with " +
         std::to_string(size / 1024) + " KiB";
}

// Unique_names numbers a taken name instead of refusing it; with Overwrite on nothing is taken.
bool numbersTakenNames(const TConversionSettings& s) {
  return s.Unique_names && !s.Overwrite;
}

// Writes the output under worker.target; with Unique_names under the first free name of
// " (2)", " (3)", ..., each claimed in one step with the write (the write refuses a name that
// exists), so that two workers never get one name and nothing is replaced. worker.target
// takes the name used.
void writeOutput(TConversionThread& worker, const PipelineEnv& env, std::span<const uint8_t> bytes) {
  const TConversionSettings& s = env.settings;
  if (!numbersTakenNames(s)) {
    writeFileAtomic(worker.target, bytes, s.Overwrite, recordOutput(env));
    return;
  }
  worker.target = placeUnderFreeName(
      worker.target, [&](const std::string& name) { writeFileAtomic(name, bytes, false, recordOutput(env)); });
}

void addOutputBytes(const PipelineEnv& env, const std::string& path) {
  int64_t size = fileSize(path);
  atomicAdd(env.counters.outputbytes, static_cast<int32_t>(size / 1024));
}

// Single format: encode, carry Exif over, write; every failure is a save line for the target.
void writeSingle(TConversionThread& worker, const PipelineEnv& env, const WorkingImage& w) {
  const TConversionSettings& s = env.settings;
  std::vector<uint8_t> bytes;
  std::optional<std::string> exifError, overTarget;
  try {
    const codecs::OutputFormatInfo* format = codecs::findOutputFormat(worker.format);
    if (!format) throw Error("Unknown output format " + worker.format);
    if (format->id == codecs::OutputFormat::kJpeg && s.JPG_target_kb > 0) {
      SizedEncoding sized = jpegWithinTarget(worker.filename, w, s, s.JPG_progressive, exifError);
      if (!sized.fits) overTarget = overTargetMessage(sized.bytes.size(), s.JPG_target_kb);
      bytes = std::move(sized.bytes);
    } else {
      const Bitmap* alpha = format->takesAlpha && w.hasAlpha ? &w.alpha : nullptr;
      codecs::EncodeOptions options = encodeOptions(s);
      options.iccProfile = w.iccProfile;
      const PhotoOptions photo = photoOptions(s);
      const bool carryExif = s.Exif && !s.Strip_metadata;
      std::vector<uint8_t> block;
      if (format->exif == codecs::ExifPlace::kContainer && carryExif) {
        try {
          block = containerExif(worker.filename, photo, w);
          options.exif = block;
        } catch (const std::exception& e) {
          exifError = messageOf(e);  // the file is still written, without Exif
        }
      }
      bytes = format->encode(w.image, alpha, options);
      if (format->exif == codecs::ExifPlace::kJpegSegment && carryExif) {
        try {
          bytes = withExif(bytes, worker.filename, photo, w);
        } catch (const std::exception& e) {
          exifError = messageOf(e);  // the JPEG is still written, without Exif
        }
      }
    }
    writeOutput(worker, env, bytes);
  } catch (const std::exception& e) {
    env.log.add(errorcode::kSave, worker.target, messageOf(e));
    return;
  }
  addOutputBytes(env, worker.target);
  if (exifError) env.log.add(errorcode::kSave, worker.target, *exifError);
  if (overTarget) env.log.add(errorcode::kSave, worker.target, *overTarget);
}

// Automatic format: a JPEG candidate, a PNG candidate for non-JPEG sources, the smaller wins
// (JPEG on a tie) and is always written.
void writeAutomatic(TConversionThread& worker, const PipelineEnv& env, const WorkingImage& w) {
  const TConversionSettings& s = env.settings;
  try {
    // With a target size the JPEG candidate is searched with its Exif, which it then keeps.
    std::optional<std::string> exifError;
    bool sized = s.JPG_target_kb > 0;
    std::vector<uint8_t> jpeg = sized ? jpegWithinTarget(worker.filename, w, s, false, exifError).bytes
                                      : codecs::encodeJpeg(w.image, s.JPG_quality, false, w.iccProfile);
    std::vector<uint8_t> png;
    std::string ext = toUpper(extensionOf(worker.filename));
    bool pngCandidate = ext != ".JPG" && ext != ".JPEG";
    if (pngCandidate) png = codecs::encodePng(w.image, w.hasAlpha ? &w.alpha : nullptr, {false, true, 9}, w.iccProfile);
    bool choosePng = pngCandidate && png.size() < jpeg.size();
    const codecs::OutputFormatInfo& chosen =
        codecs::outputFormat(choosePng ? codecs::OutputFormat::kPng : codecs::OutputFormat::kJpeg);
    worker.target = replaceExtension(worker.target, std::string(chosen.extension));
    if (!s.Overwrite && !numbersTakenNames(s) && fileExists(worker.target)) throw Error(kFileAlreadyExists);

    const bool carryExif = s.Exif && !s.Strip_metadata;
    if (!choosePng && carryExif && !sized) {
      try {
        jpeg = withExif(jpeg, worker.filename, photoOptions(s), w);
      } catch (const std::exception& e) {
        exifError = messageOf(e);
      }
    }
    try {
      writeOutput(worker, env, choosePng ? png : jpeg);
    } catch (const Error& e) {
      if (!s.Overwrite && std::string(e.what()) == kFileAlreadyExists) throw;
      // A failed save is reported without a code and the step goes on; the carry-over of a
      // JPEG then has no file to work on.
      env.log.add(worker.target + ": " + e.what());
      if (!choosePng && carryExif) exifError = e.what();
    }
    addOutputBytes(env, worker.target);
    if (exifError && (!choosePng || !sized)) env.log.add(errorcode::kAutoFormat, worker.target, *exifError);
    const std::vector<uint8_t>& written = choosePng ? png : jpeg;
    if (sized && written.size() > static_cast<uint64_t>(s.JPG_target_kb) * 1024)
      env.log.add(errorcode::kAutoFormat, worker.target, overTargetMessage(written.size(), s.JPG_target_kb));
  } catch (const std::exception& e) {
    env.log.add(errorcode::kAutoFormat, worker.target, messageOf(e));
  }
}

// The steps of runPipeline. Each writes its own line when it fails; those that return bool
// return false when the failure ends the file.

// Nothing is decoded for a file whose provisional target exists and may be neither replaced
// nor numbered.
bool passOverwriteGuard(TConversionThread& worker, const PipelineEnv& env) {
  if (env.settings.Overwrite || numbersTakenNames(env.settings) || !fileExists(worker.target)) return true;
  env.log.add(errorcode::kOpen, worker.filename, "File already exists");
  return false;
}

// Decodes the source, counts its input and builds the working image; the decoded image is
// released before this returns. Workers decode at the same time: every decoder but the RAW
// route keeps all its state per call (libjpeg, libpng, giflib and OpenJPEG objects, libtiff
// with its per-handle handlers, the own readers), and decodeSource locks that route itself.
//
// The worker's memory claim covers its images from the decode to its end; a decode refused for
// memory that other workers hold waits until they release some.
bool decodeToWorkingImage(TConversionThread& worker, const PipelineEnv& env, MemoryClaim& claim, WorkingImage& w) {
  const PhotoOptions photo = photoOptions(env.settings);
  DecodedSource source;
  DecodeFailure failure = DecodeFailure::kSource;
  try {
    source = claim.retryWhenMemoryFrees(
        [&] { return decodeSource(worker.filename, failure, env.written, photo.keepCmykInks()); });
  } catch (const std::exception& e) {
    switch (failure) {
      case DecodeFailure::kRawLibrary: env.log.add(worker.target + ": " + e.what()); break;
      case DecodeFailure::kRaw: env.log.add(errorcode::kRawOpen, worker.filename, messageOf(e)); break;
      default: env.log.add(errorcode::kOpen, worker.filename, messageOf(e)); break;
    }
    return false;
  }
  atomicAdd(env.counters.processedbytes, source.inputSize / 1024);
  try {
    // The profile and the orientation, before the size changes: a damaged profile is set
    // aside with a line of its own and the file goes on.
    std::string profileProblem;
    std::vector<uint8_t> profile = applyPhotoColour(source.image, photo, profileProblem);
    if (!profileProblem.empty()) env.log.add(errorcode::kColourProfile, worker.filename, profileProblem);
    const int orientation = source.image.orientation;
    w = buildWorkingImage(std::move(source.image));
    w.iccProfile = std::move(profile);
    turnUpright(w, orientation, photo);
  } catch (const std::exception& e) {
    env.log.add(errorcode::kOpen, worker.filename, messageOf(e));
    return false;
  }
  env.totals.allprocessedfiles.fetch_add(1);
  atomicAdd(env.totals.allprocessedbytes, int64_t{source.inputSize / 1024});
  return true;
}

// A failed stretch or percent resize leaves the image as it was and the file goes on; a failed
// keep-proportions resize ends the file.
bool resize(TConversionThread& worker, const PipelineEnv& env, WorkingImage& w) {
  const imaging::ResizeOptions options = resizeOptions(env.settings);
  try {
    imaging::resizeStep(w.image, w.hasAlpha ? &w.alpha : nullptr, options);
  } catch (const std::exception& e) {
    if (options.mode == imaging::ResizeMode::kPercent) {
      env.log.add(errorcode::kPercentResize, worker.filename, messageOf(e));
      return true;
    }
    env.log.add(errorcode::kResize, worker.target, messageOf(e));
    return !options.proportional;
  }
  return true;
}

imaging::MaskInput maskInput(const TConversionThread& worker, const WorkingImage& w) {
  return {worker.filename, worker.target, worker.index, w.image.width(), w.image.height()};
}

// The text mask's Exif date and the drawing both run under the lock.
bool stamp(TConversionThread& worker, const PipelineEnv& env, WorkingImage& w) {
  const TConversionSettings& s = env.settings;
  try {
    std::lock_guard lock(ConversionLock());
    std::string line = imaging::ExpandTextMask(s.Watermark_text_mask, maskInput(worker, w), s.textfs);
    imaging::stampText(w.image, w.hasAlpha, line, textStampOptions(s));
  } catch (const std::exception& e) {
    env.log.add(errorcode::kSave, worker.target, messageOf(e));
    return false;
  }
  return true;
}

// A watermark that cannot be drawn is reported and the file goes on without it.
void watermark(TConversionThread& worker, const PipelineEnv& env, WorkingImage& w) {
  try {
    imaging::drawWatermark(w.image, watermarkOptions(env.settings));
  } catch (const std::exception& e) {
    env.log.add(errorcode::kWatermark, worker.filename, messageOf(e));
  }
}

bool rename(TConversionThread& worker, const PipelineEnv& env, const WorkingImage& w) {
  const TConversionSettings& s = env.settings;
  try {
    imaging::MaskInput input = maskInput(worker, w);
    std::lock_guard lock(ConversionLock());
    worker.target = imaging::ExpandNameMask(s.Rename_mask, s.Counter_length, input, s.filefs);
  } catch (const std::exception& e) {
    env.log.add(errorcode::kSave, worker.target, messageOf(e));
    return false;
  }
  return true;
}

}  // namespace

void runPipeline(TConversionThread& worker, const PipelineEnv& env) {
  const TConversionSettings& s = env.settings;
  MemoryClaim claim;
  WorkingImage w;
  if (!passOverwriteGuard(worker, env) || !decodeToWorkingImage(worker, env, claim, w)) return;
  if (!resize(worker, env, w)) return;
  if (s.Watermark_enable && !stamp(worker, env, w)) return;
  if (s.Img_watermark_enabled) watermark(worker, env, w);
  if (s.Rename_enabled && !rename(worker, env, w)) return;
  if (s.Auto_format)
    writeAutomatic(worker, env, w);
  else
    writeSingle(worker, env, w);
}

}  // namespace brevane
