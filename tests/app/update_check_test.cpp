// The update check against a local HTTP server on 127.0.0.1: the request it sends, the three
// verdicts with their boxes and the last-check date, replies that are no version (a line break,
// an error status, a 1 MB body, silence), a redirect, and the reminder at start-up.
#include "update_check.h"

#include <QAction>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <map>

#include "app_test_support.h"
#include "desktop_open.h"
#include "services/update_rules.h"

namespace brevane::app::test {
namespace {

/// A small HTTP/1.1 server: each path answers with a status, headers and a body, or not at
/// all ("silent"). It runs on the test's thread, served by the check's own local event loop.
class LocalHttpServer {
 public:
  struct Answer {
    int status = 200;
    QByteArray body;
    QByteArray location;  // a redirect's target
    bool silent = false;  // accept the request and never answer
  };

  LocalHttpServer() {
    EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* s = m_server.nextPendingConnection()) {
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { serve(s); });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }

  QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
  void answer(const QByteArray& path, Answer a) { m_answers[path] = std::move(a); }
  /// The request heads received, in order.
  const QList<QByteArray>& requests() const { return m_requests; }

 private:
  void serve(QTcpSocket* s) {
    QByteArray& pending = m_pending[s];
    pending += s->readAll();
    const qsizetype end = pending.indexOf("\r\n\r\n");
    if (end < 0) return;
    const QByteArray head = pending.left(end);
    pending.clear();
    m_requests.push_back(head);
    const QByteArray path = head.split(' ').value(1);
    auto it = m_answers.find(path);
    Answer a = it != m_answers.end() ? it->second : Answer{404, "not here", {}, false};
    if (a.silent) return;
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(a.status) + " Status\r\nContent-Type: text/plain\r\n";
    if (!a.location.isEmpty()) reply += "Location: " + a.location + "\r\n";
    reply += "Content-Length: " + QByteArray::number(a.body.size()) + "\r\nConnection: close\r\n\r\n" + a.body;
    s->write(reply);
    s->disconnectFromHost();
  }

  QTcpServer m_server;
  std::map<QByteArray, Answer> m_answers;
  std::map<QTcpSocket*, QByteArray> m_pending;
  QList<QByteArray> m_requests;
};

constexpr const char* kFile = "/update/Update_new.ini";

QByteArray header(const QByteArray& head, const QByteArray& name) {
  for (const QByteArray& line : head.split('\n'))
    if (line.toLower().startsWith(name.toLower() + ":")) return line.mid(name.size() + 1).trimmed();
  return {};
}

/// A main window whose update check asks the local server, on a fixed clock, with the opened
/// web pages recorded instead of shown.
struct CheckFixture {
  BoxRecorder boxes;
  Sandbox box;
  LocalHttpServer server;
  std::unique_ptr<TBRVMainform> window;
  std::vector<QUrl> opened;
  LocalDateTime clock{2024, 6, 1, 12, 30, 0};

  CheckFixture() {
    setDesktopOpenHook([this](const QUrl& u) {
      opened.push_back(u);
      return true;
    });
    window = std::make_unique<TBRVMainform>(box.context());
    UpdateCheck* c = window->updateCheck();
    c->setServer(server.base());
    c->setTimeoutMs(400);
    c->setClock([this] { return clock; });
  }
  ~CheckFixture() { setDesktopOpenHook({}); }

  bool lastUpdateIsClock() const {
    const LocalDateTime& t = window->lastUpdate();
    return t.year == clock.year && t.month == clock.month && t.day == clock.day && t.hour == clock.hour &&
           t.minute == clock.minute;
  }
};

struct VerdictCase {
  const char* name;
  LocalHttpServer::Answer answer;
  const char* boxKey;     // the box shown
  bool renewsLastUpdate;  // with the default answer Yes to a Yes/No box
};

void PrintTo(const VerdictCase& c, std::ostream* os) {
  *os << c.name;
}

class UpdateVerdictTest : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(UpdateVerdictTest, ShowsItsBoxAndRenewsTheDateOnlyOnAVerdict) {
  CheckFixture f;
  f.server.answer(kFile, GetParam().answer);
  f.window->updateCheck()->check();
  ASSERT_EQ(f.boxes.boxes().size(), 1u);
  EXPECT_EQ(f.boxes.boxes()[0].text, f.window->GetLangStr(GetParam().boxKey));
  EXPECT_EQ(f.lastUpdateIsClock(), GetParam().renewsLastUpdate);
  const bool newer = std::string(GetParam().boxKey) == "Update";
  EXPECT_EQ(f.opened.size(), newer ? 1u : 0u);  // a page is opened only for a newer version
  EXPECT_FALSE(f.window->updateCheck()->busy());
}

using Answer = LocalHttpServer::Answer;
INSTANTIATE_TEST_SUITE_P(
    Replies, UpdateVerdictTest,
    ::testing::Values(VerdictCase{"Newer", Answer{200, "99.0.0.0"}, "Update", true},
                      VerdictCase{"Equal", Answer{200, BREVANE_VERSION_STRING}, "UpToDate", true},
                      VerdictCase{"Older", Answer{200, "0.9.9.9"}, "UpToDate", true},
                      VerdictCase{"TrailingLineBreak", Answer{200, "99.0.0.0\n"}, "UpdateCheckError", false},
                      VerdictCase{"ErrorStatusWithAVersionBody", Answer{404, "99.0.0.0"}, "UpdateCheckError", false},
                      VerdictCase{"ServerError", Answer{503, ""}, "UpdateCheckError", false},
                      VerdictCase{"EmptyBody", Answer{200, ""}, "UpdateCheckError", false},
                      VerdictCase{"Negative", Answer{200, "-99.0.0.0"}, "UpdateCheckError", false},
                      VerdictCase{"Overflowing", Answer{200, "99999999999.99999999999"}, "UpdateCheckError", false},
                      VerdictCase{"Binary", Answer{200, QByteArray("\x89PNG\r\n\x1a\n\0\0", 10)}, "UpdateCheckError",
                                  false},
                      // A megabyte of digits: reading stops after the limit, and it is no version.
                      VerdictCase{"OneMegabyte", Answer{200, QByteArray(1 << 20, '9')}, "UpdateCheckError", false},
                      VerdictCase{"TimeOut", Answer{200, "99.0.0.0", {}, true}, "UpdateCheckError", false}),
    [](const ::testing::TestParamInfo<VerdictCase>& i) { return std::string(i.param.name); });

TEST(UpdateCheck, SendsOneGetWithTheProgramsUserAgentAndAccept) {
  CheckFixture f;
  f.server.answer(kFile, Answer{200, BREVANE_VERSION_STRING});
  f.window->updateCheck()->check();
  ASSERT_EQ(f.server.requests().size(), 1);
  const QByteArray& head = f.server.requests()[0];
  EXPECT_TRUE(head.startsWith("GET /update/Update_new.ini HTTP/1.1\r\n")) << head.toStdString();
  EXPECT_EQ(header(head, "User-Agent"), "Brevane Updater v" BREVANE_VERSION_STRING);
  EXPECT_EQ(header(head, "Accept"), "text/html, */*");
  EXPECT_EQ(header(head, "Cookie"), "");
  EXPECT_EQ(header(head, "Authorization"), "");
}

TEST(UpdateCheck, FollowsARedirect) {
  CheckFixture f;
  f.server.answer(kFile, Answer{302, "", "/moved/Update_new.ini"});
  f.server.answer("/moved/Update_new.ini", Answer{200, "99.0.0.0"});
  f.window->updateCheck()->check();
  EXPECT_EQ(f.server.requests().size(), 2);
  ASSERT_EQ(f.boxes.boxes().size(), 1u);
  EXPECT_EQ(f.boxes.boxes()[0].text, f.window->GetLangStr("Update"));
}

TEST(UpdateCheck, NoServerListeningIsAFailure) {
  CheckFixture f;
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const quint16 port = closed.serverPort();
  closed.close();
  f.window->updateCheck()->setServer(QStringLiteral("http://127.0.0.1:%1").arg(port));
  f.window->updateCheck()->check();
  ASSERT_EQ(f.boxes.boxes().size(), 1u);
  EXPECT_EQ(f.boxes.boxes()[0].caption, f.window->GetLangStr("Error"));
  EXPECT_EQ(f.boxes.boxes()[0].icon, BoxIcon::kError);
  EXPECT_FALSE(f.lastUpdateIsClock());
}

TEST(UpdateCheck, NewerVersionBoxesAndTheDownloadPageOfTheLanguage) {
  CheckFixture f;
  f.server.answer(kFile, Answer{200, "99.0.0.0"});
  // Declined: nothing opened, the date kept, so the reminder comes again.
  f.boxes.answer(BoxAnswer::kNo);
  f.window->updateCheck()->check();
  ASSERT_EQ(f.boxes.boxes().size(), 1u);
  EXPECT_EQ(f.boxes.boxes()[0].caption, f.window->GetLangStr("Confirmation"));
  EXPECT_EQ(f.boxes.boxes()[0].icon, BoxIcon::kWarning);
  EXPECT_EQ(f.boxes.boxes()[0].buttons, BoxButtons::kYesNo);
  EXPECT_TRUE(f.opened.empty());
  EXPECT_FALSE(f.lastUpdateIsClock());

  // Accepted in Russian: the Russian page.
  f.window->switchLanguage("Russian");
  f.window->updateCheck()->check();
  ASSERT_EQ(f.opened.size(), 1u);
  EXPECT_EQ(f.opened[0], QUrl(QString::fromStdString(services::downloadPage("Russian"))));
  EXPECT_TRUE(f.lastUpdateIsClock());
}

TEST(UpdateCheck, UpToDateBoxIsInformation) {
  CheckFixture f;
  f.server.answer(kFile, Answer{200, "0.0.0.1"});
  f.window->updateCheck()->check();
  ASSERT_EQ(f.boxes.boxes().size(), 1u);
  EXPECT_EQ(f.boxes.boxes()[0].caption, f.window->GetLangStr("Information"));
  EXPECT_EQ(f.boxes.boxes()[0].icon, BoxIcon::kInformation);
  EXPECT_EQ(f.boxes.boxes()[0].buttons, BoxButtons::kOk);
}

// The window keeps working while the request waits: events are processed, and a second check
// asked for meanwhile does not start another request.
TEST(UpdateCheck, WindowStaysAliveWhileTheRequestWaits) {
  CheckFixture f;
  f.server.answer(kFile, Answer{200, "", {}, true});
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    ++ticks;
    f.window->updateCheck()->check();  // ignored while busy
  });
  ticker.start(20);
  f.window->updateCheck()->check();
  EXPECT_GT(ticks, 3);
  EXPECT_EQ(f.server.requests().size(), 1);
  EXPECT_EQ(f.boxes.boxes().size(), 1u);
}

std::string shortDate(const LocalDateTime& t) {
  return formatShortDate(t, DateTimeFormat::fromCLocale());
}

LocalDateTime daysFromNow(int days) {
  std::time_t t = std::time(nullptr) + static_cast<std::time_t>(days) * 86400;
  return toLocal(t);
}

struct ReminderCase {
  const char* name;
  std::optional<int> storedDaysFromNow;  // none: no LastUpdateDate in Settings.ini
  bool armed;
};

void PrintTo(const ReminderCase& c, std::ostream* os) {
  *os << c.name;
}

class UpdateReminderAtStartTest : public ::testing::TestWithParam<ReminderCase> {};

TEST_P(UpdateReminderAtStartTest, IsArmedAtStartUpOnlyAfterFourteenWholeDays) {
  BoxRecorder boxes;
  Sandbox box;
  if (GetParam().storedDaysFromNow)
    box.write("config/Brevane/Settings.ini",
              "[Settings]\nLastUpdateDate=" + shortDate(daysFromNow(*GetParam().storedDaysFromNow)) + "\n");
  TBRVMainform w(box.context());
  EXPECT_EQ(w.updateCheck()->reminderTimer()->isActive(), GetParam().armed);
  EXPECT_EQ(w.updateCheck()->reminderTimer()->interval(), 2500);
  EXPECT_TRUE(w.updateCheck()->reminderTimer()->isSingleShot());
  auto* item = w.findChild<QAction*>("N126");
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(item->isVisible());
}

INSTANTIATE_TEST_SUITE_P(StoredDates, UpdateReminderAtStartTest,
                         ::testing::Values(ReminderCase{"FreshSettings", std::nullopt, false},
                                           ReminderCase{"FourteenDaysAgo", -14, false},
                                           ReminderCase{"SixteenDaysAgo", -16, true},
                                           ReminderCase{"SixteenDaysAhead", 16, true}),
                         [](const ::testing::TestParamInfo<ReminderCase>& i) { return std::string(i.param.name); });

TEST(UpdateReminder, NoRenewsTheDateAndYesRunsTheCheck) {
  CheckFixture f;
  f.server.answer(kFile, Answer{200, "0.0.0.1"});
  QTimer* timer = f.window->updateCheck()->reminderTimer();

  f.boxes.answer(BoxAnswer::kNo);
  timer->start(1);
  ASSERT_TRUE(waitUntil([&] { return !f.boxes.boxes().empty(); }));
  EXPECT_EQ(f.boxes.boxes()[0].text, f.window->GetLangStr("UpdateReq"));
  EXPECT_EQ(f.boxes.boxes()[0].icon, BoxIcon::kWarning);
  EXPECT_EQ(f.boxes.boxes()[0].buttons, BoxButtons::kYesNo);
  EXPECT_TRUE(f.lastUpdateIsClock());
  EXPECT_TRUE(f.server.requests().isEmpty());
  EXPECT_FALSE(timer->isActive());  // once only

  timer->start(1);  // answered Yes
  ASSERT_TRUE(waitUntil([&] { return f.boxes.boxes().size() == 3; }));
  EXPECT_EQ(f.server.requests().size(), 1);
  EXPECT_EQ(f.boxes.boxes()[2].text, f.window->GetLangStr("UpToDate"));
}

}  // namespace
}  // namespace brevane::app::test
