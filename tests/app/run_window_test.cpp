// Converting from the window: a run to its summary, cancel with busy workers and queued files,
// the close request during and after a run, options locked and hand-overs left out while a
// run goes on, Open folder, minimize, and the dialog's size and place.
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <condition_variable>
#include <mutex>

#include "app_test_support.h"
#include "file_list_view.h"
#include "option_pages.h"
#include "progressform.h"
#include "run_control.h"
#include "startup.h"
#include "taskbar_progress.h"
#include "widgets.h"

namespace brevane::app::test {
namespace {

/// Holds workers before their pipeline until released.
class Gate {
 public:
  void wait() {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return m_open; });
  }
  void release() {
    std::lock_guard lock(m_mutex);
    m_open = true;
    m_cv.notify_all();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_open = false;
};

class GatedThread : public TConversionThread {
 public:
  GatedThread(const PipelineEnv& env, Gate& gate) : TConversionThread(env), m_gate(gate) {}
  ~GatedThread() override { wait(); }

 protected:
  void Execute() override {
    m_gate.wait();
    TConversionThread::Execute();
  }

 private:
  Gate& m_gate;
};

class RecordingTaskbar : public TaskbarBackend {
 public:
  void update(const std::vector<TaskbarCall>& calls) override { button.apply(calls); }
  TaskbarButton button;
};

/// Records the URLs the program asks the desktop to open.
class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  UrlRecorder() { QDesktopServices::setUrlHandler("file", this, "open"); }
  ~UrlRecorder() override { QDesktopServices::unsetUrlHandler("file"); }
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls << url; }
};

class RunWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    // Settings.ini first: the window reads it while it is created.
    box.write("config/Brevane/Settings.ini", "[Settings]\nOutput_path=" + out() + "\nThreads=2\nOutput_format=1\n" +
                                                 "Rename_enabled=0\nLanguage=" + language() + "\n");
  }
  void TearDown() override {
    gate.release();  // never leave a worker waiting: the window waits for its workers
    if (windows.main && runner()->running()) waitUntil([&] { return !runner()->running(); }, 20000);
  }
  virtual std::string language() const { return "English"; }

  std::string out() const { return box.folder() + "out/"; }
  /// Writes n pictures of 64 x 48 named p0.png ...; returns their paths.
  QStringList pictures(int n, const std::string& prefix = "p") {
    QStringList paths;
    for (int i = 0; i < n; ++i) {
      QImage image(64, 48, QImage::Format_RGB32);
      image.fill(QColor::fromHsv(i * 30 % 360, 200, 200));
      std::string path = box.write("in/" + prefix + std::to_string(i) + ".png", "");
      image.save(QString::fromStdString(path), "PNG");
      paths << QString::fromStdString(path);
    }
    return paths;
  }
  void open(const QStringList& files, bool gated = false) {
    windows = createWindows(box.context(files));
    ASSERT_FALSE(windows.main->terminated());
    windows.main->show();
    progress()->progressBar()->setBackend(&taskbar);
    if (gated)
      runner()->job().setThreadFactory(
          [this](const PipelineEnv& env) { return std::make_unique<GatedThread>(env, gate); });
  }

  TProgressform* progress() const { return windows.progress; }
  RunController* runner() const { return windows.main->runController(); }
  TPngBitBtn* convertButton() const {
    return windows.main->findChild<QWidget*>("RightPanel")->findChild<TPngBitBtn*>("PngBitBtn2");
  }
  TPngBitBtn* dialogButton(const char* name) const { return progress()->findChild<TPngBitBtn*>(name); }
  QString label(const char* name) const { return progress()->findChild<TLabel*>(name)->text(); }
  QStringList logLines() const {
    return progress()->findChild<QPlainTextEdit*>("errorlog")->toPlainText().split('\n', Qt::SkipEmptyParts);
  }
  QStringList outputs() const { return QDir(QString::fromStdString(out())).entryList(QDir::Files, QDir::Name); }

  /// Presses Convert; `during` runs inside the modal dialog. When it leaves the dialog open,
  /// the run is ended and the dialog closed so that the press returns.
  void convertWith(const std::function<void()>& during, QAbstractButton* button = nullptr) {
    QTimer::singleShot(0, [&] {
      during();
      if (!progress()->isVisible()) return;
      gate.release();
      waitUntil([&] { return !runner()->running(); }, 20000);
      progress()->hide();
    });
    (button ? button : convertButton())->click();
  }

  Sandbox box;
  BoxRecorder boxes;
  Gate gate;
  RecordingTaskbar taskbar;
  ProgramWindows windows;
};

TEST_F(RunWindow, RunOverRealFilesEndsWithItsSummary) {
  QStringList files = pictures(5);
  files << QString::fromStdString(box.write("in/broken.png", "not a picture"));
  open(files);
  bool finishedShown = false;
  convertWith([&] {
    ASSERT_TRUE(waitUntil([&] { return progress()->finished(); }, 20000));
    finishedShown = progress()->isVisible();
    EXPECT_EQ(progress()->windowTitle(), "Converting");
    EXPECT_EQ(dialogButton("PngBitBtn1")->text(), "Close");
    EXPECT_TRUE(dialogButton("PngBitBtn1")->isEnabled());
    EXPECT_TRUE(dialogButton("PngBitBtn2")->isEnabled());
    QStringList log = logLines();
    ASSERT_EQ(log.size(), 3);
    EXPECT_TRUE(log[0].startsWith("AFO:" + QString::fromStdString(box.folder()) + "in/broken.png: "))
        << log[0].toStdString();
    EXPECT_EQ(log[1], "-----------------------");
    EXPECT_EQ(log[2], "Files processed: 6");
    EXPECT_EQ(label("Label4"), "6/6");
    EXPECT_EQ(label("Label2"), "0");
    EXPECT_TRUE(label("Label10").endsWith(" s"));
    EXPECT_TRUE(taskbar.button.progressVisible());  // full until Close
    EXPECT_DOUBLE_EQ(taskbar.button.fraction(), 1.0);
    dialogButton("PngBitBtn1")->click();  // Close
  });
  EXPECT_TRUE(finishedShown);
  EXPECT_FALSE(progress()->isVisible());
  EXPECT_EQ(outputs(), (QStringList{"p0.PNG", "p1.PNG", "p2.PNG", "p3.PNG", "p4.PNG"}));
  EXPECT_EQ(windows.main->fileList()->rowCount(), 6);  // the list is left as it was
  EXPECT_TRUE(convertButton()->isEnabled());
  waitUntil([&] { return !taskbar.button.progressVisible(); }, 1000);
  EXPECT_FALSE(taskbar.button.progressVisible());  // Close stops the mirror
}

TEST_F(RunWindow, CancelLetsRunningFilesFinishAndStartsNoOther) {
  open(pictures(8), true);
  convertWith([&] {
    // Two workers busy (this machine may have no more processors), six files queued.
    ASSERT_TRUE(waitUntil([&] { return runner()->job().thr.size() == 2; }));
    QTest::qWait(20);
    EXPECT_EQ(runner()->job().filelisttemp.size(), 6u);
    dialogButton("PngBitBtn1")->click();
    EXPECT_EQ(progress()->windowTitle(), "Stopping...");
    EXPECT_FALSE(dialogButton("PngBitBtn1")->isEnabled());
    EXPECT_EQ(progress()->progressBar()->progressBarState(), TTaskbarProgressState::pbstMarquee);
    EXPECT_TRUE(progress()->progressBar()->marqueeEnabled());
    QTest::qWait(50);
    EXPECT_EQ(taskbar.button.flag, TaskbarFlag::kIndeterminate);

    // The close box asks before ending the program; No keeps waiting.
    bool terminated = false;
    progress()->setTerminate([&] { terminated = true; });
    boxes.answer(BoxAnswer::kNo);
    progress()->close();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Terminate program?");
    EXPECT_EQ(boxes.boxes()[0].caption, "Emergency shutdown");
    EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::kError);
    EXPECT_EQ(boxes.boxes()[0].buttons, BoxButtons::kYesNo);
    EXPECT_TRUE(progress()->isVisible());
    EXPECT_FALSE(terminated);

    gate.release();
    // The dialog closes by itself once the two have finished.
    EXPECT_TRUE(waitUntil([&] { return !progress()->isVisible(); }, 20000));
  });
  EXPECT_EQ(runner()->job().counters.processed, 2);
  EXPECT_EQ(outputs(), (QStringList{"p0.PNG", "p1.PNG"}));
  EXPECT_EQ(runner()->job().filelisttemp.size(), 6u);
  QStringList log = logLines();
  ASSERT_EQ(log.size(), 2);
  EXPECT_EQ(log[1], "Files processed: 2");
  EXPECT_FALSE(taskbar.button.progressVisible());  // a stopped marquee shows nothing
}

TEST_F(RunWindow, TerminateQuestionAnsweredYesEndsTheProgram) {
  open(pictures(4), true);
  bool terminated = false;
  convertWith([&] {
    ASSERT_TRUE(waitUntil([&] { return runner()->job().thr.size() == 2; }));
    progress()->setTerminate([&] { terminated = true; });
    dialogButton("PngBitBtn1")->click();
    boxes.answer(BoxAnswer::kYes);
    progress()->close();
    EXPECT_TRUE(terminated);
    EXPECT_FALSE(progress()->isVisible());
  });
  EXPECT_EQ(boxes.boxes().size(), 1u);
}

TEST_F(RunWindow, CloseBoxDuringARunCancelsAndHidesWhileOptionsStayLocked) {
  QStringList files = pictures(5);
  std::string late = pictures(1, "late")[0].toStdString();
  open(files, true);
  convertWith([&] {
    ASSERT_TRUE(waitUntil([&] { return runner()->job().thr.size() == 2; }));
    // A file handed over now is listed, not converted by this run.
    windows.main->receiveHandOver(QString::fromStdString(late));
    EXPECT_EQ(windows.main->fileList()->rowCount(), 6);

    progress()->close();
    EXPECT_FALSE(progress()->isVisible());  // at once
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(progress()->cancelled());
  });
  // The press returned while the two workers still wait: the stop goes on behind.
  EXPECT_TRUE(runner()->running());
  EXPECT_FALSE(windows.main->optionPages()->notebook()->isEnabled());
  EXPECT_FALSE(convertButton()->isEnabled());
  gate.release();
  ASSERT_TRUE(waitUntil([&] { return !runner()->running(); }, 20000));
  EXPECT_TRUE(windows.main->optionPages()->notebook()->isEnabled());
  EXPECT_TRUE(convertButton()->isEnabled());
  EXPECT_EQ(outputs(), (QStringList{"p0.PNG", "p1.PNG"}));
  EXPECT_EQ(runner()->job().counters.processed, 2);
}

TEST_F(RunWindow, AfterARunTheCloseBoxClosesWithoutAQuestion) {
  open(pictures(2));
  convertWith([&] {
    ASSERT_TRUE(waitUntil([&] { return progress()->finished(); }, 20000));
    progress()->close();
    EXPECT_FALSE(progress()->isVisible());
  });
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_FALSE(progress()->progressBar()->showInTaskbar());
}

TEST_F(RunWindow, OpenFolderOpensTheOutputFolderAndCloses) {
  UrlRecorder urls;
  open(pictures(1));
  convertWith([&] {
    ASSERT_TRUE(waitUntil([&] { return progress()->finished(); }, 20000));
    dialogButton("PngBitBtn2")->click();
    EXPECT_FALSE(progress()->isVisible());
  });
  ASSERT_EQ(urls.urls.size(), 1);
  EXPECT_EQ(urls.urls[0], QUrl::fromLocalFile(QString::fromStdString(out())));
}

TEST_F(RunWindow, ToolBarConvertStartsTheSameRun) {
  open(pictures(2));
  auto* tool = windows.main->findChild<TToolButton*>("ToolButton6");
  convertWith(
      [&] {
        ASSERT_TRUE(waitUntil([&] { return progress()->finished(); }, 20000));
        progress()->close();
      },
      tool);
  EXPECT_EQ(outputs().size(), 2);
}

TEST_F(RunWindow, DialogIsCentredAndMinimizingItMinimizesTheProgram) {
  open(pictures(1), true);
  convertWith([&] {
    QDialog* d = progress();
    EXPECT_GE(d->width(), 333);
    EXPECT_GE(d->height(), 255);
    EXPECT_EQ(d->minimumSize(), QSize(333, 255));
    QPoint offset = d->frameGeometry().center() - windows.main->frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 4);

    d->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(windows.main->isMinimized());
    windows.main->setWindowState(Qt::WindowNoState);
    EXPECT_FALSE(d->windowState() & Qt::WindowMinimized);
    dialogButton("PngBitBtn1")->click();
  });
}

TEST_F(RunWindow, EscDoesNotHideARunningDialog) {
  open(pictures(1), true);
  convertWith([&] {
    progress()->reject();
    EXPECT_TRUE(progress()->isVisible());
    gate.release();
    ASSERT_TRUE(waitUntil([&] { return progress()->finished(); }, 20000));
    progress()->reject();
    EXPECT_FALSE(progress()->isVisible());
  });
}

class RunWindowRussian : public RunWindow {
  std::string language() const override { return "Russian"; }
};

TEST_F(RunWindowRussian, SummaryUsesTheLanguage) {
  open(pictures(3));
  convertWith([&] {
    ASSERT_TRUE(waitUntil([&] { return progress()->finished(); }, 20000));
    EXPECT_EQ(progress()->windowTitle(), "Обработка");
    EXPECT_EQ(dialogButton("PngBitBtn1")->text(), "Закрыть");
    EXPECT_EQ(logLines().last(), "Обработано файлов: 3");
    // The refreshes after the end keep the language's units: no English word comes back.
    QTest::qWait(250);
    EXPECT_TRUE(label("Label10").endsWith(" с")) << label("Label10").toStdString();
    EXPECT_TRUE(label("Label6").endsWith(" КиБ")) << label("Label6").toStdString();
    progress()->close();
  });
}

}  // namespace
}  // namespace brevane::app::test

#include "run_window_test.moc"
