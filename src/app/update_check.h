// The update check: the reminder armed at start-up, the one GET of the version file with a
// local event loop while it waits, and the boxes that report the verdict.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

#include "base/datetime.h"

class QAction;
class QTimer;

namespace brevane::app {

class TBRVMainform;

/// The outcome of one GET.
struct UpdateFetch {
  bool ok = false;           // a 2xx reply that was read whole within the limits
  bool interrupted = false;  // the program is quitting: the wait ended before the reply did
  QByteArray body;           // at most kMaxUpdateReplyBytes
};

/// GETs `url` (user agent, Accept "text/html, */*", redirects followed unless they lead from
/// https to http, no cookies, no proxy, no authentication). A connection failure, an error
/// status, `timeoutMs` without progress, twice `timeoutMs` in all, or a body longer than
/// kMaxUpdateReplyBytes is a failure. The calling thread runs a local event loop meanwhile, so
/// the windows keep repainting and answering.
UpdateFetch fetchUpdateFile(const QUrl& url, const QByteArray& userAgent, int timeoutMs);

class UpdateCheck : public QObject {
  Q_OBJECT
 public:
  /// `lastUpdate` is the window's last-check date, changed here and saved by the window.
  UpdateCheck(TBRVMainform* window, LocalDateTime& lastUpdate, QAction* menuItem);

  /// The start-up steps: the reminder armed when the last check lies more than 14 days back
  /// (or ahead), the menu item made visible.
  void arm();

  /// The menu item's command: asks the server and reports with a box; a second call while a
  /// check waits does nothing.
  void check();

  QTimer* reminderTimer() const { return m_timer; }
  bool busy() const { return m_busy; }
  QString userAgent() const { return QString::fromLatin1(m_userAgent); }

  /// For tests: the server (default: the environment variable, else the program's constant),
  /// the time-out, and the clock.
  void setServer(const QString& server) { m_server = server; }
  void setTimeoutMs(int ms) { m_timeoutMs = ms; }
  void setClock(std::function<LocalDateTime()> now) { m_now = std::move(now); }

 private:
  void Timer1Timer();

  TBRVMainform* m_window;
  LocalDateTime& m_lastUpdate;
  QAction* m_item;
  QTimer* m_timer;
  QByteArray m_userAgent;
  QString m_server;
  int m_timeoutMs;
  std::function<LocalDateTime()> m_now;
  bool m_busy = false;
};

}  // namespace brevane::app
