#include "recognition/picture_recognition.h"

#include "common/codepage.h"
#include "recognition/encodings.h"
#include "recognition/error_help.h"
#include "recognition/service_endpoints.h"
#include "platform_fixture.h"

namespace qw {
namespace {

using testing::PlatformTest;

const Bytes kPicture = {'B', 'M', 0xFB, 0xFF, 0xBF, 0x00, 0x10, 0x3E};  // Base64 holds "+" and "/"
constexpr char kGeneral[] = "/rest/2.0/ocr/v1/general_basic";
constexpr char kAccurate[] = "/rest/2.0/ocr/v1/accurate_basic";

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

class RecognizePicture : public PlatformTest {};

TEST_F(RecognizePicture, SuccessShowsEveryLineAfterTheStageTitles) {
  // A "%" in a recognised line comes through as it is.
  answer_json(kGeneral, u8R"({"log_id":7,"words_result_num":3,"words_result":[{"words":"第一行"},{"words":"折扣50%"},{"words":"%41"}]})");
  ASSERT_TRUE(recognize_picture(context, kPicture, false));

  const auto events = display.events();
  ASSERT_EQ(events.size(), 10u);
  const std::vector<std::string> expected_start = {
      "title: 已载入-URL编码中", "title: 已载入-发送服务器中", "title: 已载入-接受数据中", "title: 已载入-解码完成",
      "result: ", "preview: hidden", "append: 第一行\r\n", "append: 折扣50%\r\n", "append: %41\r\n"};
  EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 9), expected_start);
  EXPECT_TRUE(starts_with(events[9], "title: 识别完成耗时:")) << events[9];
  EXPECT_EQ(events[9].substr(events[9].size() - 2), "秒");
  EXPECT_EQ(display.result_text(), "第一行\r\n折扣50%\r\n%41\r\n");

  const auto requests = received(kGeneral);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, prefix + kGeneral + "?access_token=" + service::kBuiltinAccessToken);
  EXPECT_EQ(requests[0].body, "image=Qk37%2F78AED4%3D");
  EXPECT_EQ(requests[0].body, *image_form_body(kPicture));
  EXPECT_EQ(requests[0].header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST_F(RecognizePicture, CopiesToTheClipboardOnlyWhenTheSettingIsCopy) {
  answer_json(kGeneral, R"({"log_id":1,"words_result":[{"words":"a"},{"words":"b"}]})");
  // Blanks around a stored value are dropped, as by the profile functions.
  const std::pair<const char*, bool> settings[] = {{nullptr, false}, {"不复制", false}, {"复 制", false}, {"复制 ", true}, {"复制", true}};
  for (const auto& [stored, copies] : settings) {
    if (stored) {
      ASSERT_TRUE(config::write_key(dir.path(), config::kCopyResult, stored));
    }
    testing::RecordingDisplay run_display;
    ASSERT_TRUE(recognize_picture({run_display, dir.path()}, kPicture, false));
    const auto copied = run_display.events_starting("clipboard: ");
    const std::vector<std::string> expected =
        copies ? std::vector<std::string>{"clipboard: a\r\nb\r\n"} : std::vector<std::string>{};
    EXPECT_EQ(copied, expected) << (stored ? stored : "(missing)");
  }
}

TEST_F(RecognizePicture, ServiceErrorEndsInTheFailureReport) {
  answer_json(kGeneral, R"({"error_code":110,"error_msg":"Access token invalid or no longer valid"})");
  EXPECT_FALSE(recognize_picture(context, kPicture, false));
  EXPECT_EQ(display.result_text(),
            "识别错误\r\n错误信息：Access token invalid or no longer valid\r\n错误码：110" + error_help_text());
  EXPECT_TRUE(starts_with(display.events().back(), "result: 识别错误"));
  EXPECT_EQ(display.events_starting("title: 识别错误耗时:").size(), 1u);
  EXPECT_TRUE(display.events_starting("title: 识别完成").empty());
}

TEST_F(RecognizePicture, AnswersWithoutLinesEndInTheFailureReportWithEmptyParts) {
  const char* answers[] = {R"({"log_id":1,"words_result":[]})", "<html>502 Bad Gateway</html>", ""};
  for (const char* body : answers) {
    answer_json(kGeneral, body);
    testing::RecordingDisplay run_display;
    EXPECT_FALSE(recognize_picture({run_display, dir.path()}, kPicture, false)) << body;
    EXPECT_EQ(run_display.result_text(), "识别错误\r\n错误信息：\r\n错误码：" + error_help_text()) << body;
  }
}

TEST_F(RecognizePicture, UnreachableServiceEndsInTheFailureReport) {
  use_api_host(server.closed_port_url("").substr(std::string("http://").size()));
  EXPECT_FALSE(recognize_picture(context, kPicture, false));
  EXPECT_EQ(display.result_text(), "识别错误\r\n错误信息：\r\n错误码：" + error_help_text());
}

TEST_F(RecognizePicture, StoredTokenOfSixBytesIsSentAndShorterOnesAreNot) {
  answer_json(kGeneral, R"({"log_id":1,"words_result":[{"words":"x"}]})");
  const std::pair<std::string, std::string> tokens[] = {
      {"12345", service::kBuiltinAccessToken}, {"123456", "123456"}, {"", service::kBuiltinAccessToken}};
  for (const auto& [stored, sent] : tokens) {
    ASSERT_TRUE(config::write_key(dir.path(), config::kAccessToken, stored));
    server.forget(prefix + "/");
    answer_json(kGeneral, R"({"log_id":1,"words_result":[{"words":"x"}]})");
    ASSERT_TRUE(recognize_picture(context, kPicture, false));
    const auto requests = received(kGeneral);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, prefix + kGeneral + "?access_token=" + sent);
  }
}

TEST_F(RecognizePicture, HighAccuracyGoesToTheAccurateEndpoint) {
  answer_json(kAccurate, u8R"({"log_id":1,"words_result":[{"words":"精确"}]})");
  ASSERT_TRUE(recognize_picture(context, kPicture, true));
  EXPECT_EQ(display.result_text(), "精确\r\n");
  EXPECT_EQ(received(kAccurate).size(), 1u);
  EXPECT_TRUE(received(kGeneral).empty());
}

TEST_F(RecognizePicture, PicturesThatCannotBeSentAreRefusedWithoutARequest) {
  const std::pair<Bytes, std::string> cases[] = {
      {Bytes{}, kEmptyPictureMessage},
      {Bytes(7'600'000, 0xFF), kPictureTooLargeMessage},  // Base64 "////…" escapes every character
  };
  for (const auto& [picture, message] : cases) {
    testing::RecordingDisplay run_display;
    EXPECT_FALSE(recognize_picture({run_display, dir.path()}, picture, false));
    EXPECT_EQ(run_display.result_text(), "识别错误\r\n错误信息：" + message + "\r\n错误码：" + error_help_text());
    EXPECT_EQ(run_display.events_starting("title: 识别错误耗时:").size(), 1u);
  }
  EXPECT_TRUE(received().empty());
}

}  // namespace
}  // namespace qw
