#include "service/ocr_service.h"

#include <httplib.h>
#include <nlohmann/json.hpp>
#include <openssl/rand.h>

#include <cstdlib>
#include <ctime>
#include <optional>

#include "service/form_body.h"
#include "service/text_lines.h"

namespace qw {
namespace {

using Json = nlohmann::json;

constexpr const char* kJsonType = "application/json;charset=utf-8";
constexpr const char* kTablePath = "/rest/2.0/solution/v1/form_ocr/";
constexpr const char* kSpreadsheetFolder = "/rest/2.0/solution/v1/form_ocr/result/";

// The platform's own messages for its codes.
const char* error_message(PlatformError error) {
  switch (error) {
    case PlatformError::unsupported_method: return "Unsupported openapi method";
    case PlatformError::qps_limit: return "Open api qps request limit reached";
    case PlatformError::invalid_parameter: return "Invalid parameter";
    case PlatformError::invalid_token: return "Access token invalid or no longer valid";
    case PlatformError::expired_token: return "Access token expired";
    case PlatformError::invalid_param: return "invalid param";
    case PlatformError::empty_image: return "empty image";
    case PlatformError::image_format: return "image format error";
    case PlatformError::image_size: return "image size error";
    case PlatformError::internal: return "internal error";
  }
  return "Unknown error";
}

void send_json(httplib::Response& response, const Json& answer, int status = 200) {
  response.status = status;
  // Recognised text is the engine's UTF-8, but a broken sequence must not break the whole answer.
  response.set_content(answer.dump(-1, ' ', false, Json::error_handler_t::replace), kJsonType);
}

// Errors of the credentials come without a log_id, as the platform's do; errors about the
// request's content carry one, which tells a batch client that retrying will not help.
void send_error(httplib::Response& response, PlatformError error, std::optional<std::uint64_t> log_id = std::nullopt) {
  Json answer = {{"error_code", static_cast<int>(error)}, {"error_msg", error_message(error)}};
  if (log_id) answer["log_id"] = *log_id;
  send_json(response, answer);
}

struct FormBody {
  std::map<std::string, std::string> fields;
  bool too_large = false;
};

// Bodies are taken through the content reader: the library's own form handling refuses large
// bodies, and a picture's form text is up to 10 MB. What lies past the limit is read and dropped,
// so the client still gets its answer instead of a broken connection.
FormBody read_form_body(const httplib::Request& request, const httplib::ContentReader& reader) {
  FormBody body;
  std::string text;
  if (request.has_header("Content-Length")) {
    const unsigned long long announced = std::strtoull(request.get_header_value("Content-Length").c_str(), nullptr, 10);
    if (announced <= kLargestFormBody) text.reserve(static_cast<std::size_t>(announced));
  }
  reader([&](const char* data, std::size_t length) {
    if (body.too_large || text.size() + length > kLargestFormBody) {
      body.too_large = true;
      text.clear();
    } else {
      text.append(data, length);
    }
    return true;
  });
  if (!body.too_large) body.fields = parse_form_body(text);
  return body;
}

std::string field(const FormBody& body, const std::string& name) {
  const auto found = body.fields.find(name);
  return found == body.fields.end() ? std::string() : found->second;
}

std::optional<PlatformError> token_problem(const TokenIssuer& tokens, const httplib::Request& request) {
  if (!request.has_param("access_token")) return PlatformError::invalid_parameter;
  switch (tokens.check_token(request.get_param_value("access_token"), std::time(nullptr))) {
    case TokenCheck::valid: return std::nullopt;
    case TokenCheck::expired: return PlatformError::expired_token;
    case TokenCheck::unknown: break;
  }
  return PlatformError::invalid_token;
}

// The picture of the "image" field, or the error that answers its absence or damage.
struct PictureField {
  Bytes picture;
  std::optional<PlatformError> problem;
};

PictureField picture_field(const FormBody& body) {
  if (body.too_large) return {{}, PlatformError::image_size};
  const std::string image = field(body, "image");
  if (image.empty()) return {{}, PlatformError::empty_image};
  std::optional<Bytes> picture = base64_decode(image);
  if (!picture) return {{}, PlatformError::image_format};
  if (picture->empty()) return {{}, PlatformError::empty_image};
  switch (check_picture_header(*picture)) {
    case PictureProblem::none: return {std::move(*picture), std::nullopt};
    case PictureProblem::bad_size: return {{}, PlatformError::image_size};
    case PictureProblem::unreadable: break;
  }
  return {{}, PlatformError::image_format};
}

std::uint64_t random_log_id_base() {
  unsigned char random[4] = {};
  RAND_bytes(random, sizeof random);
  std::uint64_t base = 0;
  for (const unsigned char byte : random) base = (base << 8) | byte;
  // Below 2^53, so a script reading the number keeps every digit.
  return (base << 20) & ((std::uint64_t{1} << 52) - 1);
}

// A Host header is used for the spreadsheet's address only when it is a plain host[:port].
bool is_plain_host(const std::string& host) {
  if (host.empty() || host.size() > 255) return false;
  for (const char c : host) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                         c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
    if (!allowed) return false;
  }
  return true;
}

}  // namespace

OcrService::OcrService(const TokenIssuer& tokens, EnginePool& engines, TableJobs& jobs)
    : tokens_(tokens), engines_(engines), jobs_(jobs), log_id_base_(random_log_id_base()) {}

void OcrService::install(httplib::Server& server) {
  using httplib::ContentReader;
  using httplib::Request;
  using httplib::Response;
  server.Post("/oauth/2.0/token", [this](const Request& request, Response& response, const ContentReader& reader) {
    answer_token(request, response, reader);
  });
  for (const char* path : {"/rest/2.0/ocr/v1/general_basic", "/rest/2.0/ocr/v1/accurate_basic"}) {
    server.Post(path, [this](const Request& request, Response& response, const ContentReader& reader) {
      answer_recognition(request, response, reader, Recognition::basic);
    });
  }
  server.Post("/rest/2.0/ocr/v1/general", [this](const Request& request, Response& response, const ContentReader& reader) {
    answer_recognition(request, response, reader, Recognition::with_locations);
  });
  server.Post(std::string(kTablePath) + "request",
              [this](const Request& request, Response& response, const ContentReader& reader) {
                answer_table_request(request, response, reader);
              });
  server.Post(std::string(kTablePath) + "get_request_result",
              [this](const Request& request, Response& response, const ContentReader& reader) {
                answer_table_result(request, response, reader);
              });
  server.Get(std::string(kSpreadsheetFolder) + R"(([0-9_]+)\.xls)",
             [this](const Request& request, Response& response) { answer_spreadsheet(request, response); });
  server.set_error_handler([](const Request&, Response& response) {
    if (response.status == 404 || response.status == 405) {
      send_json(response, {{"error_code", static_cast<int>(PlatformError::unsupported_method)},
                           {"error_msg", error_message(PlatformError::unsupported_method)}},
                response.status);
    }
  });
}

void OcrService::answer_token(const httplib::Request& request, httplib::Response& response,
                              const httplib::ContentReader& reader) const {
  FormBody body = read_form_body(request, reader);
  // The platform takes the fields from the query as well.
  for (const char* name : {"grant_type", "client_id", "client_secret"}) {
    if (body.fields.count(name) == 0 && request.has_param(name)) body.fields[name] = request.get_param_value(name);
  }
  const auto refuse = [&](const char* error, const char* description) {
    send_json(response, {{"error", error}, {"error_description", description}}, 401);
  };
  if (field(body, "grant_type") != "client_credentials") {
    refuse("unsupported_grant_type", "The authorization grant type is not supported");
    return;
  }
  const std::string api_key = field(body, "client_id");
  switch (tokens_.check_keys(api_key, field(body, "client_secret"))) {
    case KeyCheck::unknown_client: refuse("invalid_client", "unknown client id"); return;
    case KeyCheck::wrong_secret: refuse("invalid_client", "Client authentication failed"); return;
    case KeyCheck::accepted: break;
  }
  send_json(response, {{"access_token", tokens_.issue(api_key, std::time(nullptr))},
                       {"expires_in", kTokenLifetimeSeconds},
                       {"scope", "public brain_all_scope vis-ocr_ocr"},
                       {"session_key", ""},
                       {"session_secret", ""}});
}

std::optional<OcrService::AcceptedPicture> OcrService::accept_picture(const httplib::Request& request,
                                                                      httplib::Response& response,
                                                                      const httplib::ContentReader& reader) {
  const FormBody body = read_form_body(request, reader);
  if (const auto problem = token_problem(tokens_, request)) {
    send_error(response, *problem);
    return std::nullopt;
  }
  const std::uint64_t log_id = next_log_id();
  PictureField picture = picture_field(body);
  if (picture.problem) {
    send_error(response, *picture.problem, log_id);
    return std::nullopt;
  }
  return AcceptedPicture{log_id, std::move(picture.picture)};
}

void OcrService::answer_recognition(const httplib::Request& request, httplib::Response& response,
                                    const httplib::ContentReader& reader, Recognition kind) {
  std::optional<AcceptedPicture> accepted = accept_picture(request, response, reader);
  if (!accepted) return;
  const std::uint64_t log_id = accepted->log_id;
  PictureReading reading;
  {
    EnginePool::Lease engine = engines_.acquire();
    if (!engine) {
      send_error(response, PlatformError::internal, log_id);
      return;
    }
    reading = engine->read(accepted->picture);
  }
  if (reading.problem != PictureProblem::none) {
    send_error(response, reading.problem == PictureProblem::bad_size ? PlatformError::image_size : PlatformError::image_format,
               log_id);
    return;
  }
  Json lines = Json::array();
  for (const TextLine& line : reading.lines) {
    Json entry = {{"words", line_text(line)}};
    if (kind == Recognition::with_locations) {
      entry["location"] = {{"left", line.left}, {"top", line.top}, {"width", line.width}, {"height", line.height}};
    }
    lines.push_back(std::move(entry));
  }
  send_json(response, {{"log_id", log_id}, {"words_result_num", lines.size()}, {"words_result", std::move(lines)}});
}

void OcrService::answer_table_request(const httplib::Request& request, httplib::Response& response,
                                      const httplib::ContentReader& reader) {
  std::optional<AcceptedPicture> accepted = accept_picture(request, response, reader);
  if (!accepted) return;
  const std::uint64_t log_id = accepted->log_id;
  const std::optional<std::string> request_id = jobs_.submit(std::move(accepted->picture));
  if (!request_id) {
    send_error(response, PlatformError::qps_limit, log_id);
    return;
  }
  send_json(response, {{"result", Json::array({{{"request_id", *request_id}}})}, {"log_id", log_id}});
}

void OcrService::answer_table_result(const httplib::Request& request, httplib::Response& response,
                                     const httplib::ContentReader& reader) {
  const FormBody body = read_form_body(request, reader);
  if (const auto problem = token_problem(tokens_, request)) {
    send_error(response, *problem);
    return;
  }
  const std::uint64_t log_id = next_log_id();
  const std::string request_id = field(body, "request_id");
  const std::optional<JobStatus> status = jobs_.status(request_id);
  if (!status) {
    send_error(response, PlatformError::invalid_param, log_id);
    return;
  }
  // The platform's job states: 1 not started, 2 running, 3 finished; a job that cannot be done
  // says so instead of pretending to be finished.
  int code = 1;
  const char* message = "未开始";
  int percent = 0;
  std::string address;
  switch (status->state) {
    case JobState::waiting: break;
    case JobState::running: code = 2, message = "进行中", percent = 50; break;
    case JobState::finished:
      code = 3, message = "已完成", percent = 100;
      address = spreadsheet_address(request, request_id);
      break;
    case JobState::failed: code = 4, message = "识别失败", percent = 100; break;
  }
  Json answer = {{"result",
                  {{"result_data", address},
                   {"ret_msg", message},
                   {"request_id", request_id},
                   {"percent", percent},
                   {"ret_code", code}}},
                 {"log_id", log_id}};
  // A client stops polling at an error, so a failed job ends its wait at once.
  if (status->state == JobState::failed) {
    answer["error_code"] = static_cast<int>(PlatformError::internal);
    answer["error_msg"] = message;
  }
  send_json(response, answer);
}

std::string OcrService::spreadsheet_address(const httplib::Request& request, const std::string& request_id) const {
  const std::string host = request.get_header_value("Host");
  return "https://" + (is_plain_host(host) ? host : own_address_) + kSpreadsheetFolder + request_id + ".xls";
}

void OcrService::answer_spreadsheet(const httplib::Request& request, httplib::Response& response) const {
  const std::string request_id = request.matches[1];
  const std::optional<std::string> sheet = jobs_.spreadsheet(request_id);
  if (!sheet) {
    response.status = 404;
    return;
  }
  response.set_header("Content-Disposition", "attachment; filename=\"" + request_id + ".xls\"");
  response.set_content(*sheet, "application/vnd.ms-excel");
}

}  // namespace qw
