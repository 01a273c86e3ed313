// The about dialog.
#include "aboutform.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

#include "desktop_open.h"
#include "icons.h"
#include "retext.h"
#include "widgets.h"

namespace brevane::app {

namespace {

// The banner: the logo and the program's name on a soft gradient, 494 x 100.
QPixmap banner() {
  QPixmap p(494, 100);
  QPainter painter(&p);
  QLinearGradient g(0, 0, 494, 100);
  g.setColorAt(0, QColor(47, 111, 179));
  g.setColorAt(1, QColor(120, 180, 235));
  painter.fillRect(p.rect(), g);
  painter.drawPixmap(18, 10, programLogo(80));
  QFont f = painter.font();
  f.setPointSize(26);
  f.setBold(true);
  painter.setFont(f);
  painter.setPen(Qt::white);
  painter.drawText(QRect(114, 0, 370, 100), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Brevane"));
  return p;
}

}  // namespace

void styleLinkLabel(TLabel* label) {
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, QColor(0, 0, 128));
  label->setPalette(pal);
  QFont f = label->font();
  f.setUnderline(true);
  label->setFont(f);
  label->setCursor(Qt::PointingHandCursor);
}

TAboutForm::TAboutForm(QWidget* parent, std::string languageFile)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_languageFile(std::move(languageFile)) {
  setObjectName("AboutForm");
  setWindowTitle(QStringLiteral("О программе"));

  auto* image = named<QLabel>("Image1", this);  // a picture, not a text label
  image->setPixmap(banner());
  image->setFixedHeight(100);
  image->setAlignment(Qt::AlignCenter);

  auto* grid = new QGridLayout;
  grid->setContentsMargins(12, 8, 12, 0);
  grid->addWidget(named<TLabel>("Label1", QStringLiteral("Версия:"), this), 0, 0);
  m_version = named<TLabel>("Label2", QStringLiteral("..."), this);
  grid->addWidget(m_version, 0, 1);
  grid->addWidget(named<TLabel>("Label3", QStringLiteral("Дата компиляции: "), this), 1, 0);
  m_date = named<TLabel>("Label4", QStringLiteral("..."), this);
  grid->addWidget(m_date, 1, 1);
  m_mail = named<TLabel>("Label5", QStringLiteral("sss"), this);
  m_site = named<TLabel>("Label6", QStringLiteral("Сайт программы"), this);
  m_site->setToolTip(QStringLiteral("Перейти на сайт программы"));
  grid->addWidget(m_mail, 2, 0, 1, 2);
  grid->addWidget(m_site, 3, 0, 1, 2);
  m_mail->installEventFilter(this);
  m_site->installEventFilter(this);
  grid->setColumnStretch(1, 1);

  auto* bevel = named<QFrame>("Bevel1", this);
  bevel->setFrameShape(QFrame::HLine);
  bevel->setFrameShadow(QFrame::Sunken);
  auto* close = named<TPngBitBtn>("PngBitBtn1", style()->standardIcon(QStyle::SP_DialogCloseButton),
                                  QStringLiteral("Закрыть"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 10);
  layout->addWidget(image);
  layout->addLayout(grid);
  layout->addStretch(1);
  layout->addWidget(bevel);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(12, 0, 12, 0);
  buttons->addStretch(1);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  setFixedSize(QSize(494, 240).expandedTo(sizeHint()));
}

void TAboutForm::ChangeLang(const QString& section) {
  retextDialog(this, i18n::WindowRole::kAbout, m_languageFile, section);
}

void TAboutForm::setVersion(const QString& version, const QString& buildDate) {
  m_version->setText(version);
  m_date->setText(buildDate);
}

QString TAboutForm::versionText() const {
  return m_version->text();
}

QString TAboutForm::buildDateText() const {
  return m_date->text();
}

void TAboutForm::showEvent(QShowEvent* event) {
  m_mail->setText(QString::fromLatin1(kSupportAddress.data(), static_cast<qsizetype>(kSupportAddress.size())));
  QDialog::showEvent(event);
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == m_mail || watched == m_site) && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* label = static_cast<QWidget*>(watched);
    if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
      const std::string_view target = watched == m_mail ? kSupportAddress : kWebSite;
      const QString address = QString::fromLatin1(target.data(), static_cast<qsizetype>(target.size()));
      openDesktopUrl(QUrl(watched == m_mail ? QStringLiteral("mailto:") + address : address));
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace brevane::app
