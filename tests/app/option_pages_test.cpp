// The option pages as a user works them: enable rules, value labels, presets, variable menus,
// the font sample.
#include "option_pages.h"

#include <QComboBox>
#include <QMenu>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

#include "app_test_support.h"
#include "widgets.h"

namespace brevane::app::test {
namespace {

class OptionPagesTest : public ::testing::Test {
 protected:
  void SetUp() override { window = std::make_unique<TBRVMainform>(sandbox.context()); }
  template <typename T = QWidget>
  T* get(const char* name) {
    T* c = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  bool enabled(const char* name) { return get(name)->isEnabled(); }

  BoxRecorder boxes;
  Sandbox sandbox;
  std::unique_ptr<TBRVMainform> window;
};

TEST_F(OptionPagesTest, ResizeModeAndProportionsEnableTheirControls) {
  struct Step {
    const char* click;  // a radio button or a check box to toggle
    std::vector<const char*> on, off;
  };
  const std::vector<Step> steps = {
      {nullptr, {}, {"SpinEdit2", "SpinEdit3", "SpinEdit4", "CheckBox4", "CheckBox6", "CheckBox7"}},
      {"ChangeSizeRadioButton", {"SpinEdit2", "SpinEdit3", "CheckBox4", "CheckBox6", "CheckBox7"}, {"SpinEdit4"}},
      {"CheckBox4", {"SpinEdit2", "CheckBox6"}, {"CheckBox7"}},  // proportions off
      {"CheckBox4", {"CheckBox7"}, {}},                          // and on again
      {"ChangeSizePercentRadioButton",
       {"SpinEdit4"},
       {"SpinEdit2", "SpinEdit3", "CheckBox4", "CheckBox6", "CheckBox7"}},
      {"NoResizeRadioButton", {}, {"SpinEdit2", "SpinEdit4", "CheckBox4", "CheckBox6", "CheckBox7"}},
  };
  for (const Step& s : steps) {
    if (s.click) get<QAbstractButton>(s.click)->click();
    for (const char* n : s.on) EXPECT_TRUE(enabled(n)) << (s.click ? s.click : "design") << ": " << n;
    for (const char* n : s.off) EXPECT_FALSE(enabled(n)) << (s.click ? s.click : "design") << ": " << n;
    // The filter and preset lists stay usable in every mode.
    EXPECT_TRUE(enabled("ComboBox3"));
    EXPECT_TRUE(enabled("ComboBox4"));
  }
}

TEST_F(OptionPagesTest, BoxesGreyTheControlsTheyGovern) {
  struct Rule {
    const char* box;
    std::vector<const char*> dependents;
  };
  const std::vector<Rule> rules = {
      {"CheckBox11", {"TrackBar3", "Label20", "Label21"}},  // Lossless greys the quality
      {"CheckBox16", {"TrackBar4", "Label26", "Label27"}},  // of JPEG 2000, WebP and JPEG XL
      {"CheckBox17", {"TrackBar7", "Label32", "Label33"}},
      {"CheckBox3", {"ComboBox1", "Label6"}},  // Auto format greys the format list
  };
  for (const Rule& r : rules) {
    get<QCheckBox>(r.box)->setChecked(true);
    for (const char* d : r.dependents) EXPECT_FALSE(enabled(d)) << r.box << " on: " << d;
    get<QCheckBox>(r.box)->setChecked(false);
    for (const char* d : r.dependents) EXPECT_TRUE(enabled(d)) << r.box << " off: " << d;
  }
  // The rename, text and watermark controls follow their page's own box.
  const std::vector<Rule> pages = {
      {"CheckBox5", {"Edit2", "SpinEdit5", "PngBitBtn6", "Label17"}},
      {"CheckBox12", {"Edit3", "PngBitBtn5", "PngBitBtn4", "ComboBox5", "SpinEdit6", "CheckBox14", "Label25"}},
      {"CheckBox15", {"Edit5", "PngBitBtn7", "ComboBox7"}},
  };
  for (const Rule& r : pages) {
    for (bool on : {true, false}) {
      get<QCheckBox>(r.box)->setChecked(on);
      for (const char* d : r.dependents) EXPECT_EQ(enabled(d), on) << r.box << ": " << d;
    }
  }
  // Unticking Lossless gives the slider back at its position.
  get<QSlider>("TrackBar3")->setValue(33);
  get<QCheckBox>("CheckBox11")->setChecked(true);
  get<QCheckBox>("CheckBox11")->setChecked(false);
  EXPECT_EQ(get<QSlider>("TrackBar3")->value(), 33);
  EXPECT_EQ(get<QLabel>("Label21")->text(), "33%");
}

TEST_F(OptionPagesTest, SlidersEchoTheirPositions) {
  get<QSlider>("TrackBar1")->setValue(40);
  get<QSlider>("TrackBar2")->setValue(3);
  get<QSlider>("TrackBar3")->setValue(100);
  get<QSlider>("TrackBar4")->setValue(81);
  get<QSlider>("TrackBar5")->setValue(1);
  get<QSlider>("TrackBar6")->setValue(10);
  get<QSlider>("TrackBar7")->setValue(99);
  EXPECT_EQ(get<QLabel>("Label3")->text(), "40%");
  EXPECT_EQ(get<QLabel>("Label4")->text(), "3");
  EXPECT_EQ(get<QLabel>("Label21")->text(), "100%");
  EXPECT_EQ(get<QLabel>("Label27")->text(), "81%");
  EXPECT_EQ(get<QLabel>("Label29")->text(), "1%");
  EXPECT_EQ(get<QLabel>("Label31")->text(), "10");  // the AVIF speed, a bare number
  EXPECT_EQ(get<QLabel>("Label33")->text(), "99%");
  // The speed slider spans the encoder's speeds.
  EXPECT_EQ(get<QSlider>("TrackBar6")->minimum(), 0);
  EXPECT_EQ(get<QSlider>("TrackBar6")->maximum(), 10);
}

TEST_F(OptionPagesTest, PresetSetsTheSizeAndStaysUntilTheSizeIsTyped) {
  auto* presets = get<QComboBox>("ComboBox4");
  int index = presets->findText("1920x1080", Qt::MatchStartsWith);
  ASSERT_GT(index, 0);
  EXPECT_TRUE(presets->itemText(index).startsWith("1920x1080 ( 16:9 ) 2"));
  presets->setCurrentIndex(index);
  window->optionPages()->ComboBox4Change(index);
  EXPECT_TRUE(get<QRadioButton>("ChangeSizeRadioButton")->isChecked());
  EXPECT_EQ(get<QSpinBox>("SpinEdit2")->value(), 1920);
  EXPECT_EQ(get<QSpinBox>("SpinEdit3")->value(), 1080);
  EXPECT_EQ(presets->currentIndex(), index);
  EXPECT_EQ(get<QLabel>("Label19")->text(), "16:9");
  // Timer7 ends the guard; then typing a width shows "--" again.
  EXPECT_TRUE(waitUntil([&] { return !window->findChild<QTimer*>("Timer7")->isActive(); }));
  get<QSpinBox>("SpinEdit2")->setValue(1921);
  EXPECT_EQ(presets->currentIndex(), 0);
  EXPECT_EQ(get<QLabel>("Label19")->text(), "1921:1080");
  // The first entry does nothing.
  get<QRadioButton>("NoResizeRadioButton")->click();
  window->optionPages()->ComboBox4Change(0);
  EXPECT_TRUE(get<QRadioButton>("NoResizeRadioButton")->isChecked());
}

TEST_F(OptionPagesTest, VariableMenusInsertAtTheCaretAndRefreshTheSample) {
  auto* mask = get<QLineEdit>("Edit2");
  mask->setText("photo");
  mask->selectAll();
  get<QAction>("CFilecounter1")->trigger();
  EXPECT_EQ(mask->text(), "[C]");
  get<QSpinBox>("SpinEdit5")->setValue(3);
  EXPECT_EQ(fullText(get<QLabel>("Label17")), "015");
  mask->setCursorPosition(0);
  get<QAction>("NTheoriginalfilename1")->trigger();
  EXPECT_EQ(mask->text(), "[N][C]");
  EXPECT_EQ(fullText(get<QLabel>("Label17")), "Filename015");

  auto* text = get<QLineEdit>("Edit3");
  text->setText("x");
  text->setCursorPosition(1);
  get<QAction>("rademark1")->trigger();  // in the Add symbol submenu
  EXPECT_EQ(text->text(), QString::fromUtf8("x\u2122"));
  get<QAction>("Counter1")->trigger();
  EXPECT_EQ(fullText(get<QLabel>("Label25")), QString::fromUtf8("x\u212215"));
  // The text menu holds its separators and the submenu where they belong.
  auto* menu = get<QMenu>("PopupMenu2");
  int separators = 0;
  for (QAction* a : menu->actions()) separators += a->isSeparator();
  EXPECT_EQ(separators, 4);
  EXPECT_NE(get<QAction>("Addsymbol1")->menu(), nullptr);
}

TEST_F(OptionPagesTest, FontDialogOutcomeReachesTheSampleEitherWay) {
  OptionPages* pages = window->optionPages();
  FontChoice chosen{"DejaVu Serif", 204, 0x0000FF, 30, 1 | 4};
  pages->fontDialogClosed(&chosen);
  EXPECT_EQ(pages->textFont(), chosen);
  QFont f = get<QLabel>("Label25")->font();
  EXPECT_EQ(f.family(), "DejaVu Serif");
  EXPECT_TRUE(f.bold());
  EXPECT_TRUE(f.underline());
  EXPECT_FALSE(f.italic());
  EXPECT_NE(f.pointSize(), 30);  // the sample keeps the window's size
  // Cancelled: the stamp font stays and the sample shows it.
  get<QLabel>("Label25")->setFont(QFont("DejaVu Sans"));
  pages->fontDialogClosed(nullptr);
  EXPECT_EQ(pages->textFont(), chosen);
  EXPECT_EQ(get<QLabel>("Label25")->font().family(), "DejaVu Serif");
}

}  // namespace
}  // namespace brevane::app::test
