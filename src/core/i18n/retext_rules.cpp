// The rows of the re-texting: which element kinds get their caption or tooltip replaced.
#include "i18n/retext_rules.h"

namespace brevane::i18n {

namespace {

struct Row {
  ElementKind kind;
  ElementPart part;
};

// The main window's rows in the order they are tested for each component.
constexpr Row kMainRows[] = {
    {ElementKind::kPushButton, ElementPart::kCaption}, {ElementKind::kToolButton, ElementPart::kHint},
    {ElementKind::kLabel, ElementPart::kCaption},      {ElementKind::kCheckBox, ElementPart::kHint},
    {ElementKind::kLabel, ElementPart::kHint},         {ElementKind::kSpinEdit, ElementPart::kHint},
    {ElementKind::kEdit, ElementPart::kCaption},       {ElementKind::kCheckBox, ElementPart::kCaption},
    {ElementKind::kIconButton, ElementPart::kCaption}, {ElementKind::kGroupBox, ElementPart::kCaption},
    {ElementKind::kTabPage, ElementPart::kCaption},    {ElementKind::kRadioButton, ElementPart::kCaption},
    {ElementKind::kMenuItem, ElementPart::kCaption},   {ElementKind::kOpenDialog, ElementPart::kCaption},
};

// The caption rows every dialog applies.
bool dialogCaptionKind(ElementKind kind) {
  switch (kind) {
    case ElementKind::kPushButton:
    case ElementKind::kLabel:
    case ElementKind::kEdit:
    case ElementKind::kCheckBox:
    case ElementKind::kIconButton:
    case ElementKind::kGroupBox:
    case ElementKind::kRadioButton: return true;
    default: return false;
  }
}

}  // namespace

std::vector<ElementPart> retextParts(WindowRole role, ElementKind kind) {
  std::vector<ElementPart> parts;
  if (role == WindowRole::kMain) {
    for (const Row& r : kMainRows)
      if (r.kind == kind) parts.push_back(r.part);
    return parts;
  }
  if (dialogCaptionKind(kind) || (role == WindowRole::kProgress && kind == ElementKind::kTabPage))
    parts.push_back(ElementPart::kCaption);
  if (role == WindowRole::kAbout && kind == ElementKind::kLabel) parts.push_back(ElementPart::kHint);
  return parts;
}

std::string_view windowName(WindowRole role) {
  switch (role) {
    case WindowRole::kMain: return kMainWindow;
    case WindowRole::kProgress: return kProgressWindow;
    case WindowRole::kStatistics: return kStatisticsWindow;
    case WindowRole::kAbout: return kAboutWindow;
  }
  return kMainWindow;
}

}  // namespace brevane::i18n
