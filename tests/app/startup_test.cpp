// Start-up and closing: the missing language file, the command line, the close question, the
// failed save.
#include "startup.h"

#include <QDir>
#include <QFile>

#include "app_test_support.h"
#include "file_list_view.h"
#include "i18n/language_file.h"

namespace brevane::app::test {
namespace {

TEST(Startup, MissingLanguageFileEndsTheStartWithItsMessageAndSavesNothing) {
  BoxRecorder boxes;
  Sandbox box(false);
  ProgramWindows windows = createWindows(box.context());
  EXPECT_TRUE(windows.main->terminated());
  EXPECT_EQ(windows.progress, nullptr);  // no other window is made
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text.toStdString(), i18n::kLanguageFileNotFound);
  EXPECT_EQ(boxes.boxes()[0].caption, "Error");
  EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::kError);
  windows.main->close();
  windows.main.reset();
  EXPECT_FALSE(QFile::exists(QString::fromStdString(box.settingsFile())));
}

TEST(Startup, LanguageFileIsFoundInTheInstalledShareFolder) {
  BoxRecorder boxes;
  Sandbox box(false);
  QDir().mkpath(QString::fromStdString(box.folder() + "share/brevane"));
  QFile::copy(QString::fromStdString(shippedLanguageFile()),
              QString::fromStdString(box.folder() + "share/brevane/lang.ini"));
  MainformContext c = box.context();
  c.programFolder = box.folder() + "bin/";
  QDir().mkpath(QString::fromStdString(c.programFolder));
  TBRVMainform w(c);
  EXPECT_FALSE(w.terminated());
  EXPECT_EQ(w.GetLangStr("Error"), "Error");
}

TEST(Startup, CommandLineAddsFilesAndScansFolders) {
  BoxRecorder boxes;
  Sandbox box;
  std::string a = box.writePng("in/a.png");
  box.writePng("in/dir/b.png");
  box.writePng("in/dir/sub/c.png");
  box.writePng("in/dir/.cache/hidden-folder.png");
  box.writePng("in/dir/.hidden-file.png");
  box.write("in/dir/notes.txt", "text");
  box.write("in/plain.txt", "text");
  QStringList args = {QString::fromStdString(a), QString::fromStdString(box.folder() + "in/dir"),
                      QString::fromStdString(box.folder() + "in/plain.txt"), "/no/such/thing"};
  TBRVMainform w(box.context(args));
  QStringList names;
  for (const QString& p : w.fileList()->paths()) names << QFileInfo(p).fileName();
  names.sort();
  EXPECT_EQ(names, (QStringList{".hidden-file.png", "a.png", "b.png", "c.png"}));
  EXPECT_TRUE(w.fileList()->anySelected());  // the first row is selected
}

TEST(Startup, ClosingWithRowsAsksAndNoKeepsTheWindowWithNothingSaved) {
  BoxRecorder boxes;
  Sandbox box;
  std::string a = box.writePng("in/a.png");
  TBRVMainform w(box.context({QString::fromStdString(a)}));
  w.show();
  boxes.answer(BoxAnswer::kNo);
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.isVisible());
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text, "The file list is not empty. Exit anyway?");
  EXPECT_EQ(boxes.boxes()[0].caption, "Confirmation");
  EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::kWarning);
  EXPECT_EQ(boxes.boxes()[0].buttons, BoxButtons::kYesNo);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(box.settingsFile())));

  boxes.answer(BoxAnswer::kYes);
  EXPECT_TRUE(w.close());
  EXPECT_EQ(boxes.boxes().size(), 2u);
  EXPECT_TRUE(box.setting("Settings", "Threads").has_value());
}

TEST(Startup, ClosingAnEmptyListNeverAsks) {
  BoxRecorder boxes;
  Sandbox box;
  TBRVMainform w(box.context());
  w.show();
  EXPECT_TRUE(w.close());
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_TRUE(box.setting("Settings", "AllProcessedFiles").has_value());
}

TEST(Startup, FailedSaveWarnsInTheLanguageOfTheProgram) {
  for (const char* lang : {"English", "Russian"}) {
    BoxRecorder boxes;
    Sandbox box;
    // A settings file nobody can write, whatever the user's privileges.
    MainformContext c = box.context();
    c.settingsFile = "/proc/brevane-no-such-folder/Settings.ini";
    TBRVMainform w(c);
    w.switchLanguage(lang);
    EXPECT_TRUE(w.close());  // the program closes all the same
    ASSERT_EQ(boxes.boxes().size(), 1u) << lang;
    bool russian = std::string(lang) == "Russian";
    EXPECT_EQ(boxes.boxes()[0].text,
              russian ? QString::fromUtf8("Невозможно сохранить настройки.") : "Unable to save settings.");
    EXPECT_EQ(boxes.boxes()[0].caption, russian ? QString::fromUtf8("Ошибка") : "Error");
    EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::kWarning);
  }
}

}  // namespace
}  // namespace brevane::app::test
