// The input list of the main window.
#include "file_list_view.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <algorithm>

#include "codecs/registry.h"

namespace brevane::app {

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {
  setObjectName("FileListView");
  setColumnCount(5);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAllColumnsShowFocus(true);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  QFont f = font();
  f.setPointSize(10);
  setFont(f);
  setColumnTexts({"Path", "Name", "Type", "Size", "Dimensions"});
  refresh();
}

bool FileListView::addfile(const QString& path) {
  if (!m_rows.addfile(path.toStdString())) return false;
  refresh();
  emit rowsChanged();
  return true;
}

void FileListView::scan(const QString& folder) {
  QDir dir(folder);
  const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::NoSort);
  for (const QFileInfo& f : files) {
    QString ext = "." + f.suffix();
    if (!f.suffix().isEmpty() && codecs::isAcceptedExtension(ext.toStdString()))
      m_rows.addfile(f.absoluteFilePath().toStdString());
  }
  const QFileInfoList dirs = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
  for (const QFileInfo& d : dirs)
    if (!d.fileName().startsWith('.')) scan(d.absoluteFilePath());
}

void FileListView::addFolder(const QString& folder) {
  size_t before = m_rows.size();
  scan(folder);
  if (m_rows.size() != before) {
    refresh();
    emit rowsChanged();
  }
}

void FileListView::deleteSelected() {
  std::vector<size_t> indexes;
  for (QTreeWidgetItem* item : selectedItems()) indexes.push_back(static_cast<size_t>(indexOfTopLevelItem(item)));
  if (indexes.empty()) return;
  m_rows.removeRows(indexes);
  refresh();
  emit rowsChanged();
}

void FileListView::clearRows() {
  m_rows.clear();
  refresh();
  emit rowsChanged();
}

bool FileListView::anySelected() const {
  return !selectedItems().isEmpty();
}

QStringList FileListView::paths() const {
  QStringList out;
  for (const std::string& p : m_rows.paths()) out << QString::fromStdString(p);
  return out;
}

void FileListView::selectFirst() {
  if (topLevelItemCount() > 0) setCurrentItem(topLevelItem(0));
}

void FileListView::setColumnTexts(const QStringList& captions) {
  QStringList c = captions;
  while (c.size() < 5) c << QString();
  m_nameColumnText = c[1];
  c[1] = QString::fromStdString(nameColumnHeader(m_nameColumnText.toStdString(), m_rows.size()));
  setHeaderLabels(c);
  for (int i = 2; i < 5; ++i) headerItem()->setTextAlignment(i, Qt::AlignCenter);
}

void FileListView::refresh() {
  clear();
  for (const InputRow& r : m_rows.rows()) {
    auto* item = new QTreeWidgetItem(this);
    item->setText(0, QString::fromStdString(r.path));
    item->setText(1, QString::fromStdString(r.name));
    item->setText(2, QString::fromStdString(r.type));
    item->setText(3, QString::fromStdString(r.size));
    item->setText(4, QString::fromStdString(r.imageSize));
    for (int i = 2; i < 5; ++i) item->setTextAlignment(i, Qt::AlignCenter);
  }
  headerItem()->setText(1, QString::fromStdString(nameColumnHeader(m_nameColumnText.toStdString(), m_rows.size())));
  // Each column as wide as its cells and its caption, within the limits of the narrow ones.
  static const int kMaxWidth[5] = {0, 0, 40, 80, 100};
  for (int i = 0; i < 5; ++i) {
    resizeColumnToContents(i);
    int w = std::max({columnWidth(i), header()->sectionSizeHint(i), i == 0 ? 16 : 0});
    if (kMaxWidth[i] > 0) w = std::min(w, std::max(kMaxWidth[i], header()->sectionSizeHint(i)));
    setColumnWidth(i, w);
  }
}

}  // namespace brevane::app
