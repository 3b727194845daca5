// Byte sequences: pictures, request and response bodies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qw {

using Bytes = std::vector<std::uint8_t>;

// The bytes up to the first zero byte, or all of them.
std::string bytes_to_text(const Bytes& bytes);
Bytes text_to_bytes(std::string_view text);
inline std::string_view as_text_view(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace qw
