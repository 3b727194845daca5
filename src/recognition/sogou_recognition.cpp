#include "recognition/sogou_recognition.h"

#include "common/elapsed.h"
#include "common/text.h"
#include "config/config_keys.h"
#include "json/json_document.h"
#include "recognition/encodings.h"
#include "web/web_request.h"

namespace qw {
namespace {

constexpr char kBoundary[] = "f70613d3869bdff2e4bb2e10d539e23a";

// The service expects exactly these bytes, two spaces after the colons included.
const std::string& part_header() {
  static const std::string header = std::string("--") + kBoundary +
                                    "\r\nContent-Disposition:  form-data; name=\"pic\"; filename=\"" + kBoundary +
                                    ".jpg\"\r\nContent-Type:  image/pjpeg\r\n\r\n";
  return header;
}

const std::string& closing() {
  static const std::string text = std::string("\r\n--") + kBoundary + "--";
  return text;
}

}  // namespace

std::string sogou_endpoint_url(const std::string& host) { return "http://" + host + "/v2/ocr/json"; }

Bytes sogou_request_body(const Bytes& picture) {
  Bytes body;
  body.reserve(part_header().size() + picture.size() + closing().size());
  body.insert(body.end(), part_header().begin(), part_header().end());
  body.insert(body.end(), picture.begin(), picture.end());
  body.insert(body.end(), closing().begin(), closing().end());
  return body;
}

std::string sogou_header_lines(const std::string& host) {
  return std::string("Content-Type:multipart/form-data;boundary=") + kBoundary +
         "\r\nAccept:*/*\r\nReferer: " + sogou_endpoint_url(host) +
         "\r\nAccept-Language: zh-CN\r\nUser-Agent:Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\nHost: " +
         host + "\r\n";
}

bool recognize_picture_sogou(const RecognitionContext& context, const Bytes& picture) {
  Display& display = context.display;
  JsonDocument answer;
  const RunClock clock;
  const std::string host = config::sogou_host(context.program_directory);

  display.set_title(kTitleEncoding);
  Bytes body = sogou_request_body(picture);
  display.set_title(kTitleSending);
  std::string header_lines = sogou_header_lines(host);
  WebRequestOptions request;
  request.method = 1;
  request.header_lines = &header_lines;
  request.body_bytes = &body;
  const Bytes reply = web_request(sogou_endpoint_url(host), std::move(request));

  // This service percent-encodes its UTF-8 answer.
  const std::string answer_text = decode_answer(bytes_to_text(reply), true);
  display.set_title(kTitleReceiving);
  const bool parsed = answer.parse(answer_text);
  display.set_title("已载入-解析完成");

  display.set_result_text("");
  display.set_preview_visible(false);
  const int count = answer.get_count("result");
  for (int k = 0; k < count; ++k) display.append_result_text(answer.get_text("result[" + decimal_text(k) + "].content"));
  display.set_title(finished_title(clock.elapsed_seconds()));
  return parsed;
}

}  // namespace qw
