// The input list of the main window (FileListView): five columns over the core's rows, the
// folder scan and drops with their cancel flag, file-type icons and pixel sizes read off the
// window's thread.
#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QTreeWidget>
#include <array>
#include <atomic>

#include "engine/input_list.h"
#include "ext_icon.h"

class QTimer;

namespace brevane::app {

class PixelSizeProber;

class FileListView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit FileListView(QWidget* parent = nullptr);
  ~FileListView() override;

  /// Adds one file by full path (duplicates are kept out by the core). True when a row came.
  bool addfile(const QString& path);
  /// The folder scan of `folder` and its subfolders (folders whose name begins with "." are
  /// not entered). While the window is shown, pending events are processed every 21 entries,
  /// so Esc and the window keep working. False when it was cancelled.
  bool scanFolder(const QString& folder);
  /// Add folder: the adding state on, the scan, the adding state off, the first row selected.
  void addFolder(const QString& folder);
  /// A drop, in the drop's order: accepted files are added, folders are scanned.
  void dropItems(const QStringList& paths);
  /// Removes the selected rows; every row.
  void deleteSelected();
  void clearRows();
  /// A click on a column's header: the core's sort with the one shared direction.
  void sortColumn(int column);

  int rowCount() const { return static_cast<int>(m_rows.size()); }
  bool anySelected() const;
  /// The full paths of the rows in list order.
  QStringList paths() const;
  /// The full path of the row a preview shows: the current row when it is selected, else the
  /// first selected row; empty when none is selected.
  QString selectedPath() const;
  /// Selects the first row when there is one.
  void selectFirst();

  /// The five column captions; the Name caption is shown with the row count.
  void setColumnTexts(const QStringList& captions);

  /// A folder scan or a drop is in progress.
  bool adding() const { return m_adding; }
  /// Set while files are being added: selection changes start no preview.
  bool cancelprev() const { return m_cancelprev; }
  /// Stops a folder scan or drop in progress at its next test (Esc, closing the window).
  void cancelAdding() { m_canceladd = true; }

  TExtIconList& extIcons() { return m_extList; }
  const TImageList& imageList() const { return m_imageList; }
  /// Rows whose pixel size is still being read.
  int pendingSizes() const;
  const InputList& rows() const { return m_rows; }

 signals:
  /// The rows changed (added or removed).
  void rowsChanged();
  /// A folder scan or drop began (true) or ended (false).
  void addingChanged(bool adding);
  /// Esc was pressed in the list (after the cancel flag was set).
  void escapePressed();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QTreeWidgetItem* makeItem(const InputRow& row);
  void rebuild();
  void setAdding(bool adding);
  void pump();
  void sizeProbed(const QString& path, int width, int height);
  void updateHeader();
  void noteWidths(const QTreeWidgetItem* item);
  void recomputeWidths();
  void applyWidths();

  InputList m_rows{PixelSizeFn{}};
  QHash<QString, QTreeWidgetItem*> m_items;
  PixelSizeProber* m_prober = nullptr;
  TImageList m_imageList;
  TExtIconList m_extList;
  QString m_nameColumnText;

  std::atomic<bool> m_canceladd{false};
  bool m_cancelprev = false;
  bool m_adding = false;

  // Column widths follow the widest cell, kept up to date per row instead of measuring every
  // row again after each add.
  std::array<int, 5> m_contentWidth{};
  std::array<int, 5> m_cellMargin{};
  bool m_marginsKnown = false;
  QTimer* m_widthTimer = nullptr;
  QElapsedTimer m_pumpClock;
};

}  // namespace brevane::app
