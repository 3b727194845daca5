#include "web/transport.h"

#include <vector>

#include "common/text.h"

namespace qw {

std::uint32_t request_flag_word(const TransportRequest& request) {
  // Cached copies are never used: every call asks the service again.
  std::uint32_t flags = kFlagReload | kFlagNeedFile;
  if (request.no_cookies) flags |= kFlagNoCookies;
  if (request.no_redirect) flags |= kFlagNoAutoRedirect;
  flags |= request.https ? kFlagSecure : kFlagIgnoreRedirectToHttps;
  return flags;
}

std::string proxy_for_scheme(std::string_view proxy_list, bool https) {
  const std::string scheme = https ? "https" : "http";
  std::string for_all;
  for (const auto& item : split_text(replace_all(proxy_list, ";", " "), " ")) {
    if (item.empty()) continue;
    const auto equals = item.find('=');
    std::string server = item;
    if (equals != std::string::npos) {
      if (!equals_ignore_case(item.substr(0, equals), scheme)) continue;
      server = item.substr(equals + 1);
    }
    if (server.empty()) continue;
    if (server.find("://") == std::string::npos) server = "http://" + server;
    if (equals != std::string::npos) return server;  // an entry for this scheme beats one for all
    if (for_all.empty()) for_all = server;
  }
  return for_all;
}

}  // namespace qw
