// Which texts of a window element a language switch replaces, by the element's exact kind and
// the window it belongs to.
#pragma once

#include <string_view>
#include <vector>

#include "i18n/lang_keys.h"

namespace brevane::i18n {

/// The kinds of window elements the re-texting tells apart. A kind derived from one of them is
/// another kind (kOther unless listed), so a derived element is never re-texted by accident.
enum class ElementKind {
  kOther,  // combo boxes, sliders, lists, images, progress bars, memos, timers, ...
  kPushButton,
  kToolButton,
  kLabel,
  kCheckBox,
  kSpinEdit,
  kEdit,
  kIconButton,  // a push button with an icon
  kGroupBox,
  kTabPage,
  kRadioButton,
  kMenuItem,
  kOpenDialog,
};

/// The windows that are re-texted. The main window looks its texts up in the loaded language
/// table; each dialog reads the file anew.
enum class WindowRole { kMain, kProgress, kStatistics, kAbout };

/// The parts of an element of `kind` that a language switch replaces on a window of `role`, in
/// the order they are applied (a label on the main window: caption, then hint). Empty when the
/// element is left alone. The caption of an edit box is its content, of an open-file dialog its
/// title, of a tab page its tab's text.
std::vector<ElementPart> retextParts(WindowRole role, ElementKind kind);

/// The window name of a role: "BRVMainform", "Progressform", "Statisticsform", "AboutForm".
std::string_view windowName(WindowRole role);

}  // namespace brevane::i18n
