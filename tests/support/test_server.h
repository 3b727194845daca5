// The C++ side of the scripted local test server (test_server.py beside this file).
//
// ctest starts the server before the tests that name ${QW_TEST_SERVER_FIXTURES} among their
// FIXTURES, and stops it after them (tests/support/CMakeLists.txt); on Windows that fixture also
// makes the Wine prefix trust the test CA. Natively, locate() points SSL_CERT_FILE at the test CA
// for the test process; call it before starting threads.
//
//   const auto server = qw::testing::TestServer::locate();
//   server.set_answer("/my/endpoint", {200, {{"Content-Type", "application/json"}}, R"({"a":1})"});
//   qw::web_request(server.https_url("/my/endpoint"), {1, "x=1"});
//   auto received = server.requests("/my/");          // method, target, header lines, body
//   int most = server.max_in_flight("/my/");          // the most requests answered at one moment
//
// URLs name "localhost" (the certificate holds DNS:localhost, DNS:127.0.0.1 and IP:127.0.0.1; Wine
// matches only host names). The server is shared by tests running in parallel: give each test paths
// of its own. Control calls go through qw::web_request; they throw std::runtime_error when the
// server cannot be reached or does not understand them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qw::testing {

// One request as the server received it.
struct RecordedRequest {
  std::string method;
  std::string target;                     // as in the request line: "/path?query" or an absolute URL
  std::vector<std::string> header_lines;  // in order, as received, without CR LF
  std::string body;
  bool done = true;  // false while the server is still answering it

  // The value of the first header of that name (any letter case), trimmed; nullopt when absent.
  std::optional<std::string> header(std::string_view name) const;
  int header_count(std::string_view name) const;
};

// A request written out as on the wire: request line, header lines, an empty line, then the body
// (what the /echo routes answer).
RecordedRequest parse_request_text(std::string_view raw);

struct CannedAnswer {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;  // sent in this order, names as written
  std::string body;
  int delay_ms = 0;
};

class TestServer {
 public:
  // Reads the state file of the server the fixture started; throws when there is none.
  static TestServer locate();

  std::string http_url(std::string_view path) const { return url("http", http_port_, path); }
  std::string https_url(std::string_view path) const { return url("https", https_port_, path); }
  // HTTPS with a certificate from a CA that nobody trusts.
  std::string untrusted_https_url(std::string_view path) const { return url("https", untrusted_https_port_, path); }
  // Nothing listens there: connecting is refused at once.
  std::string closed_port_url(std::string_view path) const { return url("http", closed_port_, path); }
  // A listener that never accepts: connecting hangs until the client gives up.
  std::string blackhole_url(std::string_view path) const { return url("http", blackhole_port_, path); }
  int http_port() const { return http_port_; }
  int https_port() const { return https_port_; }
  const std::filesystem::path& ca_file() const { return ca_file_; }

  // Every later request for `path` (without query) gets this answer.
  void set_answer(std::string_view path, const CannedAnswer& answer) const;
  // The requests whose path begins with `prefix`, in arrival order.
  std::vector<RecordedRequest> requests(std::string_view prefix) const;
  // The most requests under `prefix` that were being answered at one moment.
  int max_in_flight(std::string_view prefix) const;
  // Drops the recorded requests and the answers under `prefix`.
  void forget(std::string_view prefix) const;

  static std::filesystem::path state_folder();

 private:
  static std::string url(std::string_view scheme, int port, std::string_view path);
  std::string control(std::string_view action, std::string_view prefix, const std::string& json_body = {},
                      bool post = false) const;

  int http_port_ = 0;
  int https_port_ = 0;
  int untrusted_https_port_ = 0;
  int closed_port_ = 0;
  int blackhole_port_ = 0;
  std::filesystem::path ca_file_;
};

}  // namespace qw::testing
