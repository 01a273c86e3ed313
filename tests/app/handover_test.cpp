// Two real processes: a second start hands its files and the show command to the running copy.
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "app_test_support.h"
#include "file_list_view.h"
#include "single_instance.h"

namespace brevane::app::test {
namespace {

// The test is the running copy: it holds the lock and answers on the socket, with its own
// main window behind the receiver.
class HandOver : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(runtime.isValid());
    paths = instancePaths(runtime.path(), 0);
    lock = std::make_unique<InstanceLock>(paths.lockFile);
    ASSERT_TRUE(lock->acquire());
    window = std::make_unique<TBRVMainform>(sandbox.context());
    server = std::make_unique<HandOverServer>([this](const QString& text) {
      received << text;
      return window->receiveHandOver(text);
    });
    ASSERT_TRUE(server->listen(paths.server)) << server->errorString().toStdString();
  }

  // Starts the real program as a second copy and waits for it, answering its messages.
  int secondStart(const QStringList& arguments, const QString& workingFolder) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workingFolder);
    process.start(QStringLiteral(BREVANE_GUI_EXE), arguments);
    if (!process.waitForStarted(10000)) return -1;
    bool ended = waitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000);
    if (!ended) {
      process.kill();
      process.waitForFinished();
      return -2;
    }
    return process.exitCode();
  }

  BoxRecorder boxes;
  QTemporaryDir runtime;
  InstancePaths paths;
  std::unique_ptr<InstanceLock> lock;
  Sandbox sandbox;
  std::unique_ptr<TBRVMainform> window;
  std::unique_ptr<HandOverServer> server;
  QStringList received;
};

TEST_F(HandOver, TwoFilesAndAFolderHandOverTheFilesThenShowTheWindow) {
  std::string a = sandbox.writePng("in/a.png");
  std::string b = sandbox.writePng("in/b.png");
  sandbox.writePng("in/folder/c.png");
  EXPECT_FALSE(window->isVisible());
  // Relative names, as a shell passes them: they reach the first copy as full paths.
  int status = secondStart({"a.png", "b.png", "folder"}, QString::fromStdString(sandbox.folder() + "in"));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(received, (QStringList{QString::fromStdString(a), QString::fromStdString(b), "!!!SHOWWINDOW!!!"}));
  EXPECT_EQ(window->fileList()->paths(), (QStringList{QString::fromStdString(a), QString::fromStdString(b)}));
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(HandOver, StartWithoutArgumentsOnlyBringsTheWindowForward) {
  window->showMinimized();
  int status = secondStart({}, QDir::tempPath());
  EXPECT_EQ(status, 0);
  EXPECT_EQ(received, (QStringList{"!!!SHOWWINDOW!!!"}));
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isMinimized());
  EXPECT_EQ(window->fileList()->rowCount(), 0);
}

TEST_F(HandOver, ReceiverIgnoresWhatItCannotList) {
  std::string text = sandbox.write("in/notes.txt", "text");
  EXPECT_EQ(window->receiveHandOver(QString::fromStdString(text)), 1);
  EXPECT_EQ(window->receiveHandOver(QString::fromStdString(sandbox.folder() + "in")), 1);
  EXPECT_EQ(window->receiveHandOver("/no/such/file.png"), 1);
  EXPECT_EQ(window->fileList()->rowCount(), 0);
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST(HandOverAlone, LockIsHeldOnceAndAnUnansweredSendShowsTheBuiltInError) {
  BoxRecorder boxes;
  QTemporaryDir runtime;
  InstancePaths paths = instancePaths(runtime.path(), 0);
  InstanceLock first(paths.lockFile), second(paths.lockFile);
  EXPECT_TRUE(first.acquire());
  EXPECT_FALSE(second.acquire());
  // The lock is held, but no copy listens yet: each send fails with its box.
  handOverArguments(paths.server, {QString::fromStdString(BREVANE_SOURCE_DIR "/data/watermark.png")});
  ASSERT_EQ(boxes.boxes().size(), 2u);  // the file, then the show command
  EXPECT_EQ(boxes.boxes()[0].text, QString::fromUtf8(kHandOverFailed));
}

TEST(HandOverAlone, PathsArePerUser) {
  InstancePaths runtime = instancePaths("/run/user/1000", 1000);
  EXPECT_EQ(runtime.lockFile, "/run/user/1000/BrevaneMutex");
  EXPECT_EQ(runtime.server, "/run/user/1000/TBRVMainform");
  InstancePaths shared = instancePaths("", 1000);
  EXPECT_EQ(shared.lockFile, "/tmp/BrevaneMutex-1000");
  EXPECT_EQ(shared.server, "/tmp/TBRVMainform-1000");
  EXPECT_EQ(instancePaths("relative/dir", 7).lockFile, "/tmp/BrevaneMutex-7");
}

}  // namespace
}  // namespace brevane::app::test
