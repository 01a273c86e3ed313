// The statistics dialog.
#include "statisticsform.h"

#include <QGridLayout>
#include <QStyle>
#include <QVBoxLayout>

#include "engine/progress_text.h"
#include "retext.h"
#include "widgets.h"

namespace brevane::app {

TStatisticsform::TStatisticsform(QWidget* parent, std::string languageFile)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_languageFile(std::move(languageFile)) {
  setObjectName("Statisticsform");
  setWindowTitle(QStringLiteral("Статистика"));

  // Named like a group box, but a bold underlined heading.
  auto* heading = named<TLabel>("GroupBox1", QStringLiteral("Статистика по обработанным файлам"), this);
  QFont f = heading->font();
  f.setBold(true);
  f.setUnderline(true);
  heading->setFont(f);
  heading->setAlignment(Qt::AlignCenter);

  const QString amountHint = QStringLiteral("Количество обработанных данных за все время использования программы");
  const QString filesHint = QStringLiteral("Количество обработанных файлов за все время использования программы");
  auto* amountCaption = named<TLabel>("Label1", QStringLiteral("Обработано:"), this);
  m_amount = named<TLabel>("Label2", QStringLiteral("0 КиБ"), this);
  auto* filesCaption = named<TLabel>("Label3", QStringLiteral("Файлов:"), this);
  m_files = named<TLabel>("Label4", QStringLiteral("0"), this);
  for (TLabel* l : {amountCaption, m_amount}) l->setToolTip(amountHint);
  for (TLabel* l : {filesCaption, m_files}) l->setToolTip(filesHint);
  m_amount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  m_files->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  auto* grid = new QGridLayout;
  grid->addWidget(amountCaption, 0, 0);
  grid->addWidget(m_amount, 0, 1);
  grid->addWidget(filesCaption, 1, 0);
  grid->addWidget(m_files, 1, 1);

  auto* close = named<TPngBitBtn>("PngBitBtn1", style()->standardIcon(QStyle::SP_DialogCloseButton),
                                  QStringLiteral("Закрыть"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addLayout(grid);
  layout->addStretch(1);
  layout->addWidget(close, 0, Qt::AlignHCenter);
  setFixedSize(QSize(291, 115).expandedTo(sizeHint()));
}

void TStatisticsform::ChangeLang(const QString& section) {
  retextDialog(this, i18n::WindowRole::kStatistics, m_languageFile, section);
}

void TStatisticsform::setValues(const QString& amount, const QString& files) {
  m_amount->setText(amount);
  m_files->setText(files);
}

void TStatisticsform::showTotals(const QString& lang, int64_t kib, int64_t files, char decimalSeparator) {
  ChangeLang(QStringLiteral("English"));
  ChangeLang(lang);
  // The unit words are fixed; they are not looked up in the language file.
  setValues(QString::fromStdString(sizeText(kib, decimalSeparator)), QString::number(files));
  // A language's longer texts widen the dialog rather than being cut.
  setFixedSize(QSize(291, 115).expandedTo(sizeHint()));
}

QString TStatisticsform::amountText() const {
  return m_amount->text();
}

QString TStatisticsform::filesText() const {
  return m_files->text();
}

}  // namespace brevane::app
