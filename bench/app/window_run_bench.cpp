// A long run from the window beside the same run without one: how often the progress dialog
// repaints and how late the window's event loop runs while every worker is busy, how the
// process's memory moves over the run, and what the window costs in wall time.
//   window_run_bench [--files=N] [benchmark options]   (offscreen unless QT_QPA_PLATFORM is set)
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/platform.h"
#include "engine/job.h"
#include "file_list_view.h"
#include "message_box.h"
#include "progressform.h"
#include "run_control.h"
#include "startup.h"
#include "widgets.h"

namespace {

using namespace brevane;
using namespace brevane::app;

int g_files = 2000;
QTemporaryDir* g_home = nullptr;

// CPU seconds of the whole process (every thread) so far.
double processCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double rssMiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      double kib = 0;
      status >> kib;
      return kib / 1024.0;
    }
    status.ignore(1 << 12, '\n');
  }
  return 0;
}

// 24 different photo-like 800 x 600 JPEG files, copied to g_files names in one folder.
const QStringList& sources() {
  static const QStringList list = [] {
    QString folder = g_home->path() + "/in";
    QDir().mkpath(folder);
    std::mt19937 rng(7);
    std::vector<QString> distinct;
    for (int i = 0; i < 24; ++i) {
      QImage image(800, 600, QImage::Format_RGB32);
      QPainter p(&image);
      QLinearGradient g(0, 0, 800, 600);
      g.setColorAt(0, QColor::fromHsv(i * 15, 180, 220));
      g.setColorAt(1, QColor::fromHsv((i * 15 + 120) % 360, 160, 90));
      p.fillRect(image.rect(), g);
      std::uniform_int_distribution<int> coord(0, 800), size(10, 120), hue(0, 359);
      for (int k = 0; k < 60; ++k)
        p.fillRect(coord(rng), coord(rng) * 3 / 4, size(rng), size(rng), QColor::fromHsv(hue(rng), 200, 200));
      p.end();
      QString path = folder + QString("/src%1.jpg").arg(i);
      image.save(path, "JPG", 90);
      distinct.push_back(path);
    }
    QStringList files;
    for (int i = 0; i < g_files; ++i) {
      QString path = folder + QString("/f%1.jpg").arg(i, 5, 10, QChar('0'));
      QFile::copy(distinct[static_cast<size_t>(i) % distinct.size()], path);
      files << path;
    }
    for (const QString& d : distinct) QFile::remove(d);
    return files;
  }();
  return list;
}

// The options of both runs: JPEG at its default quality, halved, every processor busy.
const char* const kOptions = "Output_format=0\nSelected_mode=2\nResize_percent=50\nRename_enabled=0\n";

// The window's run: Convert pressed with the files listed; paint events of the progress
// dialog's labels, the lateness of a 10 ms probe timer and the resident memory are recorded
// while it runs.
void BM_WindowRun(benchmark::State& state) {
  setMessageBoxHook([](const BoxRequest&) { return BoxAnswer::kOk; });
  const QStringList& files = sources();
  int run = 0;
  for (auto _ : state) {
    state.PauseTiming();
    QString base = g_home->path() + QString("/window%1").arg(run++);
    QDir().mkpath(base + "/program");
    QDir().mkpath(base + "/config");
    QFile::copy(BREVANE_SOURCE_DIR "/data/lang.ini", base + "/program/lang.ini");
    QFile ini(base + "/config/Settings.ini");
    ini.open(QIODevice::WriteOnly);
    ini.write(("[Settings]\nThreads=" + std::to_string(cpuCount()) + "\nOutput_path=" + base.toStdString() + "/out/\n" +
               kOptions)
                  .c_str());
    ini.close();
    MainformContext context;
    context.programFolder = base.toStdString() + "/program/";
    context.settingsFile = base.toStdString() + "/config/Settings.ini";
    context.arguments = files;
    ProgramWindows w = createWindows(context);
    w.main->show();
    RunController* runner = w.main->runController();
    const int threads = cpuCount();

    // Paints of the time label: while the run goes on its text changes at every 100 ms refresh,
    // so its paints are the dialog's repaints (the files label only changes with a finished file).
    std::vector<qint64> paints, busyGaps;
    QElapsedTimer clock;
    struct PaintWatch : QObject {
      std::function<void()> onPaint;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) onPaint();
        return false;
      }
    } watch;
    qint64 lastPaint = -1;
    bool lastBusy = false;
    watch.onPaint = [&] {
      qint64 now = clock.elapsed();
      bool busy = static_cast<int>(runner->job().thr.size()) >= threads && !runner->job().filelisttemp.empty();
      if (lastPaint >= 0 && busy && lastBusy) busyGaps.push_back(now - lastPaint);
      paints.push_back(now);
      lastPaint = now;
      lastBusy = busy;
    };
    w.progress->findChild<TLabel*>("Label10")->installEventFilter(&watch);
    std::vector<qint64> lateness;
    std::vector<std::pair<int, double>> memory;  // (files done, MiB)
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    qint64 expected = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
      qint64 now = clock.elapsed();
      if (expected > 0) lateness.push_back(std::max<qint64>(0, now - expected));
      expected = now + 10;
      if (memory.empty() || runner->job().counters.processed.load() >= memory.back().first + 50)
        memory.emplace_back(runner->job().counters.processed.load(), rssMiB());
    });
    double cpuStart = 0;
    const double rssStart = rssMiB();  // the window shown with its list, before Convert
    QTimer::singleShot(0, [&] {
      cpuStart = processCpuSeconds();
      clock.start();
      probe.start(10);
      // Wait in an event loop of its own, as the dialog's would: polling here would take a
      // processor from the workers.
      QEventLoop wait;
      QObject::connect(runner, &RunController::runFinished, &wait, &QEventLoop::quit);
      if (!w.progress->finished()) wait.exec();
      probe.stop();
      state.SetIterationTime(static_cast<double>(clock.elapsed()) / 1000.0);
      state.counters["process_cpu_s"] = processCpuSeconds() - cpuStart;
      w.progress->close();
    });
    state.ResumeTiming();
    w.main->findChild<QWidget*>("RightPanel")->findChild<TPngBitBtn*>("PngBitBtn2")->click();
    state.PauseTiming();

    std::sort(busyGaps.begin(), busyGaps.end());
    std::sort(lateness.begin(), lateness.end());
    auto pct = [](const std::vector<qint64>& v, double p) {
      return v.empty() ? 0.0 : static_cast<double>(v[std::min(v.size() - 1, static_cast<size_t>(p * v.size()))]);
    };
    state.counters["files"] = runner->job().counters.processed.load();
    state.counters["paints"] = static_cast<double>(paints.size());
    state.counters["busy_paint_gap_max_ms"] = busyGaps.empty() ? 0 : static_cast<double>(busyGaps.back());
    state.counters["busy_paint_gap_p99_ms"] = pct(busyGaps, 0.99);
    state.counters["busy_paint_gap_p50_ms"] = pct(busyGaps, 0.50);
    state.counters["loop_late_max_ms"] = lateness.empty() ? 0 : static_cast<double>(lateness.back());
    state.counters["loop_late_p99_ms"] = pct(lateness, 0.99);
    if (memory.size() >= 4) {
      // Memory after a quarter of the files, at the end, and its growth per 1000 files over
      // the last three quarters (a leak per file shows here).
      auto quarter = memory[memory.size() / 4];
      double peak = 0;
      for (auto& m : memory) peak = std::max(peak, m.second);
      state.counters["rss_start_MiB"] = rssStart;
      state.counters["rss_quarter_MiB"] = quarter.second;
      state.counters["rss_end_MiB"] = memory.back().second;
      state.counters["rss_peak_MiB"] = peak;
      int span = memory.back().first - quarter.first;
      state.counters["rss_growth_MiB_per_1000_files"] =
          span > 0 ? (memory.back().second - quarter.second) * 1000.0 / span : 0.0;
    }
    w.main->close();
    w.main.reset();
    QDir(base).removeRecursively();
    state.ResumeTiming();
  }
  setMessageBoxHook({});
}
BENCHMARK(BM_WindowRun)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same files and options through the job alone, driven by its own loop as brevane-batch
// drives it: the peer for the window's wall time.
void BM_HeadlessRun(benchmark::State& state) {
  const QStringList& files = sources();
  std::vector<std::string> paths;
  for (const QString& f : files) paths.push_back(f.toStdString());
  struct Host : RunHost {
    void showMessage(const std::string&, const std::string&, Icon) override {}
    std::string langString(const std::string& key) override { return key; }
  } host;
  int run = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::string out = g_home->path().toStdString() + "/headless" + std::to_string(run++) + "/";
    TConversionSettings s = TConversionSettings::defaults();
    s.Threads = cpuCount();
    s.Output_format = 0;
    s.Selected_mode = 2;
    s.Resize_percent = 50;
    s.Rename_enabled = false;
    s.Output_path = out;
    ErrorLog log;
    LifetimeTotals totals;
    ConversionJob job(host, log, totals);
    double rssStart = rssMiB();
    state.ResumeTiming();
    QElapsedTimer clock;
    clock.start();
    double cpuStart = processCpuSeconds();
    job.start(s, paths);
    job.runToCompletion();
    state.SetIterationTime(static_cast<double>(clock.elapsed()) / 1000.0);
    state.counters["process_cpu_s"] = processCpuSeconds() - cpuStart;
    state.PauseTiming();
    state.counters["files"] = job.counters.processed.load();
    state.counters["rss_growth_MiB"] = rssMiB() - rssStart;
    QDir(QString::fromStdString(out)).removeRecursively();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_HeadlessRun)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--files=", 0) == 0)
      g_files = std::max(1, std::stoi(a.substr(8)));
    else
      args.push_back(argv[i]);
  }
  int n = static_cast<int>(args.size());
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir home;
  g_home = &home;
  qputenv("XDG_CONFIG_HOME", (home.path() + "/xdg-config").toUtf8());
  qputenv("XDG_RUNTIME_DIR", (home.path() + "/runtime").toUtf8());
  QDir().mkpath(home.path() + "/runtime");
  QFile::setPermissions(home.path() + "/runtime",
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  QApplication app(n, args.data());
  benchmark::Initialize(&n, args.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
