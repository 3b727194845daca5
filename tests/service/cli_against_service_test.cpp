// The console front end, pointed at the real service through 配置.ini, recognises a rendered
// picture: the whole road from the program's request to the engine and back.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>

#include "common/codepage.h"
#include "common/config_file.h"
#include "service/rendered_text.h"
#include "service/service_process.h"
#include "support/temp_dir.h"

namespace qw {
namespace {

struct CliRun {
  int exit_code = -1;
  std::string output;
};

CliRun run_cli(const std::vector<std::string>& arguments, const std::string& certificate) {
  const std::filesystem::path cli = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "qingwu-ocr-cli";
  std::vector<std::string> words = {cli.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = {"SSL_CERT_FILE=" + certificate, "PATH=/usr/bin:/bin"};
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  CliRun run;
  int output[2];
  if (pipe(output) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, output[0]);
  posix_spawn_file_actions_addclose(&actions, output[1]);
  pid_t pid = -1;
  const bool started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(output[1]);
  char buffer[4096];
  ssize_t count;
  while ((count = read(output[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, static_cast<std::size_t>(count));
  close(output[0]);
  if (!started) return run;
  int status = 0;
  waitpid(pid, &status, 0);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(CliAgainstService, RecognisesARenderedPictureThroughTheConfiguredHost) {
  const testing::TempDir folder;
  testing::ServiceProcess service(folder.path() / "data");
  ASSERT_GT(service.port(), 0);
  const std::filesystem::path config = folder.path() / "config";
  std::filesystem::create_directories(config);
  // The settings file as the program keeps it: GBK names and values.
  ASSERT_TRUE(write_config_key(config / std::filesystem::u8path(u8"配置.ini"), utf8_to_gbk(u8"配置项"), "api_host",
                               "localhost:" + std::to_string(service.port())));
  const std::filesystem::path picture = folder.path() / "lines.png";
  ASSERT_FALSE(testing::render_text(picture, u8"青梧图片文本识别工具\nOffline recognition works.", 22).empty());

  const CliRun run = run_cli({"--config-dir", config.string(), picture.string()}, service.certificate());
  EXPECT_EQ(run.exit_code, 0);
  std::string text = run.output;
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());  // line ends are the front end's
  EXPECT_EQ(text, u8"青梧图片文本识别工具\nOffline recognition works.\n");
}

}  // namespace
}  // namespace qw
