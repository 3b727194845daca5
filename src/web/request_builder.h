// The decisions web_request makes before and after the transport, as functions without side effects.
#pragma once

#include <string>
#include <string_view>

#include "web/transport.h"
#include "web/web_request.h"

namespace qw {

// Everything the transport needs: verb, host, port, object, agent, proxy list, the completed header
// block and the body (empty for GET). Reads the in-out options, writes nothing.
TransportRequest build_transport_request(std::string_view url, const WebRequestOptions& options);

// The agent taken from the caller's header lines, or the default user agent.
std::string user_agent_for(std::string_view header_lines);

// The caller's lines followed by the default lines they lack and the cookie line.
std::string complete_header_block(std::string_view header_lines, std::string_view url, const std::string* cookies);

// The response's header block as web_request returns it: 5,000 spaces when there is none or it
// would not fit the 5,000-byte buffer, every "Set-Cookie" name in that letter case.
std::string returned_header_text(const TransportResponse& response);

}  // namespace qw
