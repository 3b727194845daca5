// The encodings every recognition flow uses: Base64 of the picture, the form encoding of that text
// into a fixed buffer, and the decoding of a service's answer.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/bytes.h"
#include "common/codepage.h"

namespace qw {

// The form buffer's capacity in characters: a body longer than this is refused.
constexpr int kFormBufferCapacity = 9'999'999;

// RFC 4648 Base64 with padding, on one line.
std::string base64_encode(const std::uint8_t* data, std::size_t size);
inline std::string base64_encode(const Bytes& bytes) { return base64_encode(bytes.data(), bytes.size()); }

// Letters and digits are copied, a space becomes "+", every other byte "%XX" (upper-case hex).
// Writes at most `capacity` characters and a terminating zero into `destination` (which holds
// capacity + 1 bytes) and returns the count written; 0 when an argument is absent or not positive,
// or when an escape would not fit (then what was written so far stays, without a zero).
int percent_encode(const char* source, int source_length, char* destination, int capacity);

// Percent-decodes `text` (every "%" consumes the next two bytes, whatever they are) and, when
// `convert` is true, turns the UTF-8 result into GBK. `unused_flag` has no effect.
std::string decode_answer(std::string_view text, bool convert, bool unused_flag = true);

// Text to UTF-16: with `code_page` when use_code_page is true, as UTF-8 otherwise.
std::u16string text_to_wide(std::string_view text, int code_page, bool use_code_page);
// UTF-16 to text: with `code_page` when use_code_page is true, otherwise with code page 936, the
// program's own code page (never the machine's, so the result is the same on any Windows locale).
std::string wide_to_text(std::u16string_view wide, int code_page, bool use_code_page);
// utf8_to_gbk (UTF-8 text to GBK) comes from common/codepage.h.

// "image=" followed by the percent-encoded Base64 of the picture, built in one pass; nothing when
// the encoded text would not fit the form buffer. Equal to "image=" + percent_encode(base64_encode).
std::optional<std::string> image_form_body(const std::uint8_t* data, std::size_t size,
                                           std::size_t capacity = kFormBufferCapacity);
inline std::optional<std::string> image_form_body(const Bytes& picture) {
  return image_form_body(picture.data(), picture.size());
}

}  // namespace qw
