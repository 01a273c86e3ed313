// Thin widget classes and the exact-kind test of the re-texting.
#include "widgets.h"

#include <QTabWidget>
#include <typeinfo>

namespace brevane::app {

QString TTabSheet::caption() const {
  return m_caption;
}

void TTabSheet::setCaption(const QString& caption) {
  m_caption = caption;
  for (QWidget* p = parentWidget(); p; p = p->parentWidget()) {
    if (auto* tabs = qobject_cast<QTabWidget*>(p)) {
      int index = tabs->indexOf(this);
      if (index >= 0) tabs->setTabText(index, caption);
      return;
    }
  }
}

i18n::ElementKind elementKind(const QObject* object) {
  using enum i18n::ElementKind;
  // The dynamic type itself, so that a class derived from one of these (even one without its
  // own meta-object) is another kind.
  const std::type_info& t = typeid(*object);
  if (t == typeid(TButton)) return kPushButton;
  if (t == typeid(TPngBitBtn)) return kIconButton;
  if (t == typeid(TToolButton)) return kToolButton;
  if (t == typeid(TLabel)) return kLabel;
  if (t == typeid(TCheckBox)) return kCheckBox;
  if (t == typeid(TRadioButton)) return kRadioButton;
  if (t == typeid(TSpinEdit)) return kSpinEdit;
  if (t == typeid(TEdit)) return kEdit;
  if (t == typeid(TGroupBox)) return kGroupBox;
  if (t == typeid(TTabSheet)) return kTabPage;
  if (t == typeid(TMenuItem)) return kMenuItem;
  if (t == typeid(TOpenDialog)) return kOpenDialog;
  return kOther;
}

}  // namespace brevane::app
