// Renders every corpus line with ImageMagick and the WenQuanYi font, sends each picture through a
// freshly started qingwu-ocr-service exactly as the program does, and prints per script the exact
// line rate, the character error rate and the warm latency per line picture (TLS connection kept
// open, models loaded), each beside its target.
//
//   bench_local_ocr [REPEATS]   (timed requests per picture, default 3; the median counts)
#include <httplib.h>

#include <algorithm>
#include <iterator>
#include <numeric>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "corpus.h"
#include "recognition/encodings.h"
#include "service/access_tokens.h"
#include "service/service_process.h"


namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

constexpr const char* kFont = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

std::u32string code_points(const std::string& utf8) {
  std::u32string points;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t point = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length && i + k < utf8.size(); ++k) point = (point << 6) | (utf8[i + k] & 0x3F);
    points += point;
    i += length;
  }
  return points;
}

std::size_t edit_distance(const std::u32string& a, const std::u32string& b) {
  std::vector<std::size_t> previous(b.size() + 1), current(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    }
    std::swap(previous, current);
  }
  return previous[b.size()];
}

std::string shell_quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool render(const std::string& text, int size, const fs::path& file) {
  const std::string command = std::string("convert -background white -fill black -font ") + kFont + " -pointsize " +
                              std::to_string(size) + " label:" + shell_quoted(text) + " " +
                              shell_quoted(file.string()) + " 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

struct ScriptResult {
  std::size_t lines = 0, exact = 0, errors = 0, characters = 0;
  std::vector<double> latencies_ms;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const fs::path folder = fs::temp_directory_path() / ("qw-bench-local-ocr-" + std::to_string(getpid()));
  fs::create_directories(folder);
  int exit_code = 0;
  {
    qw::testing::ServiceProcess service(folder / "data");
    if (service.port() <= 0) {
      std::fprintf(stderr, "the service did not start\n");
      fs::remove_all(folder);
      return 1;
    }
    httplib::SSLClient client("localhost", service.port());
    client.set_ca_cert_path(service.certificate().c_str());
    client.enable_server_certificate_verification(true);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    client.set_read_timeout(120, 0);
    const std::string path = "/rest/2.0/ocr/v1/general_basic?access_token=" + std::string(qw::kBuiltInAccessToken);

    const struct {
      const char* name;
      const std::string_view* lines;
      std::size_t count;
      double cer_target;
    } scripts[] = {
        {"Chinese", std::begin(qw::bench::kChineseLines), std::size(qw::bench::kChineseLines), 3.0},
        {"English", std::begin(qw::bench::kEnglishLines), std::size(qw::bench::kEnglishLines), 1.0},
    };
    bool warmed = false;
    for (const auto& script : scripts) {
      ScriptResult result;
      for (std::size_t i = 0; i < script.count; ++i) {
        const std::string expected(script.lines[i]);
        const int size = qw::bench::kFontSizes[i % std::size(qw::bench::kFontSizes)];
        const fs::path file = folder / (std::string(script.name) + std::to_string(i) + ".png");
        if (!render(expected, size, file)) {
          std::fprintf(stderr, "ImageMagick could not render a line\n");
          exit_code = 1;
          continue;
        }
        const std::string body = qw::image_form_body(qw::read_file_bytes(file)).value_or("image=");
        if (!warmed) {
          client.Post(path.c_str(), body, "application/x-www-form-urlencoded");  // connection and first use
          warmed = true;
        }
        std::vector<double> times;
        std::string recognised;
        for (int r = 0; r < repeats; ++r) {
          const auto start = std::chrono::steady_clock::now();
          const auto answer = client.Post(path.c_str(), body, "application/x-www-form-urlencoded");
          times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
          if (!answer) continue;
          const Json parsed = Json::parse(answer->body, nullptr, false);
          recognised.clear();
          if (parsed.is_object() && parsed.contains("words_result")) {
            for (const Json& line : parsed["words_result"]) {
              if (!recognised.empty()) recognised += ' ';
              recognised += line.value("words", "");
            }
          }
        }
        const std::size_t errors = edit_distance(code_points(recognised), code_points(expected));
        ++result.lines;
        result.exact += errors == 0;
        result.errors += errors;
        result.characters += code_points(expected).size();
        result.latencies_ms.push_back(median(times));
        if (errors > 0) std::printf("  %2d px  %-50s  read as  %s\n", size, expected.c_str(), recognised.c_str());
      }
      const double cer = 100.0 * static_cast<double>(result.errors) / std::max<std::size_t>(result.characters, 1);
      std::vector<double> sorted = result.latencies_ms;
      std::sort(sorted.begin(), sorted.end());
      const double mean = sorted.empty() ? 0 : std::accumulate(sorted.begin(), sorted.end(), 0.0) / sorted.size();
      const double p95 = sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, sorted.size() * 95 / 100)];
      std::printf("%s: %zu lines, exact %zu/%zu (%.0f%%), character error rate %.2f%% (target <= %.0f%%: %.2fx of it)\n",
                  script.name, result.lines, result.exact, result.lines, 100.0 * result.exact / std::max<std::size_t>(result.lines, 1),
                  cer, script.cer_target, cer / script.cer_target);
      std::printf("%s: warm latency per line picture: mean %.1f ms, median %.1f ms, p95 %.1f ms (target <= 100 ms: mean %.2fx of it)\n",
                  script.name, mean, median(result.latencies_ms), p95, mean / 100.0);
    }
  }
  fs::remove_all(folder);
  return exit_code;
}
