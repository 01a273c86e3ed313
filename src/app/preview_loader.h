// The list preview: the thread tpreviewload that reads and scales the selected file, and the
// main window's preview state (prevthrfree, lastprev, Timer5, Timer9) that starts one such
// thread at a time and catches up with the latest selection.
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <memory>

#include "base/bitmap.h"

class QTimer;

namespace brevane::app {

class FileListView;
class PreviewArea;

/// A 24- or 32-bit core bitmap as a QImage (a copy).
QImage toQImage(const Bitmap& bitmap);

/// One list preview: reads `fn` and scales it into `box` off the window's thread. When it is
/// done it emits stepReady(); the results below are complete by then.
class tpreviewload : public QThread {
  Q_OBJECT
 public:
  tpreviewload(const QString& fn, QSize box, QObject* parent = nullptr);

  const QString fn;
  const QSize box;

  // Results, written by the thread before stepReady().
  int sourceWidth = 0;
  int sourceHeight = 0;
  bool platformImage = false;  // GDIPreviewImage holds the picture read by QImageReader
  bool fallbackReady = false;  // fallback holds the picture of the registry load
  QImage GDIPreviewImage;
  QImage fallback;
  QString message;  // set instead of a picture: "Error!", "No preview for RAW" or an error's text

 signals:
  void stepReady();

 protected:
  void run() override;

 private:
  void load();
};

/// The preview state of the main window.
class ListPreview : public QObject {
  Q_OBJECT
 public:
  /// `prevthrfree` is the run's flag: no worker of a run starts while it is false.
  ListPreview(FileListView* list, PreviewArea* area, std::atomic<bool>& prevthrfree, QObject* parent = nullptr);
  /// Waits for a preview still being read.
  ~ListPreview() override;

  /// Starts a preview of `path` when the file exists and no preview is running.
  void startPreview(const QString& path);
  /// The selection of the list changed.
  void FileListViewChange();
  void Timer5Timer();
  void Timer9Timer();

  bool prevthrfree() const { return m_prevthrfree.load(); }
  const QString& lastprev() const { return m_lastprev; }
  tpreviewload* prevthread() const { return m_prevthread.get(); }

 signals:
  /// A preview thread was started for `path`.
  void previewStarted(const QString& path);
  /// A preview thread's result was shown (picture or message).
  void previewShown(const QString& path);

 private:
  void showStep();
  void boxResized();

  FileListView* m_list;
  PreviewArea* m_area;
  std::atomic<bool>& m_prevthrfree;
  std::unique_ptr<tpreviewload> m_prevthread;
  QString m_lastprev;
  QTimer* m_timer5;
  QTimer* m_timer9;
  QSize m_timer9Box;
  uint64_t m_lastTimer9Start = 0;
};

}  // namespace brevane::app
