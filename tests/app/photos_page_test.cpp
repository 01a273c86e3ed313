// The photos page: its boxes read and write their Settings.ini keys, grey out when another
// choice makes them moot, and show their texts in both languages.
#include <QCheckBox>
#include <QTabWidget>

#include "app_test_support.h"
#include "option_pages.h"
#include "widgets.h"

namespace brevane::app::test {
namespace {

QCheckBox* box(QWidget* w, const char* name) {
  auto* c = w->findChild<QCheckBox*>(QString::fromLatin1(name));
  EXPECT_NE(c, nullptr) << name;
  return c;
}

TEST(PhotosPage, BoxesFollowTheirKeysBothWays) {
  BoxRecorder boxes;
  Sandbox sandbox;
  sandbox.write("config/Brevane/Settings.ini",
                "[Settings]\nAuto_rotate=1\nKeep_icc=0\nConvert_srgb=0\nStrip_private=1\nStrip_metadata=0\n");
  {
    TBRVMainform w(sandbox.context());
    ASSERT_FALSE(w.terminated());
    EXPECT_TRUE(box(&w, "AutoRotateCheckBox")->isChecked());
    EXPECT_FALSE(box(&w, "KeepIccCheckBox")->isChecked());
    EXPECT_TRUE(box(&w, "StripPrivateCheckBox")->isChecked());
    box(&w, "ConvertSrgbCheckBox")->setChecked(true);
    box(&w, "StripMetadataCheckBox")->setChecked(true);
    w.close();
  }
  auto v = [&](const char* key) { return sandbox.setting("Settings", key).value_or("<missing>"); };
  EXPECT_EQ(v("Auto_rotate"), "1");
  EXPECT_EQ(v("Keep_icc"), "0");
  EXPECT_EQ(v("Convert_srgb"), "1");
  EXPECT_EQ(v("Strip_private"), "1");
  EXPECT_EQ(v("Strip_metadata"), "1");
}

TEST(PhotosPage, MootBoxesAreGreyedWithTheirTickKept) {
  BoxRecorder boxes;
  Sandbox sandbox;
  TBRVMainform w(sandbox.context());
  QCheckBox* keep = box(&w, "KeepIccCheckBox");
  QCheckBox* privateTags = box(&w, "StripPrivateCheckBox");
  EXPECT_TRUE(keep->isChecked());  // the first start keeps profiles
  EXPECT_TRUE(keep->isEnabled() && privateTags->isEnabled());
  box(&w, "ConvertSrgbCheckBox")->setChecked(true);
  EXPECT_FALSE(keep->isEnabled());
  EXPECT_TRUE(privateTags->isEnabled());
  box(&w, "ConvertSrgbCheckBox")->setChecked(false);
  box(&w, "StripMetadataCheckBox")->setChecked(true);
  EXPECT_FALSE(keep->isEnabled());
  EXPECT_FALSE(privateTags->isEnabled());
  EXPECT_TRUE(keep->isChecked());
  box(&w, "StripMetadataCheckBox")->setChecked(false);
  EXPECT_TRUE(keep->isEnabled() && privateTags->isEnabled());
}

}  // namespace
}  // namespace brevane::app::test
