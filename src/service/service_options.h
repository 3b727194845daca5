// The service's command line.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qw {

constexpr int kDefaultServicePort = 18443;

struct ServiceOptions {
  int port = kDefaultServicePort;  // 0: any free port, announced on standard output
  std::string bind_address = "127.0.0.1";
  std::filesystem::path data_dir;  // certificate, token signing key, keys.txt
  std::optional<std::filesystem::path> keys_file;
  int threads = 8;  // connections served at once
  int engines = 0;  // recognition engines; 0: one per processor core
  std::string languages = "chi_sim+eng";
};

// The per-user folder: $XDG_DATA_HOME/qingwu-ocr-service, else ~/.local/share/qingwu-ocr-service.
std::filesystem::path default_data_dir();

// Nothing when the arguments are wrong or help was asked for; `message` then holds what to print.
std::optional<ServiceOptions> parse_service_options(const std::vector<std::string>& arguments, std::string* message);

std::string service_usage();

}  // namespace qw
