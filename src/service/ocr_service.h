// The platform's endpoints that the program uses, answered locally: the token exchange, three
// kinds of text recognition and the table job with its spreadsheet download. Answers are UTF-8
// JSON with the platform's field names and error codes.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "service/access_tokens.h"
#include "service/engine_pool.h"
#include "service/table_jobs.h"

namespace httplib {
class Server;
struct Request;
struct Response;
class ContentReader;
}  // namespace httplib

#include "common/bytes.h"

namespace qw {

// The largest form body read. The program's form buffer holds 9,999,999 characters after
// "image=", which must fit; anything larger is answered with "image size error".
constexpr std::size_t kLargestFormBody = 10 * 1024 * 1024;

// The platform's error codes that the service answers with.
enum class PlatformError : int {
  unsupported_method = 3,
  qps_limit = 18,
  invalid_parameter = 100,
  invalid_token = 110,
  expired_token = 111,
  invalid_param = 216100,
  empty_image = 216200,
  image_format = 216201,
  image_size = 216202,
  internal = 282000,
};

class OcrService {
 public:
  OcrService(const TokenIssuer& tokens, EnginePool& engines, TableJobs& jobs);
  OcrService(const OcrService&) = delete;
  OcrService& operator=(const OcrService&) = delete;

  // Adds every route to `server`, whose handlers then use this object: it must outlive the server.
  void install(httplib::Server& server);
  // Host and port for spreadsheet addresses when a request names no usable Host.
  void set_own_address(std::string host_and_port) { own_address_ = std::move(host_and_port); }

 private:
  enum class Recognition { basic, with_locations };
  void answer_token(const httplib::Request& request, httplib::Response& response,
                    const httplib::ContentReader& reader) const;
  void answer_recognition(const httplib::Request& request, httplib::Response& response,
                          const httplib::ContentReader& reader, Recognition kind);
  void answer_table_request(const httplib::Request& request, httplib::Response& response,
                            const httplib::ContentReader& reader);
  void answer_table_result(const httplib::Request& request, httplib::Response& response,
                           const httplib::ContentReader& reader);
  void answer_spreadsheet(const httplib::Request& request, httplib::Response& response) const;

  // A picture request's token checked and its picture decoded: the log id and the picture, or
  // nothing once the error answer has been sent.
  struct AcceptedPicture {
    std::uint64_t log_id;
    Bytes picture;
  };
  std::optional<AcceptedPicture> accept_picture(const httplib::Request& request, httplib::Response& response,
                                                const httplib::ContentReader& reader);

  std::uint64_t next_log_id() { return log_id_base_ + log_id_serial_++; }
  std::string spreadsheet_address(const httplib::Request& request, const std::string& request_id) const;

  const TokenIssuer& tokens_;
  EnginePool& engines_;
  TableJobs& jobs_;
  std::string own_address_ = "127.0.0.1";
  const std::uint64_t log_id_base_;
  std::atomic<std::uint64_t> log_id_serial_{0};
};

}  // namespace qw
