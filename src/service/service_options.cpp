#include "service/service_options.h"

#include <cstdlib>

namespace qw {
namespace {

std::optional<int> whole_number(const std::string& text, int lowest, int highest) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  const int value = std::stoi(text);
  if (value < lowest || value > highest) return std::nullopt;
  return value;
}

}  // namespace

std::filesystem::path default_data_dir() {
  const char* data_home = std::getenv("XDG_DATA_HOME");
  if (data_home && *data_home) return std::filesystem::path(data_home) / "qingwu-ocr-service";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : "/tmp") / ".local" / "share" / "qingwu-ocr-service";
}

std::string service_usage() {
  return "usage: qingwu-ocr-service [options]\n"
         "  --port N         port to listen on (default 18443; 0 picks a free one)\n"
         "  --bind ADDRESS   address to listen on (default 127.0.0.1, loopback only)\n"
         "  --data-dir DIR   where the certificate and keys live (default " + default_data_dir().string() + ")\n"
         "  --keys FILE      accepted key pairs, \"API_KEY SECRET_KEY\" a line\n"
         "                   (default DIR/keys.txt when it exists, else the program's built-in pair)\n"
         "  --threads N      connections served at once (default 8)\n"
         "  --engines N      recognition engines (default: one per processor core)\n"
         "  --languages L    recognition languages (default chi_sim+eng)\n";
}

std::optional<ServiceOptions> parse_service_options(const std::vector<std::string>& arguments, std::string* message) {
  ServiceOptions options;
  options.data_dir = default_data_dir();
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name == "--help" || name == "-h") {
      *message = service_usage();
      return std::nullopt;
    }
    if (i + 1 >= arguments.size()) {
      *message = "unknown option or missing value: " + name + "\n" + service_usage();
      return std::nullopt;
    }
    const std::string& value = arguments[++i];
    std::optional<int> number;
    if (name == "--port" && (number = whole_number(value, 0, 65535))) {
      options.port = *number;
    } else if (name == "--threads" && (number = whole_number(value, 1, 256))) {
      options.threads = *number;
    } else if (name == "--engines" && (number = whole_number(value, 1, 64))) {
      options.engines = *number;
    } else if (name == "--bind" && !value.empty()) {
      options.bind_address = value;
    } else if (name == "--data-dir" && !value.empty()) {
      options.data_dir = value;
    } else if (name == "--keys" && !value.empty()) {
      options.keys_file = std::filesystem::path(value);
    } else if (name == "--languages" && !value.empty()) {
      options.languages = value;
    } else {
      *message = "bad option: " + name + " " + value + "\n" + service_usage();
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace qw
