// Pixel sizes of the input list's files, read off the window's thread.
#include "pixel_size_prober.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>

#include "engine/input_list.h"

namespace brevane::app {

bool openByExtension(QImageReader& reader, const QString& path) {
  static const QList<QByteArray> formats = QImageReader::supportedImageFormats();
  const QByteArray suffix = QFileInfo(path).suffix().toLower().toLatin1();
  if (suffix.isEmpty() || !formats.contains(suffix)) return false;
  reader.setFileName(path);
  reader.setFormat(suffix);
  reader.setAutoDetectImageFormat(false);
  return true;
}

std::pair<int, int> probePixelSize(const QString& path) {
  QImageReader reader;
  if (openByExtension(reader, path)) {
    QSize size = reader.size();
    if (size.isValid() && (size.width() != 0 || size.height() != 0)) return {size.width(), size.height()};
  }
  return decodedPixelSize(path.toStdString());
}

PixelSizeProber::PixelSizeProber(QObject* parent) : QObject(parent) {
  m_pool.setObjectName(QStringLiteral("PixelSizeProber"));
  m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
}

PixelSizeProber::~PixelSizeProber() {
  m_pool.clear();
  m_pool.waitForDone();
}

void PixelSizeProber::probe(const QString& path) {
  ++m_pending;
  m_pool.start([this, path] {
    auto [w, h] = probePixelSize(path);
    std::lock_guard lock(m_lock);
    m_results.push_back({path, w, h});
    if (!m_deliveryPosted) {
      m_deliveryPosted = true;
      // Delivered on the prober's thread; dropped with the prober if it is gone by then.
      QMetaObject::invokeMethod(this, &PixelSizeProber::deliver, Qt::QueuedConnection);
    }
  });
}

void PixelSizeProber::deliver() {
  constexpr qint64 kSliceMs = 8;
  QElapsedTimer slice;
  slice.start();
  for (;;) {
    Result r;
    {
      std::lock_guard lock(m_lock);
      if (m_next == m_results.size()) {
        m_results.clear();
        m_next = 0;
        m_deliveryPosted = false;
        return;
      }
      if (slice.elapsed() >= kSliceMs) {
        // The rest after the window's other events.
        QMetaObject::invokeMethod(this, &PixelSizeProber::deliver, Qt::QueuedConnection);
        return;
      }
      r = std::move(m_results[m_next++]);
    }
    --m_pending;
    emit probed(r.path, r.width, r.height);
  }
}

}  // namespace brevane::app
