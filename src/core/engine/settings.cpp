// Defaults of the run options and the output format codes.
#include "engine/settings.h"

#include "base/platform.h"

namespace brevane {

std::string_view formatCode(int outputFormat) {
  static constexpr std::string_view kCodes[] = {"JPG", "PNG", "BMP", "GIF", "JP2", "TGA"};
  if (outputFormat < 0 || outputFormat > 5) return kCodes[0];
  return kCodes[outputFormat];
}

TConversionSettings TConversionSettings::defaults() {
  TConversionSettings s;
  s.Threads = cpuCount();
  s.Output_path = homeFolder() + "/brv-output/";
  s.Img_path = programFolder() + "watermark.png";
  return s;
}

}  // namespace brevane
