#include "recognition/picture_recognition.h"

#include "common/elapsed.h"
#include "config/config_keys.h"
#include "json/json_document.h"
#include "recognition/encodings.h"
#include "recognition/error_help.h"
#include "recognition/platform_answer.h"
#include "recognition/service_endpoints.h"
#include "web/web_request.h"

namespace qw {
namespace {

void report_failure(const RecognitionContext& context, const RunClock& clock, const std::string& message,
                    const std::string& code) {
  context.display.set_title(failed_title(clock.elapsed_seconds()));
  context.display.set_result_text("识别错误\r\n错误信息：" + message + "\r\n错误码：" + code + error_help_text());
}

void report_success(const RecognitionContext& context, const RunClock& clock, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) context.display.append_result_text(line + "\r\n");
  if (config::copies_result(config::read_key(context.program_directory, config::kCopyResult))) {
    context.display.copy_result_to_clipboard();
  }
  context.display.set_title(finished_title(clock.elapsed_seconds()));
}

}  // namespace

bool recognize_picture(const RecognitionContext& context, const Bytes& picture, bool high_accuracy) {
  JsonDocument answer;
  const std::string token = service::access_token_for_run(context.program_directory);
  const RunClock clock;

  context.display.set_title(kTitleEncoding);
  std::optional<std::string> body = picture.empty() ? std::nullopt : image_form_body(picture);
  if (!body) {
    // Nothing to send, or more than the form buffer holds: say so instead of sending a broken body.
    context.display.set_preview_visible(false);
    report_failure(context, clock, picture.empty() ? kEmptyPictureMessage : kPictureTooLargeMessage, "");
    return false;
  }

  context.display.set_title(kTitleSending);
  const std::string url = service::api_url(
      context.program_directory,
      std::string(high_accuracy ? service::kAccurateBasicPath : service::kGeneralBasicPath) + token);
  WebRequestOptions request;
  request.method = 1;
  request.body_text = std::move(*body);
  const Bytes reply = web_request(url, std::move(request));

  context.display.set_title(kTitleReceiving);
  const std::string answer_text = platform_answer_text(reply);
  context.display.set_title(kTitleDecoded);
  answer.parse(answer_text);

  context.display.set_result_text("");
  context.display.set_preview_visible(false);
  if (answer.get_count("words_result") < 1) {
    report_failure(context, clock, answer.get_text("error_msg"), answer.get_text("error_code"));
    return false;
  }
  report_success(context, clock, recognised_lines(answer));
  return true;
}

}  // namespace qw
