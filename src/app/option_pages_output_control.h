// The Files page of the option notebook: names that never clash, the sources' folder tree
// kept, the size limit of JPEG output.
#pragma once

class QWidget;

namespace brevane::app {

/// Builds the page; its controls carry the objectNames of their settings keys (CheckBox20
/// Unique_names, CheckBox21 Keep_folders, SpinEdit20 JPG_target_kb). Unique names is greyed
/// while the Overwrite box (CheckBox2) of `outputPage` is ticked.
QWidget* outputControlPage(QWidget* outputPage);

}  // namespace brevane::app
