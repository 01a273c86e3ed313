// The update check.
#include "update_check.h"

#include <QAction>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <cstdlib>

#include "desktop_open.h"
#include "mainform.h"
#include "message_box.h"
#include "services/update_rules.h"

namespace brevane::app {

UpdateFetch fetchUpdateFile(const QUrl& url, const QByteArray& userAgent, int timeoutMs) {
  constexpr qsizetype kLimit = static_cast<qsizetype>(services::kMaxUpdateReplyBytes);
  UpdateFetch result;
  QNetworkAccessManager manager;
  manager.setProxy(QNetworkProxy::NoProxy);
  manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);

  QNetworkRequest request(url);
  request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
  request.setRawHeader(
      "Accept", QByteArray(services::kUpdateAccept.data(), static_cast<qsizetype>(services::kUpdateAccept.size())));
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setMaximumRedirectsAllowed(10);
  // No cookies are sent or kept; a server that asks for credentials gets none and fails.
  request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
  // No progress for this long ends the request: the connect and the read time-out alike.
  request.setTransferTimeout(timeoutMs);

  QNetworkReply* reply = manager.get(request);
  bool tooLong = false;
  auto take = [&] {
    result.body += reply->read(kLimit + 1 - result.body.size());
    if (result.body.size() > kLimit && !tooLong) {
      tooLong = true;
      reply->abort();
    }
  };
  QObject::connect(reply, &QIODevice::readyRead, reply, take);
  // A server that sends a byte now and then never trips the time-out above: the whole request
  // gets the two time-outs together.
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
  deadline.start(2 * timeoutMs);

  if (!reply->isFinished()) {
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
  }
  reply->disconnect();
  deadline.stop();
  if (!reply->isFinished()) {
    // The event loops were told to end (the program quits): no verdict.
    result.interrupted = true;
    reply->abort();
    result.body.clear();
    return result;
  }
  if (!tooLong) take();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  result.ok = !tooLong && reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
  if (!result.ok) result.body.clear();
  return result;
}

UpdateCheck::UpdateCheck(TBRVMainform* window, LocalDateTime& lastUpdate, QAction* menuItem)
    : QObject(window),
      m_window(window),
      m_lastUpdate(lastUpdate),
      m_item(menuItem),
      m_timer(new QTimer(this)),
      m_server(QString::fromStdString(services::updateServer(std::getenv(services::kUpdateServerVariable.data())))),
      m_timeoutMs(services::kUpdateTimeoutMs),
      m_now(&localNow) {
  m_timer->setObjectName("Timer1");
  m_timer->setSingleShot(true);
  m_timer->setInterval(services::kUpdateReminderDelayMs);
  connect(m_timer, &QTimer::timeout, this, &UpdateCheck::Timer1Timer);
  connect(m_item, &QAction::triggered, this, &UpdateCheck::check);
}

void UpdateCheck::arm() {
  m_userAgent = QByteArray::fromStdString(services::updateUserAgent(BREVANE_VERSION_STRING));
  if (services::updateReminderDue(m_lastUpdate, m_now())) m_timer->start();
  m_item->setVisible(true);
}

void UpdateCheck::Timer1Timer() {
  m_timer->stop();
  if (showMessageBox(m_window, BoxIcon::kWarning, m_window->GetLangStr("Confirmation"),
                     m_window->GetLangStr("UpdateReq"), BoxButtons::kYesNo) == BoxAnswer::kYes) {
    check();
  } else {
    m_lastUpdate = m_now();
  }
}

void UpdateCheck::check() {
  if (m_busy) return;
  m_busy = true;
  m_item->setEnabled(false);
  // The window may go away while the request waits (the program is closed meanwhile).
  QPointer<UpdateCheck> self(this);
  const QUrl url(QString::fromStdString(services::updateFileUrl(m_server.toStdString())));
  UpdateFetch fetch = fetchUpdateFile(url, m_userAgent, m_timeoutMs);
  if (!self) return;
  m_busy = false;
  m_item->setEnabled(true);
  if (fetch.interrupted) return;

  services::UpdateVerdict verdict = services::UpdateVerdict::kUnreadable;
  if (fetch.ok)
    verdict =
        services::judgeUpdateReply(fetch.body.toStdString(), services::programVersionNumber(BREVANE_VERSION_STRING));
  switch (verdict) {
    case services::UpdateVerdict::kNewer:
      if (showMessageBox(m_window, BoxIcon::kWarning, m_window->GetLangStr("Confirmation"),
                         m_window->GetLangStr("Update"), BoxButtons::kYesNo) == BoxAnswer::kYes) {
        openDesktopUrl(QUrl(QString::fromStdString(services::downloadPage(m_window->lang().toStdString()))));
        m_lastUpdate = m_now();
      }
      break;
    case services::UpdateVerdict::kUpToDate:
      m_lastUpdate = m_now();
      showMessageBox(m_window, BoxIcon::kInformation, m_window->GetLangStr("Information"),
                     m_window->GetLangStr("UpToDate"));
      break;
    case services::UpdateVerdict::kUnreadable:
      showMessageBox(m_window, BoxIcon::kError, m_window->GetLangStr("Error"),
                     m_window->GetLangStr("UpdateCheckError"));
      break;
  }
}

}  // namespace brevane::app
