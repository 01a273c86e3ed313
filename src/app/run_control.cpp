// The owner of a conversion run started from the window.
#include "run_control.h"

#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

#include "engine/progress_text.h"
#include "message_box.h"
#include "progressform.h"

namespace brevane::app {

RunController::RunController(QWidget* window, LangString langString, LifetimeTotals& totals)
    : QObject(window), m_window(window), m_lang(std::move(langString)) {
  m_job = std::make_unique<ConversionJob>(*this, m_log, totals);
  // Lines come from the workers' threads; the window takes them on its own.
  m_log.setListener([this](const std::string& line) {
    QMetaObject::invokeMethod(
        this, [this, l = QString::fromStdString(line)] { emit lineLogged(l); }, Qt::QueuedConnection);
  });
  auto timer = [this](const char* name, int interval) {
    auto* t = new QTimer(this);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(interval);
    return t;
  };
  m_dispatch = timer("Timer1", 1);
  m_reap = timer("Timer2", 1);
  m_watcher = timer("Timer3", 250);
  m_refresh = timer("ProgressRefresh", 100);
  connect(m_dispatch, &QTimer::timeout, this, [this] {
    m_job->dispatchTick();
    if (!m_job->dispatchEnabled()) m_dispatch->stop();
    if (m_job->watcherEnabled() && !m_watcher->isActive()) m_watcher->start();
    if (m_job->aborted()) watch();
  });
  connect(m_reap, &QTimer::timeout, this, [this] { m_job->reapTick(); });
  connect(m_watcher, &QTimer::timeout, this, &RunController::watch);
  connect(m_refresh, &QTimer::timeout, this, &RunController::refresh);
}

RunController::~RunController() {
  // Workers still running finish their file before the job that owns them goes.
  m_job->cancel();
  for (auto& worker : m_job->thr) worker->wait();
  m_log.setListener({});
}

void RunController::setProgressForm(TProgressform* form) {
  m_progress = form;
  if (!form) return;
  connect(this, &RunController::lineLogged, form, &TProgressform::appendLine);
  connect(form, &TProgressform::cancelRequested, this, &RunController::cancel);
  connect(form, &TProgressform::openFolderRequested, this,
          [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(m_outputFolder))); });
}

bool RunController::start(TConversionSettings& settings, const std::vector<std::string>& files) {
  if (m_running) return false;
  if (!m_job->start(settings, files)) return false;
  m_outputFolder = settings.Output_path;
  m_running = true;
  m_dispatch->start();
  m_reap->start();
  m_refresh->start();
  if (m_progress) m_progress->exec();
  return true;
}

void RunController::cancel() {
  if (!m_running) return;
  m_job->cancel();
  m_dispatch->stop();
  m_watcher->start();
  if (m_progress) m_progress->setWindowTitle(m_lang("Stopping..."));
}

void RunController::refresh() {
  if (!m_progress) return;
  char sep = m_job->runSettings().textfs.decimalSeparator;
  int32_t in = m_job->counters.processedbytes.load();
  int32_t out = m_job->counters.outputbytes.load();
  QString output = out > 0 && in > 0 ? QString::fromStdString(outputText(out, in, sep)) : QString();
  QString seconds =
      m_reap->isActive() ? QString::fromStdString(secondsText(m_job->elapsedMs(), sep)) + " s" : QString();
  m_progress->showValues(m_job->counters.processed.load(), static_cast<int>(m_job->thr.size()),
                         QString::fromStdString(sizeText(in, sep)), output, seconds);
}

void RunController::watch() {
  if (!m_job->completionTick() && !m_job->aborted()) return;
  m_watcher->stop();
  m_dispatch->stop();
  m_reap->stop();
  m_running = false;
  refresh();
  if (m_progress) {
    if (m_progress->cancelled()) m_progress->hide();
    m_progress->appendLine(QStringLiteral("-----------------------"));
    m_progress->appendLine(m_lang("AllProcessed") + " " + QString::number(m_job->counters.processed.load()));
    m_progress->finish(m_lang("progressformPngBitBtn1CaptionClose"));
  }
  emit runFinished();
}

void RunController::showMessage(const std::string& text, const std::string& caption, Icon icon) {
  BoxIcon i = icon == Icon::kError     ? BoxIcon::kError
              : icon == Icon::kWarning ? BoxIcon::kWarning
                                       : BoxIcon::kInformation;
  showMessageBox(m_window, i, QString::fromStdString(caption), QString::fromStdString(text));
}

std::string RunController::langString(const std::string& key) {
  return m_lang(key.c_str()).toStdString();
}

void RunController::outputPathChanged(const std::string& path) {
  emit outputPathShown(QString::fromStdString(path));
}

void RunController::renameMaskChanged(const std::string& mask) {
  emit renameMaskShown(QString::fromStdString(mask));
}

void RunController::progressStarted(int total) {
  if (m_progress) m_progress->prepare(total, m_lang("progressformPngBitBtn1CaptionCancel"), m_lang("Progressform"));
}

void RunController::progressAborted() {
  if (m_progress) m_progress->hide();
}

}  // namespace brevane::app
