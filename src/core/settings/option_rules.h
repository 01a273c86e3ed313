// Rules of the option pages that need no window: value labels, the enable rules, the list
// texts and the variable menus of the two masks.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/resize.h"

namespace brevane::settings {

/// The resize modes in the order of "Selected_mode" and of the three radio buttons.
inline constexpr int kNoResize = 0;
inline constexpr int kChangeSize = 1;
inline constexpr int kChangeSizePercent = 2;

/// The value label of a quality slider: the position followed by "%".
std::string percentLabel(int position);
/// The value label of the compression slider: the bare position.
std::string plainLabel(int position);

/// The enabled state of the resize page's dependent controls.
struct ResizeEnable {
  bool widthHeight = false;
  bool percent = false;
  bool proportions = false;
  bool enlarge = false;
  bool smartCrop = false;
  bool operator==(const ResizeEnable&) const = default;
};
/// The resize enable rule for the selected mode (any value other than 1 and 2 counts as no
/// resize) and the Proportions box; smart crop follows Proportions in the width-and-height mode.
ResizeEnable resizeEnable(int selectedMode, bool proportional);

/// The JPEG 2000 quality slider and both its labels are enabled unless Lossless is ticked; the
/// WebP and JPEG XL pages follow the same rule.
inline bool j2kQualityEnabled(bool lossless) {
  return !lossless;
}
/// The output format list and its caption are enabled unless Auto format is ticked.
inline bool outputFormatEnabled(bool autoFormat) {
  return !autoFormat;
}

/// The Unique names box is enabled unless Overwrite is ticked (a replaced file needs no number).
inline bool uniqueNamesEnabled(bool overwrite) {
  return !overwrite;
}

/// The output format list, one entry per output format in index order: the four designed
/// entries and the later ones appended at start-up.
const std::vector<std::string>& outputFormatNames();
/// The built-in names of the resampling filters and of the seven positions (the language file
/// replaces them).
const std::vector<std::string>& filterNames();
const std::vector<std::string>& positionNames();

/// The size a chosen preset entry puts into the width and height boxes: none for the first
/// entry ("--", index 0 or less) and for an entry that does not parse.
std::optional<imaging::Size> presetChoice(int index, const std::string& entry);

/// The index a re-texted list selects again: the remembered one while it still exists, else
/// none (-1).
int keptListIndex(int remembered, size_t itemCount);

/// One item of a variable menu: a token to insert, a separator, or a submenu.
struct VariableMenuItem {
  std::string_view component;  // objectName, also the language key's component ("" for a separator)
  std::string_view caption;    // built-in caption
  std::string_view token;      // text inserted at the caret ("" for a separator or a submenu)
  std::vector<VariableMenuItem> submenu;
  bool isSeparator() const { return component.empty(); }
};
/// The text mask's menu (the Text page's Add variable button).
const std::vector<VariableMenuItem>& textMaskMenu();
/// The rename mask's menu (the Rename page's Add variable button).
const std::vector<VariableMenuItem>& renameMaskMenu();

}  // namespace brevane::settings
