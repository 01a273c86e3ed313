// The owner of a conversion run started from the window: the core's job, the timers that
// drive its dispatch, reap and completion ticks, and the boxes and progress it reports.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "engine/error_log.h"
#include "engine/job.h"

class QWidget;

namespace brevane::app {

class TProgressform;

class RunController : public QObject, public RunHost {
  Q_OBJECT
 public:
  using LangString = std::function<QString(const char* key)>;

  RunController(QWidget* window, LangString langString, LifetimeTotals& totals);
  ~RunController() override;

  /// The dialog that shows the run (it only listens).
  void setProgressForm(TProgressform* form);

  /// Starts a run with the options as they stand; false when it does not start (its box was
  /// shown). The options take the start's changes (the guarded mask, the trailing "/").
  bool start(TConversionSettings& settings, const std::vector<std::string>& files);
  void cancel();
  bool running() const { return m_running; }
  ConversionJob& job() { return *m_job; }

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
  void runFinished();

 private:
  void refresh();
  void watch();

  QWidget* m_window;
  LangString m_lang;
  ErrorLog m_log;
  std::unique_ptr<ConversionJob> m_job;
  TProgressform* m_progress = nullptr;
  QTimer* m_dispatch;  // Timer1
  QTimer* m_reap;      // Timer2
  QTimer* m_watcher;   // Timer3
  QTimer* m_refresh;   // the progress dialog's Timer1
  std::string m_outputFolder;
  bool m_running = false;
};

}  // namespace brevane::app
