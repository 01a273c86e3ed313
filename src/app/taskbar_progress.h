// TTaskbarProgressBar: a progress bar that mirrors its state on the program's taskbar button,
// through a backend: the desktop's launcher-entry signal on the session bus, or nothing.
#pragma once

#include <QDBusConnection>
#include <QPalette>
#include <QProgressBar>
#include <QString>
#include <vector>

#include "engine/taskbar_progress.h"

namespace brevane::app {

/// Where the taskbar updates of the bars go.
class TaskbarBackend {
 public:
  virtual ~TaskbarBackend() = default;
  /// One update: its calls in order.
  virtual void update(const std::vector<TaskbarCall>& calls) = 0;
};

/// Sends the taskbar button's progress as the launcher-entry signal that docks and task
/// managers listen for ("progress" 0 to 1 and "progress-visible"); an unchanged look is not
/// sent again.
class LauncherEntryBackend : public TaskbarBackend {
 public:
  static constexpr const char* kInterface = "com.canonical.Unity.LauncherEntry";
  static constexpr const char* kObjectPath = "/org/brevane/LauncherEntry";

  LauncherEntryBackend(QDBusConnection bus, QString appUri);
  void update(const std::vector<TaskbarCall>& calls) override;
  /// Signals that could not be handed to the bus.
  int failures() const { return m_failures; }

 private:
  QDBusConnection m_bus;
  QString m_appUri;
  TaskbarButton m_button;
  bool m_sent = false;
  bool m_visible = false;
  double m_progress = 0;
  int m_failures = 0;
};

/// The backend of this session, made on first use and kept for the life of the process: the
/// launcher entry of this program's desktop entry when a session bus is there (its address in
/// the environment or its socket in the runtime folder), otherwise one that does nothing.
TaskbarBackend& sessionTaskbarBackend();

/// A progress bar with a state (normal, error, paused, or a marquee that animates when
/// enabled) whose look is mirrored on the taskbar button while ShowInTaskbar is on. Each change
/// posts a request; the button is brought up to date with the state of the moment the request
/// is handled. Use the operations below, not QProgressBar's range and value setters.
class TTaskbarProgressBar : public QProgressBar {
  Q_OBJECT
 public:
  explicit TTaskbarProgressBar(QWidget* parent = nullptr);

  int min() const { return m_model.min(); }
  int max() const { return m_model.max(); }
  int position() const { return m_model.position(); }
  /// Range rules of ProgressBarModel (throws brevane::Error).
  void setMin(int min);
  void setMax(int max);
  void setPosition(int position);

  TTaskbarProgressState progressBarState() const { return m_model.state; }
  /// A new state changes the look and requests an update; the same state again only
  /// re-applies it and requests an update.
  void setProgressBarState(TTaskbarProgressState state);
  bool marqueeEnabled() const { return m_model.marqueeEnabled; }
  /// Starts or stops the marquee animation (it shows in the marquee state only).
  void setMarqueeEnabled(bool enabled);
  bool showInTaskbar() const { return m_model.showInTaskbar; }
  void setShowInTaskbar(bool show);
  /// Milliseconds between animation steps; kept for the record, the style draws its own pace.
  int marqueeInterval() const { return m_marqueeInterval; }
  void setMarqueeInterval(int ms) { m_marqueeInterval = ms; }
  bool smooth() const { return m_smooth; }
  void setSmooth(bool smooth) { m_smooth = smooth; }
  bool smoothReverse() const { return m_smoothReverse; }
  void setSmoothReverse(bool smoothReverse) { m_smoothReverse = smoothReverse; }

  /// Work of unknown length (a folder scan) on the bar and the taskbar button: on puts the bar
  /// in its marquee state, starts the animation and mirrors it; off stops both.
  void setBusy(bool busy);

  /// Where the updates go (the session's backend by default). Not owned.
  void setBackend(TaskbarBackend* backend) { m_backend = backend; }

 private:
  void applyLook();
  void requestUpdate();
  void updateTaskbar();

  ProgressBarModel m_model;
  TaskbarBackend* m_backend;
  QPalette m_normalPalette;
  int m_marqueeInterval = 50;
  bool m_smooth = false;
  bool m_smoothReverse = false;
};

}  // namespace brevane::app
