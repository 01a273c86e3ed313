// Dry run: the provisional name, the rename mask and the automatic format's candidates, as a
// run's start, its dispatcher and its pipeline make them.
#include "cli/dry_run.h"

#include <map>
#include <mutex>
#include <set>

#include "base/error.h"
#include "base/paths.h"
#include "base/platform.h"
#include "base/strings.h"
#include "codecs/output_formats.h"
#include "engine/conversion_lock.h"
#include "engine/job.h"
#include "engine/output_names.h"
#include "engine/pipeline.h"
#include "engine/step_options.h"
#include "imaging/masks.h"
#include "imaging/resize.h"

namespace brevane::cli {

using codecs::OutputFormat;

PixelSize sourcePixelSize(const std::string& path) {
  if (auto size = headerPixelSize(path)) return *size;
  DecodeFailure failure = DecodeFailure::kSource;
  std::lock_guard lock(ConversionLock());
  DecodedSource decoded = decodeSource(path, failure);
  return {decoded.image.width, decoded.image.height};
}

PixelSize resizedSize(PixelSize source, const TConversionSettings& settings) {
  // The sizes the resize step gives with the options the pipeline builds for it.
  imaging::ResizeOptions o = resizeOptions(settings);
  int w = source.width, h = source.height;
  switch (o.mode) {
    case imaging::ResizeMode::kWidthHeight: {
      if (!o.proportional) return {o.width, o.height};
      if (o.smartCrop)
        if (auto crop = imaging::smartCropRect(w, h, o.width, o.height, o.enlarge)) {
          w = crop->width;
          h = crop->height;
        }
      imaging::Size fit = imaging::Fit(w, h, o.width, o.height, o.enlarge);
      return {fit.width, fit.height};
    }
    case imaging::ResizeMode::kPercent: {
      imaging::Size p = imaging::percentSize(w, h, o.percent);
      return {p.width, p.height};
    }
    case imaging::ResizeMode::kNone: break;
  }
  return source;
}

std::vector<PlannedOutput> planOutputs(const TConversionSettings& settings, const std::vector<std::string>& files,
                                       const SizeReader& readSize) {
  TConversionSettings s = settings;
  if (s.Rename_enabled) s.Rename_mask = imaging::uniqueNameGuard(s.Rename_mask);
  if (!s.Output_path.empty() && s.Output_path.back() != '/') s.Output_path += '/';
  std::string mask = toLower(s.Rename_mask);
  bool needsSize = s.Rename_enabled && (mask.find("[w]") != std::string::npos || mask.find("[h]") != std::string::npos);
  std::string code(codecs::outputFormat(s.Output_format).code);

  std::map<std::string, std::string> kept;
  if (s.Keep_folders) kept = keptFolders(files);

  std::vector<PlannedOutput> plan;
  std::set<std::string> planned;
  int index = 1;
  for (const std::string& file : files) {
    PlannedOutput out{file, {}, {}};
    std::string target = provisionalTarget(s.Output_path + kept[file], file, code);
    try {
      if (s.Rename_enabled) {
        PixelSize size = needsSize ? resizedSize(readSize(file), s) : PixelSize{};
        imaging::MaskInput input{file, target, index, size.width, size.height};
        std::lock_guard lock(ConversionLock());
        target = imaging::ExpandNameMask(s.Rename_mask, s.Counter_length, input, s.filefs);
      }
      if (s.Auto_format) {
        out.targets.push_back(
            replaceExtension(target, std::string(codecs::outputFormat(OutputFormat::kJpeg).extension)));
        std::string ext = toUpper(extensionOf(file));
        if (ext != ".JPG" && ext != ".JPEG")
          out.targets.push_back(
              replaceExtension(target, std::string(codecs::outputFormat(OutputFormat::kPng).extension)));
      } else {
        out.targets.push_back(target);
      }
      // Unique names: the first name neither on disk nor planned for an earlier file, as a run
      // with one worker would take them.
      if (s.Unique_names && !s.Overwrite)
        for (std::string& t : out.targets) {
          std::string name = t;
          for (int n = 2; fileExists(name) || planned.count(name); ++n) name = numberedName(t, n);
          planned.insert(name);
          t = name;
        }
    } catch (const std::exception& e) {
      out.error = e.what();
    }
    plan.push_back(std::move(out));
    ++index;
  }
  return plan;
}

}  // namespace brevane::cli
