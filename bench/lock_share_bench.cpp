// The serialised share of a run: the job of 4000x3000 photographs fitted into 1920x1080 with
// Lanczos3 and written as JPEG quality 85 (Exif off), one worker, reports the share of the
// run's CPU time spent holding ConversionLock and, by Amdahl's law, the speed-up that share
// allows on 16 and 64 cores: 1 / (s + (1 - s) / N).
// Photographs: BREVANE_PHOTOS (default /tmp/brv-photos/in, made by bench/peers/make-photos.sh);
// without them generated photo-like images stand in, and the label says so.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "codecs/encoders.h"
#include "engine/conversion_lock.h"
#include "engine/error_log.h"
#include "engine/job.h"
#include "engine/settings.h"

namespace {

using namespace brevane;
namespace fs = std::filesystem;

class QuietHost : public RunHost {
 public:
  void showMessage(const std::string&, const std::string&, Icon) override {}
  std::string langString(const std::string& key) override { return key; }
};

double processCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Photos {
  std::vector<std::string> paths;
  std::string label;
  fs::path generated;
};

const Photos& photos() {
  static const Photos p = [] {
    Photos r;
    const char* env = std::getenv("BREVANE_PHOTOS");
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(env ? env : "/tmp/brv-photos/in", ec))
      if (e.path().extension() == ".jpg") r.paths.push_back(e.path().string());
    std::sort(r.paths.begin(), r.paths.end());
    r.label = std::to_string(r.paths.size()) + " photographs";
    if (r.paths.empty()) {
      r.generated = fs::temp_directory_path() / ("brv-lock-bench-" + std::to_string(::getpid()));
      fs::create_directories(r.generated);
      std::mt19937 rng(5);
      std::normal_distribution<float> noise(0.0f, 6.0f);
      for (int i = 0; i < 4; ++i) {
        Bitmap b(4000, 3000, 24);
        for (int y = 0; y < 3000; ++y)
          for (int x = 0; x < 12000; ++x)
            b.scanLine(y)[x] = static_cast<uint8_t>(std::clamp(40.0f * (x % 3) + (x + y) / 60.0f + noise(rng), 0.0f, 255.0f));
        const fs::path path = r.generated / ("photo" + std::to_string(i) + ".jpg");
        const std::vector<uint8_t> bytes = codecs::encodeJpeg(b, 92, false);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        r.paths.push_back(path.string());
      }
      r.label = "4 generated images (no photographs)";
    }
    return r;
  }();
  return p;
}

void BM_LockShareJ1(benchmark::State& state) {
  const Photos& in = photos();
  const fs::path out = fs::temp_directory_path() / ("brv-lock-bench-out-" + std::to_string(::getpid()));
  TConversionSettings s = TConversionSettings::defaults();
  s.Threads = 1;  // no waiting for the lock: its share is its holders' own CPU time
  s.Output_format = 0;
  s.JPG_quality = 85;
  s.Output_path = out.string() + "/";
  s.Overwrite = true;
  s.Exif = false;
  s.Rename_enabled = false;
  s.Watermark_enable = false;
  s.Img_watermark_enabled = false;
  s.Selected_mode = 1;
  s.Resize_proportional = true;
  s.Resize_width = 1920;
  s.Resize_height = 1080;
  s.EnlargeIfSmall = false;
  s.Resampling_filter = 5;
  double cpu = 0, held = 0;
  for (auto _ : state) {
    QuietHost host;
    ErrorLog log;
    LifetimeTotals totals;
    ConversionJob job(host, log, totals);
    setConversionLockAccounting(true);
    const double before = processCpuSeconds();
    if (!job.start(s, in.paths)) state.SkipWithError("the run did not start");
    job.runToCompletion();
    cpu += processCpuSeconds() - before;
    held += static_cast<double>(conversionLockHeldCpuNs()) / 1e9;
    setConversionLockAccounting(false);
  }
  const double share = cpu > 0 ? held / cpu : 0;
  const double files = static_cast<double>(state.iterations() * in.paths.size());
  state.counters["cpu_ms_per_file"] = 1000 * cpu / files;
  state.counters["locked_ms_per_file"] = 1000 * held / files;
  state.counters["locked_pct"] = 100 * share;
  state.counters["amdahl_16"] = 1 / (share + (1 - share) / 16);
  state.counters["amdahl_64"] = 1 / (share + (1 - share) / 64);
  state.SetLabel(in.label);
  std::error_code ec;
  fs::remove_all(out, ec);
}

BENCHMARK(BM_LockShareJ1)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  if (!photos().generated.empty()) fs::remove_all(photos().generated, ec);
  return 0;
}
