// The keys the program looks up in a language section: message keys and the texts of window
// elements (window name + component name [+ "Hint"]).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brevane::i18n {

/// Window names of the re-texted windows.
inline constexpr std::string_view kMainWindow = "BRVMainform";
inline constexpr std::string_view kProgressWindow = "Progressform";
inline constexpr std::string_view kStatisticsWindow = "Statisticsform";
inline constexpr std::string_view kAboutWindow = "AboutForm";

/// Every message key code looks up with GetLangStr.
const std::vector<std::string_view>& messageKeys();

/// What a window-element key replaces.
enum class ElementPart { kTitle, kCaption, kHint };

/// One translatable text of a window. `component` is the element's objectName (empty for
/// the window's title).
struct WindowTextKey {
  std::string_view window;
  std::string_view component;
  ElementPart part;
};

/// The key of an element text: window + component, + "Hint" for a tooltip.
std::string elementKey(const WindowTextKey& key);

/// Every window element text that the shipped language file provides, by window. The
/// components are the objectNames the windows give their widgets; value labels, edit boxes
/// (which hold settings) and the main window's title (which carries the version) have none.
const std::vector<WindowTextKey>& windowTextKeys();

}  // namespace brevane::i18n
