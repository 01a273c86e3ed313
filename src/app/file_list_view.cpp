// The input list of the main window.
#include "file_list_view.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QSet>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>

#include "codecs/registry.h"
#include "engine/folder_scan.h"
#include "pixel_size_prober.h"

namespace brevane::app {

namespace {

QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

// Upper limits of the narrow columns (0: none); a caption wider than its limit still shows.
constexpr std::array<int, 5> kMaxWidth = {0, 0, 40, 80, 100};
// The longest usual cell of each narrow column: its limit grows to fit it in the list's font,
// so that a four-letter type (WEBP, HEIC, TIFF) or a large size is never cut short.
constexpr std::array<const char*, 5> kUsualCell = {"", "", "WEBP", "99999 KiB", "10000x10000"};
// Deleting more rows than this rebuilds the rows at once instead of taking them one by one.
constexpr int kRebuildAbove = 64;
// The longest a folder scan goes without taking the window's events.
constexpr int kPumpIntervalMs = 15;

bool acceptedFile(const QFileInfo& info) {
  return info.isFile() && !info.suffix().isEmpty() && codecs::isAcceptedExtension(("." + info.suffix()).toStdString());
}

}  // namespace

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {
  setObjectName("FileListView");
  setColumnCount(5);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);
  setDragEnabled(false);
  setAcceptDrops(false);  // drops are taken by the main window
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  header()->setSectionsClickable(true);
  header()->setSortIndicatorShown(false);
  QFont f = font();
  f.setPointSize(10);
  setFont(f);

  m_extList.setExtImageList(&m_imageList);
  m_prober = new PixelSizeProber(this);
  connect(m_prober, &PixelSizeProber::probed, this, &FileListView::sizeProbed);
  m_widthTimer = new QTimer(this);
  m_widthTimer->setSingleShot(true);
  m_widthTimer->setInterval(50);
  connect(m_widthTimer, &QTimer::timeout, this, &FileListView::applyWidths);
  connect(header(), &QHeaderView::sectionClicked, this, &FileListView::sortColumn);

  setColumnTexts({"Path", "Name", "Type", "Size", "Dimensions"});
  applyWidths();
}

FileListView::~FileListView() {
  m_canceladd = true;
}

QTreeWidgetItem* FileListView::makeItem(const InputRow& row) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, qs(row.path));
  item->setText(1, qs(row.name));
  item->setText(2, qs(row.type));
  item->setText(3, qs(row.size));
  item->setText(4, qs(row.imageSize));
  for (int i = 2; i < 5; ++i) item->setTextAlignment(i, Qt::AlignCenter);
  item->setIcon(0, m_imageList.icon(m_extList.GetPosInImageList(qs(row.name))));
  return item;
}

bool FileListView::addfile(const QString& path) {
  const std::string full = path.toStdString();
  const bool wasInPathOrder = m_rows.sortedByPath();
  std::optional<size_t> index = m_rows.addfile(full);
  if (!index) return false;
  const InputRow& row = m_rows.row(*index);
  if (wasInPathOrder) {
    QTreeWidgetItem* item = makeItem(row);
    insertTopLevelItem(static_cast<int>(*index), item);
    m_items.insert(path, item);
    noteWidths(item);
  } else {
    // The add put the rows back in Path order after a column sort.
    rebuild();
  }
  if (row.imageSize.empty()) m_prober->probe(path);
  updateHeader();
  emit rowsChanged();
  return true;
}

void FileListView::sizeProbed(const QString& path, int width, int height) {
  if (!m_rows.setImageSize(path.toStdString(), width, height)) return;  // the row is gone
  if (QTreeWidgetItem* item = m_items.value(path)) {
    item->setText(4, qs(m_rows.find(path.toStdString())->imageSize));
    noteWidths(item);
  }
}

int FileListView::pendingSizes() const {
  return m_prober->pending();
}

void FileListView::pump() {
  // Only a window the user can see takes events here: while the window is still being made
  // (files of the command line), nothing is delivered to half-built objects. Events are
  // taken at most every few milliseconds: each pass lays the whole list out again, so taking
  // them after every handful of rows would make a long scan cost the square of its rows.
  if (!window()->isVisible()) return;
  if (m_pumpClock.isValid() && m_pumpClock.elapsed() < kPumpIntervalMs) return;
  QCoreApplication::processEvents();
  m_pumpClock.start();
}

bool FileListView::scanFolder(const QString& folder) {
  FolderScanCallbacks callbacks;
  callbacks.file = [this](const std::string& file) { addfile(qs(file)); };
  callbacks.pump = [this] { pump(); };
  return brevane::scanFolder(folder.toStdString(), m_canceladd, callbacks);
}

void FileListView::setAdding(bool adding) {
  m_adding = adding;
  m_cancelprev = adding;
  emit addingChanged(adding);
}

void FileListView::addFolder(const QString& folder) {
  m_canceladd = false;
  setAdding(true);
  setFocus();  // Esc reaches the list
  scanFolder(folder);
  setAdding(false);
  selectFirst();
}

void FileListView::dropItems(const QStringList& paths) {
  m_canceladd = false;
  setAdding(true);
  setFocus();
  for (const QString& p : paths) {
    if (m_canceladd) break;
    QFileInfo info(p);
    // A folder is scanned even when its name looks like a picture's; anything that is neither
    // a regular file nor a folder (a FIFO, a device) is passed over.
    if (acceptedFile(info)) {
      addfile(info.absoluteFilePath());
    } else if (info.isDir()) {
      if (!scanFolder(info.absoluteFilePath())) break;
    }
  }
  setAdding(false);
  selectFirst();
}

void FileListView::deleteSelected() {
  const QModelIndexList selected = selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  std::vector<size_t> indexes;
  indexes.reserve(static_cast<size_t>(selected.size()));
  for (const QModelIndex& i : selected) indexes.push_back(static_cast<size_t>(i.row()));
  {
    const QSignalBlocker block(this);
    if (static_cast<int>(indexes.size()) > kRebuildAbove) {
      m_rows.removeRows(indexes);
      rebuild();
      clearSelection();
    } else {
      std::sort(indexes.rbegin(), indexes.rend());
      for (size_t i : indexes) {
        QTreeWidgetItem* item = takeTopLevelItem(static_cast<int>(i));
        m_items.remove(item->text(0) + item->text(1));
        delete item;
      }
      m_rows.removeRows(indexes);
      recomputeWidths();
    }
  }
  updateHeader();
  emit itemSelectionChanged();
  emit rowsChanged();
}

void FileListView::clearRows() {
  {
    const QSignalBlocker block(this);
    m_rows.clear();
    m_items.clear();
    clear();
    header()->setSortIndicatorShown(false);
    recomputeWidths();
  }
  updateHeader();
  emit itemSelectionChanged();
  emit rowsChanged();
}

void FileListView::sortColumn(int column) {
  if (column < 0 || column > 4) return;
  m_rows.sortByColumn(static_cast<InputColumn>(column));
  rebuild();
  header()->setSortIndicatorShown(true);
  header()->setSortIndicator(column, m_rows.sortDirection() > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void FileListView::rebuild() {
  const QSignalBlocker block(this);
  QSet<QString> selected;
  for (const QModelIndex& i : selectionModel()->selectedRows()) {
    const QTreeWidgetItem* item = itemFromIndex(i);
    selected.insert(item->text(0) + item->text(1));
  }
  QTreeWidgetItem* current = currentItem();
  const QString currentPath = current ? current->text(0) + current->text(1) : QString();

  m_items.clear();
  clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(m_rows.size()));
  for (size_t i = 0; i < m_rows.size(); ++i) {
    const InputRow& row = m_rows.row(i);
    QTreeWidgetItem* item = makeItem(row);
    items.append(item);
    m_items.insert(qs(row.fullPath()), item);
  }
  addTopLevelItems(items);
  header()->setSortIndicatorShown(!m_rows.sortedByPath());

  // The same rows stay selected, as runs of neighbouring rows.
  QItemSelection selection;
  int runStart = -1;
  for (int i = 0; i <= items.size(); ++i) {
    bool on = i < items.size() && selected.contains(items[i]->text(0) + items[i]->text(1));
    if (on && runStart < 0) runStart = i;
    if (!on && runStart >= 0) {
      selection.select(model()->index(runStart, 0), model()->index(i - 1, 4));
      runStart = -1;
    }
  }
  if (!selection.isEmpty()) selectionModel()->select(selection, QItemSelectionModel::Select);
  if (QTreeWidgetItem* c = m_items.value(currentPath))
    selectionModel()->setCurrentIndex(indexFromItem(c), QItemSelectionModel::NoUpdate);
  recomputeWidths();
}

bool FileListView::anySelected() const {
  return selectionModel()->hasSelection();
}

QStringList FileListView::paths() const {
  QStringList out;
  out.reserve(static_cast<qsizetype>(m_rows.size()));
  for (const std::string& p : m_rows.paths()) out << qs(p);
  return out;
}

QString FileListView::selectedPath() const {
  QTreeWidgetItem* item = currentItem();
  if (!item || !item->isSelected()) {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) return {};
    item = itemFromIndex(*std::min_element(rows.begin(), rows.end()));
  }
  return item ? item->text(0) + item->text(1) : QString();
}

void FileListView::selectFirst() {
  if (topLevelItemCount() > 0) setCurrentItem(topLevelItem(0));
}

void FileListView::setColumnTexts(const QStringList& captions) {
  QStringList c = captions;
  while (c.size() < 5) c << QString();
  m_nameColumnText = c[1];
  c[1] = qs(nameColumnHeader(m_nameColumnText.toStdString(), m_rows.size()));
  setHeaderLabels(c);
  headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
  headerItem()->setTextAlignment(1, Qt::AlignLeft | Qt::AlignVCenter);
  for (int i = 2; i < 5; ++i) headerItem()->setTextAlignment(i, Qt::AlignCenter);
  m_widthTimer->start();
}

void FileListView::updateHeader() {
  headerItem()->setText(1, qs(nameColumnHeader(m_nameColumnText.toStdString(), m_rows.size())));
  if (!m_widthTimer->isActive()) m_widthTimer->start();
}

void FileListView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    m_canceladd = true;
    emit escapePressed();
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void FileListView::noteWidths(const QTreeWidgetItem* item) {
  if (!m_marginsKnown) {
    // What the delegate adds around a cell's text (margins, the icon of the first column),
    // learnt once from the first row.
    QModelIndex first = indexFromItem(item, 0);
    if (!first.isValid()) return;
    for (int c = 0; c < 5; ++c)
      m_cellMargin[static_cast<size_t>(c)] = std::max(
          0, sizeHintForIndex(first.siblingAtColumn(c)).width() - fontMetrics().horizontalAdvance(item->text(c)));
    m_marginsKnown = true;
  }
  bool grew = false;
  for (size_t c = 0; c < 5; ++c) {
    int w = fontMetrics().horizontalAdvance(item->text(static_cast<int>(c))) + m_cellMargin[c];
    if (w > m_contentWidth[c]) {
      m_contentWidth[c] = w;
      grew = true;
    }
  }
  if (grew && !m_widthTimer->isActive()) m_widthTimer->start();
}

void FileListView::recomputeWidths() {
  m_contentWidth.fill(0);
  for (int i = 0; i < topLevelItemCount(); ++i) noteWidths(topLevelItem(i));
  m_widthTimer->start();
}

void FileListView::applyWidths() {
  for (int c = 0; c < 5; ++c) {
    const size_t i = static_cast<size_t>(c);
    const int caption = header()->sectionSizeHint(c);
    int w = std::max({m_contentWidth[i], caption, c == 0 ? 16 : 0});
    if (kMaxWidth[i] > 0) {
      const int usual = fontMetrics().horizontalAdvance(QString::fromLatin1(kUsualCell[i])) + m_cellMargin[i];
      w = std::min(w, std::max({kMaxWidth[i], caption, usual}));
    }
    if (columnWidth(c) != w) setColumnWidth(c, w);
  }
}

}  // namespace brevane::app
