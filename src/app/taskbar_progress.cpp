// TTaskbarProgressBar and the backends of its taskbar mirror.
#include "taskbar_progress.h"

#include <QDBusMessage>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStyle>
#include <QVariantMap>

namespace brevane::app {

namespace {

class NoTaskbar : public TaskbarBackend {
 public:
  void update(const std::vector<TaskbarCall>&) override {}
};

bool sessionBusPresent() {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
  // Without the variable the bus library looks for this socket; anything else would make it
  // try to launch a bus of its own.
  QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(runtime + "/bus");
}

QString desktopEntryUri() {
  QString name = QGuiApplication::desktopFileName();
  if (name.isEmpty()) name = QStringLiteral("brevane");
  return QStringLiteral("application://") + name + QStringLiteral(".desktop");
}

}  // namespace

LauncherEntryBackend::LauncherEntryBackend(QDBusConnection bus, QString appUri)
    : m_bus(std::move(bus)), m_appUri(std::move(appUri)) {}

void LauncherEntryBackend::update(const std::vector<TaskbarCall>& calls) {
  m_button.apply(calls);
  bool visible = m_button.progressVisible();
  double progress = m_button.fraction();
  // The bars request an update at every refresh; listeners only need changes.
  if (m_sent && visible == m_visible && progress == m_progress) return;
  QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, kInterface, QStringLiteral("Update"));
  QVariantMap properties;
  properties.insert(QStringLiteral("progress"), progress);
  properties.insert(QStringLiteral("progress-visible"), visible);
  signal << m_appUri << properties;
  if (!m_bus.send(signal)) {
    ++m_failures;
    return;
  }
  m_sent = true;
  m_visible = visible;
  m_progress = progress;
}

TaskbarBackend& sessionTaskbarBackend() {
  static TaskbarBackend* backend = [] {
    if (sessionBusPresent()) {
      QDBusConnection bus = QDBusConnection::sessionBus();
      if (bus.isConnected()) return static_cast<TaskbarBackend*>(new LauncherEntryBackend(bus, desktopEntryUri()));
    }
    return static_cast<TaskbarBackend*>(new NoTaskbar);
  }();
  return *backend;
}

TTaskbarProgressBar::TTaskbarProgressBar(QWidget* parent) : QProgressBar(parent), m_backend(&sessionTaskbarBackend()) {
  m_normalPalette = palette();
  resize(150, style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  applyLook();
}

void TTaskbarProgressBar::setMin(int min) {
  if (min == m_model.min()) return;
  m_model.setMin(min);
  applyLook();
  requestUpdate();
}

void TTaskbarProgressBar::setMax(int max) {
  if (max == m_model.max()) return;
  m_model.setMax(max);
  applyLook();
  requestUpdate();
}

void TTaskbarProgressBar::setPosition(int position) {
  m_model.setPosition(position);
  applyLook();
  requestUpdate();
}

void TTaskbarProgressBar::setProgressBarState(TTaskbarProgressState state) {
  m_model.state = state;
  applyLook();
  requestUpdate();
}

void TTaskbarProgressBar::setMarqueeEnabled(bool enabled) {
  if (enabled == m_model.marqueeEnabled) return;
  m_model.marqueeEnabled = enabled;
  if (m_model.state != TTaskbarProgressState::pbstMarquee) return;
  applyLook();
  requestUpdate();
}

void TTaskbarProgressBar::setShowInTaskbar(bool show) {
  if (show == m_model.showInTaskbar) return;
  m_model.showInTaskbar = show;
  requestUpdate();
}

void TTaskbarProgressBar::setBusy(bool busy) {
  if (busy) {
    setProgressBarState(TTaskbarProgressState::pbstMarquee);
    setMarqueeEnabled(true);
    setShowInTaskbar(true);
  } else {
    setMarqueeEnabled(false);
    setShowInTaskbar(false);
  }
}

void TTaskbarProgressBar::applyLook() {
  TTaskbarProgressState state = m_model.state;
  if (state == TTaskbarProgressState::pbstMarquee && m_model.marqueeEnabled) {
    QProgressBar::setRange(0, 0);  // the style's busy animation
  } else if (state == TTaskbarProgressState::pbstMarquee || m_model.min() == m_model.max()) {
    // A stopped marquee and an empty range show an empty bar (an empty range would animate).
    QProgressBar::setRange(0, 1);
    QProgressBar::setValue(0);
  } else {
    QProgressBar::setRange(m_model.min(), m_model.max());
    QProgressBar::setValue(m_model.position());
  }
  QPalette look = m_normalPalette;
  if (state == TTaskbarProgressState::pbstError) look.setColor(QPalette::Highlight, QColor(0xd0, 0x2c, 0x22));
  if (state == TTaskbarProgressState::pbstPaused) look.setColor(QPalette::Highlight, QColor(0xd8, 0xa4, 0x00));
  if (look != palette()) setPalette(look);
}

void TTaskbarProgressBar::requestUpdate() {
  QMetaObject::invokeMethod(this, &TTaskbarProgressBar::updateTaskbar, Qt::QueuedConnection);
}

void TTaskbarProgressBar::updateTaskbar() {
  if (m_backend) m_backend->update(m_model.taskbarUpdate());
}

}  // namespace brevane::app
