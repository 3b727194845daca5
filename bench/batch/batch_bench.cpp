// Batch throughput against the local test server answering every picture after a fixed delay.
// With N workers and a delay of D, the best possible is N / D pictures a second; the hand-out takes a
// free place as soon as a worker ends, so the measured throughput should be at least 90% of that.
// Prints "ratio N=…: X" (measured / best) for N = 1, 3 and 10.
//
// QW_BENCH_DELAY_MS sets another answer delay (default 250 ms).
//
// It starts the test server itself (tests/support/test_server.py, in <build>/test-server) and stops
// it at the end: do not run it while ctest runs the tests of the same build.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/file_io.h"
#include "common/paths.h"
#include "config/config_keys.h"
#include "recognition/batch_recognition.h"
#include "support/recording_display.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace {

const int kDelayMs = std::getenv("QW_BENCH_DELAY_MS") ? std::atoi(std::getenv("QW_BENCH_DELAY_MS")) : 250;  // NOLINT
constexpr char kGeneral[] = "/rest/2.0/ocr/v1/general";

std::string server_command(const char* action) {
  const auto script = std::filesystem::path(QW_SOURCE_DIR) / "tests/support/test_server.py";
  return "python3 '" + script.string() + "' " + action + " --dir '" + qw::testing::TestServer::state_folder().string() +
         "' >/dev/null";
}

double measure(const qw::testing::TestServer& server, int workers, int pictures) {
  qw::testing::TempDir dir;
  const std::string prefix = "/bench-" + std::to_string(workers);
  qw::config::write_key(dir.path(), qw::config::kApiHost, "localhost:" + std::to_string(server.https_port()) + prefix);
  server.set_answer(prefix + kGeneral, {200, {}, R"({"log_id":1,"words_result":[{"words":"x"}]})", kDelayMs});
  const auto folder = dir.path() / "pictures";
  std::filesystem::create_directories(folder);
  for (int i = 0; i < pictures; ++i) qw::replace_file_atomically(folder / (std::to_string(i) + ".png"), "picture");

  qw::testing::RecordingDisplay display;
  display.set_folder(folder);
  display.set_batch_texts(std::to_string(workers), "1");
  qw::BatchState state;
  const auto start = std::chrono::steady_clock::now();
  qw::recognize_folder({display, dir.path()}, state);
  qw::wait_for_batch_workers(state);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  server.forget(prefix);
  const double best = workers / (kDelayMs / 1000.0);
  return (pictures / seconds) / best;
}

}  // namespace

int main() {
  if (std::system(server_command("start").c_str()) != 0) {
    std::fprintf(stderr, "could not start the test server\n");
    return 1;
  }
  int status = 0;
  try {
    const auto server = qw::testing::TestServer::locate();
    measure(server, 3, 6);  // warm up: certificates, connections, the server's threads
    for (int workers : {1, 3, 10}) {
      const int pictures = workers * 6;
      const double ratio = measure(server, workers, pictures);
      std::printf("ratio N=%d: %.3f (%d pictures, answer delay %d ms; target >= 0.90)\n", workers, ratio, pictures,
                  kDelayMs);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    status = 1;
  }
  std::system(server_command("stop").c_str());
  return status;
}
