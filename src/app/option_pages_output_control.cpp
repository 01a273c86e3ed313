// The Files page of the option notebook: unique names, kept folders, the JPEG size limit.
#include "option_pages_output_control.h"

#include <QGridLayout>
#include <QHBoxLayout>

#include "settings/option_rules.h"
#include "settings/settings_keys.h"
#include "widgets.h"

namespace brevane::app {

QWidget* outputControlPage(QWidget* outputPage) {
  auto* page = named<TTabSheet>("TabSheet20");
  page->setCaption(QStringLiteral("Files"));
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(10, 10, 10, 8);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);

  auto* unique = named<TCheckBox>("CheckBox20", "Unique names");
  auto* keepFolders = named<TCheckBox>("CheckBox21", "Keep the folder structure");
  auto* limitCaption = named<TLabel>("Label40", "JPEG size limit, KiB (0: none):");
  auto* limit = named<TSpinEdit>("SpinEdit20");
  const settings::SettingsKey& key = *settings::findSettingsKey("JPG_target_kb");
  limit->setRange(key.minimum, key.maximum);
  limit->setValue(0);
  limit->setMinimumWidth(90);

  grid->addWidget(unique, 0, 0, 1, 2);
  grid->addWidget(keepFolders, 1, 0, 1, 2);
  grid->addWidget(limitCaption, 2, 0);
  auto* limitRow = new QHBoxLayout;
  limitRow->addWidget(limit);
  limitRow->addStretch(1);
  grid->addLayout(limitRow, 2, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(3, 1);

  // A name is only ever numbered when existing files are kept.
  if (auto* overwrite = outputPage->findChild<TCheckBox*>(QStringLiteral("CheckBox2"))) {
    auto follow = [unique](bool on) { unique->setEnabled(settings::uniqueNamesEnabled(on)); };
    QObject::connect(overwrite, &QCheckBox::toggled, unique, follow);
    follow(overwrite->isChecked());
  }
  return page;
}

}  // namespace brevane::app
