// The owner of a conversion run started from the window.
#include "run_control.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

#include "message_box.h"
#include "progressform.h"

namespace brevane::app {

RunController::RunController(QWidget* window, LangString langString, LifetimeTotals& totals)
    : QObject(window), m_window(window), m_lang(std::move(langString)) {
  m_job = std::make_unique<ConversionJob>(*this, m_log, totals);
  // Lines come from the workers' threads; the window takes them on its own, in order.
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
  connect(m_dispatch, &QTimer::timeout, this, &RunController::dispatch);
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
  connect(this, &RunController::progressUpdated, form, &TProgressform::showValues);
  connect(form, &TProgressform::cancelRequested, this, &RunController::cancel);
  connect(form, &TProgressform::openFolderRequested, this,
          [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(m_outputFolder))); });
  form->setRegisteredWorkers([this] { return static_cast<int>(m_job->thr.size()); });
}

bool RunController::start(TConversionSettings& settings, const std::vector<std::string>& files) {
  // A stop still going on behind a closed dialog ends first: its workers read the options
  // that a new start would replace.
  if (m_running) return false;
  m_decimalSeparator = settings.textfs.decimalSeparator;
  // The language's units from the first refresh on: a Russian dialog never mixes in the
  // built-in ones, and the summary keeps its units after the end.
  m_units = ProgressUnits{m_lang("KiB").toStdString(), m_lang("MiB").toStdString(), m_lang("second").toStdString()};
  if (!m_job->start(settings, files)) return false;
  m_outputFolder = settings.Output_path;
  setRunning(true);
  m_dispatch->start();
  m_reap->start();
  m_refresh->start();
  refresh();
  if (m_progress) m_progress->exec();
  return true;
}

void RunController::cancel() {
  if (!m_running || m_job->finished()) return;
  if (m_progress) m_progress->showStopping(m_lang("Stopping..."));
  m_job->cancel();
  m_dispatch->stop();
  m_watcher->start();
}

void RunController::dispatch() {
  m_job->dispatchTick();
  if (m_job->aborted()) {
    endAbortedRun();
    return;
  }
  if (!m_job->dispatchEnabled()) m_dispatch->stop();
  if (m_job->watcherEnabled() && !m_watcher->isActive()) m_watcher->start();
}

ProgressSample RunController::sample() const {
  ProgressSample s;
  s.processed = m_job->counters.processed.load();
  s.total = m_job->total;
  s.workers = static_cast<int32_t>(m_job->thr.size());
  s.processedbytes = m_job->counters.processedbytes.load();
  s.outputbytes = m_job->counters.outputbytes.load();
  s.elapsedMs = m_job->elapsedMs();
  s.clockRunning = m_reap->isActive();
  return s;
}

void RunController::refresh() {
  emit progressUpdated(refreshTexts(sample(), m_decimalSeparator, m_units));
  // Between runs the counters stand still: no refresh while nothing is shown.
  if (!m_running && !(m_progress && m_progress->isVisible())) m_refresh->stop();
}

void RunController::watch() {
  if (!m_job->completionTick()) return;
  m_watcher->stop();
  m_reap->stop();
  if (m_progress) {
    if (m_progress->cancelled()) m_progress->hide();
    // Lines the last workers posted come before the end lines.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    m_progress->showFinished(m_lang("progressformPngBitBtn1CaptionClose"));
    std::vector<std::string> end = endOfRunLines(m_lang("AllProcessed").toStdString(), m_job->counters.processed);
    m_progress->appendLine(QString::fromStdString(end[0]));
    m_progress->showValues(summaryTexts(sample(), m_decimalSeparator, m_units));
    m_progress->appendLine(QString::fromStdString(end[1]));
  }
  setRunning(false);
  emit runFinished();
}

void RunController::endAbortedRun() {
  // The dialog is closed and the box shown (by the job); the workers already started finish
  // their file here, so that nothing of this run outlives it.
  m_dispatch->stop();
  m_reap->stop();
  m_watcher->stop();
  for (auto& worker : m_job->thr) worker->wait();
  m_job->thr.clear();
  setRunning(false);
  emit runFinished();
}

void RunController::setRunning(bool running) {
  if (running == m_running) return;
  m_running = running;
  emit runningChanged(running);
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
