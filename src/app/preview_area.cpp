// The preview area of the main window.
#include "preview_area.h"

#include <QEvent>
#include <QGridLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "icons.h"
#include "imaging/list_preview.h"
#include "widgets.h"

namespace brevane::app {

void TPaintBox::setImage(const QImage& image) {
  m_image = image;
  update();
}

QRectF TPaintBox::imageRect() const {
  if (m_image.isNull()) return {};
  imaging::Size s = imaging::fitPreview(m_image.width(), m_image.height(), width(), height());
  return {width() / 2.0 - s.width / 2.0, height() / 2.0 - s.height / 2.0, static_cast<qreal>(s.width),
          static_cast<qreal>(s.height)};
}

void TPaintBox::paintEvent(QPaintEvent*) {
  if (m_image.isNull()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawImage(imageRect(), m_image);
}

PreviewArea::PreviewArea(QWidget* parent) : QWidget(parent) {
  setObjectName("PreviewArea");
  m_stack = new QWidget(this);
  m_stack->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  m_stack->installEventFilter(this);
  auto* grid = new QGridLayout(m_stack);
  grid->setContentsMargins(0, 0, 0, 0);
  m_preview = named<QLabel>("Preview", m_stack);
  m_preview->setAlignment(Qt::AlignCenter);
  m_preview->setMinimumSize(64, 48);
  m_preview->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  m_preview->installEventFilter(this);
  setPicture(programLogo(178));
  m_previewGdi = named<TPaintBox>("PreviewGDI", m_stack);
  m_previewGdi->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  m_previewGdi->installEventFilter(this);
  m_previewGdi->hide();
  grid->addWidget(m_preview, 0, 0);
  grid->addWidget(m_previewGdi, 0, 0);

  m_caption = named<TLabel>("Label18", this);
  m_caption->setAlignment(Qt::AlignCenter);
  m_caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  m_caption->installEventFilter(this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(m_stack, 1);
  layout->addWidget(m_caption);
}

void PreviewArea::SetPreview(bool platformMode) {
  m_gdiEnabled = platformMode;
  m_previewGdi->setVisible(platformMode);
  m_preview->setVisible(!platformMode);
}

QSize PreviewArea::boxSize() const {
  return m_stack->size();
}

void PreviewArea::setPicture(const QPixmap& picture) {
  m_picture = picture;
  fitPicture();
}

void PreviewArea::fitPicture() {
  QSize box = m_preview->contentsRect().size();
  if (m_picture.isNull()) {
    m_preview->clear();
  } else if ((m_picture.width() <= box.width() && m_picture.height() <= box.height()) || box.isEmpty()) {
    m_preview->setPixmap(m_picture);
  } else {
    m_preview->setPixmap(m_picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  }
}

void PreviewArea::setCaption(const QString& text) {
  m_captionText = text;
  elideCaption();
}

void PreviewArea::elideCaption() {
  m_caption->setText(m_caption->fontMetrics().elidedText(m_captionText, Qt::ElideMiddle, m_caption->width()));
}

bool PreviewArea::eventFilter(QObject* watched, QEvent* event) {
  // The overlay preview opens from whichever of the two boxes shows the file.
  if ((watched == m_preview || watched == m_previewGdi) && event->type() == QEvent::MouseButtonDblClick)
    emit pictureDoubleClicked();
  if (watched == m_preview && event->type() == QEvent::Resize) fitPicture();
  if (watched == m_caption && event->type() == QEvent::Resize) elideCaption();
  if (watched == m_stack && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) emit boxResized();
  return QWidget::eventFilter(watched, event);
}

}  // namespace brevane::app
