// How long building the form body of a full-HD screenshot takes, against copying a buffer of the
// body's size in the same run. Prints "ratio: X" (body build time / memcpy time); the target is 10.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <random>

#include "recognition/encodings.h"
#include "ratio_report.h"

namespace {

// A 1920x1080 24-bit BMP with screen-like content: flat areas, text-like noise, gradients.
qw::Bytes make_screenshot_bmp() {
  constexpr int width = 1920, height = 1080;
  constexpr int row_bytes = width * 3;  // already a multiple of 4
  constexpr int pixel_bytes = row_bytes * height;
  qw::Bytes bmp(54 + pixel_bytes);
  auto put32 = [&](int at, std::uint32_t v) { std::memcpy(&bmp[at], &v, 4); };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, static_cast<std::uint32_t>(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  bmp[26] = 1;
  bmp[28] = 24;
  std::mt19937 random(42);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &bmp[54 + y * row_bytes + x * 3];
      if (y % 40 < 16 && x % 300 < 220) {  // lines of "text"
        const std::uint8_t ink = (random() % 3 == 0) ? 0x20 : 0xF0;
        p[0] = p[1] = p[2] = ink;
      } else if (x > 1500) {  // a gradient panel
        p[0] = static_cast<std::uint8_t>(x);
        p[1] = static_cast<std::uint8_t>(y);
        p[2] = static_cast<std::uint8_t>(x + y);
      } else {
        p[0] = 0xF3, p[1] = 0xF3, p[2] = 0xF3;
      }
    }
  }
  return bmp;
}

const qw::Bytes& screenshot() {
  static const qw::Bytes bmp = make_screenshot_bmp();
  return bmp;
}

// A light screen is mostly "/" in Base64 and each becomes "%2F": a full-HD BMP of one does not fit
// the form buffer at all. The benchmark measures the encoder, so it lifts that limit.
constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

std::optional<std::string> form_body() {
  return qw::image_form_body(screenshot().data(), screenshot().size(), kNoLimit);
}

std::size_t body_size() {
  static const std::size_t size = form_body()->size();
  return size;
}

void BM_FormBody(benchmark::State& state) {
  for (auto _ : state) {
    auto body = form_body();
    benchmark::DoNotOptimize(body->data());
  }
}

// The reference: copying the body's size into a fresh buffer each time, as building it must.
void BM_MemcpyOfBodySize(benchmark::State& state) {
  const std::string source(body_size(), 'x');
  for (auto _ : state) {
    std::string copy(source);
    benchmark::DoNotOptimize(copy.data());
  }
}

// The straightforward pipeline, for comparison: Base64 text, then percent-encoding into a buffer.
void BM_TwoPassPipeline(benchmark::State& state) {
  for (auto _ : state) {
    const std::string base64 = qw::base64_encode(screenshot());
    const int capacity = static_cast<int>(3 * base64.size() + 1);
    std::string buffer(static_cast<std::size_t>(capacity) + 1, ' ');
    const int n = qw::percent_encode(base64.data(), static_cast<int>(base64.size()), buffer.data(), capacity);
    std::string body = "image=" + buffer.substr(0, static_cast<std::size_t>(n));
    benchmark::DoNotOptimize(body.data());
  }
}

BENCHMARK(BM_FormBody)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_MemcpyOfBodySize)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_TwoPassPipeline)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  return qw::bench::run_and_report_ratios(argc, argv, [](const qw::bench::RealTimes& times) {
    const double body = times.at("BM_FormBody/min_time:1.000");
    const double copy = times.at("BM_MemcpyOfBodySize/min_time:1.000");
    const double pipeline = times.at("BM_TwoPassPipeline/min_time:1.000");
    std::printf("body bytes: %zu\n", body_size());
    std::printf("ratio: %.2f (form body / memcpy of its size; target <= 10)\n", body / copy);
    std::printf("straightforward pipeline ratio: %.2f\n", pipeline / copy);
  });
}
