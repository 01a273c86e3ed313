// The statistics dialog TStatisticsform: the lifetime totals of converted files and data.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

namespace brevane::app {

class TLabel;

class TStatisticsform : public QDialog {
  Q_OBJECT
 public:
  TStatisticsform(QWidget* parent, std::string languageFile);

  void ChangeLang(const QString& section);
  /// The two totals as they are shown (the amount's text, the file count's text).
  void setValues(const QString& amount, const QString& files);
  /// The steps before the dialog is shown: re-texted for "English", then for `lang` (so a key
  /// the language lacks shows its English text); the KiB total as KiB up to 1001, else as MiB in
  /// hundredths; the file total.
  void showTotals(const QString& lang, int64_t kib, int64_t files, char decimalSeparator);
  QString amountText() const;
  QString filesText() const;

 private:
  std::string m_languageFile;
  TLabel* m_amount = nullptr;
  TLabel* m_files = nullptr;
};

}  // namespace brevane::app
