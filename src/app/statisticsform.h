// The statistics dialog TStatisticsform: the lifetime totals of converted files and data.
#pragma once

#include <QDialog>
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

 private:
  std::string m_languageFile;
  TLabel* m_amount = nullptr;
  TLabel* m_files = nullptr;
};

}  // namespace brevane::app
