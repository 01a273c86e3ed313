// The overlay preview window.
#include "previewform.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QThread>
#include <QVBoxLayout>
#include <exception>
#include <memory>
#include <mutex>

#include "base/datetime.h"
#include "engine/conversion_lock.h"
#include "engine/step_options.h"
#include "imaging/masks.h"
#include "imaging/overlay_preview.h"
#include "preview_loader.h"
#include "widgets.h"

namespace brevane::app {

TPreviewForm::TPreviewForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("PreviewForm");
  setWindowTitle(QStringLiteral("Preview"));
  setWindowModality(Qt::ApplicationModal);
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

TPreviewForm::~TPreviewForm() {
  if (m_worker) m_worker->wait();
}

void TPreviewForm::setPicture(const QImage& image) {
  m_composed = image;
  QPixmap p = QPixmap::fromImage(image);
  // The area above the button strip, known before the window is first laid out.
  QSize area(width(), height() - 47);
  if (p.width() > area.width() || p.height() > area.height())
    p = p.scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  m_image->setPixmap(p);
}

void TPreviewForm::PreviewGDIDblClick(const QString& lastprev, const TConversionSettings& settings) {
  if (m_worker || lastprev.isEmpty() || !QFileInfo::exists(lastprev)) return;
  const std::string sample = imaging::textSample(settings.Watermark_text_mask, settings.Resize_width,
                                                 settings.Resize_height, localNow(), settings.textfs);
  struct Outcome {
    QImage image;
    QString error;
  };
  auto outcome = std::make_shared<Outcome>();
  m_worker = QThread::create([outcome, path = lastprev.toStdString(), options = overlayPreviewOptions(settings),
                              sample] {
    // Fonts and decoders are shared with a run that may start meanwhile.
    std::lock_guard lock(ConversionLock());
    try {
      outcome->image = toQImage(imaging::composeOverlayPreview(path, options, sample));
    } catch (const std::exception& e) {
      outcome->error = QString::fromUtf8(e.what());
    } catch (...) {
      outcome->error = QStringLiteral("Error!");
    }
  });
  connect(m_worker, &QThread::finished, this, [this, outcome] {
    m_worker->deleteLater();
    m_worker = nullptr;
    if (outcome->image.isNull()) {
      emit overlayFailed(outcome->error);
      return;
    }
    setPicture(outcome->image);
    show();
    raise();
    activateWindow();
  });
  m_worker->start();
}

void TPreviewForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Centred on the screen.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect r = frameGeometry();
    r.moveCenter(screen->availableGeometry().center());
    move(r.topLeft());
  }
}

}  // namespace brevane::app
