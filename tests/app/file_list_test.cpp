// The input list in the window: one row per file however it comes, hidden files and folders,
// sorting by the headers, Esc, the icon cache, drops, the commands' states and the cells.
#include <sys/stat.h>

#include <QAction>
#include <QHeaderView>
#include <QImage>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QtTest/QTest>

#include "app_test_support.h"
#include "base/bitmap.h"
#include "codecs/encoders.h"
#include "file_list_view.h"

namespace brevane::app::test {
namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

// A picture of the given size, in the format of the name's extension.
std::string writePicture(const Sandbox& box, const std::string& relative, int w, int h) {
  std::string path = box.write(relative, "");
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(QColor(40, 120, 200));
  EXPECT_TRUE(image.save(q(path)));
  return path;
}

QStringList names(const FileListView* list) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(1);
  return out;
}

void clickHeader(FileListView* list, int column) {
  QHeaderView* h = list->header();
  QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(column) + 5, 5));
}

void drop(QWidget* window, const QStringList& paths) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
  mime.setUrls(urls);
  // As a file manager's drag arrives: it enters the window, then drops.
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent event(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &event);
  ASSERT_TRUE(event.isAccepted());
}

bool enabled(const TBRVMainform& w, const char* name) {
  if (auto* a = w.findChild<QAction*>(name)) return a->isEnabled();
  if (auto* b = w.findChild<QWidget*>(name)) return b->isEnabled();
  ADD_FAILURE() << "no element " << name;
  return false;
}

TEST(FileList, OneRowPerFileHoweverItComesAndCaseMakesAnother) {
  BoxRecorder boxes;
  Sandbox box;
  std::string a = box.writePng("in/a.png");
  box.writePng("in/A.png");
  box.writePng("In/a.png");
  TBRVMainform w(box.context({q(a)}));
  FileListView* list = w.fileList();
  EXPECT_FALSE(list->addfile(q(a)));
  EXPECT_EQ(w.receiveHandOver(q(a)), 1);
  list->addFolder(q(box.folder() + "in"));
  w.show();
  drop(&w, {q(a), q(box.folder() + "In")});
  ASSERT_TRUE(waitUntil([&] { return list->rowCount() == 3 && !list->adding(); }));
  QStringList rows;
  for (const QString& p : list->paths()) rows << p.mid(static_cast<int>(box.folder().size()));
  rows.sort();
  EXPECT_EQ(rows, (QStringList{"In/a.png", "in/A.png", "in/a.png"}));
  EXPECT_EQ(list->headerItem()->text(1), "Name (3)");
}

TEST(FileList, FolderScanAddsHiddenFilesSkipsHiddenFoldersAndShowsItsBusyState) {
  BoxRecorder boxes;
  Sandbox box;
  box.writePng("in/.hidden.png");
  box.writePng("in/a.JPG");  // a PNG under another name: the type cell follows the name
  box.write("in/b.txt", "text");
  box.writePng("in/.cache/thumb.png");
  box.writePng("in/sub/c.bmp");
  TBRVMainform w(box.context());
  w.show();
  FileListView* list = w.fileList();
  // The state seen from inside the scan, when it lets the window take its events.
  bool seen = false, addFolderOn = true, marquee = false, drops = true;
  QTimer::singleShot(0, &w, [&] {
    seen = true;
    addFolderOn = enabled(w, "N3");
    marquee = w.findChild<QProgressBar*>("ScanProgressBar")->isVisible();
    drops = w.acceptDrops();
  });
  list->addFolder(q(box.folder() + "in"));
  EXPECT_TRUE(seen && !addFolderOn && marquee && !drops);
  EXPECT_EQ(names(list), (QStringList{".hidden.png", "a.JPG", "c.bmp"}));
  EXPECT_EQ(list->topLevelItem(1)->text(2), "JPG");
  EXPECT_TRUE(enabled(w, "N3"));
  EXPECT_FALSE(w.findChild<QProgressBar*>("ScanProgressBar")->isVisible());
  EXPECT_TRUE(w.acceptDrops());
  EXPECT_EQ(list->selectedPath(), list->paths().first());  // the first row is selected
}

TEST(FileList, EscSaysCancelledEvenWithNothingRunningAndStopsAScan) {
  BoxRecorder boxes;
  Sandbox box;
  TBRVMainform w(box.context());
  w.show();
  FileListView* list = w.fileList();
  QTest::keyClick(list, Qt::Key_Escape);
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text, "Cancelled.");
  EXPECT_EQ(boxes.boxes()[0].caption, "Information");
  EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::kInformation);

  for (int i = 0; i < 300; ++i) box.write("many/f" + std::to_string(1000 + i) + ".png", "x");
  QTimer::singleShot(0, list, [list] { QTest::keyClick(list, Qt::Key_Escape); });
  list->addFolder(q(box.folder() + "many"));
  EXPECT_GT(list->rowCount(), 0);
  EXPECT_LT(list->rowCount(), 300);
  EXPECT_EQ(boxes.boxes().size(), 2u);
  EXPECT_FALSE(list->adding());
}

TEST(FileList, HeaderClicksSortBothWaysKeepTheSelectionAndAnAddRestoresPathOrder) {
  BoxRecorder boxes;
  Sandbox box;
  std::string big = box.write("x/big.png", std::string(5000, 'b'));
  std::string mid = box.write("y/mid.png", std::string(3000, 'm'));
  std::string small = box.write("x/small.png", std::string(1100, 's'));
  TBRVMainform w(box.context({q(big), q(mid), q(small)}));
  w.show();
  FileListView* list = w.fileList();
  EXPECT_EQ(names(list), (QStringList{"big.png", "small.png", "mid.png"}));  // by folder, then as added
  list->topLevelItem(2)->setSelected(true);

  clickHeader(list, 3);  // first click on any column: descending
  EXPECT_EQ(names(list), (QStringList{"big.png", "mid.png", "small.png"}));
  EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
  clickHeader(list, 1);  // the next click, another column: ascending
  EXPECT_EQ(names(list), (QStringList{"big.png", "mid.png", "small.png"}));
  clickHeader(list, 1);
  EXPECT_EQ(names(list), (QStringList{"small.png", "mid.png", "big.png"}));
  auto selectedNames = [list] {
    QStringList out;
    for (QTreeWidgetItem* i : list->selectedItems()) out << i->text(1);
    out.sort();
    return out;
  };
  EXPECT_EQ(selectedNames(), (QStringList{"big.png", "mid.png"}));  // the first row, selected at start, and mid.png

  list->addfile(q(box.write("x/another.png", "a")));
  EXPECT_EQ(names(list), (QStringList{"small.png", "big.png", "another.png", "mid.png"}));
  EXPECT_FALSE(list->header()->isSortIndicatorShown());
  EXPECT_EQ(selectedNames(), (QStringList{"big.png", "mid.png"}));
}

TEST(FileList, TenFilesOfOneTypeShareOneIcon) {
  BoxRecorder boxes;
  Sandbox box;
  TBRVMainform w(box.context());
  FileListView* list = w.fileList();
  for (int i = 0; i < 10; ++i) list->addfile(q(box.write("p/f" + std::to_string(i) + ".png", "x")));
  EXPECT_EQ(list->imageList().count(), 1);
  list->addfile(q(box.write("p/u.JPG", "x")));
  list->addfile(q(box.write("p/l.jpg", "x")));
  EXPECT_EQ(list->imageList().count(), 2);  // the extension without regard to case
  EXPECT_EQ(list->extIcons().count(), 2);
  EXPECT_FALSE(list->topLevelItem(0)->icon(0).isNull());
  TExtIconList unbound;
  EXPECT_EQ(unbound.GetPosInImageList("a.png"), -1);
}

TEST(FileList, DropTakesFilesAndFoldersInOrderAndIgnoresTheRest) {
  BoxRecorder boxes;
  Sandbox box;
  std::string a = box.writePng("d/a.png");
  std::string b = writePicture(box, "d/b.jpg", 30, 20);
  box.writePng("d/folder/c.png");
  box.write("d/folder/notes.txt", "text");
  box.writePng("d/folder/.cache/hidden.png");
  std::string text = box.write("d/plain.txt", "text");
  std::string fifo = box.folder() + "d/pipe.jpg";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TBRVMainform w(box.context());
  w.show();
  FileListView* list = w.fileList();
  drop(&w, {q(a), q(b), q(box.folder() + "d/folder"), q(text), q(fifo)});
  ASSERT_TRUE(waitUntil([&] { return list->rowCount() == 3 && !list->adding() && list->pendingSizes() == 0; }));
  EXPECT_EQ(names(list), (QStringList{"a.png", "b.jpg", "c.png"}));
  EXPECT_EQ(list->topLevelItem(1)->text(4), "30x20");
  EXPECT_TRUE(w.acceptDrops());
  EXPECT_FALSE(w.findChild<QProgressBar*>("ScanProgressBar")->isVisible());
  EXPECT_TRUE(list->topLevelItem(0)->isSelected());
}

TEST(FileList, CommandsFollowTheRowsAndClearAsksFirst) {
  BoxRecorder boxes;
  Sandbox box;
  TBRVMainform w(box.context());
  FileListView* list = w.fileList();
  for (const char* name : {"PngBitBtn2", "ToolButton6", "N11", "N12", "N9", "ToolButton4"})
    EXPECT_FALSE(enabled(w, name)) << name;
  EXPECT_EQ(list->headerItem()->text(1), "Name (0)");

  list->addfile(q(box.writePng("c/a.png")));
  list->addfile(q(box.writePng("c/b.png")));
  for (const char* name : {"PngBitBtn2", "ToolButton6", "N11", "N12"}) EXPECT_TRUE(enabled(w, name)) << name;
  EXPECT_FALSE(enabled(w, "N9"));  // nothing selected yet
  w.findChild<QAction*>("N12")->trigger();
  EXPECT_EQ(list->selectedItems().size(), 2);
  EXPECT_TRUE(enabled(w, "N9") && enabled(w, "ToolButton4"));

  boxes.answer(BoxAnswer::kNo);
  w.findChild<QAction*>("N11")->trigger();
  EXPECT_EQ(boxes.boxes().back().text, "Remove all files from the list?");
  EXPECT_EQ(boxes.boxes().back().icon, BoxIcon::kWarning);
  EXPECT_EQ(list->rowCount(), 2);
  list->topLevelItem(0)->setSelected(false);
  w.findChild<QAction*>("N9")->trigger();  // Delete selected
  EXPECT_EQ(list->paths(), QStringList{q(box.folder() + "c/a.png")});
  w.findChild<QAction*>("N11")->trigger();  // answered Yes
  EXPECT_EQ(list->rowCount(), 0);
  EXPECT_FALSE(enabled(w, "PngBitBtn2"));
  EXPECT_EQ(list->headerItem()->text(1), "Name (0)");
}

TEST(FileList, CellsGiveTheSizeAndThePixelsFromTheHeaderOrTheDecoderAndNeverForRaw) {
  BoxRecorder boxes;
  Sandbox box;
  TBRVMainform w(box.context());
  FileListView* list = w.fileList();
  list->addfile(q(writePicture(box, "c/a.png", 300, 200)));  // the header reader knows it
  // Targa is read by the core's decoder: an uncompressed 64 x 48 picture.
  std::string t;
  const unsigned char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 0, 48, 0, 24, 0x20};
  t.assign(reinterpret_cast<const char*>(header), 18);
  t += std::string(64 * 48 * 3, '\x40');
  list->addfile(q(box.write("c/b.tga", t)));
  list->addfile(q(box.write("c/c.cr2", std::string(3000, 'r'))));
  list->addfile(q(box.write("c/d.png", std::string(100, '\xff'))));  // neither can read it
  // WebP and JPEG XL come through the core's registry: a folder scan takes them and their
  // decoders give the size.
  Bitmap small(36, 20, 24);
  auto bytes = [](const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); };
  box.write("c/modern/e.webp", bytes(codecs::encodeWebp(small, nullptr, {})));
  box.write("c/modern/f.JXL", bytes(codecs::encodeJxl(small, nullptr, {})));
  list->scanFolder(q(box.folder() + "c/modern"));
  ASSERT_TRUE(waitUntil([&] { return list->pendingSizes() == 0; }));
  QStringList cells;
  for (int i = 0; i < list->topLevelItemCount(); ++i) cells << list->topLevelItem(i)->text(4);
  EXPECT_EQ(cells, (QStringList{"300x200", "64x48", "0x0", "0x0", "36x20", "36x20"}));
  // A four-letter type is shown whole, however narrow the Type column is meant to be.
  int typeWidth = 0;
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    typeWidth = std::max(typeWidth, list->sizeHintForIndex(list->model()->index(i, 2)).width());
  EXPECT_TRUE(waitUntil([&] { return list->columnWidth(2) >= typeWidth; }));
  EXPECT_EQ(list->topLevelItem(1)->text(3), "9 KiB");
  EXPECT_EQ(list->topLevelItem(2)->text(2), "CR2");
}

}  // namespace
}  // namespace brevane::app::test
