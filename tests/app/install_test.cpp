// `cmake --install` puts the programs, rawdll.so, the data, the desktop entry and the icons
// where the programs and a Linux desktop look for them.
#include <QDir>
#include <QFile>
#include <QProcess>

#include "app_test_support.h"

namespace brevane::app::test {
namespace {

TEST(Install, LayoutIsWhereTheProgramsAndTheDesktopLook) {
  QTemporaryDir prefix;
  QProcess install;
  install.start(QStringLiteral(BREVANE_CMAKE_COMMAND),
                {"--install", QStringLiteral(BREVANE_BINARY_DIR), "--prefix", prefix.path()});
  ASSERT_TRUE(install.waitForFinished(120000));
  ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
  for (const char* file :
       {"bin/brevane", "bin/brevane-batch", "lib/brevane/rawdll.so", "share/brevane/lang.ini",
        "share/brevane/watermark.png", "share/brevane/help_en.html", "share/brevane/help_ru.html",
        "share/applications/brevane.desktop",
        "share/icons/hicolor/48x48/apps/brevane.png", "share/icons/hicolor/256x256/apps/brevane.png"})
    EXPECT_TRUE(QFile::exists(prefix.path() + "/" + file)) << file;

  // The installed batch command, given the window's Settings.ini, finds the default watermark
  // in share/brevane/ and writes a stamped file without a watermark error.
  Sandbox box;
  std::string picture = box.writePng("in/a.png");
  std::string settingsFile = box.write("Settings.ini", "[Settings]\nImg_watermark_enabled=1\n");
  QProcess batch;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CONFIG_HOME", QString::fromStdString(box.folder() + "config"));
  batch.setProcessEnvironment(env);
  batch.start(prefix.path() + "/bin/brevane-batch",
              {"--settings", QString::fromStdString(settingsFile), "-o", QString::fromStdString(box.folder() + "out"),
               "--quiet", QString::fromStdString(picture)});
  ASSERT_TRUE(batch.waitForFinished(60000));
  EXPECT_EQ(batch.exitCode(), 0) << batch.readAllStandardError().toStdString();
  EXPECT_EQ(QDir(QString::fromStdString(box.folder() + "out")).entryList(QDir::Files).size(), 1);
}

}  // namespace
}  // namespace brevane::app::test
