// Memory over long runs: a run of many small files with large ones among them (two large ones
// in a row in every 42 files, so that both workers hold a large picture at times in every run),
// converted by two workers, reports the process's peak resident memory. Each case runs in a
// process of its own, so the peaks compare directly: the run of 10 500 files should peak within
// 10% of the run of 105. Large sources are photographs from BREVANE_PHOTOS (default
// /tmp/brv-photos/in, made by bench/peers/make-photos.sh) or generated 4000x3000 images.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/byte_buffer.h"
#include "base/platform.h"
#include "codecs/encoders.h"
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

Bitmap noiseImage(int w, int h, int bpp, uint32_t seed) {
  Bitmap b(w, h, bpp);
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 6.0f);
  const int channels = bpp / 8;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c) {
        float v = c == 3 ? 255.0f * x / w : 50.0f + 50.0f * c + 120.0f * (x + y) / (w + h) + noise(rng);
        b.scanLine(y)[channels * x + c] = static_cast<uint8_t>(std::clamp(v, 0.0f, 255.0f));
      }
  return b;
}

void save(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// The sources: small JPEG and PNG files of several sizes (some with alpha) and large ones.
struct Sources {
  fs::path dir;
  std::vector<std::string> small, large;
};

const Sources& sources() {
  static const Sources s = [] {
    Sources r;
    r.dir = fs::temp_directory_path() / ("brv-memory-bench-" + std::to_string(::getpid()));
    fs::create_directories(r.dir / "in");
    const int sizes[][2] = {{64, 48}, {320, 240}, {640, 480}, {1024, 768}, {97, 203}, {800, 600}};
    for (int i = 0; i < 6; ++i) {
      const bool png = i % 2 == 1;
      const Bitmap b = noiseImage(sizes[i][0], sizes[i][1], png ? 32 : 24, static_cast<uint32_t>(i));
      fs::path p = r.dir / "in" / ("small" + std::to_string(i) + (png ? ".png" : ".jpg"));
      Bitmap alpha;
      if (png) {  // the alpha plane from the fourth byte
        alpha.reset(b.width(), b.height(), 24);
        for (int y = 0; y < b.height(); ++y)
          for (int x = 0; x < b.width(); ++x) alpha.scanLine(y)[3 * x + 2] = b.scanLine(y)[4 * x + 3];
      }
      save(p, png ? codecs::encodePng(b, &alpha, {false, true, 6}) : codecs::encodeJpeg(b, 90, false));
      r.small.push_back(p.string());
    }
    const char* env = std::getenv("BREVANE_PHOTOS");
    std::vector<std::string> photos;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(env ? env : "/tmp/brv-photos/in", ec))
      if (e.path().extension() == ".jpg") photos.push_back(e.path().string());
    std::sort(photos.begin(), photos.end());
    if (photos.size() > 4) photos.resize(4);
    if (photos.empty())
      for (int i = 0; i < 2; ++i) {
        fs::path p = r.dir / "in" / ("large" + std::to_string(i) + ".jpg");
        save(p, codecs::encodeJpeg(noiseImage(4000, 3000, 24, 100u + i), 92, false));
        photos.push_back(p.string());
      }
    r.large = photos;
    return r;
  }();
  return s;
}

// Runs one job over `files` files in this process; returns the peak resident KiB.
long runJob(int files) {
  const Sources& src = sources();
  std::vector<std::string> list;
  for (int i = 0; i < files; ++i)
    list.push_back(i % 42 >= 40 ? src.large[(i / 21) % src.large.size()] : src.small[i % src.small.size()]);
  TConversionSettings s = TConversionSettings::defaults();
  s.Threads = 2;
  s.Output_format = 0;
  s.Output_path = (src.dir / "out").string() + "/";
  s.Overwrite = true;
  s.Exif = false;
  s.Rename_enabled = false;
  s.Selected_mode = 1;
  s.Resize_proportional = true;
  s.Resize_width = 1920;
  s.Resize_height = 1080;
  s.EnlargeIfSmall = false;
  s.Resampling_filter = 5;
  QuietHost host;
  ErrorLog log;
  LifetimeTotals totals;
  ConversionJob job(host, log, totals);
  if (!job.start(s, list)) return -1;
  job.runToCompletion();
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

std::map<int, double> g_peaks;  // files -> peak MiB

void BM_RunPeakMemory(benchmark::State& state) {
  const int files = static_cast<int>(state.range(0));
  sources();  // made before the fork, so every child sees the same files
  long kib = -1;
  for (auto _ : state) {
    int fds[2];
    if (::pipe(fds) != 0) std::abort();
    pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      long peak = runJob(files);
      (void)!::write(fds[1], &peak, sizeof peak);
      ::_exit(0);
    }
    ::close(fds[1]);
    if (::read(fds[0], &kib, sizeof kib) != sizeof kib) kib = -1;
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
  }
  g_peaks[files] = kib / 1024.0;
  state.counters["peak_MiB"] = kib / 1024.0;
  int large = 0;
  for (int i = 0; i < files; ++i) large += i % 42 >= 40;
  state.SetLabel(std::to_string(files - large) + " small + " + std::to_string(large) + " large files");
}

BENCHMARK(BM_RunPeakMemory)->Arg(105)->Arg(10500)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_peaks.count(105) && g_peaks.count(10500) && g_peaks[105] > 0)
    std::printf("peak of 10500 files / peak of 105 files: %.3f\n", g_peaks[10500] / g_peaks[105]);
  std::error_code ec;
  fs::remove_all(sources().dir, ec);
  return 0;
}
