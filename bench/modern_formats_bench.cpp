// WebP, AVIF and JPEG XL writers and readers on a 12-megapixel photo-like image at their default
// settings, beside JPEG at quality 85: time, output size and PSNR of the decoded result.
// BREVANE_BENCH_PHOTO=<image file> uses a photograph (scaled to 12 megapixels) instead.
#include <benchmark/benchmark.h>
#include <libheif/heif.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <string>

#include "codecs/encoders.h"
#include "codecs/registry.h"
#include "imaging/resampler.h"

namespace {

using namespace brevane;

constexpr int kWidth = 4000, kHeight = 3000;

// A photograph named by BREVANE_BENCH_PHOTO, scaled to 4000 x 3000 (Lanczos3) with sensor-like
// noise added, or else a synthetic picture.
Bitmap fromPhotograph(const char* path) {
  codecs::DecodedImage decoded = codecs::loadImage(path);
  Bitmap scaled(kWidth, kHeight, 24);
  imaging::ResampleImage(decoded.bitmap, scaled, 5, 0);
  std::mt19937 rng(21);
  std::normal_distribution<float> noise(0.0f, 2.0f);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = scaled.scanLine(y);
    for (int x = 0; x < 3 * kWidth; ++x) row[x] = static_cast<uint8_t>(std::clamp(row[x] + noise(rng), 0.0f, 255.0f));
  }
  return scaled;
}

// Gradients, a few hard-edged shapes and fine texture with sensor-like noise, so that every
// coder meets smooth areas, edges and detail as in a photo.
const Bitmap& photo() {
  static const Bitmap image = [] {
    if (const char* path = std::getenv("BREVANE_BENCH_PHOTO")) return fromPhotograph(path);
    Bitmap b(kWidth, kHeight, 24);
    std::mt19937 rng(21);
    std::normal_distribution<float> noise(0.0f, 2.5f);
    for (int y = 0; y < kHeight; ++y) {
      uint8_t* row = b.scanLine(y);
      for (int x = 0; x < kWidth; ++x) {
        float sky = y < kHeight / 3 ? 1.0f : 0.0f;
        float disc = std::hypot(x - 2600.0f, y - 1300.0f) < 500.0f ? 1.0f : 0.0f;
        float texture = 18.0f * std::sin(x * 0.05f) * std::sin(y * 0.07f) * (1.0f - sky);
        float base[3] = {170.0f * sky + 60.0f + 40.0f * x / kWidth + texture - 50.0f * disc,
                         140.0f * sky + 70.0f + 60.0f * y / kHeight + texture + 90.0f * disc,
                         90.0f * sky + 80.0f + 30.0f * (x + y) / (kWidth + kHeight) + texture + 120.0f * disc};
        for (int c = 0; c < 3; ++c)
          row[3 * x + c] = static_cast<uint8_t>(std::clamp(base[c] + noise(rng), 0.0f, 255.0f));
      }
    }
    return b;
  }();
  return image;
}

using Writer = std::function<std::vector<uint8_t>()>;

// The writers at the settings' defaults (JPEG at 85, the default JPEG quality).
const std::map<std::string, Writer>& writers() {
  static const std::map<std::string, Writer> kWriters = {
      {"jpg", [] { return codecs::encodeJpeg(photo(), 85, false); }},
      {"webp", [] { return codecs::encodeWebp(photo(), nullptr, {80, false}); }},
      {"webp_lossless", [] { return codecs::encodeWebp(photo(), nullptr, {80, true}); }},
      {"avif", [] { return codecs::encodeAvif(photo(), nullptr, {60, 6}); }},
      {"jxl", [] { return codecs::encodeJxl(photo(), nullptr, {80, false}); }},
      {"jxl_lossless", [] { return codecs::encodeJxl(photo(), nullptr, {80, true}); }},
  };
  return kWriters;
}

// The HEIC input of the HEIF reader, made with libheif's own HEVC encoder at quality 50 (its
// command-line encoder's default): the program writes no HEIF.
std::vector<uint8_t> heicOfPhoto() {
  const Bitmap& src = photo();
  heif_context* context = heif_context_alloc();
  heif_image* image = nullptr;
  heif_image_create(kWidth, kHeight, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
  heif_image_add_plane(image, heif_channel_interleaved, kWidth, kHeight, 8);
  int stride = 0;
  uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = src.scanLine(y) + 3 * x;
      uint8_t* d = plane + static_cast<size_t>(y) * stride + 3 * x;
      d[0] = p[2], d[1] = p[1], d[2] = p[0];
    }
  heif_encoder* encoder = nullptr;
  heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder);
  heif_encoder_set_lossy_quality(encoder, 50);
  heif_context_encode_image(context, image, encoder, nullptr, nullptr);
  std::vector<uint8_t> out;
  heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* user) {
                       auto* v = static_cast<std::vector<uint8_t>*>(user);
                       v->insert(v->end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
                       return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                     }};
  heif_context_write(context, &writer, &out);
  heif_encoder_release(encoder);
  heif_image_release(image);
  heif_context_free(context);
  return out;
}

// Each writer's output, made once for the readers.
const std::vector<uint8_t>& encoded(const std::string& name) {
  static std::map<std::string, std::vector<uint8_t>> cache;
  auto it = cache.find(name);
  if (it == cache.end()) it = cache.emplace(name, name == "heic" ? heicOfPhoto() : writers().at(name)()).first;
  return it->second;
}

std::string extensionOf(const std::string& name) { return name.substr(0, name.find('_')); }

double psnr(const Bitmap& a, const Bitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      Bgr p = a.pixel(x, y), q = b.pixel(x, y);
      double d[3] = {double(p.b) - q.b, double(p.g) - q.g, double(p.r) - q.r};
      sum += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    }
  double mse = sum / (3.0 * a.width() * a.height());
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

void BM_Write(benchmark::State& state, const std::string& name) {
  photo();
  size_t bytes = 0;
  for (auto _ : state) bytes = writers().at(name)().size();
  state.counters["out_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["bits_per_px"] = 8.0 * static_cast<double>(bytes) / (double(kWidth) * kHeight);
  state.counters["psnr_dB"] = psnr(codecs::decodeBytes("x." + extensionOf(name), encoded(name)).bitmap, photo());
}

void BM_Read(benchmark::State& state, const std::string& name) {
  const std::vector<uint8_t>& file = encoded(name);
  const std::string path = "x." + extensionOf(name);
  for (auto _ : state) benchmark::DoNotOptimize(codecs::decodeBytes(path, file).bitmap.data());
  state.counters["in_MB"] = static_cast<double>(file.size()) / 1e6;
}

void registerAll() {
  for (const char* name : {"jpg", "webp", "webp_lossless", "avif", "jxl", "jxl_lossless"}) {
    // The slow coders are timed once; their run time dwarfs any timer noise.
    const int iterations = std::string(name) == "jpg" || std::string(name) == "webp" ? 3 : 1;
    // CPU time of the whole process, so that threads a library starts on its own are counted.
    benchmark::RegisterBenchmark((std::string("Write/") + name).c_str(), BM_Write, std::string(name))
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->Iterations(iterations);
    benchmark::RegisterBenchmark((std::string("Read/") + name).c_str(), BM_Read, std::string(name))
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->Iterations(3);
  }
  benchmark::RegisterBenchmark("Read/heic", BM_Read, std::string("heic"))
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime()
      ->Iterations(3);
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
