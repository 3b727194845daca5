#include "recognition/access_token.h"

#include "common/file_io.h"
#include "recognition/service_endpoints.h"
#include "platform_fixture.h"

namespace qw {
namespace {

constexpr char kToken[] = "/oauth/2.0/token";

std::string ini_text(const std::filesystem::path& dir) {
  return bytes_to_text(read_file_bytes(config::config_file_path(dir)));
}

class AccessToken : public testing::PlatformTest {};

TEST_F(AccessToken, AcceptedKeysAreStoredWithTheToken) {
  answer_json(kToken, R"({"access_token":"24.new-token.2592000","expires_in":2592000})");
  ASSERT_TRUE(config::write_key(dir.path(), config::kHotkey, "F2"));
  TokenFetchState state;
  EXPECT_TRUE(save_keys_and_token(context, state, "my-key", "my-secret"));

  const auto requests = received(kToken);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, prefix + "/oauth/2.0/token?");
  EXPECT_EQ(requests[0].body, "grant_type=client_credentials&client_id=my-key&client_secret=my-secret");
  EXPECT_EQ(display.events(), std::vector<std::string>{"message: 信息：: 保存成功"});
  EXPECT_EQ(ini_text(dir.path()), "[配置项]\r\napi_host=localhost:" + std::to_string(server.https_port()) + prefix +
                                      "\r\n热键=F2\r\nAPI Key=my-key\r\nSecret Key=my-secret\r\n"
                                      "access_token=24.new-token.2592000\r\n");
  EXPECT_EQ(service::access_token_for_run(dir.path()), "24.new-token.2592000");
  EXPECT_EQ(state.answer_text, R"({"access_token":"24.new-token.2592000","expires_in":2592000})");
}

TEST_F(AccessToken, RefusedKeysStoreNothingAndShowTheServiceError) {
  answer_json(kToken, u8R"({"error":"invalid_client","error_description":"未知的客户端"})");
  const std::string before = ini_text(dir.path());
  TokenFetchState state;
  // Keys go in as typed: "&" and "=" split the form, exactly as the user typed them.
  EXPECT_FALSE(save_keys_and_token(context, state, "a&b=c", ""));
  EXPECT_EQ(received(kToken).at(0).body, "grant_type=client_credentials&client_id=a&b=c&client_secret=");
  EXPECT_EQ(display.events(), std::vector<std::string>{"message: 错误: invalid_client\r\n未知的客户端"});
  EXPECT_EQ(ini_text(dir.path()), before);
}

TEST_F(AccessToken, NoConnectionShowsTheEmptyError) {
  use_api_host(server.closed_port_url("").substr(std::string("http://").size()));
  TokenFetchState state;
  EXPECT_FALSE(save_keys_and_token(context, state, "", ""));
  EXPECT_EQ(display.events(), std::vector<std::string>{"message: 错误: \r\n"});
  EXPECT_EQ(config::read_key(dir.path(), config::kAccessToken), "");
}

TEST(KeyButtons, RestoreGivesTheBuiltInPairAndHelpOpensTheKeyPage) {
  const KeyPair keys = restore_builtin_keys();
  EXPECT_EQ(keys.api_key, "Qe7rTb2WkLpZ8sHd4MnYc3Fa");
  EXPECT_EQ(keys.secret_key, "Wq4eRz8uNm2kJd7sLa9fGh3pXc6vBn1T");
  testing::RecordingDisplay display;
  open_key_help_page(display);
  EXPECT_EQ(display.events(), std::vector<std::string>{"open: http://ai.baidu.com/docs#/Auth/top"});
}

}  // namespace
}  // namespace qw
