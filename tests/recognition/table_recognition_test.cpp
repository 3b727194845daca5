#include "recognition/table_recognition.h"

#include <thread>

#include "common/file_io.h"
#include "recognition/service_endpoints.h"
#include "platform_fixture.h"

namespace qw {
namespace {

using namespace std::chrono_literals;

constexpr char kSubmit[] = "/rest/2.0/solution/v1/form_ocr/request";
constexpr char kStatus[] = "/rest/2.0/solution/v1/form_ocr/get_request_result";
const Bytes kPicture = {'P', 'N', 'G', 1, 2, 3};
constexpr TablePolling kFastPolling{std::chrono::milliseconds(10), 120};

class RecognizeTable : public testing::PlatformTest {
 protected:
  std::string status_answer(const std::string& status_utf8, const std::string& address) const {
    return u8R"({"result":{"ret_msg":")" + status_utf8 + R"(","result_data":")" + address + R"(","ret_code":3}})";
  }
  std::filesystem::path spreadsheet() const { return dir.path() / "1.xls"; }
  std::string result_address() const { return server.https_url(prefix + "/files/result.xls"); }
  void serve_spreadsheet(const std::string& bytes) const { server.set_answer(prefix + "/files/result.xls", {200, {}, bytes}); }
};

TEST_F(RecognizeTable, PollsUntilFinishedThenSavesAndOpensTheResult) {
  answer_json(kSubmit, R"({"result":[{"request_id":"job-17_a"}],"log_id":5})");
  answer_json(kStatus, status_answer(u8"进行中", ""));
  const std::string sheet("\xD0\xCF\x11\xE0 sheet\0bytes", 17);  // binary, a zero byte inside
  serve_spreadsheet(sheet);
  ASSERT_TRUE(replace_file_atomically(spreadsheet(), "an older table"));

  std::thread run([&] { EXPECT_TRUE(recognize_table(context, kPicture, kFastPolling)); });
  while (received(kStatus).size() < 4) std::this_thread::sleep_for(5ms);
  answer_json(kStatus, status_answer(u8"已完成", result_address()));
  run.join();

  const auto submits = received(kSubmit);
  ASSERT_EQ(submits.size(), 1u);
  EXPECT_EQ(submits[0].target, prefix + kSubmit + "?access_token=" + service::kBuiltinAccessToken);
  EXPECT_EQ(submits[0].body, "image=UE5HAQID");
  const auto polls = received(kStatus);
  for (const auto& poll : polls) EXPECT_EQ(poll.body, "request_id=job-17_a");

  const Bytes saved = read_file_bytes(spreadsheet());
  EXPECT_EQ(std::string(saved.begin(), saved.end()), sheet);
  EXPECT_EQ(display.events_starting("open: "), std::vector<std::string>{"open: " + result_address()});
  const auto titles = display.events_starting("title: ");
  EXPECT_EQ(titles[0], "title: 已载入-URL编码中");
  EXPECT_EQ(titles[1], "title: 已载入-发送服务器中");
  EXPECT_EQ(titles[2], "title: 识别状态--进行中");
  EXPECT_EQ(titles[titles.size() - 3], "title: 识别状态--已完成");
  EXPECT_EQ(titles[titles.size() - 2], "title: 识别完成 正在打开excel");
  EXPECT_EQ(titles.back().rfind("title: 识别完成耗时:", 0), 0u);
  EXPECT_TRUE(display.events_starting("result: ").empty());  // the result box is not touched
}

TEST_F(RecognizeTable, GivesUpAfterTheLastRound) {
  answer_json(kSubmit, R"({"result":[{"request_id":"slow-job"}]})");
  answer_json(kStatus, status_answer("", ""));
  EXPECT_FALSE(recognize_table(context, kPicture, {std::chrono::milliseconds(1), 3}));
  EXPECT_EQ(received(kStatus).size(), 4u);  // the unread one and three rounds
  EXPECT_EQ(display.events_starting("title: 识别状态--").size(), 3u);
  EXPECT_EQ(display.events().back(), "title: 表格识别未完成：服务在3次查询后仍未完成，已放弃");
  EXPECT_FALSE(std::filesystem::exists(spreadsheet()));
  EXPECT_TRUE(display.events_starting("open: ").empty());
}

TEST_F(RecognizeTable, ServiceErrorsEndTheJobAtOnce) {
  answer_json(kSubmit, R"({"error_code":17,"error_msg":"Open api daily request limit reached"})");
  EXPECT_FALSE(recognize_table(context, kPicture, kFastPolling));
  EXPECT_TRUE(received(kStatus).empty());
  EXPECT_EQ(display.events().back(), "title: 表格识别失败：Open api daily request limit reached（错误码：17）");

  answer_json(kSubmit, R"({"result":[{"request_id":"j"}]})");
  answer_json(kStatus, R"({"error_code":282000,"error_msg":"internal error"})");
  EXPECT_FALSE(recognize_table(context, kPicture, kFastPolling));
  EXPECT_EQ(received(kStatus).size(), 2u);
  EXPECT_EQ(display.events().back(), "title: 表格识别失败：internal error（错误码：282000）");

  use_api_host(server.closed_port_url("").substr(std::string("http://").size()));
  EXPECT_FALSE(recognize_table(context, kPicture, kFastPolling));
  EXPECT_EQ(display.events().back(), "title: 表格识别失败：服务没有返回任务编号");
}

TEST_F(RecognizeTable, AddressesThatAreNoWebAddressesAreNeverOpened) {
  answer_json(kSubmit, R"({"result":[{"request_id":"j"}]})");
  const char* addresses[] = {R"(C:\\Windows\\System32\\calc.exe)", "file:///C:/Windows/win.ini", R"(\\\\server\\share\\a.xls)",
                             "calc", ""};
  for (const char* address : addresses) {
    answer_json(kStatus, status_answer(u8"已完成", address));
    testing::RecordingDisplay run_display;
    EXPECT_FALSE(recognize_table({run_display, dir.path()}, kPicture, kFastPolling)) << address;
    EXPECT_TRUE(run_display.events_starting("open: ").empty()) << address;
    EXPECT_EQ(run_display.events().back().rfind("title: 表格识别结果的地址不是网址，已拒绝打开：", 0), 0u);
  }
  EXPECT_FALSE(std::filesystem::exists(spreadsheet()));
}

}  // namespace
}  // namespace qw
