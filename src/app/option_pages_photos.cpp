// The option notebook: the photos page (orientation, colour profiles, private metadata).
#include <QVBoxLayout>

#include "engine/photo_steps.h"
#include "option_pages.h"
#include "widgets.h"

namespace brevane::app {

QWidget* OptionPages::pagePhotos() {
  TTabSheet* page = sheet("TabSheetPhotos", "Photos");
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(10, 10, 10, 8);
  column->setSpacing(6);
  auto* rotate = named<TCheckBox>("AutoRotateCheckBox", "Turn upright by orientation");
  auto* keepIcc = named<TCheckBox>("KeepIccCheckBox", "Keep colour profile");
  keepIcc->setChecked(true);
  auto* srgb = named<TCheckBox>("ConvertSrgbCheckBox", "Convert colours to sRGB");
  auto* stripPrivate = named<TCheckBox>("StripPrivateCheckBox", "Leave out GPS and serial numbers");
  auto* strip = named<TCheckBox>("StripMetadataCheckBox", "Leave out all metadata");
  for (QWidget* w : {static_cast<QWidget*>(rotate), static_cast<QWidget*>(keepIcc), static_cast<QWidget*>(srgb),
                     static_cast<QWidget*>(stripPrivate), static_cast<QWidget*>(strip)})
    column->addWidget(w);
  column->addStretch(1);

  // A box that changes nothing under the others' choice is greyed out, its tick kept.
  auto apply = [rotate, keepIcc, srgb, stripPrivate, strip] {
    PhotoOptions o{rotate->isChecked(), keepIcc->isChecked(), srgb->isChecked(), stripPrivate->isChecked(),
                   strip->isChecked()};
    keepIcc->setEnabled(o.keepIccMatters());
    stripPrivate->setEnabled(o.stripPrivateMatters());
  };
  for (TCheckBox* box : {srgb, strip}) connect(box, &QCheckBox::toggled, this, apply);
  apply();
  return page;
}

}  // namespace brevane::app
