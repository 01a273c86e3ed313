// The program's entry: one copy per user, the hand-over, the windows and the message loop.
#include "startup.h"

#include <QApplication>
#include <QFileInfo>

#include "aboutform.h"
#include "application.h"
#include "base/build_info.h"
#include "previewform.h"
#include "progressform.h"
#include "services/pe_timestamp.h"
#include "single_instance.h"
#include "statisticsform.h"
#include "widgets.h"

namespace brevane::app {

ProgramWindows createWindows(MainformContext context) {
  ProgramWindows w;
  w.main = std::make_unique<TBRVMainform>(std::move(context));
  if (w.main->terminated()) return w;
  TBRVMainform* main = w.main.get();
  const std::string& lang = main->languageFile();
  w.preview = new TPreviewForm(main);
  w.progress = new TProgressform(main, lang);
  w.statistics = new TStatisticsform(main, lang);
  w.about = new TAboutForm(main, lang);
  main->setDialogs(w.progress, w.statistics, w.about, w.preview);
  // The build date: the time stamp of the executable's resource directory when it is a PE file
  // that has one, else the date compiled into the program.
  const std::string buildDate = services::executableBuildDateText(QCoreApplication::applicationFilePath().toStdString(),
                                                                  brevane::buildDate(), DateTimeFormat::fromCLocale());
  w.about->setVersion(QStringLiteral(BREVANE_VERSION_STRING), QString::fromStdString(buildDate));

  // Fonts: every window keeps the desktop's own interface font; the about dialog's links are
  // navy and underlined.
  styleLinkLabel(w.about->mailLink());
  styleLinkLabel(w.about->siteLink());

  // The language of the settings, on the main window again now that the dialogs exist, then
  // on the progress, about and statistics dialogs.
  const QString section = main->lang();
  main->ChangeLang(section);
  w.progress->ChangeLang(section);
  w.about->ChangeLang(section);
  w.statistics->ChangeLang(section);

  // The progress dialog has a system menu and a minimize button.
  w.progress->setWindowFlags(w.progress->windowFlags() | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
  return w;
}

int runProgram(int argc, char** argv) {
  BrevaneApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Brevane"));
  QApplication::setApplicationVersion(QStringLiteral(BREVANE_VERSION_STRING));
  QGuiApplication::setDesktopFileName(QStringLiteral("brevane"));
  QStringList arguments = QApplication::arguments().mid(1);

  InstancePaths paths = currentInstancePaths();
  InstanceLock lock(paths.lockFile);
  if (!lock.acquire()) {
    // A copy is running: it gets the files and is brought forward; nothing else happens here.
    handOverArguments(paths.server, arguments);
    return 0;
  }

  // The hand-over is listened for at once; messages are answered when the message loop runs.
  TBRVMainform* main = nullptr;
  HandOverServer server([&main](const QString& text) { return main ? main->receiveHandOver(text) : 0; });
  server.listen(paths.server);
  ProgramWindows windows = createWindows(MainformContext::forProgram(arguments));
  if (windows.main->terminated()) return 1;
  main = windows.main.get();
  main->showAtPlacement();
  int status = app.exec();
  main = nullptr;
  return status;
}

}  // namespace brevane::app
