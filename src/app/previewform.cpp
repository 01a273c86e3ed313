// The overlay preview window.
#include "previewform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

#include "widgets.h"

namespace brevane::app {

TPreviewForm::TPreviewForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("PreviewForm");
  setWindowTitle(QStringLiteral("Preview"));
  m_image = named<QLabel>("Image1", this);
  m_image->setAlignment(Qt::AlignCenter);
  m_image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  auto* close = named<TPngBitBtn>("PngBitBtn1", style()->standardIcon(QStyle::SP_DialogCloseButton),
                                  QStringLiteral("Close"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* strip = new QWidget(this);
  strip->setFixedHeight(47);
  auto* buttons = new QHBoxLayout(strip);
  buttons->addStretch(1);
  buttons->addWidget(close);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(m_image, 1);
  layout->addWidget(strip);
  setFixedSize(794, 575);
}

void TPreviewForm::setPicture(const QImage& image) {
  QPixmap p = QPixmap::fromImage(image);
  QSize area = m_image->size();
  if (p.width() > area.width() || p.height() > area.height())
    p = p.scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  m_image->setPixmap(p);
}

}  // namespace brevane::app
