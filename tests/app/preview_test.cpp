// The list preview and the overlay preview in the window: what each kind of file shows, one
// preview at a time catching up with the selection, the reload after a resize, and the overlay
// window with its composition.
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>

#include "app_test_support.h"
#include "base/bitmap.h"
#include "codecs/encoders.h"
#include "file_list_view.h"
#include "preview_area.h"
#include "preview_loader.h"
#include "previewform.h"
#include "run_control.h"
#include "startup.h"

namespace brevane::app::test {
namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

std::string writePicture(const Sandbox& box, const std::string& relative, int w, int h) {
  std::string path = box.write(relative, "");
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(QColor(200, 80, 40));
  EXPECT_TRUE(image.save(q(path)));
  return path;
}

// Watches the previews of a window: how many ran, and whether one ever started while another
// was still being read.
struct PreviewWatch {
  explicit PreviewWatch(TBRVMainform& w) : window(w) {
    QObject::connect(w.listPreview(), &ListPreview::previewStarted, [this](const QString& path) {
      if (started != shown) overlapped = true;
      if (window.runController()->job().prevthrfree.load()) runNotBlocked = true;
      ++started;
      last = path;
    });
    QObject::connect(w.listPreview(), &ListPreview::previewShown, [this](const QString&) { ++shown; });
  }
  bool idle() const { return shown >= started && window.listPreview()->prevthrfree(); }

  TBRVMainform& window;
  int started = 0, shown = 0;
  bool overlapped = false, runNotBlocked = false;
  QString last;
};

TEST(ListPreview, EachKindOfFileShowsItsPictureOrMessage) {
  BoxRecorder boxes;
  Sandbox box;
  struct Case {
    std::string file;
    bool picture, paintBox;
    QString caption;
  };
  std::string tga(18, '\0');
  tga[2] = 2, tga[12] = 40, tga[14] = 30, tga[16] = 24, tga[17] = 0x20;
  tga += std::string(40 * 30 * 3, '\x70');
  const std::vector<uint8_t> encoded = codecs::encodeWebp(Bitmap(36, 20, 24), nullptr, {});
  const std::string webp(encoded.begin(), encoded.end());
  const std::vector<Case> cases = {
      {writePicture(box, "p/photo.png", 1600, 1200), true, true, "photo.png - 1600x1200 "},
      {box.write("p/small.tga", tga), true, false, "small.tga - 40x30 "},  // through the core's decoder
      {box.write("p/modern.webp", webp), true, false, "modern.webp - 36x20 "},
      {box.write("p/camera.nef", std::string(5000, 'r')), false, false, "No preview for RAW"},
      {box.write("p/tiny.png", std::string(40, 't')), false, false, "Error!"},
  };
  QStringList args;
  for (const Case& c : cases) args << q(c.file);
  TBRVMainform w(box.context(args));
  PreviewWatch watch(w);
  w.show();
  FileListView* list = w.fileList();
  PreviewArea* area = w.previewArea();
  for (const Case& c : cases) {
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      if (list->topLevelItem(i)->text(0) + list->topLevelItem(i)->text(1) == q(c.file))
        list->setCurrentItem(list->topLevelItem(i));
    ASSERT_TRUE(waitUntil([&] { return watch.idle() && area->captionText() == c.caption; })) << c.file;
    EXPECT_EQ(area->GDIPreviewEnabled(), c.paintBox) << c.file;
    bool picture = c.paintBox ? !area->paintBox()->image().isNull() : !area->pictureShown().isNull();
    EXPECT_EQ(picture, c.picture) << c.file;
  }
  EXPECT_FALSE(watch.overlapped);
  EXPECT_FALSE(watch.runNotBlocked);

  // A damaged file shows its decoder's words and no picture.
  list->addfile(q(box.write("p/damaged.tga", std::string(100, '\xff'))));
  list->setCurrentItem(list->topLevelItem(list->topLevelItemCount() - 1));
  ASSERT_TRUE(waitUntil([&] { return watch.idle() && watch.last.endsWith("damaged.tga"); }));
  EXPECT_FALSE(area->captionText().isEmpty());
  EXPECT_FALSE(area->captionText().startsWith("damaged.tga -"));
  EXPECT_TRUE(area->pictureShown().isNull());
}

TEST(ListPreview, TheBoxFitAndTheCentring) {
  BoxRecorder boxes;
  Sandbox box;
  std::string wide = writePicture(box, "p/wide.png", 4000, 1000);
  std::string small = writePicture(box, "p/small.png", 20, 10);
  TBRVMainform w(box.context({q(wide), q(small)}));
  PreviewWatch watch(w);
  w.show();
  ASSERT_TRUE(waitUntil([&] { return watch.idle() && w.previewArea()->captionText().startsWith("wide.png"); }));
  QSize boxSize = w.previewArea()->boxSize();
  QImage shown = w.previewArea()->paintBox()->image();
  EXPECT_EQ(shown.width(), boxSize.width());  // as wide as the box, 4 : 1
  EXPECT_EQ(shown.height(), boxSize.width() / 4);

  w.fileList()->setCurrentItem(w.fileList()->topLevelItem(1));
  ASSERT_TRUE(waitUntil([&] { return watch.idle() && w.previewArea()->captionText() == "small.png - 20x10 "; }));
  QRectF r = w.previewArea()->paintBox()->imageRect();
  EXPECT_EQ(r.size(), QSizeF(20, 10));  // its own size
  EXPECT_DOUBLE_EQ(r.center().x(), w.previewArea()->paintBox()->width() / 2.0);
  EXPECT_DOUBLE_EQ(r.center().y(), w.previewArea()->paintBox()->height() / 2.0);
}

TEST(ListPreview, QuickSelectionsRunOneAtATimeAndEndOnTheLast) {
  BoxRecorder boxes;
  Sandbox box;
  QStringList files;
  for (int i = 0; i < 6; ++i) files << q(writePicture(box, "p/f" + std::to_string(i) + ".png", 900 + i, 700));
  TBRVMainform w(box.context(files));
  PreviewWatch watch(w);
  w.show();
  FileListView* list = w.fileList();
  ASSERT_TRUE(waitUntil([&] { return watch.idle(); }));
  for (int i = 1; i < 6; ++i) list->setCurrentItem(list->topLevelItem(i));  // five selections at once
  ASSERT_TRUE(waitUntil([&] { return watch.idle() && watch.last == files[5]; }));
  EXPECT_FALSE(watch.overlapped);
  EXPECT_FALSE(watch.runNotBlocked);
  EXPECT_LE(watch.started, 3);  // the first, maybe one in between, and the last
  EXPECT_EQ(w.previewArea()->captionText(), "f5.png - 905x700 ");
}

TEST(ListPreview, HoldingDownOver200RowsEndsOnTheLastRow) {
  BoxRecorder boxes;
  Sandbox box;
  QStringList files;
  for (int i = 0; i < 200; ++i) files << q(writePicture(box, "p/f" + std::to_string(1000 + i) + ".png", 64, 48));
  TBRVMainform w(box.context(files));
  PreviewWatch watch(w);
  w.show();
  FileListView* list = w.fileList();
  list->setFocus();
  for (int i = 0; i < 199; ++i) {
    QTest::keyClick(list, Qt::Key_Down);
    QCoreApplication::processEvents();  // a key repeat lets the window breathe between keys
  }
  ASSERT_EQ(list->currentItem(), list->topLevelItem(199));
  ASSERT_TRUE(waitUntil([&] { return watch.idle() && watch.last == files[199]; }));
  EXPECT_FALSE(watch.overlapped);
  EXPECT_EQ(w.previewArea()->captionText(), "f1199.png - 64x48 ");
}

TEST(ListPreview, AResizeReadsThePictureAgainForTheNewBox) {
  BoxRecorder boxes;
  Sandbox box;
  std::string photo = writePicture(box, "p/photo.png", 1600, 1600);
  TBRVMainform w(box.context({q(photo)}));
  w.resize(900, 500);
  PreviewWatch watch(w);
  w.show();
  ASSERT_TRUE(waitUntil([&] { return watch.idle() && watch.shown >= 1; }));
  int before = w.previewArea()->paintBox()->image().height();
  int shown = watch.shown;
  w.resize(900, 760);
  ASSERT_TRUE(waitUntil([&] { return watch.idle() && watch.shown > shown; }, 5000));
  EXPECT_EQ(watch.last, q(photo));
  EXPECT_GT(w.previewArea()->paintBox()->image().height(), before);
}

TEST(OverlayPreview, DoubleClickShowsTheCompositionShrunkInto800By600) {
  BoxRecorder boxes;
  Sandbox box;
  std::string big = writePicture(box, "p/big.png", 1600, 1200);
  std::string small = writePicture(box, "p/small.png", 640, 480);
  ProgramWindows windows = createWindows(box.context({q(big), q(small)}));
  TBRVMainform& w = *windows.main;
  PreviewWatch watch(w);
  w.show();
  TPreviewForm* form = windows.preview;
  EXPECT_EQ(form->size(), QSize(794, 575));
  EXPECT_EQ(form->windowTitle(), "Preview");
  EXPECT_EQ(form->findChild<QPushButton*>("PngBitBtn1")->text(), "Close");

  for (int row : {0, 1}) {
    w.fileList()->setCurrentItem(w.fileList()->topLevelItem(row));
    ASSERT_TRUE(waitUntil([&] { return watch.idle() && watch.last == q(row == 0 ? big : small); }));
    QTest::mouseDClick(w.previewArea()->paintBox(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return form->isVisible(); }));
    EXPECT_EQ(form->image().size(), row == 0 ? QSize(800, 600) : QSize(640, 480));
    const QPixmap shown = form->picture()->pixmap();
    EXPECT_LE(shown.width(), 794);
    EXPECT_LE(shown.height(), 575 - 47);
    form->close();
  }
}

}  // namespace
}  // namespace brevane::app::test
