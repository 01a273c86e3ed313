// The progress dialog TProgressform of a run: files done, time, input and output size,
// workers, the error log, Open folder and Cancel/Close. It shows what the run controller gives
// it and reports the user's commands.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "engine/progress_view.h"

class QPlainTextEdit;

namespace brevane::app {

class TLabel;
class TPngBitBtn;
class TTaskbarProgressBar;

class TProgressform : public QDialog {
  Q_OBJECT
 public:
  /// `languageFile` is read anew by each ChangeLang.
  TProgressform(QWidget* parent, std::string languageFile);

  void ChangeLang(const QString& section);

  /// Prepared for a run of `total` files: flags cleared, Cancel enabled, Open folder disabled,
  /// the bar at 0 of `total` in its normal state and mirrored on the taskbar, the log emptied,
  /// the caption set, the dialog centred on the main window. The value labels keep their texts.
  void prepare(int total, const QString& cancelCaption, const QString& title);
  /// The values of the moment; empty ones leave their labels as they are.
  void showValues(const ProgressTexts& texts);
  /// One line of the run's log.
  void appendLine(const QString& line);
  /// Cancel pressed: the bar's marquee runs, the caption says so, the button is disabled.
  void showStopping(const QString& caption);
  /// The last worker has gone: the marquee stops, Open folder is enabled, the button becomes
  /// Close (it stays disabled after a cancel; the dialog is closed then).
  void showFinished(const QString& closeCaption);

  /// Esc closes a finished run's dialog and does nothing during a run.
  void reject() override;

  bool finished() const { return m_finished; }
  bool cancelled() const { return m_cancel; }
  TTaskbarProgressBar* progressBar() const { return m_bar; }

  /// The number of workers still registered, asked by the close request.
  void setRegisteredWorkers(std::function<int()> count) { m_registeredWorkers = std::move(count); }
  /// Ends the whole program at once (the answer Yes to "Terminate program?"); tests replace it.
  void setTerminate(std::function<void()> terminate) { m_terminate = std::move(terminate); }

 signals:
  void cancelRequested();
  void openFolderRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buttonClicked();
  void closeDialog();
  void centreOnMainWindow();

  std::string m_languageFile;
  bool m_finished = false;
  bool m_cancel = false;
  std::function<int()> m_registeredWorkers;
  std::function<void()> m_terminate;
  TLabel* m_files = nullptr;
  TLabel* m_time = nullptr;
  TLabel* m_input = nullptr;
  TLabel* m_output = nullptr;
  TLabel* m_workers = nullptr;
  TTaskbarProgressBar* m_bar = nullptr;
  QPlainTextEdit* m_log = nullptr;
  TPngBitBtn* m_button = nullptr;
  TPngBitBtn* m_openFolder = nullptr;
};

}  // namespace brevane::app
