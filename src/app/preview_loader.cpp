// The list preview: its thread and the main window's preview state.
#include "preview_loader.h"

#include <QFileInfo>
#include <QImageReader>
#include <QTimer>
#include <algorithm>
#include <exception>

#include "base/platform.h"
#include "file_list_view.h"
#include "imaging/list_preview.h"
#include "pixel_size_prober.h"
#include "preview_area.h"

namespace brevane::app {

QImage toQImage(const Bitmap& bitmap) {
  if (bitmap.empty()) return {};
  if (bitmap.bitsPerPixel() != 24 && bitmap.bitsPerPixel() != 32) {
    Bitmap copy = bitmap;
    copy.convertTo24();
    return toQImage(copy);
  }
  QImage::Format format = QImage::Format_BGR888;
  if (bitmap.bitsPerPixel() == 32) {
    // Blue, green, red, alpha in memory is QImage's ARGB32 on a little-endian machine.
    switch (bitmap.alphaMode()) {
      case AlphaMode::kUnmarked: format = QImage::Format_RGB32; break;
      case AlphaMode::kStraight: format = QImage::Format_ARGB32; break;
      case AlphaMode::kPremultiplied: format = QImage::Format_ARGB32_Premultiplied; break;
    }
  }
  QImage view(bitmap.data(), bitmap.width(), bitmap.height(), static_cast<qsizetype>(bitmap.stride()), format);
  return view.copy();
}

tpreviewload::tpreviewload(const QString& fileName, QSize boxSize, QObject* parent)
    : QThread(parent), fn(fileName), box(boxSize.expandedTo(QSize(1, 1))) {
  setObjectName(QStringLiteral("tpreviewload"));
}

void tpreviewload::run() {
  try {
    std::string fixed = imaging::previewMessage(fn.toStdString());
    if (!fixed.empty()) {
      message = QString::fromStdString(fixed);
    } else {
      load();
    }
  } catch (const std::exception& e) {
    message = QString::fromUtf8(e.what());
    if (message.isEmpty()) message = QString::fromLatin1(imaging::kPreviewErrorMessage);
  } catch (...) {
    message = QString::fromLatin1(imaging::kPreviewErrorMessage);
  }
  emit stepReady();
}

void tpreviewload::load() {
  {
    QImageReader reader;
    const QSize size = openByExtension(reader, fn) ? reader.size() : QSize();
    if (size.isValid() && (size.width() != 0 || size.height() != 0)) {
      sourceWidth = size.width();
      sourceHeight = size.height();
      imaging::Size fitted = imaging::fitPreview(size.width(), size.height(), box.width(), box.height());
      QSize target(std::max(1, fitted.width), std::max(1, fitted.height));
      if (target != size) reader.setScaledSize(target);
      QImage image = reader.read();
      if (!image.isNull()) {
        // The reader's scaled read may round differently; the box gets the fitted size.
        if (image.size() != target) image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        GDIPreviewImage = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        platformImage = true;
        return;
      }
      // The header was readable but the picture is not: the registry has its go.
    }
  }
  imaging::FallbackPreview preview = imaging::loadFallbackPreview(fn.toStdString(), box.width(), box.height());
  sourceWidth = preview.sourceWidth;
  sourceHeight = preview.sourceHeight;
  fallback = toQImage(preview.bitmap);
  fallbackReady = true;
}

ListPreview::ListPreview(FileListView* list, PreviewArea* area, std::atomic<bool>& prevthrfree, QObject* parent)
    : QObject(parent), m_list(list), m_area(area), m_prevthrfree(prevthrfree) {
  m_prevthrfree = true;
  m_timer5 = new QTimer(this);
  m_timer5->setObjectName(QStringLiteral("Timer5"));
  m_timer5->setSingleShot(true);
  m_timer5->setInterval(1);
  m_timer9 = new QTimer(this);
  m_timer9->setObjectName(QStringLiteral("Timer9"));
  m_timer9->setSingleShot(true);
  m_timer9->setInterval(1000);
  m_timer9Box = m_area->boxSize();
  connect(m_timer5, &QTimer::timeout, this, &ListPreview::Timer5Timer);
  connect(m_timer9, &QTimer::timeout, this, &ListPreview::Timer9Timer);
  connect(m_area, &PreviewArea::boxResized, this, &ListPreview::boxResized);
  connect(m_list, &QTreeWidget::itemSelectionChanged, this, &ListPreview::FileListViewChange);
  connect(m_list, &QTreeWidget::currentItemChanged, this, &ListPreview::FileListViewChange);
}

ListPreview::~ListPreview() {
  if (m_prevthread) m_prevthread->wait();
}

void ListPreview::startPreview(const QString& path) {
  // Before the window is first laid out the box has no size yet: the preview of a selection
  // made meanwhile (files of the command line) starts when the box gets its size.
  if (!m_area->isVisible()) return;
  if (path.isEmpty() || !QFileInfo::exists(path) || !m_prevthrfree.load()) return;
  m_prevthrfree = false;
  // The previous picture goes before the new one is read; both boxes are emptied so that no
  // older picture shows meanwhile.
  m_area->paintBox()->setImage(QImage());
  m_area->setPicture(QPixmap());
  m_area->SetPreview(false);
  if (m_prevthread) m_prevthread->wait();  // it has ended: its last step ran before Timer5
  m_prevthread = std::make_unique<tpreviewload>(path, m_area->boxSize());
  m_timer9Box = m_area->boxSize();
  connect(m_prevthread.get(), &tpreviewload::stepReady, this, &ListPreview::showStep, Qt::QueuedConnection);
  m_lastprev = path;
  m_prevthread->start();
  emit previewStarted(path);
}

void ListPreview::showStep() {
  tpreviewload* t = m_prevthread.get();
  if (!t) return;
  if (t->platformImage) {
    m_area->paintBox()->setImage(t->GDIPreviewImage);
  } else {
    m_area->setPicture(t->fallbackReady ? QPixmap::fromImage(t->fallback) : QPixmap());
    t->fallback = QImage();
  }
  m_area->SetPreview(t->platformImage);
  if (!t->message.isEmpty()) {
    m_area->setCaption(t->message);
  } else {
    m_area->setCaption(
        QString::fromStdString(imaging::previewCaption(t->fn.toStdString(), t->sourceWidth, t->sourceHeight)));
  }
  emit previewShown(t->fn);
  m_timer5->start();
}

void ListPreview::FileListViewChange() {
  if (m_list->cancelprev()) return;
  QString path = m_list->selectedPath();
  if (!path.isEmpty()) startPreview(path);
}

void ListPreview::Timer5Timer() {
  m_timer5->stop();
  m_prevthrfree = true;
  m_area->paintBox()->update();
  if (m_list->rowCount() == 0) return;
  QString path = m_list->selectedPath();
  if (!path.isEmpty() && path != m_lastprev) startPreview(path);
}

void ListPreview::boxResized() {
  if (m_lastprev.isEmpty() && m_prevthrfree.load()) {
    FileListViewChange();  // the first preview, once the box has its size
    return;
  }
  const uint64_t now = monotonicMs();
  if (now - m_lastTimer9Start > 100 || m_lastTimer9Start == 0) {
    m_lastTimer9Start = now;
    m_timer9->start();
  }
}

void ListPreview::Timer9Timer() {
  m_timer9->stop();
  const QSize box = m_area->boxSize();
  if (box != m_timer9Box && m_list->rowCount() > 0 && !m_lastprev.isEmpty() && QFileInfo::exists(m_lastprev) &&
      m_prevthrfree.load())
    startPreview(m_lastprev);
  m_timer9Box = box;
}

}  // namespace brevane::app
