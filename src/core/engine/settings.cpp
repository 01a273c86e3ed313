// Defaults of the run options and the output format codes.
#include "engine/settings.h"

#include "base/platform.h"
#include "codecs/output_formats.h"

namespace brevane {

std::string_view formatCode(int outputFormat) {
  return codecs::outputFormat(outputFormat).code;
}

TConversionSettings TConversionSettings::defaults() {
  TConversionSettings s;
  s.Threads = cpuCount();
  s.Output_path = homeFolder() + "/brv-output/";
  s.Img_path = programFolder() + "watermark.png";
  return s;
}

}  // namespace brevane
