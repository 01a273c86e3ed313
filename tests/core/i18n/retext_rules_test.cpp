// Which texts a language switch replaces, by element kind and window.
#include "i18n/retext_rules.h"

#include <gtest/gtest.h>

namespace brevane::i18n {
namespace {

using enum ElementKind;
using enum ElementPart;
using Parts = std::vector<ElementPart>;

TEST(RetextRules, MainWindowAppliesItsRowsInOrder) {
  EXPECT_EQ(retextParts(WindowRole::kMain, kLabel), (Parts{kCaption, kHint}));
  EXPECT_EQ(retextParts(WindowRole::kMain, kCheckBox), (Parts{kHint, kCaption}));
  EXPECT_EQ(retextParts(WindowRole::kMain, kToolButton), (Parts{kHint}));
  EXPECT_EQ(retextParts(WindowRole::kMain, kSpinEdit), (Parts{kHint}));
  for (ElementKind k : {kPushButton, kEdit, kIconButton, kGroupBox, kTabPage, kRadioButton, kMenuItem, kOpenDialog})
    EXPECT_EQ(retextParts(WindowRole::kMain, k), (Parts{kCaption})) << static_cast<int>(k);
  EXPECT_TRUE(retextParts(WindowRole::kMain, kOther).empty());
}

TEST(RetextRules, DialogsReplaceCaptionsOnly) {
  for (WindowRole role : {WindowRole::kProgress, WindowRole::kStatistics, WindowRole::kAbout}) {
    for (ElementKind k : {kPushButton, kEdit, kCheckBox, kIconButton, kGroupBox, kRadioButton})
      EXPECT_EQ(retextParts(role, k), (Parts{kCaption}));
    for (ElementKind k : {kToolButton, kSpinEdit, kMenuItem, kOpenDialog, kOther})
      EXPECT_TRUE(retextParts(role, k).empty());
  }
  // Tab pages only in the progress window; label tooltips only in the about dialog.
  EXPECT_EQ(retextParts(WindowRole::kProgress, kTabPage), (Parts{kCaption}));
  EXPECT_TRUE(retextParts(WindowRole::kStatistics, kTabPage).empty());
  EXPECT_EQ(retextParts(WindowRole::kAbout, kLabel), (Parts{kCaption, kHint}));
  EXPECT_EQ(retextParts(WindowRole::kProgress, kLabel), (Parts{kCaption}));
  EXPECT_EQ(retextParts(WindowRole::kStatistics, kLabel), (Parts{kCaption}));
}

}  // namespace
}  // namespace brevane::i18n
