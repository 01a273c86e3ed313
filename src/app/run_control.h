// The owner of a conversion run started from the window: the core's job, the timers that
// drive its dispatch, reap and completion ticks, the progress refresh, and the boxes and
// progress it reports.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "engine/error_log.h"
#include "engine/job.h"
#include "engine/progress_view.h"

class QWidget;

namespace brevane::app {

class TProgressform;

class RunController : public QObject, public RunHost {
  Q_OBJECT
 public:
  using LangString = std::function<QString(const char* key)>;

  RunController(QWidget* window, LangString langString, LifetimeTotals& totals);
  ~RunController() override;

  /// The dialog that shows the runs; it is refreshed every 100 ms from the start of a run for
  /// as long as it is shown or the run goes on.
  void setProgressForm(TProgressform* form);

  /// Starts a run with the options as they stand and shows the progress dialog modally;
  /// returns when the dialog has been closed, false when the run did not start (its box was
  /// shown, or a run is still going). The options take the start's changes (the guarded mask,
  /// the trailing "/").
  bool start(TConversionSettings& settings, const std::vector<std::string>& files);
  /// Cancel: no new worker starts; the running ones finish their file.
  void cancel();
  /// From the start until the last worker has gone (also while a stop goes on behind a
  /// closed dialog).
  bool running() const { return m_running; }
  ConversionJob& job() { return *m_job; }
  /// The output folder of the last run, with its trailing "/".
  const std::string& outputFolder() const { return m_outputFolder; }

  // RunHost.
  void showMessage(const std::string& text, const std::string& caption, Icon icon) override;
  std::string langString(const std::string& key) override;
  void outputPathChanged(const std::string& path) override;
  void renameMaskChanged(const std::string& mask) override;
  void progressStarted(int total) override;
  void progressAborted() override;

 signals:
  /// The option controls show a value the run start changed.
  void outputPathShown(const QString& path);
  void renameMaskShown(const QString& mask);
  /// One line of the run's log, delivered on the window's thread.
  void lineLogged(const QString& line);
  /// The values of a refresh.
  void progressUpdated(const brevane::ProgressTexts& texts);
  /// A run began, or its last worker has gone.
  void runningChanged(bool running);
  void runFinished();

 private:
  void dispatch();
  void refresh();
  void watch();
  void endAbortedRun();
  void setRunning(bool running);
  ProgressSample sample() const;

  QWidget* m_window;
  LangString m_lang;
  ErrorLog m_log;
  std::unique_ptr<ConversionJob> m_job;
  TProgressform* m_progress = nullptr;
  QTimer* m_dispatch;  // Timer1
  QTimer* m_reap;      // Timer2
  QTimer* m_watcher;   // Timer3
  QTimer* m_refresh;   // the progress dialog's refresh
  std::string m_outputFolder;
  char m_decimalSeparator = '.';
  ProgressUnits m_units;  // the language's, read when the run starts
  bool m_running = false;
};

}  // namespace brevane::app
