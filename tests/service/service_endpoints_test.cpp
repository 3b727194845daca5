// The real service process over HTTPS on loopback: the platform's endpoints, their errors, a real
// recognition of rendered text and the table job from submit to spreadsheet.
#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <thread>

#include "common/file_io.h"
#include "service/access_tokens.h"
#include "service/ocr_service.h"
#include "support/temp_dir.h"
#include "service/rendered_text.h"
#include "service/service_process.h"
#include "service/xls_reader.h"

namespace qw {
namespace {

using Json = nlohmann::json;

constexpr const char* kFormType = "application/x-www-form-urlencoded";
const std::string kBuiltInToken(kBuiltInAccessToken);

// The body the program sends: Base64 of the picture, with "+", "/" and "=" escaped.
std::string base64_of(const Bytes& bytes) {
  static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint32_t group = (bytes[i] << 16) | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                                (i + 2 < bytes.size() ? bytes[i + 2] : 0);
    for (int k = 0; k < 4; ++k) {
      text += i + k <= bytes.size() ? alphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
  }
  return text;
}

std::string image_body(const Bytes& picture) {
  std::string body = "image=";
  for (const char c : base64_of(picture)) body += c == '+' ? "%2B" : c == '/' ? "%2F" : c == '=' ? "%3D" : std::string(1, c);
  return body;
}

class ServiceEndpoints : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new testing::TempDir;
    service_ = new testing::ServiceProcess(folder_->path() / "data");
  }
  static void TearDownTestSuite() {
    delete service_;
    delete folder_;
  }
  void SetUp() override { ASSERT_GT(service_->port(), 0) << "the service did not start"; }

  // A client that verifies the service's certificate for `host`, as the program's clients do.
  static std::unique_ptr<httplib::SSLClient> client(const std::string& host = "localhost") {
    auto connection = std::make_unique<httplib::SSLClient>(host, service_->port());
    connection->set_ca_cert_path(service_->certificate().c_str());
    connection->enable_server_certificate_verification(true);
    connection->set_read_timeout(60, 0);
    return connection;
  }

  static Json post(const std::string& path_and_query, const std::string& body, int* status = nullptr) {
    const auto answer = client()->Post(path_and_query.c_str(), body, kFormType);
    if (!answer) return Json();
    if (status) *status = answer->status;
    return Json::parse(answer->body, nullptr, false);
  }

  static std::string recognition_path(const std::string& endpoint, const std::string& token = kBuiltInToken) {
    return "/rest/2.0/ocr/v1/" + endpoint + "?access_token=" + token;
  }

  static Bytes rendered(const std::string& name, const std::string& text, int size) {
    return testing::render_text(folder_->path() / (name + ".png"), text, size);
  }

  static std::vector<std::string> lines_of(const Json& answer) {
    std::vector<std::string> lines;
    if (!answer.contains("words_result")) return lines;
    for (const Json& entry : answer["words_result"]) lines.push_back(entry.value("words", ""));
    return lines;
  }

  static testing::TempDir* folder_;
  static testing::ServiceProcess* service_;
};

testing::TempDir* ServiceEndpoints::folder_ = nullptr;
testing::ServiceProcess* ServiceEndpoints::service_ = nullptr;

TEST_F(ServiceEndpoints, TokenEndpointIssuesATokenForTheBuiltInPairOnly) {
  const std::string pair = "client_id=" + std::string(kBuiltInApiKey) + "&client_secret=" + std::string(kBuiltInSecretKey);
  int status = 0;
  const Json granted = post("/oauth/2.0/token?", "grant_type=client_credentials&" + pair, &status);
  EXPECT_EQ(status, 200);
  ASSERT_TRUE(granted.contains("access_token")) << granted;
  EXPECT_EQ(granted["expires_in"], kTokenLifetimeSeconds);
  // The issued token is accepted by the recognition endpoints.
  const Json recognised = post(recognition_path("general_basic", granted["access_token"]), "image=");
  EXPECT_EQ(recognised["error_code"], 216200) << recognised;

  const struct {
    std::string body;
    std::string error;
  } refusals[] = {
      {"grant_type=client_credentials&client_id=" + std::string(kBuiltInApiKey) + "&client_secret=wrong", "invalid_client"},
      {"grant_type=client_credentials&client_id=someone&client_secret=" + std::string(kBuiltInSecretKey), "invalid_client"},
      {"grant_type=client_credentials&client_id=&client_secret=", "invalid_client"},
      {"grant_type=password&" + pair, "unsupported_grant_type"},
  };
  for (const auto& refusal : refusals) {
    const Json answer = post("/oauth/2.0/token?", refusal.body);
    EXPECT_EQ(answer.value("error", ""), refusal.error) << refusal.body;
    EXPECT_FALSE(answer.value("error_description", "").empty()) << refusal.body;
    EXPECT_FALSE(answer.contains("access_token")) << refusal.body;
  }
}

TEST_F(ServiceEndpoints, RecognitionEndpointsAnswerThePlatformErrors) {
  const Bytes picture = rendered("errors", "OK", 20);
  ASSERT_FALSE(picture.empty());
  const std::string not_a_picture = image_body(text_to_bytes("just some text, no picture"));
  // The largest body the program can send: "image=" and a full form buffer. It is read whole and
  // answered (its zero bytes are no picture), not refused by the server library.
  const std::string largest_body = "image=" + std::string(9'999'999, 'A');
  const std::string too_large_body = "image=" + std::string(kLargestFormBody, 'A');
  const struct {
    const char* name;
    std::string path_and_query;
    std::string body;
    int error_code;
    bool with_log_id;
  } cases[] = {
      {"unknown token", "?access_token=24.unknown", image_body(picture), 110, false},
      {"altered built-in token", "?access_token=" + kBuiltInToken + "x", image_body(picture), 110, false},
      {"no token", "", image_body(picture), 100, false},
      {"no image field", "?access_token=" + kBuiltInToken, "language_type=CHN_ENG", 216200, true},
      {"empty image", "?access_token=" + kBuiltInToken, "image=", 216200, true},
      {"not Base64", "?access_token=" + kBuiltInToken, "image=%%%%", 216201, true},
      {"not a picture", "?access_token=" + kBuiltInToken, not_a_picture, 216201, true},
      {"cut picture", "?access_token=" + kBuiltInToken,
       image_body(Bytes(picture.begin(), picture.begin() + picture.size() / 2)), 216201, true},
      {"largest body", "?access_token=" + kBuiltInToken, largest_body, 216201, true},
      {"too large body", "?access_token=" + kBuiltInToken, too_large_body, 216202, true},
  };
  for (const char* endpoint : {"general_basic", "accurate_basic", "general"}) {
    for (const auto& c : cases) {
      int status = 0;
      const Json answer = post("/rest/2.0/ocr/v1/" + std::string(endpoint) + c.path_and_query, c.body, &status);
      EXPECT_EQ(status, 200) << endpoint << ": " << c.name;
      EXPECT_EQ(answer.value("error_code", 0), c.error_code) << endpoint << ": " << c.name << " " << answer;
      EXPECT_FALSE(answer.value("error_msg", "").empty()) << endpoint << ": " << c.name;
      EXPECT_EQ(answer.contains("log_id"), c.with_log_id) << endpoint << ": " << c.name;
      EXPECT_FALSE(answer.contains("words_result")) << endpoint << ": " << c.name;
    }
  }
}

TEST_F(ServiceEndpoints, UnknownPathsAnswerTheUnsupportedMethodError) {
  int status = 0;
  const Json answer = post("/rest/2.0/ocr/v1/handwriting?access_token=" + kBuiltInToken, "image=", &status);
  EXPECT_EQ(status, 404);
  EXPECT_EQ(answer.value("error_code", 0), 3);
}

TEST_F(ServiceEndpoints, RecognisesRenderedChineseAndEnglishLines) {
  const Bytes picture = rendered("lines", u8"青梧图片文本识别工具\nOffline recognition works.", 22);
  ASSERT_FALSE(picture.empty());
  const std::vector<std::string> expected = {u8"青梧图片文本识别工具", "Offline recognition works."};
  for (const char* host : {"localhost", "127.0.0.1"}) {
    const auto answer = client(host)->Post(recognition_path("general_basic").c_str(), image_body(picture), kFormType);
    ASSERT_TRUE(answer) << "certificate refused for " << host;
    const Json basic = Json::parse(answer->body, nullptr, false);
    EXPECT_EQ(lines_of(basic), expected) << basic;
    EXPECT_EQ(basic.value("words_result_num", 0), 2);
    EXPECT_TRUE(basic["log_id"].is_number_unsigned());
  }
  // "general" adds each line's place in the picture; the second line lies below the first.
  const Json located = post(recognition_path("general"), image_body(picture));
  ASSERT_EQ(lines_of(located), expected) << located;
  const Json& first = located["words_result"][0]["location"];
  const Json& second = located["words_result"][1]["location"];
  EXPECT_GT(first["width"].get<int>(), 100);
  EXPECT_GT(second["top"].get<int>(), first["top"].get<int>() + first["height"].get<int>() / 2);
}

TEST_F(ServiceEndpoints, TableJobRunsToASpreadsheetOnTheService) {
  const Bytes picture = rendered("table", u8"姓名        年龄\nZhang San        42", 22);
  ASSERT_FALSE(picture.empty());
  const Json submitted = post("/rest/2.0/solution/v1/form_ocr/request?access_token=" + kBuiltInToken, image_body(picture));
  const std::string request_id = submitted["result"][0].value("request_id", "");
  ASSERT_FALSE(request_id.empty()) << submitted;
  EXPECT_TRUE(submitted.contains("log_id"));

  // Polled as the program does, with the id unencoded; bounded so a stuck job fails the test.
  Json status;
  for (int round = 0; round < 300; ++round) {
    status = post("/rest/2.0/solution/v1/form_ocr/get_request_result?access_token=" + kBuiltInToken,
                  "request_id=" + request_id);
    const std::string message = status["result"].value("ret_msg", "");
    if (message == u8"已完成") break;
    ASSERT_TRUE(message == u8"未开始" || message == u8"进行中") << status;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_EQ(status["result"].value("ret_msg", ""), u8"已完成") << status;
  EXPECT_EQ(status["result"].value("request_id", ""), request_id);
  const std::string address = status["result"].value("result_data", "");
  const std::string prefix = "https://localhost:" + std::to_string(service_->port()) + "/";
  ASSERT_EQ(address.rfind(prefix, 0), 0u) << address;

  const auto download = client()->Get(address.substr(prefix.size() - 1).c_str());
  ASSERT_TRUE(download);
  EXPECT_EQ(download->status, 200);
  ASSERT_GE(download->body.size(), 4096u);
  EXPECT_EQ(download->body.substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
  // One row a line, the cells split at the wide gap.
  const std::filesystem::path sheet = folder_->path() / "1.xls";
  ASSERT_TRUE(replace_file_atomically(sheet, download->body));
  if (const auto cells = testing::read_back_with_xlrd(sheet)) {
    EXPECT_EQ(*cells, u8"姓名\t年龄\nZhang San\t42\n");
  }

  const Json unknown = post("/rest/2.0/solution/v1/form_ocr/get_request_result?access_token=" + kBuiltInToken,
                            "request_id=0_0");
  EXPECT_EQ(unknown.value("error_code", 0), 216100);
  const Json refused = post("/rest/2.0/solution/v1/form_ocr/request?access_token=bad", image_body(picture));
  EXPECT_EQ(refused.value("error_code", 0), 110);
  const Json empty = post("/rest/2.0/solution/v1/form_ocr/request?access_token=" + kBuiltInToken, "image=");
  EXPECT_EQ(empty.value("error_code", 0), 216200);
  EXPECT_EQ(client()->Get("/rest/2.0/solution/v1/form_ocr/result/0_0.xls")->status, 404);
}

TEST_F(ServiceEndpoints, ATableJobThatCannotBeDoneEndsInAnError) {
  Bytes picture = rendered("broken", "x", 22);
  ASSERT_GT(picture.size(), 64u);
  picture.resize(64);  // the header still reads, the picture does not
  const Json submitted = post("/rest/2.0/solution/v1/form_ocr/request?access_token=" + kBuiltInToken, image_body(picture));
  const std::string request_id = submitted["result"][0].value("request_id", "");
  ASSERT_FALSE(request_id.empty()) << submitted;
  Json status;
  for (int round = 0; round < 300 && !status.contains("error_code"); ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    status = post("/rest/2.0/solution/v1/form_ocr/get_request_result?access_token=" + kBuiltInToken,
                  "request_id=" + request_id);
  }
  EXPECT_EQ(status.value("error_code", 0), 282000) << status;
  EXPECT_EQ(status["result"].value("ret_msg", ""), u8"识别失败");
  EXPECT_EQ(status["result"].value("ret_code", 0), 4);
}

TEST(ServiceStart, KeepsItsCertificateAndTokensAcrossRestarts) {
  const testing::TempDir folder;
  std::string first_certificate;
  std::string token;
  {
    testing::ServiceProcess service(folder.path());
    ASSERT_GT(service.port(), 0);
    first_certificate = bytes_to_text(read_file_bytes(service.certificate()));
    EXPECT_NE(first_certificate.find("BEGIN CERTIFICATE"), std::string::npos);
    httplib::SSLClient connection("localhost", service.port());
    connection.set_ca_cert_path(service.certificate().c_str());
    connection.enable_server_certificate_verification(true);
    const auto answer = connection.Post("/oauth/2.0/token?",
                                        "grant_type=client_credentials&client_id=" + std::string(kBuiltInApiKey) +
                                            "&client_secret=" + std::string(kBuiltInSecretKey),
                                        kFormType);
    ASSERT_TRUE(answer);
    token = Json::parse(answer->body).value("access_token", "");
    EXPECT_EQ(service.stop(), 0);  // SIGTERM ends it cleanly
  }
  testing::ServiceProcess again(folder.path());
  ASSERT_GT(again.port(), 0);
  EXPECT_EQ(bytes_to_text(read_file_bytes(again.certificate())), first_certificate);
  httplib::SSLClient connection("localhost", again.port());
  connection.set_ca_cert_path(again.certificate().c_str());
  connection.enable_server_certificate_verification(true);
  const auto answer = connection.Post(("/rest/2.0/ocr/v1/general_basic?access_token=" + token).c_str(), "image=", kFormType);
  ASSERT_TRUE(answer);
  EXPECT_EQ(Json::parse(answer->body).value("error_code", 0), 216200);  // the token passed, the picture is empty
}

TEST(ServiceStart, KeyFileReplacesTheBuiltInPair) {
  const testing::TempDir folder;
  ASSERT_TRUE(replace_file_atomically(folder.path() / "keys.txt", "# mine\nmy-key my-secret\n"));
  testing::ServiceProcess service(folder.path(), {"--keys", (folder.path() / "keys.txt").string()});
  ASSERT_GT(service.port(), 0);
  httplib::SSLClient connection("localhost", service.port());
  connection.set_ca_cert_path(service.certificate().c_str());
  const auto token_for = [&](const std::string& key, const std::string& secret) {
    const auto answer = connection.Post(
        "/oauth/2.0/token?", "grant_type=client_credentials&client_id=" + key + "&client_secret=" + secret, kFormType);
    return answer ? Json::parse(answer->body).value("access_token", "") : std::string();
  };
  EXPECT_FALSE(token_for("my-key", "my-secret").empty());
  EXPECT_TRUE(token_for(std::string(kBuiltInApiKey), std::string(kBuiltInSecretKey)).empty());
}

}  // namespace
}  // namespace qw
