// Rules of the option pages that need no window.
#include "settings/option_rules.h"

#include "imaging/presets.h"

namespace brevane::settings {

std::string percentLabel(int position) {
  return std::to_string(position) + "%";
}

std::string plainLabel(int position) {
  return std::to_string(position);
}

ResizeEnable resizeEnable(int selectedMode, bool proportional) {
  ResizeEnable e;
  if (selectedMode == kChangeSize) {
    e.widthHeight = true;
    e.proportions = true;
    e.enlarge = true;
    e.smartCrop = proportional;
  } else if (selectedMode == kChangeSizePercent) {
    e.percent = true;
  }
  return e;
}

const std::vector<std::string>& outputFormatNames() {
  static const std::vector<std::string> kNames = {"JPEG", "PNG",  "BMP",  "GIF",    "JPEG 2000",
                                                  "TGA",  "WebP", "AVIF", "JPEG XL"};
  return kNames;
}

const std::vector<std::string>& filterNames() {
  static const std::vector<std::string> kNames = {"Nearest neighbour", "Bilinear", "Hermite", "Bell",
                                                  "B-spline",          "Lanczos3", "Mitchell"};
  return kNames;
}

const std::vector<std::string>& positionNames() {
  static const std::vector<std::string> kNames = {"Top-Left",    "Top-Center",    "Top-Right",   "Center",
                                                  "Bottom-Left", "Bottom-Center", "Bottom-Right"};
  return kNames;
}

std::optional<imaging::Size> presetChoice(int index, const std::string& entry) {
  if (index <= 0) return std::nullopt;
  imaging::Size s = imaging::parsePresetSize(entry);
  if (s.width < 0 || s.height < 0) return std::nullopt;
  return s;
}

int keptListIndex(int remembered, size_t itemCount) {
  return remembered >= 0 && static_cast<size_t>(remembered) < itemCount ? remembered : -1;
}

const std::vector<VariableMenuItem>& textMaskMenu() {
  static const std::vector<VariableMenuItem> kMenu = {
      {"Currentdate1", "[D] - Current date", "[D]", {}},
      {"Currenttime1", "[T] - Current time", "[T]", {}},
      {},
      {"Filecreationdate1", "[FCD] - File creation date", "[FCD]", {}},
      {"Filecreationtime1", "[FCT] - File creation time", "[FCT]", {}},
      {},
      {"Filename1", "[N] - Original filename", "[N]", {}},
      {"Extension1", "[E] - Extension", "[E]", {}},
      {"Width1", "[W] - Width", "[W]", {}},
      {"Height1", "[H] - Height", "[H]", {}},
      {"Counter1", "[C] - Counter", "[C]", {}},
      {},
      {"Exifdate1", "[ED] - Exif date", "[ED]", {}},
      {"Exiftime1", "[ET] - Exif time", "[ET]", {}},
      {},
      {"Addsymbol1",
       "Add symbol",
       "",
       {{"N25", "\u00A9 - Copyright", "\u00A9", {}},
        {"Registered1", "\u00AE - Registered", "\u00AE", {}},
        {"rademark1", "\u2122 - Trade mark", "\u2122", {}}}},
  };
  return kMenu;
}

const std::vector<VariableMenuItem>& renameMaskMenu() {
  static const std::vector<VariableMenuItem> kMenu = {
      {"NTheoriginalfilename1", "[N] - Original filename ", "[N]", {}},
      {"EFileextension1", "[E] - File extension ", "[E]", {}},
      {"WThewidthoftheimageinpixels1", "[W] - Image width in pixels ", "[W]", {}},
      {"HImageheightinpixels1", "[H] - Image height in pixels ", "[H]", {}},
      {"Currenttime2", "[T] - Current time ", "[T]", {}},
      {"DCurrentDate1", "[D] - Current Date", "[D]", {}},
      {"CFilecounter1", "[C] - File counter", "[C]", {}},
      {"FCDFilecreationdate1", "[FCD] - File creation date", "[FCD]", {}},
      {"FCTFilecreationtime1", "[FCT] - File creation time", "[FCT]", {}},
  };
  return kMenu;
}

}  // namespace brevane::settings
