// qingwu-ocr-service: the recognition platform's endpoints on this machine, for using the program
// without network access, keys or quotas.
#include <httplib.h>
#include <leptonica/allheaders.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

#include "common/file_io.h"
#include "service/access_tokens.h"
#include "service/certificate.h"
#include "service/engine_pool.h"
#include "service/ocr_service.h"
#include "service/service_options.h"
#include "service/table_jobs.h"

namespace {

using namespace qw;

// The engine's OpenMP threads fight each other for the cores (4 to 5 times slower on two cores),
// and OpenMP reads its limit once, when the library loads, before main runs: so the process starts
// itself again with the limit in its environment.
void restart_with_one_openmp_thread(char** argv) {
  const char* limit = std::getenv("OMP_THREAD_LIMIT");
  if (limit && std::strcmp(limit, "1") == 0) return;
  setenv("OMP_THREAD_LIMIT", "1", 1);
  execv("/proc/self/exe", argv);
  std::perror("qingwu-ocr-service: could not restart with OMP_THREAD_LIMIT=1, recognition will be slow");
}

std::optional<std::vector<KeyPair>> accepted_key_pairs(const ServiceOptions& options, std::string* error) {
  std::filesystem::path file = options.keys_file.value_or(options.data_dir / "keys.txt");
  std::error_code ignored;
  if (!options.keys_file && !std::filesystem::exists(file, ignored)) {
    return std::vector<KeyPair>{{std::string(kBuiltInApiKey), std::string(kBuiltInSecretKey)}};
  }
  const std::optional<Bytes> text = try_read_file(file);
  std::optional<std::vector<KeyPair>> pairs;
  if (text) pairs = read_key_pairs(std::string(text->begin(), text->end()));
  if (!pairs) *error = "cannot read the key pairs in " + file.string();
  return pairs;
}

bool prepare_data_dir(const std::filesystem::path& folder, std::string* error) {
  std::error_code failure;
  if (std::filesystem::create_directories(folder, failure)) chmod(folder.c_str(), 0700);
  if (!std::filesystem::is_directory(folder, failure)) {
    *error = "cannot create the data folder " + folder.string();
    return false;
  }
  return true;
}

// Stops the server on SIGINT, SIGTERM or SIGHUP. The signals are blocked before any thread starts
// (threads inherit the mask) and taken by one watcher with sigwait, so no handler ever runs in the
// middle of a request and no thread dies of the signal's default action.
class StopOnSignal {
 public:
  StopOnSignal() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    sigaddset(&signals_, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
  }
  // `server` must stay alive until finish().
  void watch(httplib::Server& server) {
    watcher_ = std::thread([this, &server] {
      int signal_number = 0;
      sigwait(&signals_, &signal_number);
      // A signal that comes before the server runs would be lost on a single stop().
      while (!server_done_) {
        server.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
  }
  // Once the server has stopped serving, for whatever reason.
  void finish() {
    if (!watcher_.joinable()) return;
    server_done_ = true;
    pthread_kill(watcher_.native_handle(), SIGTERM);  // ends a wait still going on
    watcher_.join();
  }
  ~StopOnSignal() { finish(); }
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;

 private:
  sigset_t signals_;
  std::atomic<bool> server_done_{false};
  std::thread watcher_;
};

int run(const ServiceOptions& options) {
  StopOnSignal stop_on_signal;
  std::string error;
  if (!prepare_data_dir(options.data_dir, &error)) {
    std::cerr << "qingwu-ocr-service: " << error << "\n";
    return 1;
  }
  const std::optional<CertificateFiles> certificate = ensure_certificate(options.data_dir, &error);
  const std::optional<std::string> signing_key =
      certificate ? ensure_secret_file(options.data_dir / "token-signing.key", 32, &error) : std::nullopt;
  const std::optional<std::vector<KeyPair>> key_pairs = signing_key ? accepted_key_pairs(options, &error) : std::nullopt;
  if (!key_pairs) {
    std::cerr << "qingwu-ocr-service: " << error << "\n";
    return 1;
  }
  const TokenIssuer tokens(*key_pairs, *signing_key, {std::string(kBuiltInAccessToken)});

  OcrEngineOptions engine_options;
  engine_options.languages = options.languages;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  EnginePool engines(options.engines > 0 ? options.engines : cores,
                     [engine_options] { return OcrEngine::create(engine_options); });
  {
    // The first engine is made now: a missing language shows at start, and the first request
    // does not wait for the models to load.
    EnginePool::Lease first = engines.acquire();
    if (!first) {
      OcrEngine::create(engine_options, &error);
      std::cerr << "qingwu-ocr-service: " << error << "\n";
      return 1;
    }
  }
  TableJobs jobs(engines);
  OcrService service(tokens, engines, jobs);

  httplib::SSLServer server(certificate->certificate.c_str(), certificate->private_key.c_str());
  if (!server.is_valid()) {
    std::cerr << "qingwu-ocr-service: the certificate in " << options.data_dir << " cannot be used; "
              << "remove service-cert.pem and service-key.pem to make new ones\n";
    return 1;
  }
  const int threads = options.threads;
  server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
  server.set_tcp_nodelay(true);
  server.set_payload_max_length(8 * kLargestFormBody);  // beyond this the library itself refuses
  service.install(server);

  const int port = options.port == 0 ? server.bind_to_any_port(options.bind_address)
                                     : (server.bind_to_port(options.bind_address, options.port) ? options.port : -1);
  if (port <= 0) {
    std::cerr << "qingwu-ocr-service: cannot listen on " << options.bind_address << " port " << options.port << "\n";
    return 1;
  }
  stop_on_signal.watch(server);
  service.set_own_address(options.bind_address + ":" + std::to_string(port));
  std::cerr << "qingwu-ocr-service: listening on https://" << options.bind_address << ":" << port << "\n"
            << "  clients trust its certificate " << certificate->certificate.string() << ",\n"
            << "  e.g. SSL_CERT_FILE=" << certificate->certificate.string() << " for curl and OpenSSL programs;\n"
            << "  the program's API host is localhost:" << port << " (key api_host of its settings)\n";
  // Machine-readable, one KEY=value a line, the port last: once it is there, requests are served.
  std::cout << "QW_SERVICE_CERT=" << certificate->certificate.string() << "\n"
            << "QW_SERVICE_PORT=" << port << std::endl;

  const bool served = server.listen_after_bind();
  stop_on_signal.finish();
  return served ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  restart_with_one_openmp_thread(argv);
  signal(SIGPIPE, SIG_IGN);  // a client that hangs up must not end the service
  setMsgSeverity(L_SEVERITY_NONE);  // broken pictures are answered, not logged
  std::string message;
  const std::optional<qw::ServiceOptions> options =
      qw::parse_service_options(std::vector<std::string>(argv + 1, argv + argc), &message);
  if (!options) {
    std::cerr << message;
    return message.rfind("usage:", 0) == 0 ? 0 : 2;
  }
  return run(*options);
}
