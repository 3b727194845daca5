// Reading the form bodies the platform's clients send: "key=value&key=value", where "+" stands for a
// space and "%XX" for a byte, and the Base64 picture inside the "image" field.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "common/bytes.h"

namespace qw {

// "+" becomes a space and "%XX" (either letter case) its byte; a "%" not followed by two
// hexadecimal digits stays as it is.
std::string form_decode(std::string_view text);

// Every field of the body, names and values decoded. A later field of the same name wins; a field
// without "=" has an empty value.
std::map<std::string, std::string> parse_form_body(std::string_view body);

// RFC 4648 Base64 (standard alphabet). Line breaks and padding are optional; any other character
// outside the alphabet, or a length that cannot be Base64, gives nothing.
std::optional<Bytes> base64_decode(std::string_view text);

}  // namespace qw
