// The real qingwu-ocr-service started for a test on a free loopback port with its own data folder,
// stopped (SIGTERM, then waited for) when the object goes.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace qw::testing {

// Built into the same folder as the test executables.
inline std::filesystem::path service_executable() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "qingwu-ocr-service";
}

class ServiceProcess {
 public:
  explicit ServiceProcess(const std::filesystem::path& data_dir, std::vector<std::string> extra_arguments = {}) {
    int output[2];
    if (pipe(output) != 0) return;
    std::vector<std::string> arguments = {service_executable().string(), "--port", "0", "--data-dir",
                                          data_dir.string(), "--engines", "1", "--threads", "4"};
    arguments.insert(arguments.end(), extra_arguments.begin(), extra_arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    posix_spawn_file_actions_addclose(&actions, output[1]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    // Its announcement lines, up to the port, which comes once it serves requests.
    FILE* lines = fdopen(output[0], "r");
    char line[4096];
    while (pid_ > 0 && lines && std::fgets(line, sizeof line, lines)) {
      std::string text(line);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
      if (text.rfind("QW_SERVICE_CERT=", 0) == 0) certificate_ = text.substr(16);
      if (text.rfind("QW_SERVICE_PORT=", 0) == 0) {
        port_ = std::atoi(text.c_str() + 16);
        break;
      }
    }
    if (lines) std::fclose(lines);
  }
  ~ServiceProcess() { stop(); }
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  // The exit status, or -1 when it did not end normally.
  int stop() {
    if (pid_ <= 0) return exit_status_;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exit_status_;
  }

  int port() const { return port_; }
  const std::string& certificate() const { return certificate_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  int exit_status_ = -1;
  std::string certificate_;
};

}  // namespace qw::testing
