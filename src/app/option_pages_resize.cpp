// The option notebook: the resize page, its enable rule, the preset sizes and the aspect label.
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QListView>
#include <QTimer>

#include "imaging/presets.h"
#include "option_pages.h"
#include "settings/option_rules.h"
#include "widgets.h"

namespace brevane::app {

QWidget* OptionPages::pageResize() {
  TTabSheet* page = sheet("TabSheet5", "Resize");
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(8, 6, 8, 6);
  grid->setHorizontalSpacing(10);

  auto* group = named<TGroupBox>("GroupBox2", "Resize");
  auto* g = new QGridLayout(group);
  g->setContentsMargins(8, 4, 8, 6);
  g->setVerticalSpacing(4);
  auto* none = named<TRadioButton>("NoResizeRadioButton", "No resize");
  auto* change = named<TRadioButton>("ChangeSizeRadioButton", "Change size");
  auto* percentMode = named<TRadioButton>("ChangeSizePercentRadioButton", "In percent");
  m_modes = new QButtonGroup(group);
  m_modes->addButton(none, settings::kNoResize);
  m_modes->addButton(change, settings::kChangeSize);
  m_modes->addButton(percentMode, settings::kChangeSizePercent);
  none->setChecked(true);

  m_widthLabel = named<TLabel>("Label10", "Width:");
  m_heightLabel = named<TLabel>("Label11", "Height:");
  m_width = spin("SpinEdit2", "Resize_width", 800);
  m_height = spin("SpinEdit3", "Resize_height", 600);
  m_aspect = named<TLabel>("Label19");
  m_percent = spin("SpinEdit4", "Resize_percent", 75);
  m_percentSign = named<TLabel>("Label12", "%");

  const int indent = 20;
  g->addWidget(none, 0, 0, 1, 4);
  g->addWidget(change, 1, 0, 1, 4);
  g->addItem(new QSpacerItem(indent, 1, QSizePolicy::Fixed), 2, 0);
  g->addWidget(m_widthLabel, 2, 1);
  g->addWidget(m_width, 2, 2);
  g->addWidget(m_heightLabel, 3, 1);
  g->addWidget(m_height, 3, 2);
  g->addWidget(m_aspect, 3, 3);
  auto* percentRow = new QHBoxLayout;
  percentRow->addWidget(percentMode);
  percentRow->addWidget(m_percent);
  percentRow->addWidget(m_percentSign);
  percentRow->addStretch(1);
  g->addLayout(percentRow, 4, 0, 1, 4);
  g->setColumnStretch(3, 1);
  g->setRowStretch(5, 1);

  m_proportions = named<TCheckBox>("CheckBox4", "Proportions");
  m_proportions->setChecked(true);
  m_enlarge = named<TCheckBox>("CheckBox6", "Enlarge if smaller");
  m_smartCrop = named<TCheckBox>("CheckBox7", "Smart crop");

  m_filter = named<QComboBox>("ComboBox3");
  for (const std::string& f : settings::filterNames()) m_filter->addItem(QString::fromStdString(f));
  m_filter->setCurrentIndex(5);
  m_presets = named<QComboBox>("ComboBox4");
  for (const std::string& p : imaging::presetSizes()) m_presets->addItem(QString::fromStdString(p));
  m_presets->setCurrentIndex(0);
  m_presets->setMaxVisibleItems(30);
  m_presetTimer = named<QTimer>("Timer7", this);
  m_presetTimer->setSingleShot(true);
  m_presetTimer->setInterval(1);
  connect(m_presetTimer, &QTimer::timeout, this, [this] { m_filset = false; });

  auto* right = new QVBoxLayout;
  right->setSpacing(4);
  right->addWidget(m_proportions);
  right->addWidget(m_enlarge);
  right->addWidget(m_smartCrop);
  right->addSpacing(4);
  right->addWidget(named<TLabel>("Label13", "Filter:"));
  right->addWidget(m_filter);
  right->addWidget(named<TLabel>("Label14", "Standard sizes:"));
  right->addWidget(m_presets);
  right->addStretch(1);

  grid->addWidget(group, 0, 0);
  grid->addLayout(right, 0, 1);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);

  connect(m_modes, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) SetRadioEnable();
  });
  connect(m_proportions, &QCheckBox::toggled, this, &OptionPages::SetRadioEnable);
  connect(m_enlarge, &QCheckBox::toggled, this, &OptionPages::SetRadioEnable);
  connect(m_presets, &QComboBox::activated, this, &OptionPages::ComboBox4Change);
  connect(m_width, &QSpinBox::valueChanged, this, &OptionPages::SpinEdit2Change);
  connect(m_height, &QSpinBox::valueChanged, this, &OptionPages::SpinEdit2Change);
  m_aspect->setText(QString::fromStdString(imaging::aspectText(m_width->value(), m_height->value())));
  return page;
}

int OptionPages::selectedMode() const {
  return std::max(0, m_modes->checkedId());
}

void OptionPages::SetRadioEnable() {
  settings::ResizeEnable e = settings::resizeEnable(selectedMode(), m_proportions->isChecked());
  for (QWidget* w :
       {static_cast<QWidget*>(m_width), static_cast<QWidget*>(m_height), static_cast<QWidget*>(m_widthLabel),
        static_cast<QWidget*>(m_heightLabel), static_cast<QWidget*>(m_aspect)})
    w->setEnabled(e.widthHeight);
  m_percent->setEnabled(e.percent);
  m_percentSign->setEnabled(e.percent);
  m_proportions->setEnabled(e.proportions);
  m_enlarge->setEnabled(e.enlarge);
  m_smartCrop->setEnabled(e.smartCrop);
}

void OptionPages::decoratePresets(char decimalSeparator) {
  std::vector<std::string> entries = imaging::decoratedPresetSizes(decimalSeparator);
  for (int i = 0; i < m_presets->count() && i < static_cast<int>(entries.size()); ++i)
    m_presets->setItemText(i, QString::fromStdString(entries[static_cast<size_t>(i)]));
  // The drop-down is wider than the box so that the decorated entries show whole.
  m_presets->view()->setMinimumWidth(175);
}

void OptionPages::ComboBox4Change(int index) {
  auto size = settings::presetChoice(index, m_presets->itemText(index).toStdString());
  if (!size) return;
  m_modes->button(settings::kChangeSize)->setChecked(true);
  m_filset = true;
  m_width->setValue(size->width);
  m_height->setValue(size->height);
  m_presetTimer->start();
}

void OptionPages::SpinEdit2Change() {
  if (!m_filset) m_presets->setCurrentIndex(0);
  m_aspect->setText(QString::fromStdString(imaging::aspectText(m_width->value(), m_height->value())));
}

}  // namespace brevane::app
