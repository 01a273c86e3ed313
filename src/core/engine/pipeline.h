// The per-file conversion pipeline run by each worker.
#pragma once

#include <cstdint>
#include <string>

#include "base/bitmap.h"
#include "codecs/codec.h"
#include "codecs/working_image.h"
#include "engine/job.h"

namespace brevane {

/// A decoded source and its input size in bytes (-1 when it cannot be measured).
struct DecodedSource {
  codecs::DecodedImage image;
  int32_t inputSize = -1;
};

/// Why a decode failed, which decides the error line.
enum class DecodeFailure { kNone, kSource /* AFO */, kRaw /* RFO */, kRawLibrary /* no code */ };

/// Decodes a source: RAW extensions through rawdll.so (holding ConversionLock), all others
/// through the registry (without it). A source that is one of `written` (an output of this run
/// that replaced it) is refused. Throws brevane::Error; `failure` says which line it makes.
DecodedSource decodeSource(const std::string& path, DecodeFailure& failure, const WrittenFiles* written = nullptr);

/// The whole pipeline for one worker; every failure becomes its error line.
void runPipeline(TConversionThread& worker, const PipelineEnv& env);

/// `path` with the extension of its name replaced by (or extended with) `extension`.
std::string replaceExtension(const std::string& path, const std::string& extension);

}  // namespace brevane
