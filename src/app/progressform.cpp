// The progress dialog of a run.
#include "progressform.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStyle>
#include <QVBoxLayout>

#include "retext.h"
#include "widgets.h"

namespace brevane::app {

TProgressform::TProgressform(QWidget* parent, std::string languageFile)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_languageFile(std::move(languageFile)) {
  setObjectName("Progressform");
  setWindowTitle(QStringLiteral("Обработка"));
  setModal(true);
  resize(333, 255);
  setMinimumSize(333, 255);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(3);
  auto pair = [&](int row, const char* captionName, const char* caption, const char* valueName, const char* value) {
    grid->addWidget(named<TLabel>(captionName, QString::fromUtf8(caption)), row, 0);
    auto* v = named<TLabel>(valueName, QString::fromUtf8(value));
    grid->addWidget(v, row, 1);
    return v;
  };
  m_files = pair(0, "Label3", "Файлов:", "Label4", "0/0");
  m_time = pair(1, "Label9", "Время:", "Label10", "0 s");
  m_input = pair(2, "Label5", "Обработано:", "Label6", "0 KiB");
  m_output = pair(3, "Label7", "Результат:", "Label8", "0 KiB");
  m_workers = pair(4, "Label1", "Потоков:", "Label2", "0");
  grid->setColumnStretch(1, 1);

  m_bar = named<QProgressBar>("ProgressBar1", this);
  m_bar->setTextVisible(false);
  m_log = named<QPlainTextEdit>("errorlog", this);
  m_log->setReadOnly(true);
  m_log->setLineWrapMode(QPlainTextEdit::NoWrap);

  m_openFolder = named<TPngBitBtn>("PngBitBtn2", style()->standardIcon(QStyle::SP_DirOpenIcon), "Открыть папку", this);
  m_button = named<TPngBitBtn>("PngBitBtn1", style()->standardIcon(QStyle::SP_DialogCancelButton), "Отмена", this);
  m_openFolder->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_openFolder);
  buttons->addStretch(1);
  buttons->addWidget(m_button);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(m_bar);
  layout->addWidget(m_log, 1);
  layout->addLayout(buttons);

  connect(m_button, &QPushButton::clicked, this, [this] {
    if (m_finished) {
      hide();
    } else {
      m_cancel = true;
      m_button->setEnabled(false);
      emit cancelRequested();
    }
  });
  connect(m_openFolder, &QPushButton::clicked, this, [this] {
    emit openFolderRequested();
    hide();
  });
}

void TProgressform::ChangeLang(const QString& section) {
  retextDialog(this, i18n::WindowRole::kProgress, m_languageFile, section);
}

void TProgressform::prepare(int total, const QString& cancelCaption, const QString& title) {
  m_finished = false;
  m_cancel = false;
  m_button->setText(cancelCaption);
  m_button->setEnabled(true);
  m_openFolder->setEnabled(false);
  m_bar->setRange(0, total);
  m_bar->setValue(0);
  m_log->clear();
  setWindowTitle(title);
}

void TProgressform::showValues(int processed, int workers, const QString& input, const QString& output,
                               const QString& seconds) {
  m_bar->setValue(processed);
  m_files->setText(QString::number(processed) + "/" + QString::number(m_bar->maximum()));
  m_workers->setText(QString::number(workers));
  m_input->setText(input);
  if (!output.isEmpty()) m_output->setText(output);
  if (!seconds.isEmpty()) m_time->setText(seconds);
}

void TProgressform::appendLine(const QString& line) {
  m_log->appendPlainText(line);
}

void TProgressform::finish(const QString& closeCaption) {
  m_finished = true;
  m_openFolder->setEnabled(true);
  m_button->setText(closeCaption);
  m_button->setEnabled(true);
}

void TProgressform::closeEvent(QCloseEvent* event) {
  // The close box acts as the Cancel/Close button while that is enabled; the dialog hides.
  if (m_button->isEnabled() && !m_finished) {
    m_cancel = true;
    m_button->setEnabled(false);
    emit cancelRequested();
  }
  event->accept();
}

}  // namespace brevane::app
