// The input list of the main window (FileListView): five columns over the core's rows.
#pragma once

#include <QTreeWidget>

#include "engine/input_list.h"

namespace brevane::app {

class FileListView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit FileListView(QWidget* parent = nullptr);

  /// Adds one file by full path (duplicates are kept out by the core). True when a row came.
  bool addfile(const QString& path);
  /// Adds the accepted files of a folder and of its subfolders (folders whose name begins
  /// with "." are not entered).
  void addFolder(const QString& folder);
  /// Removes the selected rows; every row.
  void deleteSelected();
  void clearRows();

  int rowCount() const { return static_cast<int>(m_rows.size()); }
  bool anySelected() const;
  /// The full paths of the rows in list order.
  QStringList paths() const;
  /// Selects the first row when there is one.
  void selectFirst();

  /// The five column captions; the Name caption is shown with the row count.
  void setColumnTexts(const QStringList& captions);

 signals:
  /// The rows changed (added or removed).
  void rowsChanged();

 private:
  void refresh();
  void scan(const QString& folder);

  InputList m_rows;
  QString m_nameColumnText;
};

}  // namespace brevane::app
