// The preview area at the top right of the main window: the picture box `Preview` (the
// program's logo until a file is previewed), the paint box `PreviewGDI` in the same place and
// the caption line `Label18` under them.
#pragma once

#include <QImage>
#include <QLabel>
#include <QWidget>

namespace brevane::app {

class TLabel;

/// The paint box: paints its image shrunk to fit (nearest neighbour) and centred.
class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
  void setImage(const QImage& image);
  const QImage& image() const { return m_image; }
  /// Where the image is drawn now (empty when there is none).
  QRectF imageRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_image;
};

class PreviewArea : public QWidget {
  Q_OBJECT
 public:
  explicit PreviewArea(QWidget* parent = nullptr);

  /// Which of the two controls shows: the paint box (true) or the picture box (false).
  void SetPreview(bool platformMode);
  bool GDIPreviewEnabled() const { return m_gdiEnabled; }

  /// The picture box's picture: centred, and shrunk proportionally when it is larger than the
  /// box (also after the box changes size). A null pixmap empties the box.
  void setPicture(const QPixmap& picture);
  const QPixmap& pictureShown() const { return m_picture; }
  QLabel* picture() const { return m_preview; }
  TPaintBox* paintBox() const { return m_previewGdi; }
  TLabel* caption() const { return m_caption; }
  /// The caption line; a text too long for it is shortened in the middle with an ellipsis.
  void setCaption(const QString& text);
  QString captionText() const { return m_captionText; }
  /// The size a preview scales into: the place the picture box and the paint box share.
  QSize boxSize() const;

 signals:
  /// A double click on the preview (the overlay preview).
  void pictureDoubleClicked();
  /// The preview's place changed size.
  void boxResized();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fitPicture();
  void elideCaption();

  QWidget* m_stack;
  QLabel* m_preview;
  QPixmap m_picture;
  TPaintBox* m_previewGdi;
  TLabel* m_caption;
  QString m_captionText;
  bool m_gdiEnabled = false;
};

}  // namespace brevane::app
