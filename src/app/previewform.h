// The overlay preview window TPreviewForm: the previewed file with the text stamp and the
// watermark as configured. It keeps its built-in English texts.
#pragma once

#include <QDialog>
#include <QImage>

class QLabel;

namespace brevane::app {

class TPreviewForm : public QDialog {
  Q_OBJECT
 public:
  explicit TPreviewForm(QWidget* parent);
  /// The picture, centred and shrunk to fit when larger than the area.
  void setPicture(const QImage& image);
  QLabel* picture() const { return m_image; }

 private:
  QLabel* m_image = nullptr;
};

}  // namespace brevane::app
