// The preview area of the main window.
#include "preview_area.h"

#include <QEvent>
#include <QGridLayout>
#include <QVBoxLayout>

#include "icons.h"
#include "widgets.h"

namespace brevane::app {

PreviewArea::PreviewArea(QWidget* parent) : QWidget(parent) {
  setObjectName("PreviewArea");
  auto* stack = new QWidget(this);
  auto* grid = new QGridLayout(stack);
  grid->setContentsMargins(0, 0, 0, 0);
  m_preview = named<QLabel>("Preview", stack);
  m_preview->setAlignment(Qt::AlignCenter);
  m_preview->setMinimumSize(64, 48);
  m_preview->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  m_preview->installEventFilter(this);
  setPicture(programLogo(178));
  m_previewGdi = named<QWidget>("PreviewGDI", stack);
  m_previewGdi->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  m_previewGdi->hide();
  grid->addWidget(m_preview, 0, 0);
  grid->addWidget(m_previewGdi, 0, 0);

  m_caption = named<TLabel>("Label18", this);
  m_caption->setAlignment(Qt::AlignCenter);
  m_caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(stack, 1);
  layout->addWidget(m_caption);
}

void PreviewArea::SetPreview(bool platformMode) {
  m_gdiEnabled = platformMode;
  m_previewGdi->setVisible(platformMode);
  m_preview->setVisible(!platformMode);
}

void PreviewArea::setPicture(const QPixmap& picture) {
  m_picture = picture;
  fitPicture();
}

void PreviewArea::fitPicture() {
  QSize box = m_preview->contentsRect().size();
  if (m_picture.isNull() || (m_picture.width() <= box.width() && m_picture.height() <= box.height()) || box.isEmpty()) {
    m_preview->setPixmap(m_picture);
  } else {
    m_preview->setPixmap(m_picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  }
}

bool PreviewArea::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_preview && event->type() == QEvent::MouseButtonDblClick) emit pictureDoubleClicked();
  if (watched == m_preview && event->type() == QEvent::Resize) fitPicture();
  return QWidget::eventFilter(watched, event);
}

}  // namespace brevane::app
