// The one binding between the main window's option controls and the keys of Settings.ini:
// each key of the core's table is bound to the control its row names, so loading, saving and
// the run's record never list the controls themselves.
#pragma once

#include "settings/settings_store.h"

class QWidget;

namespace brevane::app {

class SettingsBinding {
 public:
  explicit SettingsBinding(QWidget* window) : m_window(window) {}

  /// The control of a key in the window, or null for keys held in fields of the window
  /// ("Language", "LastUpdateDate", the totals, "Mainform_height").
  QWidget* control(const settings::SettingsKey& key) const;

  /// Gives the key's control a value as a user's change would, so its reactions run (a slider
  /// or number box clamps it to its range; a choice outside its list selects nothing, a
  /// resize mode outside 0-2 leaves the selection as it was).
  void toControl(const settings::SettingsKey& key, const settings::SettingsValue& value) const;
  /// The value the key's control holds.
  settings::SettingsValue fromControl(const settings::SettingsKey& key) const;

  /// Every bound key's value from its control, put into `state`.
  void readControls(settings::AppSettings& state) const;

 private:
  QWidget* m_window;
};

}  // namespace brevane::app
