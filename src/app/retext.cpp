// The language re-texting of a window.
#include "retext.h"

#include <QAction>
#include <QDialog>
#include <QWidget>

#include "base/error.h"
#include "i18n/language_file.h"
#include "widgets.h"

namespace brevane::app {

namespace {

void applyCaption(QObject* o, i18n::ElementKind kind, const QString& text) {
  using enum i18n::ElementKind;
  switch (kind) {
    case kPushButton:
    case kIconButton: static_cast<QPushButton*>(o)->setText(text); break;
    case kLabel: static_cast<QLabel*>(o)->setText(text); break;
    case kCheckBox:
    case kRadioButton: static_cast<QAbstractButton*>(o)->setText(text); break;
    case kEdit: static_cast<QLineEdit*>(o)->setText(text); break;
    case kGroupBox: static_cast<QGroupBox*>(o)->setTitle(text); break;
    case kTabPage: static_cast<TTabSheet*>(o)->setCaption(text); break;
    case kMenuItem: static_cast<QAction*>(o)->setText(text); break;
    case kOpenDialog: static_cast<TOpenDialog*>(o)->setTitle(text); break;
    case kToolButton: static_cast<QToolButton*>(o)->setText(text); break;
    case kSpinEdit:
    case kOther: break;
  }
}

void applyHint(QObject* o, const QString& text) {
  if (auto* w = qobject_cast<QWidget*>(o)) {
    w->setToolTip(text);
  } else if (auto* a = qobject_cast<QAction*>(o)) {
    a->setToolTip(text);
  }
}

// True when `o` belongs to a dialog that lives inside `window` (a dialog re-texts itself).
bool insideOtherDialog(const QObject* o, const QWidget* window) {
  for (const QObject* p = o; p && p != window; p = p->parent())
    if (p->isWidgetType() && static_cast<const QWidget*>(p)->isWindow() && qobject_cast<const QDialog*>(p)) return true;
  return false;
}

}  // namespace

void retextWindow(QWidget* window, i18n::WindowRole role, const TextLookup& lookup) {
  const std::string name(i18n::windowName(role));
  if (auto title = lookup(name)) window->setWindowTitle(QString::fromStdString(*title));
  const QList<QObject*> components = window->findChildren<QObject*>();
  for (QObject* o : components) {
    if (o->objectName().isEmpty() || insideOtherDialog(o, window)) continue;
    i18n::ElementKind kind = elementKind(o);
    for (i18n::ElementPart part : i18n::retextParts(role, kind)) {
      std::string key = name + o->objectName().toStdString();
      if (part == i18n::ElementPart::kHint) key += "Hint";
      auto text = lookup(key);
      if (!text) continue;
      QString t = QString::fromStdString(*text);
      if (part == i18n::ElementPart::kHint) {
        applyHint(o, t);
      } else {
        applyCaption(o, kind, t);
      }
    }
  }
}

void retextDialog(QWidget* dialog, i18n::WindowRole role, const std::string& languageFile, const QString& section) {
  i18n::LanguageFile file;
  try {
    file = i18n::LanguageFile::load(languageFile);
  } catch (const Error&) {
    return;
  }
  const std::string s = section.toStdString();
  retextWindow(dialog, role, [&](const std::string& key) { return file.value(s, key); });
}

}  // namespace brevane::app
