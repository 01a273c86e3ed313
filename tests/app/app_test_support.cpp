// Helpers of the desktop program's tests, and the test program's entry.
#include "app_test_support.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QThread>

#include "application.h"
#include "base/platform.h"
#include "settings/ini_file.h"

namespace brevane::app::test {

std::string shippedLanguageFile() {
  return std::string(BREVANE_SOURCE_DIR) + "/data/lang.ini";
}

Sandbox::Sandbox(bool withLanguageFile) {
  QDir().mkpath(QString::fromStdString(programFolder()));
  QDir().mkpath(QString::fromStdString(folder() + "config/Brevane"));
  if (withLanguageFile)
    QFile::copy(QString::fromStdString(shippedLanguageFile()), QString::fromStdString(programFolder() + "lang.ini"));
}

std::string Sandbox::write(const std::string& relative, const std::string& content) const {
  std::string path = folder() + relative;
  QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
  QFile f(QString::fromStdString(path));
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(content.data(), static_cast<qint64>(content.size()));
  return path;
}

MainformContext Sandbox::context(const QStringList& arguments) const {
  MainformContext c;
  c.programFolder = programFolder();
  c.settingsFile = settingsFile();
  c.arguments = arguments;
  return c;
}

std::optional<std::string> Sandbox::setting(const std::string& section, const std::string& key) const {
  return settings::IniFile(settingsFile()).value(section, key);
}

BoxRecorder::BoxRecorder() {
  setMessageBoxHook([this](const BoxRequest& r) {
    m_boxes.push_back(r);
    if (m_answers.empty()) return r.buttons == BoxButtons::kYesNo ? BoxAnswer::kYes : BoxAnswer::kOk;
    BoxAnswer a = m_answers.front();
    m_answers.pop_front();
    return a;
  });
}

BoxRecorder::~BoxRecorder() {
  setMessageBoxHook({});
}

std::string Sandbox::writePng(const std::string& relative) const {
  std::string path = write(relative, "");
  QImage image(2, 2, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
  return path;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}

}  // namespace brevane::app::test

int main(int argc, char** argv) {
  // Windows on the offscreen platform; the per-user folders in a temporary place so that no
  // test touches the real settings or a running copy of the program.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
  qputenv("XDG_RUNTIME_DIR", (home.path() + "/runtime").toUtf8());
  QDir().mkpath(home.path() + "/runtime");
  // The program's application class, so that an exception escaping a handler is logged as in
  // the program (into the temporary folder).
  brevane::app::BrevaneApplication app(argc, argv);
  app.setErrorLogPaths((home.path() + "/brevane.error.log").toStdString(),
                       (home.path() + "/state/brevane.error.log").toStdString());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
