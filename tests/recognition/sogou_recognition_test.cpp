#include "recognition/sogou_recognition.h"

#include "platform_fixture.h"

namespace qw {
namespace {

constexpr char kEndpoint[] = "/v2/ocr/json";

class RecognizeSogou : public testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    host = "localhost:" + std::to_string(server.http_port()) + prefix;
    ASSERT_TRUE(config::write_key(dir.path(), config::kSogouHost, host));
  }
  std::string host;
};

TEST_F(RecognizeSogou, SendsThePictureAsMultipartAndJoinsThePieces) {
  answer_json(kEndpoint, u8R"({"success":1,"result":[{"content":"ab"},{"content":"cd"},{"content":"中文"}]})");
  const Bytes bmp = {'B', 'M', 0, 0, 0xFF, '\r', '\n'};
  EXPECT_TRUE(recognize_picture_sogou(context, bmp));
  EXPECT_EQ(display.result_text(), "abcd中文");
  EXPECT_EQ(display.events().back().rfind("title: 识别完成耗时:", 0), 0u);
  EXPECT_EQ(display.events_starting("title: 已载入-解析完成").size(), 1u);

  const auto requests = received(kEndpoint);
  ASSERT_EQ(requests.size(), 1u);
  const Bytes body = sogou_request_body(bmp);
  EXPECT_EQ(requests[0].body, std::string(body.begin(), body.end()));
  EXPECT_EQ(requests[0].body.size(), bmp.size() + 198);
  // The header block goes out as built, nothing added to it. (WinInet writes each line again as
  // "Name: value" on the wire, so names and values are compared, not raw lines.)
  const std::pair<std::string, std::string> expected_headers[] = {
      {"Content-Type", "multipart/form-data;boundary=f70613d3869bdff2e4bb2e10d539e23a"},
      {"Accept", "*/*"},
      {"Referer", "http://" + host + kEndpoint},
      {"Accept-Language", "zh-CN"},
      {"User-Agent", "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"},
      {"Host", host},
  };
  for (const auto& [name, value] : expected_headers) EXPECT_EQ(requests[0].header(name), value) << name;
  EXPECT_EQ(requests[0].header_count("Accept"), 1);
  EXPECT_EQ(requests[0].header_count("Referer"), 1);
  EXPECT_EQ(requests[0].header_count("Content-Type"), 1);
  EXPECT_EQ(requests[0].header_count("User-Agent"), 1);
}

TEST_F(RecognizeSogou, AnswersWithoutPiecesLeaveTheBoxEmpty) {
  const char* answers[] = {R"({"result":[]})", R"({"success":0})", "not json"};
  for (const char* body : answers) {
    answer_json(kEndpoint, body);
    testing::RecordingDisplay run_display;
    recognize_picture_sogou({run_display, dir.path()}, {1, 2, 3});
    EXPECT_EQ(run_display.result_text(), "") << body;
    EXPECT_EQ(run_display.events().back().rfind("title: 识别完成耗时:", 0), 0u) << body;
  }
}

}  // namespace
}  // namespace qw
