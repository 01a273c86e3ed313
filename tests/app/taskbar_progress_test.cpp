// The taskbar progress bar: its updates traced through a recording backend, its look, the
// folder scan's busy bar, and the launcher-entry signal on a private session bus.
#include "taskbar_progress.h"

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "app_test_support.h"
#include "base/error.h"
#include "startup.h"

namespace brevane::app::test {
namespace {

using F = TaskbarFlag;

class Recorder : public TaskbarBackend {
 public:
  void update(const std::vector<TaskbarCall>& calls) override { updates.push_back(calls); }
  std::vector<std::vector<TaskbarCall>> updates;
};

std::vector<TaskbarCall> calls(std::initializer_list<TaskbarCall> c) {
  return c;
}

TEST(TaskbarProgressBar, EachChangeRequestsAnUpdateThatReadsTheStateWhenHandled) {
  Recorder rec;
  TTaskbarProgressBar bar;
  bar.setBackend(&rec);
  bar.setMax(10);
  bar.setPosition(3);
  bar.setShowInTaskbar(true);
  EXPECT_TRUE(rec.updates.empty());  // posted, not sent
  QCoreApplication::processEvents();
  auto now = calls({TaskbarCall::state(F::kNormal), TaskbarCall::value(3, 10)});
  EXPECT_EQ(rec.updates, (std::vector<std::vector<TaskbarCall>>{now, now, now}));

  rec.updates.clear();
  bar.setShowInTaskbar(true);  // unchanged: nothing requested
  bar.setMax(10);
  bar.setMarqueeEnabled(true);  // not in the marquee state: nothing shown, nothing requested
  QCoreApplication::processEvents();
  EXPECT_TRUE(rec.updates.empty());
  EXPECT_EQ(bar.value(), 3);

  bar.setProgressBarState(TTaskbarProgressState::pbstMarquee);  // the marquee already enabled runs
  QCoreApplication::processEvents();
  EXPECT_EQ(rec.updates.back(), calls({TaskbarCall::state(F::kNormal), TaskbarCall::state(F::kIndeterminate)}));
  EXPECT_EQ(bar.maximum(), 0);  // the style's busy animation
  bar.setMarqueeEnabled(false);
  QCoreApplication::processEvents();
  EXPECT_EQ(rec.updates.back(), calls({TaskbarCall::state(F::kNormal), TaskbarCall::state(F::kNoProgress)}));
  EXPECT_EQ(bar.maximum(), 1);  // a stopped marquee is an empty bar
  EXPECT_EQ(bar.value(), 0);

  bar.setProgressBarState(TTaskbarProgressState::pbstError);
  QCoreApplication::processEvents();
  EXPECT_EQ(rec.updates.back(), calls({TaskbarCall::state(F::kError), TaskbarCall::value(3, 10)}));
  EXPECT_EQ(bar.value(), 3);
  EXPECT_NE(bar.palette().color(QPalette::Highlight), TTaskbarProgressBar().palette().color(QPalette::Highlight));

  bar.setShowInTaskbar(false);
  QCoreApplication::processEvents();
  EXPECT_EQ(rec.updates.back(), calls({TaskbarCall::state(F::kNoProgress)}));
}

TEST(TaskbarProgressBar, RefusedRangeLeavesTheBarAsItWas) {
  TTaskbarProgressBar bar;
  bar.setMax(20);
  bar.setPosition(5);
  EXPECT_THROW(bar.setMin(30), Error);
  EXPECT_EQ(bar.min(), 0);
  EXPECT_EQ(bar.maximum(), 20);
  bar.setMax(0);  // Min and Max 0: an empty bar, not an animation
  EXPECT_EQ(bar.maximum(), 1);
  EXPECT_EQ(bar.position(), 0);
}

TEST(TaskbarProgressBar, FolderScanBusyBarIsMirrored) {
  BoxRecorder boxes;
  Sandbox box;
  ProgramWindows w = createWindows(box.context());
  TTaskbarProgressBar* scan = w.main->scanProgressBar();
  ASSERT_NE(scan, nullptr);
  EXPECT_EQ(scan->objectName(), "ScanProgressBar");
  EXPECT_TRUE(scan->isHidden());
  EXPECT_EQ(scan->progressBarState(), TTaskbarProgressState::pbstMarquee);
  EXPECT_EQ(scan->marqueeInterval(), 10);
  Recorder rec;
  scan->setBackend(&rec);

  scan->setBusy(true);
  QCoreApplication::processEvents();
  EXPECT_EQ(rec.updates.back(), calls({TaskbarCall::state(F::kNormal), TaskbarCall::state(F::kIndeterminate)}));
  EXPECT_EQ(scan->maximum(), 0);
  scan->setBusy(false);
  QCoreApplication::processEvents();
  EXPECT_EQ(rec.updates.back(), calls({TaskbarCall::state(F::kNoProgress)}));
}

/// Takes the launcher-entry signals of a bus.
class Sink : public QObject {
  Q_OBJECT
 public:
  struct Signal {
    QString uri;
    QVariantMap properties;
  };
  QList<Signal> received;
 public slots:
  void update(const QString& uri, const QVariantMap& properties) { received << Signal{uri, properties}; }
};

TEST(LauncherEntry, ProgressReachesTheBusAndRepeatsAreNotSent) {
  QString daemonExe = QStandardPaths::findExecutable("dbus-daemon");
  if (daemonExe.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed";
  QProcess daemon;
  daemon.start(daemonExe, {"--session", "--nofork", "--print-address"});
  ASSERT_TRUE(daemon.waitForReadyRead(5000));
  QString address = QString::fromUtf8(daemon.readLine()).trimmed();
  {
    QDBusConnection listener = QDBusConnection::connectToBus(address, "launcher-listener");
    QDBusConnection sender = QDBusConnection::connectToBus(address, "launcher-sender");
    ASSERT_TRUE(listener.isConnected());
    Sink sink;
    ASSERT_TRUE(listener.connect(QString(), QString(), LauncherEntryBackend::kInterface, "Update", &sink,
                                 SLOT(update(QString, QVariantMap))));
    LauncherEntryBackend backend(sender, "application://brevane.desktop");

    backend.update({TaskbarCall::state(F::kNormal), TaskbarCall::value(1, 4)});
    ASSERT_TRUE(waitUntil([&] { return sink.received.size() == 1; }));
    EXPECT_EQ(sink.received[0].uri, "application://brevane.desktop");
    EXPECT_DOUBLE_EQ(sink.received[0].properties.value("progress").toDouble(), 0.25);
    EXPECT_TRUE(sink.received[0].properties.value("progress-visible").toBool());

    backend.update({TaskbarCall::state(F::kNormal), TaskbarCall::value(1, 4)});  // the same look
    backend.update({TaskbarCall::state(F::kNoProgress)});
    ASSERT_TRUE(waitUntil([&] { return sink.received.size() >= 2; }));
    QTest::qWait(50);
    ASSERT_EQ(sink.received.size(), 2);
    EXPECT_FALSE(sink.received[1].properties.value("progress-visible").toBool());
    EXPECT_EQ(backend.failures(), 0);
  }
  QDBusConnection::disconnectFromBus("launcher-listener");
  QDBusConnection::disconnectFromBus("launcher-sender");
  daemon.kill();
  daemon.waitForFinished();
}

}  // namespace
}  // namespace brevane::app::test

#include "taskbar_progress_test.moc"
