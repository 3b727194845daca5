// URL pieces and small text extractions used by web_request. Texts are GBK; see common/text.h.
#pragma once

#include <string>
#include <string_view>

namespace qw {

// The text between the first `start_marker` and the first `end_marker` after it; empty when
// either is missing. Case-sensitive.
std::string text_between(std::string_view text, std::string_view start_marker, std::string_view end_marker);

// Everything after the first ":", trimmed of spaces; empty when there is no ":".
std::string value_after_colon(std::string_view text);

// True when the URL starts with "https://" in any letter case.
bool is_https_url(std::string_view url);

// The host of `url`, lower-cased; with `keep_port` the ":port" after it stays. A URL without a
// scheme is taken as http.
std::string url_host(std::string_view url, bool keep_port = false);

// The port to connect to: the digits after the host's last ":", else 443 for https and 80 for http.
int url_port(std::string_view url);

// Path and query to request, beginning with "/", in the URL's own letter case.
std::string url_object(std::string_view url);

}  // namespace qw
