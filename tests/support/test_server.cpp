#include "support/test_server.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "common/paths.h"
#include "common/text.h"
#include "web/web_request.h"

namespace qw::testing {
namespace {

constexpr std::string_view kBase64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64_encoded(std::string_view bytes) {
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned value = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kBase64Alphabet[(value >> shift) & 63];
  }
  if (i < bytes.size()) {
    unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kBase64Alphabet[(value >> 18) & 63];
    out += kBase64Alphabet[(value >> 12) & 63];
    out += i + 1 < bytes.size() ? kBase64Alphabet[(value >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string base64_decoded(std::string_view text) {
  std::string out;
  unsigned value = 0;
  int bits = 0;
  for (const char c : text) {
    const auto digit = kBase64Alphabet.find(c);
    if (digit == std::string_view::npos) continue;  // "=" and line breaks
    value = (value << 6) | static_cast<unsigned>(digit);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((value >> bits) & 0xFF);
    }
  }
  return out;
}

// Natively the test CA is trusted through SSL_CERT_FILE, in this process only, in place of
// whatever bundle the machine names (under Wine the fixture has put the CA into the prefix's Root
// store, and the variable changes nothing).
void trust_test_ca(const std::filesystem::path& ca_file) {
#ifdef _WIN32
  _putenv_s("SSL_CERT_FILE", ca_file.string().c_str());
#else
  setenv("SSL_CERT_FILE", ca_file.c_str(), 1);
#endif
}

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const auto& line : header_lines) {
    const auto colon = line.find(':');
    if (colon != std::string::npos && equals_ignore_case(std::string_view(line).substr(0, colon), name)) {
      return trim_spaces(std::string_view(line).substr(colon + 1));
    }
  }
  return std::nullopt;
}

int RecordedRequest::header_count(std::string_view name) const {
  int count = 0;
  for (const auto& line : header_lines) {
    const auto colon = line.find(':');
    if (colon != std::string::npos && equals_ignore_case(std::string_view(line).substr(0, colon), name)) ++count;
  }
  return count;
}

RecordedRequest parse_request_text(std::string_view raw) {
  RecordedRequest request;
  const auto head_end = raw.find("\r\n\r\n");
  const std::string_view head = raw.substr(0, head_end);
  if (head_end != std::string_view::npos) request.body = std::string(raw.substr(head_end + 4));
  auto lines = split_text(head, "\r\n");
  if (lines.empty()) return request;
  const auto& request_line = lines.front();
  const auto first_space = request_line.find(' ');
  const auto last_space = request_line.rfind(' ');
  request.method = request_line.substr(0, first_space);
  if (first_space != std::string::npos && last_space > first_space) {
    request.target = request_line.substr(first_space + 1, last_space - first_space - 1);
  }
  request.header_lines.assign(std::make_move_iterator(lines.begin() + 1), std::make_move_iterator(lines.end()));
  return request;
}

std::filesystem::path TestServer::state_folder() {
  // Test executables live in <build>/bin and the fixture keeps the server's files in
  // <build>/test-server; going through the executable's folder works the same under Wine.
  return program_directory().parent_path() / "test-server";
}

TestServer TestServer::locate() {
  const auto state_file = state_folder() / "server.json";
  std::ifstream in(state_file);
  if (!in) throw std::runtime_error("no test server state at " + state_file.string() + " (is the fixture on?)");
  const auto state = nlohmann::json::parse(in);
  TestServer server;
  server.http_port_ = state.at("http_port").get<int>();
  server.https_port_ = state.at("https_port").get<int>();
  server.untrusted_https_port_ = state.at("untrusted_https_port").get<int>();
  server.closed_port_ = state.at("closed_port").get<int>();
  server.blackhole_port_ = state.at("blackhole_port").get<int>();
  server.ca_file_ = state_folder() / "ca.pem";
  trust_test_ca(server.ca_file_);
  return server;
}

std::string TestServer::url(std::string_view scheme, int port, std::string_view path) {
  return std::string(scheme) + "://localhost:" + std::to_string(port) + std::string(path);
}

std::string TestServer::control(std::string_view action, std::string_view prefix, const std::string& json_body,
                                bool post) const {
  std::string target = "/_control/" + std::string(action);
  if (!prefix.empty()) target += "?prefix=" + std::string(prefix);
  std::string headers = "Content-Type: application/json";
  std::string returned_headers;
  WebRequestOptions options;
  options.method = post ? 1 : 0;
  options.body_text = json_body;
  options.header_lines = &headers;
  options.returned_headers = &returned_headers;
  const Bytes answer = web_request(http_url(target), options);
  if (!starts_with_text(returned_headers, "HTTP/1.1 200")) {
    throw std::runtime_error("test server control " + target + " failed: " + left_text(returned_headers, 80));
  }
  return std::string(answer.begin(), answer.end());
}

void TestServer::set_answer(std::string_view path, const CannedAnswer& answer) const {
  nlohmann::json request = {{"path", std::string(path)},
                            {"status", answer.status},
                            {"headers", nlohmann::json::array()},
                            {"body_base64", base64_encoded(answer.body)},
                            {"delay_ms", answer.delay_ms}};
  // Header names and values travel as JSON strings, so they must be ASCII (or UTF-8).
  for (const auto& [name, value] : answer.headers) request["headers"].push_back({name, value});
  control("answer", {}, request.dump(), true);
}

std::vector<RecordedRequest> TestServer::requests(std::string_view prefix) const {
  const auto listing = nlohmann::json::parse(control("requests", prefix));
  std::vector<RecordedRequest> requests;
  for (const auto& entry : listing.at("requests")) {
    RecordedRequest request = parse_request_text(base64_decoded(entry.at("head_base64").get<std::string>()));
    request.body = base64_decoded(entry.at("body_base64").get<std::string>());
    request.done = entry.at("done").get<bool>();
    requests.push_back(std::move(request));
  }
  return requests;
}

int TestServer::max_in_flight(std::string_view prefix) const {
  return nlohmann::json::parse(control("concurrency", prefix)).at("max_in_flight").get<int>();
}

void TestServer::forget(std::string_view prefix) const { control("forget", prefix, {}, true); }

}  // namespace qw::testing
