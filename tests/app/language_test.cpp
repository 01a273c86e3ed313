// Re-texting to Russian and back, the language menu, and every element's text in both
// languages.
#include <QComboBox>
#include <QHeaderView>
#include <QMenu>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>

#include "aboutform.h"
#include "app_test_support.h"
#include "file_list_view.h"
#include "i18n/language_file.h"
#include "progressform.h"
#include "startup.h"
#include "statisticsform.h"
#include "widgets.h"

namespace brevane::app::test {
namespace {

struct Texts {
  QString tab, checkBox, radio, group, menu, popupItem, button, toolHint, spinHint, checkHint, column, filter0;
};

Texts read(TBRVMainform& w) {
  auto* tabs = w.findChild<QTabWidget*>("PageControl1");
  Texts t;
  t.tab = tabs->tabText(tabs->indexOf(w.findChild<QWidget*>("TabSheet5")));
  t.checkBox = w.findChild<QCheckBox*>("CheckBox5")->text();
  t.radio = w.findChild<QRadioButton*>("ChangeSizeRadioButton")->text();
  t.group = w.findChild<QGroupBox*>("GroupBox2")->title();
  t.menu = w.findChild<QAction*>("N1")->text();
  t.popupItem = w.findChild<QAction*>("CFilecounter1")->text();
  t.button = w.findChild<QPushButton*>("PngBitBtn2")->text();
  t.toolHint = w.findChild<QToolButton*>("ToolButton1")->toolTip();
  t.spinHint = w.findChild<QSpinBox*>("SpinEdit2")->toolTip();
  t.checkHint = w.findChild<QCheckBox*>("CheckBox3")->toolTip();
  t.column = w.fileList()->headerItem()->text(1);
  t.filter0 = w.findChild<QComboBox*>("ComboBox3")->itemText(0);
  return t;
}

TEST(Language, SwitchToRussianAndBackKeepsTheSelections) {
  BoxRecorder boxes;
  Sandbox box;
  std::string picture = box.writePng("in/a.png");
  ProgramWindows windows = createWindows(box.context({QString::fromStdString(picture)}));
  TBRVMainform& w = *windows.main;
  auto* filter = w.findChild<QComboBox*>("ComboBox3");
  auto* textPos = w.findChild<QComboBox*>("ComboBox5");
  auto* markPos = w.findChild<QComboBox*>("ComboBox7");
  filter->setCurrentIndex(2);
  textPos->setCurrentIndex(4);
  markPos->setCurrentIndex(1);

  w.switchLanguage("Russian");
  Texts ru = read(w);
  EXPECT_EQ(ru.tab, QString::fromUtf8("Размер"));
  EXPECT_EQ(ru.checkBox, QString::fromUtf8("Переименовывать"));
  EXPECT_EQ(ru.radio, QString::fromUtf8("Изменить размер"));
  EXPECT_EQ(ru.group, QString::fromUtf8("Изменение размера"));
  EXPECT_EQ(ru.menu, QString::fromUtf8("Файл"));
  EXPECT_EQ(ru.popupItem, QString::fromUtf8("[C] - Счётчик файлов"));
  EXPECT_EQ(ru.button, QString::fromUtf8("Конвертировать"));
  EXPECT_EQ(ru.toolHint, QString::fromUtf8("Добавить папку с подпапками"));
  EXPECT_EQ(ru.spinHint, QString::fromUtf8("Ширина в пикселях"));
  EXPECT_EQ(ru.checkHint, QString::fromUtf8("Выбирать лучший формат по размеру файла"));
  // A slider's hint is re-texted through its caption.
  EXPECT_TRUE(w.findChild<QSlider*>("TrackBar6")->toolTip().startsWith(QString::fromUtf8("0: медленнее всего")));
  EXPECT_EQ(ru.column, QString::fromUtf8("Имя (1)"));
  EXPECT_EQ(ru.filter0, QString::fromUtf8("Ближайший сосед"));
  EXPECT_EQ(filter->count(), 7);
  EXPECT_EQ(filter->currentIndex(), 2);
  EXPECT_EQ(textPos->currentIndex(), 4);
  EXPECT_EQ(markPos->currentIndex(), 1);
  EXPECT_EQ(textPos->itemText(0), QString::fromUtf8("Вверху слева"));
  EXPECT_EQ(w.GetLangStr("Error"), QString::fromUtf8("Ошибка"));
  // The dialogs follow the main window.
  EXPECT_EQ(windows.progress->findChild<QPushButton*>("PngBitBtn2")->text(), QString::fromUtf8("Открыть папку"));
  EXPECT_EQ(windows.statistics->windowTitle(), QString::fromUtf8("Статистика"));
  EXPECT_EQ(windows.about->findChild<QLabel*>("Label6")->toolTip(), QString::fromUtf8("Перейти на сайт программы"));

  w.switchLanguage("English");
  Texts en = read(w);
  EXPECT_EQ(en.tab, "Resize");
  EXPECT_EQ(en.checkBox, "Rename files");
  EXPECT_EQ(en.menu, "File");
  EXPECT_EQ(en.popupItem, "[C] - File counter");
  EXPECT_EQ(en.toolHint, "Add a folder with its subfolders");
  EXPECT_EQ(en.column, "Name (1)");
  EXPECT_EQ(en.filter0, "Nearest neighbour");
  EXPECT_EQ(filter->currentIndex(), 2);
  EXPECT_EQ(textPos->currentIndex(), 4);
  EXPECT_EQ(markPos->currentIndex(), 1);
  EXPECT_EQ(windows.about->windowTitle(), "About Brevane");
  // The main window's title carries the version; no language replaces it.
  EXPECT_TRUE(w.windowTitle().startsWith("Brevane v"));
}

TEST(Language, LanguageMenuListsTheSectionsWithFlags) {
  BoxRecorder boxes;
  Sandbox box;
  TBRVMainform w(box.context());
  QAction* language1 = w.findChild<QAction*>("Language1");
  ASSERT_NE(language1->menu(), nullptr);
  QStringList names;
  for (QAction* a : language1->menu()->actions()) {
    names << a->text();
    EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
  }
  EXPECT_EQ(names, (QStringList{"English", "Russian"}));
  EXPECT_FALSE(language1->icon().isNull());
  // A switch from the menu re-texts, and the menu's entries keep their names.
  language1->menu()->actions()[1]->trigger();
  EXPECT_EQ(w.lang(), "Russian");
  EXPECT_EQ(language1->text(), QString::fromUtf8("Язык"));
  EXPECT_EQ(language1->menu()->actions()[0]->text(), "English");
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST(Language, BadFlagLeavesThatLanguageOutWithItsMessage) {
  BoxRecorder boxes;
  Sandbox box(false);
  box.write("program/lang.ini", "[English]\nError=Error\n[Broken]\nFlag=bm90IGEgcGljdHVyZQ==\n[Plain]\nError=Fehler\n");
  TBRVMainform w(box.context());
  QStringList names;
  for (QAction* a : w.findChild<QAction*>("Language1")->menu()->actions()) names << a->text();
  EXPECT_EQ(names, (QStringList{"English", "Plain"}));
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text.toStdString(), i18n::kLanguageFileCorrupt);
  EXPECT_EQ(boxes.boxes()[0].caption, "Error");
  EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::kError);
}

TEST(Language, UnknownLanguageKeepsTextsAndListsTheFallback) {
  BoxRecorder boxes;
  Sandbox box;
  box.write("config/Brevane/Settings.ini", "[Settings]\nLanguage=Klingon\nResampling_filter=0\n");
  TBRVMainform w(box.context());
  EXPECT_EQ(w.GetLangStr("Error").toStdString(), i18n::kStringNotFound);
  auto* filter = w.findChild<QComboBox*>("ComboBox3");
  ASSERT_EQ(filter->count(), 1);
  EXPECT_EQ(filter->itemText(0).toStdString(), i18n::kStringNotFound);
  EXPECT_EQ(filter->currentIndex(), 0);  // the first item was selected before
  EXPECT_EQ(w.findChild<QComboBox*>("ComboBox5")->currentIndex(), -1);
  EXPECT_EQ(w.findChild<QCheckBox*>("CheckBox5")->text(), "Rename");  // the built-in text stays
}

// Every element whose kind takes a caption or a tooltip from the language file has its text
// in both shipped languages, except the ones the program writes itself.
TEST(Language, EveryElementHasItsTextInBothLanguages) {
  BoxRecorder boxes;
  Sandbox box;
  TBRVMainform w(box.context());
  i18n::LanguageFile file = i18n::LanguageFile::load(shippedLanguageFile());
  const QStringList computed = {"Label3",  "Label4",    "Label21", "Label12", "Label17", "Label19", "Label25",
                                "Label18", "GroupBox1", "Label27", "Label29", "Label31", "Label33"};
  for (QObject* o : w.findChildren<QObject*>()) {
    QString name = o->objectName();
    i18n::ElementKind kind = elementKind(o);
    if (name.isEmpty() || computed.contains(name) || kind == i18n::ElementKind::kOther) continue;
    if (kind == i18n::ElementKind::kEdit) continue;  // edit boxes hold settings
    std::string key = "BRVMainform" + name.toStdString();
    if (kind == i18n::ElementKind::kToolButton || kind == i18n::ElementKind::kSpinEdit) key += "Hint";
    for (const char* section : {"English", "Russian"})
      EXPECT_TRUE(file.value(section, key).has_value()) << section << ": " << key;
  }
}

}  // namespace
}  // namespace brevane::app::test
