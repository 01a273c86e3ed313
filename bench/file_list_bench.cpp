// The input list at the sizes people use: a folder of 10 000 small images listed by the window
// until every cell is filled (with the longest pause of the event loop meanwhile), and the
// core's add with its index and binary-search insert beside the literal rule (a scan of every
// row for duplicates and a full sort per add).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/bitmap.h"
#include "base/paths.h"
#include "base/platform.h"
#include "codecs/encoders.h"
#include "engine/input_list.h"
#include "file_list_view.h"

namespace {

using brevane::Bitmap;

Bitmap smallPicture(int width, int height, int seed) {
  Bitmap b(width, height, 24);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = b.scanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x * 7 + seed);
      row[3 * x + 1] = static_cast<uint8_t>(y * 5 + seed * 3);
      row[3 * x + 2] = static_cast<uint8_t>((x + y) * 3);
    }
  }
  return b;
}

// A folder of `count` small pictures: JPEG, PNG, BMP and Targa in turn (Targa takes the
// registry's decoder, the others the header reader). Made once per run of the program.
std::string pictureFolder(int count) {
  std::string folder = QDir::tempPath().toStdString() + "/brevane-file-list-bench-" + std::to_string(count) + "/";
  std::string marker = folder + ".complete";
  if (brevane::fileExists(marker)) return folder;
  brevane::createDirectories(folder);
  const Bitmap picture = smallPicture(48, 32, 1);
  const std::vector<uint8_t> encoded[4] = {
      brevane::codecs::encodeJpeg(picture, 85, false),
      brevane::codecs::encodePng(picture, nullptr, {}),
      brevane::codecs::encodeBmp(picture),
      brevane::codecs::encodeTga(picture, nullptr),
  };
  const char* ext[4] = {".jpg", ".png", ".bmp", ".tga"};
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "img%05d", i);
    brevane::writeFileAtomic(folder + name + ext[i % 4], encoded[i % 4]);
  }
  brevane::writeFileAtomic(marker, std::vector<uint8_t>{});
  return folder;
}

// The window's list, shown, from the start of Add folder until the last pixel size is in.
void BM_ListFolderEveryCellFilled(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const QString folder = QString::fromStdString(pictureFolder(count));
  double longestPauseMs = 0;
  for (auto _ : state) {
    brevane::app::FileListView list;
    list.resize(600, 400);
    list.show();
    // A 10 ms timer: the longest gap between its ticks is how long the window went without
    // repainting or seeing a key.
    QElapsedTimer sinceTick, total;
    total.start();
    qint64 longest = 0, longestAt = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      qint64 gap = sinceTick.restart();
      if (gap > longest) {
        longest = gap;
        longestAt = total.elapsed();
      }
    });
    tick.start();
    sinceTick.start();
    list.addFolder(folder);
    const qint64 scanned = total.elapsed();
    while (list.pendingSizes() > 0) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      QThread::msleep(1);
    }
    QCoreApplication::processEvents();
    tick.stop();
    if (list.rowCount() != count) state.SkipWithError("rows missing");
    for (int i = 0; i < list.rowCount(); ++i)
      if (list.topLevelItem(i)->text(4) != QStringLiteral("48x32")) {
        state.SkipWithError("a pixel size is missing");
        break;
      }
    longestPauseMs = std::max(longestPauseMs, static_cast<double>(longest));
    state.counters["scan_ms"] = static_cast<double>(scanned);
    state.counters["longest_pause_at_ms"] = static_cast<double>(longestAt);
  }
  state.counters["rows_per_s"] = benchmark::Counter(
      static_cast<double>(count) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["longest_pause_ms"] = longestPauseMs;
}
BENCHMARK(BM_ListFolderEveryCellFilled)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

std::vector<std::string> syntheticPaths(int count) {
  std::vector<std::string> paths;
  paths.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    paths.push_back("/photos/folder" + std::to_string(i % 37) + "/img" + std::to_string(i * 7919 % 100003) + ".jpg");
  return paths;
}

const brevane::PixelSizeFn kNoPixels = [](const std::string&) { return std::pair<int, int>{1, 1}; };

// The core's add: an index for duplicates and a binary-search insert.
void BM_CoreAddIndexed(benchmark::State& state) {
  const auto paths = syntheticPaths(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    brevane::InputList list(kNoPixels);
    for (const std::string& p : paths) list.addfile(p);
    benchmark::DoNotOptimize(list.size());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CoreAddIndexed)->Arg(1000)->Arg(4000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

// The literal rule: every row compared for a duplicate, the whole list sorted after each add.
void BM_CoreAddLiteral(benchmark::State& state) {
  const auto paths = syntheticPaths(static_cast<int>(state.range(0)));
  struct Row {
    std::string path, name;
  };
  for (auto _ : state) {
    std::vector<Row> rows;
    for (const std::string& p : paths) {
      Row r{brevane::folderPart(p), brevane::namePart(p)};
      bool duplicate = false;
      for (const Row& o : rows)
        if (o.path == r.path && o.name == r.name) duplicate = true;
      if (duplicate) continue;
      rows.push_back(r);
      std::stable_sort(rows.begin(), rows.end(),
                       [](const Row& a, const Row& b) { return std::strcoll(a.path.c_str(), b.path.c_str()) < 0; });
    }
    benchmark::DoNotOptimize(rows.size());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CoreAddLiteral)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  std::setlocale(LC_ALL, "");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
