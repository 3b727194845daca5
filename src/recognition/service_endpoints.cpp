#include "recognition/service_endpoints.h"

#include "config/config_keys.h"

namespace qw::service {

std::string api_url(const std::filesystem::path& program_directory, std::string_view path_and_query) {
  return "https://" + config::api_host(program_directory) + std::string(path_and_query);
}

std::string access_token_for_run(const std::filesystem::path& program_directory) {
  std::string stored = config::read_key(program_directory, config::kAccessToken);
  return stored.size() < kShortestUsableToken ? std::string(kBuiltinAccessToken) : stored;
}

std::string documentation_url(std::string_view path) {
  return "http://" + std::string(kDocumentationHost) + std::string(path);
}

}  // namespace qw::service
