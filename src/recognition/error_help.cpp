#include "recognition/error_help.h"

#include "recognition/service_endpoints.h"

namespace qw {
namespace {

// The platform publishes its support group on its own site; we point there rather than hard-code a
// group that may change.
constexpr char kSupportGroup[] = "见平台官网";

struct ErrorRow {
  const char* code;
  const char* english;
  std::string chinese;
};

std::string build_error_help_text() {
  const std::string contact = std::string("，请再次请求， 如果持续出现此类错误，请通过QQ群（") + kSupportGroup +
                              "）或工单联系技术支持团队。";
  const ErrorRow rows[] = {
      {"1", "Unknown error", "服务器内部错误" + contact},
      {"2", "Service temporarily unavailable", "服务暂不可用" + contact},
      {"3", "Unsupported openapi method", "调用的API不存在，请检查后重新尝试"},
      {"4", "Open api request limit reached", "集群超限额"},
      {"6", "No permission to access data", "无权限访问该用户数据"},
      {"14", "IAM Certification failed",
       "IAM鉴权失败，建议用户参照文档自查生成sign的方式是否正确，或换用控制台中ak sk的方式调用"},
      {"17", "Open api daily request limit reached", "每天请求量超限额"},
      {"18", "Open api qps request limit reached", "QPS超限额"},
      {"19", "Open api total request limit reached", "请求总量超限额"},
      {"100", "Invalid parameter", "无效的access_token参数，请检查后重新尝试"},
      {"110", "Access token invalid or no longer valid", "access_token无效"},
      {"111", "Access token expired", "access token过期"},
  };
  std::string text = "\r\n错误码查询：" + service::documentation_url("/docs#/OCR-API/58fd45dd") +
                     "\r\n\r\n\r\n强烈建议使用自己的接口\r\n\r\n常见错误信息\r\n\r\n";
  bool first = true;
  for (const ErrorRow& row : rows) {
    if (!first) text += "\r\n";
    first = false;
    text += std::string(row.code) + "\r\n" + row.english + "\r\n" + row.chinese;
  }
  return text;
}

}  // namespace

const std::string& error_help_text() {
  static const std::string text = build_error_help_text();
  return text;
}

}  // namespace qw
