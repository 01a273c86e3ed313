// zlib against libdeflate at every level on the PNG writer's own input: the filtered rows of
// real photographs, at full size (4000x3000) and at the 800x600 of a fitted PNG output.
// Counters: out_MB (compressed bytes of all images), and the throughput of the filtered input.
// Photographs: BREVANE_PHOTOS (default /tmp/brv-photos/in, made by bench/peers/make-photos.sh);
// without them a generated photo-like image stands in, and the label says so.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "codecs/png_filter.h"
#include "codecs/registry.h"
#include "imaging/resampler.h"

namespace {

using namespace brevane;

constexpr int kPhotos = 4;

// The bytes deflate sees in a PNG: per row a filter byte and the filtered R, G, B samples.
std::vector<uint8_t> filteredStream(const Bitmap& image) {
  const size_t rowBytes = 3 * static_cast<size_t>(image.width());
  codecs::png::RowFilter filter(rowBytes, 3, true);
  std::vector<uint8_t> cur(rowBytes), prev(rowBytes), out;
  out.reserve((rowBytes + 1) * static_cast<size_t>(image.height()));
  for (int y = 0; y < image.height(); ++y) {
    const uint8_t* s = image.scanLine(y);
    for (int x = 0; x < image.width(); ++x) cur[3 * x] = s[3 * x + 2], cur[3 * x + 1] = s[3 * x + 1], cur[3 * x + 2] = s[3 * x];
    out.push_back(filter.apply(cur.data(), y ? prev.data() : nullptr));
    out.insert(out.end(), filter.filtered(), filter.filtered() + rowBytes);
    cur.swap(prev);
  }
  return out;
}

Bitmap generatedPhoto() {
  Bitmap b(4000, 3000, 24);
  std::mt19937 rng(12);
  std::normal_distribution<float> noise(0.0f, 4.0f);
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x)
      for (int c = 0; c < 3; ++c)
        b.scanLine(y)[3 * x + c] =
            static_cast<uint8_t>(std::clamp(60.0f + 40.0f * c + 100.0f * (x + y) / 7000.0f + noise(rng), 0.0f, 255.0f));
  return b;
}

struct Inputs {
  std::vector<std::vector<uint8_t>> full, fitted;
  std::string label;
};

const Inputs& inputs() {
  static const Inputs in = [] {
    Inputs r;
    const char* env = std::getenv("BREVANE_PHOTOS");
    const std::filesystem::path dir = env ? env : "/tmp/brv-photos/in";
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
      if (e.path().extension() == ".jpg") paths.push_back(e.path().string());
    std::sort(paths.begin(), paths.end());
    if (paths.size() > kPhotos) paths.resize(kPhotos);
    std::vector<Bitmap> images;
    for (const std::string& p : paths) images.push_back(std::move(codecs::loadImage(p).bitmap));
    r.label = std::to_string(images.size()) + " photographs";
    if (images.empty()) {
      images.push_back(generatedPhoto());
      r.label = "generated image (no photographs)";
    }
    for (Bitmap& image : images) {
      image.convertTo24();
      r.full.push_back(filteredStream(image));
      Bitmap small(800, 600, 24);
      imaging::ResampleImage(image, small, imaging::kLanczos3, 0);
      r.fitted.push_back(filteredStream(small));
    }
    return r;
  }();
  return in;
}

size_t zlibCompress(const std::vector<uint8_t>& in, int level, std::vector<uint8_t>& out) {
  uLongf size = compressBound(static_cast<uLong>(in.size()));
  out.resize(size);
  // compress2 is deflateInit(level) with the default window and memory level, as the writer.
  if (compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), level) != Z_OK) std::abort();
  return size;
}

size_t libdeflateCompress(const std::vector<uint8_t>& in, int level, std::vector<uint8_t>& out) {
  std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> c(libdeflate_alloc_compressor(level),
                                                                                   &libdeflate_free_compressor);
  out.resize(libdeflate_zlib_compress_bound(c.get(), in.size()));
  size_t n = libdeflate_zlib_compress(c.get(), in.data(), in.size(), out.data(), out.size());
  if (!n) std::abort();
  return n;
}

// Arguments: library (0 zlib, 1 libdeflate), level, size (0 fitted, 1 full).
void BM_Deflate(benchmark::State& state) {
  const Inputs& in = inputs();
  const bool libdeflate = state.range(0) == 1;
  const int level = static_cast<int>(state.range(1));
  const auto& set = state.range(2) ? in.full : in.fitted;
  std::vector<uint8_t> out;
  size_t outBytes = 0, inBytes = 0;
  for (auto _ : state) {
    outBytes = inBytes = 0;
    for (const auto& data : set) {
      outBytes += libdeflate ? libdeflateCompress(data, level, out) : zlibCompress(data, level, out);
      inBytes += data.size();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * inBytes));
  state.counters["out_MB"] = static_cast<double>(outBytes) / 1e6;
  state.SetLabel(std::string(libdeflate ? "libdeflate " : "zlib ") + (state.range(2) ? "4000x3000, " : "800x600, ") +
                 in.label);
}

void levels(benchmark::internal::Benchmark* b) {
  for (int size : {0, 1})
    for (int level = 0; level <= 9; ++level)
      for (int lib : {0, 1}) b->Args({lib, level, size});
}

BENCHMARK(BM_Deflate)->Apply(levels)->Unit(benchmark::kMillisecond)->MinTime(0.2);

}  // namespace

BENCHMARK_MAIN();
