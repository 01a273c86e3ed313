// The progress dialog of a run.
#include "progressform.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QStyle>
#include <QVBoxLayout>
#include <cstdlib>

#include "message_box.h"
#include "retext.h"
#include "taskbar_progress.h"
#include "widgets.h"

namespace brevane::app {

namespace {

// The design size of the client area; the dialog never gets smaller.
constexpr int kClientWidth = 333;
constexpr int kClientHeight = 255;

}  // namespace

TProgressform::TProgressform(QWidget* parent, std::string languageFile)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_languageFile(std::move(languageFile)),
      m_terminate([] { std::_Exit(1); }) {
  setObjectName("Progressform");
  setWindowTitle(QStringLiteral("Обработка"));
  setModal(true);
  resize(kClientWidth, kClientHeight);
  setMinimumSize(kClientWidth, kClientHeight);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(3);
  auto pair = [&](int row, const char* captionName, const char* caption, const char* valueName, const char* value) {
    grid->addWidget(named<TLabel>(captionName, QString::fromUtf8(caption)), row, 0);
    auto* v = named<TLabel>(valueName, QString::fromUtf8(value));
    v->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(v, row, 1);
    return v;
  };
  m_files = pair(0, "Label3", "Файлов:", "Label4", "0/0");
  m_time = pair(1, "Label9", "Время:", "Label10", "0 s");
  m_input = pair(2, "Label5", "Обработано:", "Label6", "0 KiB");
  m_output = pair(3, "Label7", "Результат:", "Label8", "0 KiB");
  m_workers = pair(4, "Label1", "Потоков:", "Label2", "0");
  grid->setColumnStretch(1, 1);

  m_bar = named<TTaskbarProgressBar>("ProgressBar1", this);
  m_bar->setMarqueeInterval(10);
  m_bar->setTextVisible(false);
  m_log = named<QPlainTextEdit>("errorlog", this);
  m_log->setReadOnly(true);
  m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  m_openFolder = named<TPngBitBtn>("PngBitBtn2", style()->standardIcon(QStyle::SP_DirOpenIcon), "Открыть папку", this);
  m_button = named<TPngBitBtn>("PngBitBtn1", style()->standardIcon(QStyle::SP_DialogCancelButton), "Отмена", this);
  m_openFolder->setEnabled(false);
  m_openFolder->setAutoDefault(false);
  m_button->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_openFolder);
  buttons->addStretch(1);
  buttons->addWidget(m_button);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(6);
  layout->addLayout(grid);
  layout->addWidget(m_bar);
  layout->addWidget(m_log, 1);
  layout->addLayout(buttons);

  connect(m_button, &QPushButton::clicked, this, &TProgressform::buttonClicked);
  connect(m_openFolder, &QPushButton::clicked, this, [this] {
    emit openFolderRequested();
    buttonClicked();
  });
  if (parent) parent->window()->installEventFilter(this);
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
  m_bar->setMax(total);
  m_bar->setPosition(0);
  m_bar->setProgressBarState(TTaskbarProgressState::pbstNormal);
  m_bar->setShowInTaskbar(true);
  m_log->clear();
  setWindowTitle(title);
  centreOnMainWindow();
}

void TProgressform::showValues(const ProgressTexts& t) {
  m_bar->setPosition(t.position);
  m_files->setText(QString::fromStdString(t.files));
  m_workers->setText(QString::fromStdString(t.workers));
  m_input->setText(QString::fromStdString(t.input));
  if (t.output) m_output->setText(QString::fromStdString(*t.output));
  if (t.seconds) m_time->setText(QString::fromStdString(*t.seconds));
}

void TProgressform::appendLine(const QString& line) {
  m_log->appendPlainText(line);
}

void TProgressform::showStopping(const QString& caption) {
  m_bar->setProgressBarState(TTaskbarProgressState::pbstMarquee);
  m_bar->setMarqueeEnabled(true);
  setWindowTitle(caption);
  m_button->setEnabled(false);
}

void TProgressform::showFinished(const QString& closeCaption) {
  m_bar->setMarqueeEnabled(false);
  m_finished = true;
  m_openFolder->setEnabled(true);
  m_button->setText(closeCaption);
}

void TProgressform::buttonClicked() {
  if (m_finished) {
    closeDialog();
    return;
  }
  m_cancel = true;
  emit cancelRequested();
}

void TProgressform::closeDialog() {
  hide();
  m_bar->setMarqueeEnabled(false);
  m_bar->setShowInTaskbar(false);
}

void TProgressform::closeEvent(QCloseEvent* event) {
  // The main window closes its hidden dialogs on exit: nothing to ask then.
  if (!isVisible()) {
    event->accept();
    return;
  }
  // While the button is enabled the close box presses it (Cancel during a run, Close
  // afterwards) and the dialog goes at once; a stop then goes on behind the main window.
  if (m_button->isEnabled()) {
    buttonClicked();
    event->accept();
    return;
  }
  // A stop is pending: the only way out before the workers finish is to end the program.
  if (m_registeredWorkers && m_registeredWorkers() > 0) {
    if (showMessageBox(this, BoxIcon::kError, QStringLiteral("Emergency shutdown"),
                       QStringLiteral("Terminate program?"), BoxButtons::kYesNo) == BoxAnswer::kYes) {
      event->accept();
      m_terminate();
    } else {
      event->ignore();
    }
    return;
  }
  event->accept();
}

void TProgressform::reject() {
  if (m_finished) close();
}

void TProgressform::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // Minimizing the dialog minimizes the whole program.
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) && parentWidget())
    parentWidget()->window()->showMinimized();
}

bool TProgressform::eventFilter(QObject* watched, QEvent* event) {
  // The program restored from its taskbar button brings the dialog back with it.
  if (event->type() == QEvent::WindowStateChange && parentWidget() && watched == parentWidget()->window() &&
      !(parentWidget()->window()->windowState() & Qt::WindowMinimized) && isVisible() &&
      (windowState() & Qt::WindowMinimized)) {
    setWindowState(windowState() & ~Qt::WindowMinimized);
  }
  return QDialog::eventFilter(watched, event);
}

void TProgressform::centreOnMainWindow() {
  QWidget* main = parentWidget() ? parentWidget()->window() : nullptr;
  if (!main) return;
  QSize outer = isVisible() ? frameGeometry().size() : size();
  move(main->frameGeometry().center() - QPoint(outer.width() / 2, outer.height() / 2));
}

}  // namespace brevane::app
