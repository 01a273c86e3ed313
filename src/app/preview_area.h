// The preview area at the top right of the main window: the picture box `Preview` (the
// program's logo until a file is previewed), the paint box `PreviewGDI` in the same place and
// the caption line `Label18` under them.
#pragma once

#include <QLabel>
#include <QWidget>

namespace brevane::app {

class TLabel;

class PreviewArea : public QWidget {
  Q_OBJECT
 public:
  explicit PreviewArea(QWidget* parent = nullptr);

  /// Which of the two controls shows: the paint box (true) or the picture box (false).
  void SetPreview(bool platformMode);
  bool GDIPreviewEnabled() const { return m_gdiEnabled; }

  /// The picture box's picture: centred, and shrunk proportionally when it is larger than the
  /// box (also after the box changes size).
  void setPicture(const QPixmap& picture);
  QLabel* picture() const { return m_preview; }
  QWidget* paintBox() const { return m_previewGdi; }
  TLabel* caption() const { return m_caption; }
  /// The size of the picture box, as a preview scales into it.
  QSize boxSize() const { return m_preview->size(); }

 signals:
  /// A double click on the picture box (the overlay preview).
  void pictureDoubleClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fitPicture();

  QLabel* m_preview;
  QPixmap m_picture;
  QWidget* m_previewGdi;
  TLabel* m_caption;
  bool m_gdiEnabled = false;
};

}  // namespace brevane::app
