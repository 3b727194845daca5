// What every fuzz target shares: the reading of one input as zero-separated fields, and a check
// that stops the run (so libFuzzer keeps the input) when a property does not hold.
//
// An input is "field\0field\0...": seeds stay readable files (a JSON answer, an INI file) whose
// first field is the whole file, and a mutation that adds a zero adds an argument.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace qw::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  // The next field: up to the next zero byte (which is consumed) or the end; empty when none is left.
  std::string_view text() {
    const std::size_t zero = rest_.find('\0');
    const std::string_view field = rest_.substr(0, zero);
    rest_.remove_prefix(zero == std::string_view::npos ? rest_.size() : zero + 1);
    return field;
  }

  // One raw byte (a choice or a small number), 0 when nothing is left.
  std::uint8_t byte() {
    if (rest_.empty()) return 0;
    const auto value = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return value;
  }

  bool empty() const { return rest_.empty(); }
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// Printable form of a text for a failure report: bytes outside ASCII's printable range as \xHH.
inline std::string shown(std::string_view text, std::size_t limit = 200) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  if (text.size() > limit) out += "...";
  return out;
}

[[noreturn]] inline void report_failure(const char* condition, const char* file, int line, const std::string& detail) {
  std::fprintf(stderr, "\n%s:%d: property failed: %s\n%s\n", file, line, condition, detail.c_str());
  std::abort();
}

}  // namespace qw::fuzz

// A property of the code under test; `detail` (a std::string expression) is built only on failure.
#define QW_FUZZ_CHECK(condition, detail)                                          \
  do {                                                                            \
    if (!(condition)) ::qw::fuzz::report_failure(#condition, __FILE__, __LINE__, (detail)); \
  } while (false)
