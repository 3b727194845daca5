#include "common/bytes.h"

#include <algorithm>

namespace qw {

std::string bytes_to_text(const Bytes& bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  return std::string(bytes.begin(), end);
}

Bytes text_to_bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

}  // namespace qw
