// The Files page: its three keys from Settings.ini into the controls and back, and the
// Unique names box greyed while Overwrite is ticked.
#include <QCheckBox>
#include <QSpinBox>
#include <QTabWidget>

#include "app_test_support.h"
#include "option_pages.h"

namespace brevane::app::test {
namespace {

template <typename T>
T* child(QWidget* w, const char* name) {
  T* c = w->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(c, nullptr) << name;
  return c;
}

TEST(OutputControlPage, KeysReachTheControlsAndComeBack) {
  BoxRecorder boxes;
  Sandbox box;
  box.write("config/Brevane/Settings.ini", "[Settings]\nUnique_names=1\nKeep_folders=1\nJPG_target_kb=1200000\n");
  {
    TBRVMainform w(box.context());
    EXPECT_TRUE(child<QCheckBox>(&w, "CheckBox20")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(&w, "CheckBox21")->isChecked());
    EXPECT_EQ(child<QSpinBox>(&w, "SpinEdit20")->value(), 999999);  // clamped to the box's range
    // The page sits before the output page, which stays the one shown at start.
    QTabWidget* notebook = w.optionPages()->notebook();
    EXPECT_EQ(notebook->indexOf(child<QWidget>(&w, "TabSheet20")) + 1,
              notebook->indexOf(child<QWidget>(&w, "TabSheet8")));
    child<QSpinBox>(&w, "SpinEdit20")->setValue(350);
    child<QCheckBox>(&w, "CheckBox21")->setChecked(false);
    w.close();
  }
  EXPECT_EQ(box.setting("Settings", "Unique_names").value_or(""), "1");
  EXPECT_EQ(box.setting("Settings", "Keep_folders").value_or(""), "0");
  EXPECT_EQ(box.setting("Settings", "JPG_target_kb").value_or(""), "350");
}

TEST(OutputControlPage, UniqueNamesIsGreyedWhileOverwriteIsTicked) {
  BoxRecorder boxes;
  Sandbox box;
  box.write("config/Brevane/Settings.ini", "[Settings]\nOverwrite=1\n");
  TBRVMainform w(box.context());
  auto* unique = child<QCheckBox>(&w, "CheckBox20");
  EXPECT_FALSE(unique->isEnabled());
  child<QCheckBox>(&w, "CheckBox2")->setChecked(false);
  EXPECT_TRUE(unique->isEnabled());
  EXPECT_TRUE(child<QSpinBox>(&w, "SpinEdit20")->isEnabled());
}

}  // namespace
}  // namespace brevane::app::test
