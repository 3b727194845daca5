// A recognition run against the local test server playing the platform. Each test gets a path
// prefix of its own (written into api_host), so tests running in parallel never share an answer.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "config/config_keys.h"
#include "recognition/recognition_context.h"
#include "support/recording_display.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace qw::testing {

class PlatformTest : public ::testing::Test {
 protected:
  PlatformTest() : server(TestServer::locate()), prefix(unique_prefix()) {}

  void SetUp() override { use_api_host("localhost:" + std::to_string(server.https_port()) + prefix); }
  void TearDown() override { server.forget(prefix); }

  void use_api_host(const std::string& host) { ASSERT_TRUE(config::write_key(dir.path(), config::kApiHost, host)); }
  // Every later request for prefix + `path` gets a JSON answer (UTF-8 text).
  void answer_json(const std::string& path, const std::string& json_utf8, int delay_ms = 0) const {
    server.set_answer(prefix + path, {200, {{"Content-Type", "application/json;charset=utf-8"}}, json_utf8, delay_ms});
  }
  std::vector<RecordedRequest> received(const std::string& path = "") const { return server.requests(prefix + path); }

  TempDir dir;
  RecordingDisplay display;
  RecognitionContext context{display, dir.path()};
  TestServer server;
  const std::string prefix;

 private:
  static std::string unique_prefix() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::random_device random;
    return std::string("/") + test->test_suite_name() + "-" + test->name() + "-" + std::to_string(random() % 100000);
  }
};

}  // namespace qw::testing
