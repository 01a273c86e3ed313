// Settings.ini into the controls and back: a hand-written file, the first start's defaults,
// and a second save that writes the same bytes.
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>

#include "app_test_support.h"
#include "base/platform.h"
#include "option_pages.h"
#include "widgets.h"

namespace brevane::app::test {
namespace {

template <typename T>
T* child(QWidget* w, const char* name) {
  T* c = w->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(c, nullptr) << name;
  return c;
}

std::string screenSection() {
  QSize s = QGuiApplication::primaryScreen()->geometry().size();
  return "Form_pos_" + std::to_string(s.width()) + "x" + std::to_string(s.height());
}

std::string fileText(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

const char kHandWritten[] =
    "[Settings]\n"
    "Threads=64\nJPG_quality=0\nJ2K_quality=40\nJPG_progressive=1\nAuto_format=1\nOverwrite=1\n"
    "SmartCrop_enable=1\nText_Shadow=0\nPNG_compression=12\nOutput_path=/tmp/out put/\xC3\xBC\n"
    "Rename_mask=[C]_photo\nWatermark_text_mask=\xC2\xA9 [N]\nLanguage=Russian\nOutput_format=8\n"
    "Text_position=2\nImg_position=0\nImg_path=/x/logo.png\nImg_watermark_enabled=1\nText_opacity=50\n"
    "Resampling_filter=1\nMainform_height=600\nSelected_mode=1\nResize_width=1024\nResize_height=0x300\n"
    "Resize_percent=250\nCounter_length=4\nResize_proportional=0\nRename_enabled=0\nExif=0\n"
    "EnlargeIfSmall=1\nPng_interlace=1\nPng_filter=0\nJ2K_Lossless=1\nWatermark_enable=1\n"
    "AllProcessedBytes=123456\nAllProcessedFiles=789\n"
    "WEBP_quality=101\nWEBP_Lossless=1\nAVIF_quality=33\nAVIF_speed=-2\nJXL_quality=64\nJXL_Lossless=1\n"
    "[Text_Font]\nFont=DejaVu Sans,0,255,14,3\n";

TEST(SettingsWindow, HandWrittenFileReachesEveryControlAndComesBack) {
  BoxRecorder boxes;
  Sandbox box;
  box.write("config/Brevane/Settings.ini",
            std::string(kHandWritten) + "[" + screenSection() + "]\nX=10\nY=20\nWidth=780\nHeight=500\nMaximized=0\n");
  TBRVMainform w(box.context());
  ASSERT_FALSE(w.terminated());

  // Clamped to the controls' ranges.
  EXPECT_EQ(child<QSpinBox>(&w, "SpinEdit1")->value(), cpuCount());
  EXPECT_EQ(child<QSlider>(&w, "TrackBar1")->value(), 1);
  EXPECT_EQ(child<QLabel>(&w, "Label3")->text(), "1%");
  EXPECT_EQ(child<QSlider>(&w, "TrackBar2")->value(), 9);
  EXPECT_EQ(child<QSpinBox>(&w, "SpinEdit4")->value(), 200);
  EXPECT_EQ(child<QSpinBox>(&w, "SpinEdit3")->value(), 768);  // hexadecimal "0x300"
  EXPECT_EQ(child<QLabel>(&w, "Label19")->text(), "4:3");
  // Texts as they stand, non-ASCII included.
  EXPECT_EQ(child<QLineEdit>(&w, "Edit1")->text(), QString::fromUtf8("/tmp/out put/\xC3\xBC"));
  EXPECT_EQ(child<QLineEdit>(&w, "Edit3")->text(), QString::fromUtf8("\xC2\xA9 [N]"));
  EXPECT_EQ(fullText(child<QLabel>(&w, "Label17")), "0015_photo");
  // Lists.
  EXPECT_EQ(child<QComboBox>(&w, "ComboBox1")->currentIndex(), 8);
  EXPECT_EQ(child<QComboBox>(&w, "ComboBox3")->currentIndex(), 1);
  EXPECT_EQ(child<QComboBox>(&w, "ComboBox5")->currentIndex(), 2);
  EXPECT_EQ(child<QComboBox>(&w, "ComboBox7")->currentIndex(), 0);
  EXPECT_EQ(child<QComboBox>(&w, "ComboBox4")->currentIndex(), 0);
  // The reactions of a user's change ran: resize mode 1 without proportions, Lossless, Auto
  // format, renaming off.
  EXPECT_TRUE(child<QRadioButton>(&w, "ChangeSizeRadioButton")->isChecked());
  EXPECT_TRUE(child<QSpinBox>(&w, "SpinEdit2")->isEnabled());
  EXPECT_FALSE(child<QSpinBox>(&w, "SpinEdit4")->isEnabled());
  EXPECT_TRUE(child<QCheckBox>(&w, "CheckBox7")->isChecked());
  EXPECT_FALSE(child<QCheckBox>(&w, "CheckBox7")->isEnabled());
  EXPECT_FALSE(child<QSlider>(&w, "TrackBar3")->isEnabled());
  EXPECT_EQ(child<QLabel>(&w, "Label21")->text(), "40%");
  // The pages of the later writers.
  EXPECT_EQ(child<QSlider>(&w, "TrackBar4")->value(), 100);
  EXPECT_FALSE(child<QSlider>(&w, "TrackBar4")->isEnabled());
  EXPECT_EQ(child<QLabel>(&w, "Label29")->text(), "33%");
  EXPECT_EQ(child<QSlider>(&w, "TrackBar6")->value(), 0);
  EXPECT_EQ(child<QLabel>(&w, "Label33")->text(), "64%");
  EXPECT_FALSE(child<QSlider>(&w, "TrackBar7")->isEnabled());
  EXPECT_FALSE(child<QComboBox>(&w, "ComboBox1")->isEnabled());
  EXPECT_FALSE(child<QLabel>(&w, "Label6")->isEnabled());
  EXPECT_FALSE(child<QLineEdit>(&w, "Edit2")->isEnabled());
  // The font: kept whole, its face and style on the text sample.
  const FontChoice& font = w.optionPages()->textFont();
  EXPECT_EQ(font, (FontChoice{"DejaVu Sans", 0, 255, 14, 3}));
  QFont sample = child<QLabel>(&w, "Label25")->font();
  EXPECT_EQ(sample.family(), "DejaVu Sans");
  EXPECT_TRUE(sample.bold());
  EXPECT_TRUE(sample.italic());
  // Language, placement.
  EXPECT_EQ(w.lang(), "Russian");
  EXPECT_EQ(w.geometry(), QRect(10, 20, 780, 500));

  w.close();
  EXPECT_TRUE(boxes.boxes().empty());
  auto v = [&](const char* key) { return box.setting("Settings", key).value_or("<missing>"); };
  EXPECT_EQ(v("Threads"), std::to_string(cpuCount()));
  EXPECT_EQ(v("JPG_quality"), "1");
  EXPECT_EQ(v("J2K_quality"), "40");
  EXPECT_EQ(v("PNG_compression"), "9");
  EXPECT_EQ(v("Output_path"), "/tmp/out put/\xC3\xBC");
  EXPECT_EQ(v("Rename_mask"), "[C]_photo");
  EXPECT_EQ(v("Language"), "Russian");
  EXPECT_EQ(v("Output_format"), "8");
  EXPECT_EQ(v("Text_position"), "2");
  EXPECT_EQ(v("Img_position"), "0");
  EXPECT_EQ(v("Resampling_filter"), "1");
  EXPECT_EQ(v("Selected_mode"), "1");
  EXPECT_EQ(v("Resize_height"), "768");
  EXPECT_EQ(v("Resize_percent"), "200");
  EXPECT_EQ(v("Counter_length"), "4");
  EXPECT_EQ(v("Mainform_height"), "500");
  EXPECT_EQ(v("WEBP_quality"), "100");
  EXPECT_EQ(v("AVIF_quality"), "33");
  EXPECT_EQ(v("AVIF_speed"), "0");
  EXPECT_EQ(v("JXL_quality"), "64");
  for (const char* key :
       {"JPG_progressive", "Auto_format", "Overwrite", "SmartCrop_enable", "Img_watermark_enabled", "EnlargeIfSmall",
        "Png_interlace", "J2K_Lossless", "Watermark_enable", "WEBP_Lossless", "JXL_Lossless"})
    EXPECT_EQ(v(key), "1") << key;
  for (const char* key : {"Text_Shadow", "Resize_proportional", "Rename_enabled", "Exif", "Png_filter"})
    EXPECT_EQ(v(key), "0") << key;
  EXPECT_EQ(v("AllProcessedBytes"), "123456");
  EXPECT_EQ(v("AllProcessedFiles"), "789");
  EXPECT_NE(v("LastUpdateDate"), "<missing>");
  EXPECT_EQ(box.setting("Text_Font", "Font").value_or(""), "DejaVu Sans,0,255,14,3");
  for (auto [key, value] : {std::pair{"X", "10"}, {"Y", "20"}, {"Width", "780"}, {"Height", "500"}, {"Maximized", "0"}})
    EXPECT_EQ(box.setting(screenSection(), key).value_or(""), value) << key;

  // Loading what was saved and saving again changes nothing.
  std::string first = fileText(box.settingsFile());
  {
    TBRVMainform again(box.context());
    again.close();
  }
  EXPECT_EQ(fileText(box.settingsFile()), first);
}

TEST(SettingsWindow, FirstStartShowsTheDefaults) {
  BoxRecorder boxes;
  Sandbox box;
  TBRVMainform w(box.context());
  QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  EXPECT_EQ(child<QSpinBox>(&w, "SpinEdit1")->value(), cpuCount());
  EXPECT_EQ(child<QSpinBox>(&w, "SpinEdit1")->maximum(), cpuCount());
  EXPECT_EQ(child<QSlider>(&w, "TrackBar1")->value(), 85);
  EXPECT_EQ(child<QSlider>(&w, "TrackBar3")->value(), 75);
  EXPECT_TRUE(child<QRadioButton>(&w, "NoResizeRadioButton")->isChecked());
  EXPECT_EQ(child<QSpinBox>(&w, "SpinEdit2")->value(), screen.width());
  EXPECT_EQ(child<QSpinBox>(&w, "SpinEdit3")->value(), screen.height());
  EXPECT_EQ(child<QSpinBox>(&w, "SpinEdit4")->value(), 50);
  EXPECT_EQ(child<QSpinBox>(&w, "SpinEdit5")->value(), 3);
  EXPECT_EQ(child<QLineEdit>(&w, "Edit2")->text(), "[N]_[C]_[W]x[H][E]");
  EXPECT_EQ(child<QLineEdit>(&w, "Edit1")->text(), QString::fromStdString(homeFolder() + "/brv-output/"));
  EXPECT_EQ(child<QLineEdit>(&w, "Edit5")->text(), QString::fromStdString(box.programFolder() + "watermark.png"));
  EXPECT_EQ(child<QComboBox>(&w, "ComboBox1")->count(), 9);
  EXPECT_EQ(child<QComboBox>(&w, "ComboBox1")->itemText(8), "JPEG XL");
  EXPECT_EQ(child<QSlider>(&w, "TrackBar4")->value(), 80);
  EXPECT_EQ(child<QSlider>(&w, "TrackBar5")->value(), 60);
  EXPECT_EQ(child<QSlider>(&w, "TrackBar6")->value(), 6);
  EXPECT_EQ(child<QSlider>(&w, "TrackBar7")->value(), 80);
  EXPECT_EQ(child<QComboBox>(&w, "ComboBox3")->currentIndex(), 5);
  EXPECT_EQ(child<QComboBox>(&w, "ComboBox5")->currentIndex(), 6);
  EXPECT_EQ(w.lang(), "English");
  EXPECT_EQ(w.optionPages()->notebook()->currentWidget()->objectName(), "TabSheet8");
  // 900 x 548, centred (a window wider than the screen keeps the centred place).
  EXPECT_EQ(w.geometry().size(), QSize(900, 548));
  EXPECT_EQ(w.geometry().x(), screen.width() / 2 - 450);
  EXPECT_EQ(w.geometry().y(), screen.height() / 2 - 274);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(box.settingsFile())));  // nothing written before the close
}

TEST(SettingsWindow, MaximizedCloseKeepsTheStoredRectangle) {
  BoxRecorder boxes;
  Sandbox box;
  box.write("config/Brevane/Settings.ini", "[" + screenSection() + "]\nX=5\nY=6\nWidth=770\nHeight=430\nMaximized=1\n");
  TBRVMainform w(box.context());
  w.showAtPlacement();
  EXPECT_TRUE(w.isMaximized());
  w.close();
  for (auto [key, value] : {std::pair{"X", "5"}, {"Y", "6"}, {"Width", "770"}, {"Height", "430"}, {"Maximized", "1"}})
    EXPECT_EQ(box.setting(screenSection(), key).value_or(""), value) << key;
}

}  // namespace
}  // namespace brevane::app::test
