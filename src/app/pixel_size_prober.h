// Reads the pixel sizes of the input list's files off the window's thread: the image header
// through QImageReader where it can, else a full decode through the core's registry.
#pragma once

#include <QImageReader>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <mutex>
#include <utility>
#include <vector>

namespace brevane::app {

/// Sets `reader` up for `path` with the Qt format its extension names, never guessing from the
/// content (a Targa header reads as a cursor); false when Qt has no reader for the extension.
/// Pictures are taken by their extension everywhere, as a conversion decodes them.
bool openByExtension(QImageReader& reader, const QString& path);

/// The pixel size of a file: QImageReader's header-only size when it gives a width or a height
/// other than 0, else the registry's full decode; 0 x 0 when neither can read it.
std::pair<int, int> probePixelSize(const QString& path);

class PixelSizeProber : public QObject {
  Q_OBJECT
 public:
  explicit PixelSizeProber(QObject* parent = nullptr);
  /// Queued probes are dropped; probes being read finish before the prober goes.
  ~PixelSizeProber() override;

  /// Reads `path`'s size on a pool thread; probed() follows on this object's thread.
  void probe(const QString& path);
  /// Probes asked for whose answer has not been delivered yet.
  int pending() const { return m_pending; }

 signals:
  void probed(const QString& path, int width, int height);

 private:
  struct Result {
    QString path;
    int width, height;
  };
  void deliver();

  QThreadPool m_pool;
  int m_pending = 0;
  // Answers wait here and are handed out in slices of a few milliseconds, so that thousands of
  // answers arriving together never hold up the window.
  std::mutex m_lock;
  std::vector<Result> m_results;
  size_t m_next = 0;
  bool m_deliveryPosted = false;
};

}  // namespace brevane::app
