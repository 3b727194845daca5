#include "recognition/encodings.h"

#include <array>
#include <cstring>

namespace qw {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool is_ascii_alphanumeric(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Two Base64 characters (12 bits of input), already form-encoded: "+" and "/" become "%2B" and
// "%2F". Up to six bytes, stored so one unaligned 8-byte store writes them all.
struct EncodedPair {
  char bytes[8];
  std::uint8_t length;
};

constexpr void append_encoded_char(EncodedPair& pair, char c) {
  if (c == '+' || c == '/') {
    pair.bytes[pair.length++] = '%';
    pair.bytes[pair.length++] = '2';
    pair.bytes[pair.length++] = c == '+' ? 'B' : 'F';
  } else {
    pair.bytes[pair.length++] = c;
  }
}

constexpr std::size_t encoded_char_length(char c) { return (c == '+' || c == '/') ? 3 : 1; }

constexpr std::array<EncodedPair, 4096> make_pair_table() {
  std::array<EncodedPair, 4096> table{};
  for (int v = 0; v < 4096; ++v) {
    EncodedPair pair{};
    append_encoded_char(pair, kAlphabet[v >> 6]);
    append_encoded_char(pair, kAlphabet[v & 63]);
    table[v] = pair;
  }
  return table;
}

constexpr std::array<EncodedPair, 4096> kPairTable = make_pair_table();

int hex_digit_value(unsigned char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
  const char* found = std::strchr(kHexDigits, c);
  return (c != 0 && found != nullptr) ? static_cast<int>(found - kHexDigits) : -2;
}

}  // namespace

std::string base64_encode(const std::uint8_t* data, std::size_t size) {
  std::string out;
  if (size == 0) return out;
  out.resize(4 * ((size + 2) / 3));
  char* o = out.data();
  std::size_t i = 0;
  for (; i + 3 <= size; i += 3, o += 4) {
    const std::uint32_t v = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
    o[2] = kAlphabet[(v >> 6) & 63];
    o[3] = kAlphabet[v & 63];
  }
  if (i < size) {
    const std::uint32_t v = (data[i] << 16) | (i + 1 < size ? data[i + 1] << 8 : 0);
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
    o[2] = i + 1 < size ? kAlphabet[(v >> 6) & 63] : '=';
    o[3] = '=';
  }
  return out;
}

int percent_encode(const char* source, int source_length, char* destination, int capacity) {
  if (source == nullptr || destination == nullptr || source_length <= 0 || capacity <= 0) return 0;
  int i = 0;
  for (int k = 0; k < source_length && i < capacity; ++k) {
    const auto c = static_cast<unsigned char>(source[k]);
    if (is_ascii_alphanumeric(c)) {
      destination[i++] = static_cast<char>(c);
    } else if (c == ' ') {
      destination[i++] = '+';
    } else {
      if (i + 3 >= capacity) return 0;
      destination[i++] = '%';
      destination[i++] = kHexDigits[c >> 4];
      destination[i++] = kHexDigits[c & 15];
    }
  }
  destination[i] = '\0';
  return i;
}

std::string decode_answer(std::string_view text, bool convert, bool /*unused_flag*/) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    // A digit past the end of the text counts as 0; one that is not hexadecimal as -2.
    const int high = i + 1 < text.size() ? hex_digit_value(static_cast<unsigned char>(text[i + 1])) : 0;
    const int low = i + 2 < text.size() ? hex_digit_value(static_cast<unsigned char>(text[i + 2])) : 0;
    const auto byte = static_cast<char>((16 * high + low) & 0xFF);
    if (byte != '\0') out.push_back(byte);
    i += 2;
  }
  return convert ? utf8_to_gbk(out) : out;
}

std::u16string text_to_wide(std::string_view text, int code_page, bool use_code_page) {
  return to_utf16(text, use_code_page ? code_page : kCodePageUtf8);
}

std::string wide_to_text(std::u16string_view wide, int code_page, bool use_code_page) {
  return from_utf16(wide, use_code_page ? code_page : kCodePageGbk);
}

std::optional<std::string> image_form_body(const std::uint8_t* data, std::size_t size, std::size_t capacity) {
  static constexpr char kPrefix[] = "image=";
  constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;
  const std::size_t whole_groups = size / 3;
  const std::size_t rest = size % 3;

  // First pass: the exact length, so the body is allocated once and never grown.
  std::size_t encoded_length = 0;
  for (std::size_t g = 0; g < whole_groups; ++g) {
    const std::uint8_t* p = data + 3 * g;
    const std::uint32_t v = (p[0] << 16) | (p[1] << 8) | p[2];
    encoded_length += kPairTable[v >> 12].length + kPairTable[v & 0xFFF].length;
  }
  std::uint32_t tail = 0;
  if (rest != 0) {
    // The last group: two or three characters and one or two padding "=" (each "%3D").
    tail = (data[3 * whole_groups] << 16) | (rest == 2 ? data[3 * whole_groups + 1] << 8 : 0);
    encoded_length += kPairTable[tail >> 12].length;
    if (rest == 2) encoded_length += encoded_char_length(kAlphabet[(tail >> 6) & 63]);
    encoded_length += rest == 2 ? 3 : 6;
  }
  // The form buffer leaves room for its zero; an escape that would end on the last place is refused.
  if (encoded_length >= capacity) return std::nullopt;

  std::string body;
  body.resize(kPrefixLength + encoded_length + 8);  // slack for the 8-byte stores
  std::memcpy(body.data(), kPrefix, kPrefixLength);
  char* o = body.data() + kPrefixLength;
  for (std::size_t g = 0; g < whole_groups; ++g) {
    const std::uint8_t* p = data + 3 * g;
    const std::uint32_t v = (p[0] << 16) | (p[1] << 8) | p[2];
    const EncodedPair& a = kPairTable[v >> 12];
    const EncodedPair& b = kPairTable[v & 0xFFF];
    std::memcpy(o, a.bytes, 8);
    o += a.length;
    std::memcpy(o, b.bytes, 8);
    o += b.length;
  }
  if (rest != 0) {
    const EncodedPair& a = kPairTable[tail >> 12];
    std::memcpy(o, a.bytes, 8);
    o += a.length;
    if (rest == 2) {
      const char third = kAlphabet[(tail >> 6) & 63];
      EncodedPair single{};
      append_encoded_char(single, third);
      std::memcpy(o, single.bytes, single.length);
      o += single.length;
    }
    const std::size_t padding = rest == 2 ? 1 : 2;
    for (std::size_t k = 0; k < padding; ++k) {
      std::memcpy(o, "%3D", 3);
      o += 3;
    }
  }
  body.resize(static_cast<std::size_t>(o - body.data()));
  return body;
}

}  // namespace qw
