#include "recognition/table_recognition.h"

#include <thread>

#include "common/elapsed.h"
#include "common/file_io.h"
#include "common/paths.h"
#include "common/text.h"
#include "json/json_document.h"
#include "recognition/encodings.h"
#include "recognition/picture_recognition.h"
#include "recognition/platform_answer.h"
#include "recognition/service_endpoints.h"
#include "web/web_request.h"

namespace qw {
namespace {

Bytes post_form(const std::string& url, std::string body) {
  WebRequestOptions request;
  request.method = 1;
  request.body_text = std::move(body);
  return web_request(url, std::move(request));
}

bool has_error(const JsonDocument& answer) { return answer.get_count("error_code") == 1; }

std::string service_error_title(const JsonDocument& answer) {
  return "表格识别失败：" + answer.get_text("error_msg") + "（错误码：" + answer.get_text("error_code") + "）";
}

// The address comes from the network: only a web address may be downloaded and handed to the
// shell, never a local file, a share or a program.
bool is_web_address(std::string_view address) {
  return starts_with_text(address, "http://", true) || starts_with_text(address, "https://", true);
}

}  // namespace

bool recognize_table(const RecognitionContext& context, const Bytes& picture, TablePolling polling) {
  Display& display = context.display;
  JsonDocument answer;
  const std::string token = service::access_token_for_run(context.program_directory);
  const RunClock clock;

  display.set_title(kTitleEncoding);
  std::optional<std::string> body = picture.empty() ? std::nullopt : image_form_body(picture);
  if (!body) {
    display.set_title(picture.empty() ? kEmptyPictureMessage : kPictureTooLargeMessage);
    return false;
  }
  display.set_title(kTitleSending);
  answer.parse(platform_answer_text(
      post_form(service::api_url(context.program_directory, service::kTableRequestPath + token), std::move(*body))));
  // Held by this run only: a second table run never overwrites this job's id.
  const std::string request_id = answer.get_text("result[0].request_id");
  if (has_error(answer)) {
    display.set_title(service_error_title(answer));
    return false;
  }
  if (request_id.empty()) {
    display.set_title("表格识别失败：服务没有返回任务编号");
    return false;
  }

  const std::string status_url = service::api_url(context.program_directory, service::kTableResultPath + token);
  const std::string status_body = "request_id=" + request_id;
  post_form(status_url, status_body);  // the first status request comes at once; its answer is not read

  std::string address;
  bool finished = false;
  for (int round = 0; round < polling.max_rounds && !finished; ++round) {
    std::this_thread::sleep_for(polling.interval);
    answer.parse(platform_answer_text(post_form(status_url, status_body)));
    if (has_error(answer)) {
      display.set_title(service_error_title(answer));
      return false;
    }
    const std::string status = answer.get_text("result.ret_msg");
    address = answer.get_text("result.result_data");
    display.set_title("识别状态--" + status);
    finished = status == kTableFinishedStatus;
  }
  if (!finished) {
    display.set_title("表格识别未完成：服务在" + decimal_text(polling.max_rounds) + "次查询后仍未完成，已放弃");
    return false;
  }

  display.set_title("识别完成 正在打开excel");
  if (!is_web_address(address)) {
    display.set_title("表格识别结果的地址不是网址，已拒绝打开：" + address);
    return false;
  }
  const Bytes spreadsheet = web_request(address);
  const bool saved = replace_file_atomically(context.program_directory / kTableFileName, as_text_view(spreadsheet));
  display.open_address(address);
  display.set_title(finished_title(clock.elapsed_seconds()));
  return saved;
}

}  // namespace qw
