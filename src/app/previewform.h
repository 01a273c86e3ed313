// The overlay preview window TPreviewForm: the previewed file with the text stamp and the
// watermark as configured. It keeps its built-in English texts.
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>

#include "engine/settings.h"

class QLabel;
class QThread;

namespace brevane::app {

class TPreviewForm : public QDialog {
  Q_OBJECT
 public:
  explicit TPreviewForm(QWidget* parent);
  ~TPreviewForm() override;

  /// The picture, centred and shrunk to fit when larger than the area.
  void setPicture(const QImage& image);
  /// The composition being shown (at most 800 x 600).
  const QImage& image() const { return m_composed; }
  QLabel* picture() const { return m_image; }

  /// The overlay preview of `lastprev` with the stamp and watermark of `settings`: composed
  /// off the window's thread, then shown modally. Nothing when the file does not exist or a
  /// composition is still running.
  void PreviewGDIDblClick(const QString& lastprev, const TConversionSettings& settings);
  bool composing() const { return m_worker != nullptr; }

 signals:
  /// The file could not be decoded or stamped; the error's text.
  void overlayFailed(const QString& message);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* m_image = nullptr;
  QImage m_composed;
  QThread* m_worker = nullptr;
};

}  // namespace brevane::app
