#include "recognition/batch_recognition.h"

#include <thread>

#include "common/file_io.h"
#include "common/paths.h"
#include "platform_fixture.h"

namespace qw {
namespace {

using namespace std::chrono_literals;

constexpr char kGeneral[] = "/rest/2.0/ocr/v1/general";
constexpr BatchTiming kFast{std::chrono::milliseconds(3000), std::chrono::milliseconds(10)};

class RecognizeFolder : public testing::PlatformTest {
 protected:
  std::filesystem::path make_folder(std::initializer_list<const char*> names) {
    const auto folder = dir.path() / path_from_text("图片");
    std::filesystem::create_directories(folder);
    for (const char* name : names) EXPECT_TRUE(replace_file_atomically(folder / path_from_text(name), name));
    display.set_folder(folder);
    return folder;
  }
  std::string text_of(const std::filesystem::path& file) const { return bytes_to_text(read_file_bytes(file)); }
  void run_batch() {
    recognize_folder(context, state, kFast);
    wait_for_batch_workers(state);
  }
  BatchState state;
};

TEST_F(RecognizeFolder, EveryPictureGetsATextFileBesideIt) {
  answer_json(kGeneral, u8R"({"log_id":3,"words_result_num":2,"words_result":[{"words":"第一行"},{"words":"50%"}]})");
  const auto folder = make_folder({"a.jpg", "b.png", "c.txt"});
  display.set_batch_texts("1", "5");  // one at a time keeps the box's lines in order
  run_batch();

  const std::string a = text_from_path(folder / "a.jpg");
  const std::string b = text_from_path(folder / "b.png");
  const std::string a_txt = text_from_path(folder / "a.txt");
  const std::string b_txt = text_from_path(folder / "b.txt");
  EXPECT_EQ(display.events_starting("choose folder: "), std::vector<std::string>{"choose folder: 请选择文件夹"});
  const auto appends = display.events_starting("append: ");
  EXPECT_EQ(appends, (std::vector<std::string>{"append: 1线程\r\n", "append: " + a + "\r\n",
                                                "append: 输出路径=" + a_txt + "\r\n", "append: 2线程\r\n",
                                                "append: " + b + "\r\n", "append: 输出路径=" + b_txt + "\r\n"}));
  // GBK text, each line ended by CR LF, no byte-order mark.
  EXPECT_EQ(text_of(folder / "a.txt"), "第一行\r\n50%\r\n");
  EXPECT_EQ(text_of(folder / "b.txt"), "第一行\r\n50%\r\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "c.txt.txt"));
  EXPECT_EQ(text_of(folder / "c.txt"), "c.txt");
  const auto requests = received(kGeneral);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target.rfind(prefix + kGeneral + "?access_token=", 0), 0u);
  EXPECT_EQ(state.worker_count.load(), 0);
  EXPECT_EQ(state.file_list.size(), 2u);
}

TEST_F(RecognizeFolder, NeverMoreWorkersAtOnceThanTheConcurrencyBox) {
  answer_json(kGeneral, R"({"log_id":1,"words_result":[{"words":"x"}]})", 200);
  make_folder({"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.png", "6.png", "7.bmp"});
  display.set_batch_texts("3", "5");
  run_batch();
  EXPECT_EQ(received(kGeneral).size(), 7u);
  EXPECT_LE(server.max_in_flight(prefix), 3);
  EXPECT_GE(server.max_in_flight(prefix), 2);  // the places are actually used
}

TEST_F(RecognizeFolder, UnreachableServiceUsesEveryAttemptAndLeavesEmptyFiles) {
  use_api_host(server.closed_port_url("").substr(std::string("http://").size()));
  const auto folder = make_folder({"a.jpg"});
  display.set_batch_texts("3", "3");
  run_batch();
  const auto appends = display.events_starting("append: ");
  ASSERT_EQ(appends.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(appends.begin() + 2, appends.begin() + 5),
            (std::vector<std::string>{"append: 1次重试\r\n", "append: 2次重试\r\n", "append: 3次重试\r\n"}));
  EXPECT_TRUE(std::filesystem::exists(folder / "a.txt"));
  EXPECT_EQ(text_of(folder / "a.txt"), "");
}

TEST_F(RecognizeFolder, AnAnswerWithALogIdEndsTheAttempts) {
  answer_json(kGeneral, R"({"log_id":9,"error_code":216202,"error_msg":"image size error"})");
  const auto folder = make_folder({"a.jpg"});
  run_batch();
  EXPECT_EQ(received(kGeneral).size(), 1u);
  EXPECT_TRUE(display.events_starting("append: 1次重试").empty());
  EXPECT_EQ(text_of(folder / "a.txt"), "");
}

TEST_F(RecognizeFolder, CancelledDialogEndsTheBatchAtOnce) {
  display.set_folder(std::nullopt);
  display.set_result_text("old text");
  run_batch();
  EXPECT_EQ(display.result_text(), "");
  EXPECT_TRUE(display.events_starting("append: ").empty());
  EXPECT_TRUE(received().empty());
}

TEST_F(RecognizeFolder, ASecondBatchWhileOneIsHandedOutIsRefused) {
  make_folder({"a.jpg"});
  state.handing_out = true;
  recognize_folder(context, state, kFast);
  EXPECT_EQ(display.events(), std::vector<std::string>{"message: 信息：: " + std::string(kBatchBusyMessage)});
  EXPECT_TRUE(state.handing_out);
}

TEST_F(RecognizeFolder, ClosingTheMainWindowEndsTheHandOut) {
  answer_json(kGeneral, R"({"log_id":1,"words_result":[]})", 300);
  make_folder({"a.jpg", "b.jpg", "c.jpg"});
  display.set_batch_texts("1", "1");
  std::thread closer([&] {
    while (received(kGeneral).empty()) std::this_thread::sleep_for(5ms);
    display.close_window();
  });
  run_batch();
  closer.join();
  EXPECT_EQ(display.events_starting("append: ").front(), "append: 1线程\r\n");
  EXPECT_TRUE(display.events_starting("append: 2线程").empty());
  EXPECT_FALSE(state.handing_out);
}

TEST_F(RecognizeFolder, ConcurrencyBoxIsReadAgainWhileWaiting) {
  answer_json(kGeneral, R"({"log_id":1,"words_result":[]})");
  make_folder({"a.jpg", "b.jpg"});
  display.set_batch_texts("0", "1");  // no place at all: the hand-out waits ...
  std::thread typist([&] {
    std::this_thread::sleep_for(100ms);
    display.set_batch_texts("2", "1");  // ... until a number is typed
    display.wake();
  });
  run_batch();
  typist.join();
  EXPECT_EQ(received(kGeneral).size(), 2u);
}

}  // namespace
}  // namespace qw
