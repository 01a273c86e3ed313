// The binding between option controls and settings keys.
#include "settings_binding.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace brevane::app {

QWidget* SettingsBinding::control(const settings::SettingsKey& key) const {
  if (key.control.empty()) return nullptr;
  return m_window->findChild<QWidget*>(
      QString::fromLatin1(key.control.data(), static_cast<qsizetype>(key.control.size())));
}

void SettingsBinding::toControl(const settings::SettingsKey& key, const settings::SettingsValue& value) const {
  QWidget* w = control(key);
  if (!w) return;
  if (auto* radio = qobject_cast<QRadioButton*>(w)) {
    // The resize modes: the named button is the first of its group, the ids are the values.
    if (QButtonGroup* group = radio->group())
      if (QAbstractButton* b = group->button(std::get<int32_t>(value))) b->setChecked(true);
  } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
    check->setChecked(std::get<bool>(value));
  } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
    spin->setValue(std::get<int32_t>(value));
  } else if (auto* slider = qobject_cast<QAbstractSlider*>(w)) {
    slider->setValue(std::get<int32_t>(value));
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    int32_t v = std::get<int32_t>(value);
    combo->setCurrentIndex(v >= 0 && v < combo->count() ? v : -1);
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(QString::fromStdString(std::get<std::string>(value)));
  }
}

settings::SettingsValue SettingsBinding::fromControl(const settings::SettingsKey& key) const {
  QWidget* w = control(key);
  if (auto* radio = qobject_cast<QRadioButton*>(w)) {
    QButtonGroup* group = radio->group();
    return static_cast<int32_t>(group && group->checkedId() >= 0 ? group->checkedId() : 0);
  }
  if (auto* check = qobject_cast<QCheckBox*>(w)) return check->isChecked();
  if (auto* spin = qobject_cast<QSpinBox*>(w)) return static_cast<int32_t>(spin->value());
  if (auto* slider = qobject_cast<QAbstractSlider*>(w)) return static_cast<int32_t>(slider->value());
  if (auto* combo = qobject_cast<QComboBox*>(w)) return static_cast<int32_t>(combo->currentIndex());
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
  return settings::SettingsValue{};
}

void SettingsBinding::readControls(settings::AppSettings& state) const {
  for (const settings::SettingsKey& key : settings::settingsKeys())
    if (control(key)) settings::applySettingsValue(state, key, fromControl(key));
}

}  // namespace brevane::app
