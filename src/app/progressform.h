// The progress dialog TProgressform of a run: files done, time, input and output size,
// workers, the error log, Open folder and Cancel/Close.
#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;
class QProgressBar;

namespace brevane::app {

class TLabel;
class TPngBitBtn;

class TProgressform : public QDialog {
  Q_OBJECT
 public:
  /// `languageFile` is read anew by each ChangeLang.
  TProgressform(QWidget* parent, std::string languageFile);

  void ChangeLang(const QString& section);

  /// Prepared for a run of `total` files: counters at zero, log emptied, Cancel enabled.
  void prepare(int total, const QString& cancelCaption, const QString& title);
  /// The values of the moment (texts made by the core's progress texts).
  void showValues(int processed, int workers, const QString& input, const QString& output, const QString& seconds);
  /// One line of the run's log.
  void appendLine(const QString& line);
  /// The end of the run: Close and Open folder available.
  void finish(const QString& closeCaption);

  bool finished() const { return m_finished; }
  bool cancelled() const { return m_cancel; }

 signals:
  void cancelRequested();
  void openFolderRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::string m_languageFile;
  bool m_finished = false;
  bool m_cancel = false;
  TLabel* m_files = nullptr;
  TLabel* m_time = nullptr;
  TLabel* m_input = nullptr;
  TLabel* m_output = nullptr;
  TLabel* m_workers = nullptr;
  QProgressBar* m_bar = nullptr;
  QPlainTextEdit* m_log = nullptr;
  TPngBitBtn* m_button = nullptr;
  TPngBitBtn* m_openFolder = nullptr;
};

}  // namespace brevane::app
