// The GBK text operations, the encodings of a recognition request and the code page conversions on
// any bytes.
//
// Input fields: text, needle, replacement, separator; then a byte of choices (case, a capacity) and
// the raw rest, which also serves as picture bytes and as UTF-16 text.
// Properties, beside never crashing, hanging or leaking:
//  - searches, trimming, case, splitting and number reading keep the promises of common/text.h
//    (read_number reads what strtod reads of the same number);
//  - base64_encode decodes back; percent_encode writes nothing past capacity + 1 bytes (the buffer is
//    exactly that large), and what it writes is a prefix of the whole encoding; decode_answer undoes
//    it; image_form_body is "image=" + percent_encode(base64_encode(x)) exactly when that fits;
//  - valid GBK survives GBK -> UTF-16 -> GBK and GBK -> UTF-8 -> GBK, and every conversion's output
//    survives its own round trip.
#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/text.h"
#include "fuzz_input.h"
#include "recognition/encodings.h"

namespace {

using qw::fuzz::FuzzInput;
using qw::fuzz::shown;

constexpr std::size_t kMaxConvertedBytes = 2048;

void check_search(std::string_view text, std::string_view needle, int start, bool ignore_case) {
  const int found = qw::find_text(text, needle, start, ignore_case);
  const std::string detail = "text " + shown(text) + "\nneedle " + shown(needle) + " at " + std::to_string(found);
  if (found != -1) {
    QW_FUZZ_CHECK(found >= std::max(start, 1) && static_cast<std::size_t>(found - 1) + needle.size() <= text.size(), detail);
    const std::string_view match = text.substr(static_cast<std::size_t>(found - 1), needle.size());
    QW_FUZZ_CHECK(ignore_case ? qw::equals_ignore_case(match, needle) : match == needle, detail);
  } else if (!ignore_case && start <= 1 && !needle.empty()) {
    // A miss is allowed only where the bytes match across a character boundary.
    if (text.find(needle) != std::string_view::npos) {
      bool on_boundary = false;
      for (std::size_t i = 0; i < text.size(); i += qw::character_length(text, i)) {
        if (text.compare(i, needle.size(), needle) == 0) on_boundary = true;
      }
      QW_FUZZ_CHECK(!on_boundary, detail);
    }
  }
  const int first = qw::find_text(text, needle, 1, ignore_case);
  const int last = qw::find_last_text(text, needle, ignore_case);
  QW_FUZZ_CHECK((first == -1) == (last == -1) && last >= first, detail);
  QW_FUZZ_CHECK(qw::contains_text(text, needle, ignore_case) == (first != -1), detail);
  if (!needle.empty() && !ignore_case) {
    QW_FUZZ_CHECK(qw::starts_with_text(text, needle) == (text.compare(0, needle.size(), needle) == 0), detail);
  }
}

void check_replace(std::string_view text, std::string_view from, std::string_view to, bool ignore_case) {
  const std::string replaced = qw::replace_all(text, from, to, ignore_case);
  const std::string detail = shown(text) + " / " + shown(from) + " -> " + shown(replaced);
  if (from.empty() || (!ignore_case && text.find(from) == std::string_view::npos)) {
    QW_FUZZ_CHECK(replaced == text, detail);
  }
  QW_FUZZ_CHECK(qw::replace_all(text, from, from, false) == text, detail);
  if (from.size() == to.size()) QW_FUZZ_CHECK(replaced.size() == text.size(), detail);
}

void check_spaces_and_case(std::string_view text) {
  const std::string trimmed = qw::trim_spaces(text);
  const std::string no_spaces = qw::remove_spaces(text);
  QW_FUZZ_CHECK(qw::trim_spaces(trimmed) == trimmed, shown(text) + " -> " + shown(trimmed));
  QW_FUZZ_CHECK(qw::remove_spaces(no_spaces) == no_spaces, shown(text) + " -> " + shown(no_spaces));
  QW_FUZZ_CHECK(trimmed.size() <= text.size() && no_spaces.size() <= text.size(), shown(text));
  QW_FUZZ_CHECK(text.find(trimmed) != std::string_view::npos, shown(text) + " -> " + shown(trimmed));

  const std::string lower = qw::to_lower_ascii(text);
  const std::string upper = qw::to_upper_ascii(text);
  QW_FUZZ_CHECK(lower.size() == text.size() && upper.size() == text.size(), shown(text));
  QW_FUZZ_CHECK(qw::equals_ignore_case(lower, upper) && qw::equals_ignore_case(text, upper), shown(text));
  QW_FUZZ_CHECK(qw::to_lower_ascii(upper) == lower, shown(text));

  QW_FUZZ_CHECK(qw::full_width_to_ascii(text).size() <= text.size(), shown(text));
  for (std::size_t i = 0; i < text.size(); i += qw::character_length(text, i)) {
    const int length = qw::character_length(text, i);
    QW_FUZZ_CHECK(length == 1 || (length == 2 && i + 1 < text.size()), shown(text));
  }
}

void check_split(std::string_view text, std::string_view separator) {
  const auto items = qw::split_text(text, separator);
  if (text.empty()) {
    QW_FUZZ_CHECK(items.empty(), "items of the empty text");
    return;
  }
  std::string joined;
  for (std::size_t i = 0; i < items.size(); ++i) joined += (i == 0 ? "" : std::string(separator)) + items[i];
  QW_FUZZ_CHECK(joined == text || joined + std::string(separator) == text,
                shown(text) + " split at " + shown(separator) + " joins to " + shown(joined));
}

void check_pieces(std::string_view text, long long count) {
  const std::size_t expected = count <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(count), text.size());
  const std::string left = qw::left_text(text, count);
  const std::string right = qw::right_text(text, count);
  QW_FUZZ_CHECK(left.size() == expected && text.compare(0, left.size(), left) == 0, shown(text));
  QW_FUZZ_CHECK(right.size() == expected && text.compare(text.size() - right.size(), right.size(), right) == 0, shown(text));
}

// The C library's reading of the number at the start of the text (white space, sign, digits, a
// fraction, no exponent), full-width characters taken as their ASCII forms.
double number_read_by_strtod(std::string_view raw) {
  const std::string text = qw::full_width_to_ascii(raw);
  const auto is_digit = [&](std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t end = i;
  while (is_digit(end)) ++end;
  const bool integer_digits = end > i;
  if (end < text.size() && text[end] == '.') {
    std::size_t fraction_end = end + 1;
    while (is_digit(fraction_end)) ++fraction_end;
    if (fraction_end > end + 1 || integer_digits) end = fraction_end;
  }
  const std::string number = text.substr(start, end - start);
  return number.find_first_of("0123456789") == std::string::npos ? 0 : std::strtod(number.c_str(), nullptr);
}

void check_numbers(std::string_view text, long long value) {
  const double read = qw::read_number(text);
  const double expected = number_read_by_strtod(text);
  QW_FUZZ_CHECK(read == expected,
                shown(text) + " reads " + std::to_string(read) + ", strtod " + std::to_string(expected));
  (void)qw::read_integer(text);
  if (value != LLONG_MIN) {
    QW_FUZZ_CHECK(qw::read_integer(qw::decimal_text(value)) == value, std::to_string(value));
  }
  if (value > -(1LL << 53) && value < (1LL << 53)) {
    QW_FUZZ_CHECK(qw::read_number(qw::decimal_text(value)) == static_cast<double>(value), std::to_string(value));
  }
}

// The form encoding with room to spare.
std::string percent_encoded(std::string_view source) {
  if (source.empty()) return {};
  std::vector<char> buffer(3 * source.size() + 2);
  const int written = qw::percent_encode(source.data(), static_cast<int>(source.size()), buffer.data(),
                                         static_cast<int>(buffer.size() - 1));
  return std::string(buffer.data(), static_cast<std::size_t>(written));
}

std::string base64_decoded(std::string_view encoded) {
  static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::uint32_t bits = 0;
  int bit_count = 0;
  for (const char c : encoded) {
    if (c == '=') break;
    const std::size_t value = kAlphabet.find(c);
    if (value == std::string_view::npos) return "<not base64>";
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    bit_count += 6;
    if (bit_count >= 8) {
      bit_count -= 8;
      out.push_back(static_cast<char>((bits >> bit_count) & 0xFF));
    }
  }
  return out;
}

void check_encodings(std::string_view bytes, int capacity) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::string base64 = qw::base64_encode(data, bytes.size());
  QW_FUZZ_CHECK(base64.size() == 4 * ((bytes.size() + 2) / 3) && base64_decoded(base64) == bytes, shown(base64));

  const std::string whole = percent_encoded(bytes);
  QW_FUZZ_CHECK(whole.size() >= bytes.size() && whole.size() <= 3 * bytes.size(), shown(whole));
  std::string undone(bytes);
  std::replace(undone.begin(), undone.end(), ' ', '+');
  undone.erase(std::remove(undone.begin(), undone.end(), '\0'), undone.end());
  QW_FUZZ_CHECK(qw::decode_answer(whole, false) == undone, shown(whole));
  (void)qw::decode_answer(bytes, true);

  // A buffer of exactly capacity + 1 bytes: AddressSanitizer reports any write past it.
  std::vector<char> buffer(static_cast<std::size_t>(std::max(capacity, 0)) + 1, '#');
  const int written = qw::percent_encode(bytes.data(), static_cast<int>(bytes.size()), buffer.data(), capacity);
  const std::string detail = "capacity " + std::to_string(capacity) + " wrote " + std::to_string(written) + " of " + shown(whole);
  QW_FUZZ_CHECK(written >= 0 && written <= std::max(capacity, 0), detail);
  QW_FUZZ_CHECK(whole.compare(0, static_cast<std::size_t>(written), buffer.data(), static_cast<std::size_t>(written)) == 0, detail);
  if (written > 0) QW_FUZZ_CHECK(buffer[static_cast<std::size_t>(written)] == '\0', detail);
  QW_FUZZ_CHECK(written == 0 || written == static_cast<int>(whole.size()) || written == capacity, detail);
  if (capacity > 0 && whole.size() < static_cast<std::size_t>(capacity)) {
    QW_FUZZ_CHECK(written == static_cast<int>(whole.size()), detail);
  }

  // The one-pass form body against the two steps it replaces, in a form buffer of that capacity.
  const std::string form_text = percent_encoded(base64);
  const std::size_t body_capacity = static_cast<std::size_t>(std::max(capacity, 0)) * 4;
  const auto body = qw::image_form_body(data, bytes.size(), body_capacity);
  QW_FUZZ_CHECK(body.has_value() == (form_text.size() < body_capacity),
                "capacity " + std::to_string(body_capacity) + " form text " + std::to_string(form_text.size()));
  if (body) QW_FUZZ_CHECK(*body == "image=" + form_text, shown(*body) + "\n" + shown(form_text));
  const auto roomy = qw::image_form_body(data, bytes.size());
  QW_FUZZ_CHECK(roomy && *roomy == "image=" + form_text, shown(form_text));
}

// The double-byte GBK characters that the code page holds (the others convert to "?").
const std::array<bool, 65536>& gbk_pairs_held() {
  static const auto table = [] {
    std::array<bool, 65536> held{};
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
        const std::u16string wide = qw::to_utf16(pair, qw::kCodePageGbk);
        held[static_cast<std::size_t>(lead << 8 | trail)] = wide.size() == 1 && wide[0] != u'?' && wide[0] != 0xFFFD;
      }
    }
    return held;
  }();
  return table;
}

// The input's valid GBK characters, in order.
std::string valid_gbk(std::string_view bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      text += static_cast<char>(byte);
    } else if (i + 1 < bytes.size() && gbk_pairs_held()[static_cast<std::size_t>(byte << 8 | static_cast<unsigned char>(bytes[i + 1]))]) {
      text += bytes.substr(i, 2);
      ++i;
    }
  }
  return text;
}

void check_code_pages(std::string_view bytes) {
  bytes = bytes.substr(0, kMaxConvertedBytes);
  const std::string gbk = valid_gbk(bytes);
  const std::u16string wide = qw::to_utf16(gbk, qw::kCodePageGbk);
  QW_FUZZ_CHECK(qw::from_utf16(wide, qw::kCodePageGbk) == gbk, "GBK via UTF-16: " + shown(gbk));
  const std::string utf8 = qw::gbk_to_utf8(gbk);
  QW_FUZZ_CHECK(qw::utf8_to_gbk(utf8) == gbk, "GBK via UTF-8: " + shown(gbk) + "\nUTF-8 " + shown(utf8));
  QW_FUZZ_CHECK(qw::to_utf16(utf8, qw::kCodePageUtf8) == wide, "UTF-8 of " + shown(gbk));

  // Whatever goes in, what comes out is text of its code page, which converts back unchanged.
  const std::string any_gbk = qw::from_utf16(qw::to_utf16(bytes, qw::kCodePageGbk), qw::kCodePageGbk);
  QW_FUZZ_CHECK(qw::from_utf16(qw::to_utf16(any_gbk, qw::kCodePageGbk), qw::kCodePageGbk) == any_gbk, shown(bytes));
  const std::string any_utf8 = qw::from_utf16(qw::to_utf16(bytes, qw::kCodePageUtf8), qw::kCodePageUtf8);
  QW_FUZZ_CHECK(qw::from_utf16(qw::to_utf16(any_utf8, qw::kCodePageUtf8), qw::kCodePageUtf8) == any_utf8, shown(bytes));

  std::u16string units(bytes.size() / 2, u'\0');
  std::memcpy(units.data(), bytes.data(), units.size() * 2);
  for (const int code_page : {qw::kCodePageGbk, qw::kCodePageUtf8}) {
    const std::string text = qw::from_utf16(units, code_page);
    QW_FUZZ_CHECK(qw::from_utf16(qw::to_utf16(text, code_page), code_page) == text, "code page " + std::to_string(code_page) + " " + shown(text));
    (void)qw::text_to_wide(text, code_page, true);
    (void)qw::wide_to_text(units, code_page, false);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view whole(reinterpret_cast<const char*>(data), size);
  FuzzInput input(data, size);
  const std::string_view text = input.text();
  const std::string_view needle = input.text();
  const std::string_view replacement = input.text();
  const std::string_view separator = input.text();
  const std::uint8_t choice = input.byte();
  const bool ignore_case = (choice & 1) != 0;
  const int start = static_cast<std::int8_t>(input.byte());
  long long number = 0;
  std::memcpy(&number, input.rest().data(), std::min(input.rest().size(), sizeof number));

  check_search(text, needle, start, ignore_case);
  check_search(text, needle, 1, !ignore_case);
  check_replace(text, needle, replacement, ignore_case);
  check_spaces_and_case(text);
  check_split(text, separator);
  check_split(text, needle);
  check_pieces(text, start);
  check_pieces(text, static_cast<long long>(text.size()) - start);
  check_numbers(text, number);

  check_encodings(whole, choice >> 1);
  check_code_pages(whole);
  return 0;
}
