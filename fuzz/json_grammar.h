// An independent judge of JSON texts for the document fuzz target: does the text follow the JSON
// grammar (RFC 8259), and what about it would a reader still refuse (nesting, numbers beyond a
// double, escapes that name half a surrogate pair)?
#pragma once

#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

namespace qw::fuzz {

struct JsonVerdict {
  bool grammatical = false;
  bool is_null = false;           // the whole text is the value null
  bool too_deep = false;          // nested deeper than the limit given
  bool number_overflows = false;  // some number is beyond the range of a double
  bool lone_surrogate = false;    // some \u escape is half a surrogate pair
};

class JsonGrammar {
 public:
  JsonGrammar(std::string_view text, int depth_limit) : text_(text), depth_limit_(depth_limit) {}

  JsonVerdict judge() {
    skip_space();
    const std::size_t start = at_;
    bool ok = value();
    if (ok) verdict_.is_null = text_.substr(start, at_ - start) == "null";
    skip_space();
    verdict_.grammatical = ok && at_ == text_.size();
    return verdict_;
  }

 private:
  bool value() {
    if (at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '{': return container('}');
      case '[': return container(']');
      case '"': return string();
      case 't': return word("true");
      case 'f': return word("false");
      case 'n': return word("null");
      default: return number();
    }
  }

  // An object (members "name": value) or an array, both comma-separated.
  bool container(char close) {
    ++at_;
    if (++depth_ > depth_limit_) {
      verdict_.too_deep = true;
      return false;  // refused whatever follows, so there is no need to read on
    }
    skip_space();
    if (peek(close)) {
      ++at_;
      --depth_;
      return true;
    }
    for (;;) {
      if (close == '}') {
        if (!peek('"') || !string()) return false;
        skip_space();
        if (!peek(':')) return false;
        ++at_;
        skip_space();
      }
      if (!value()) return false;
      skip_space();
      if (peek(close)) {
        ++at_;
        --depth_;
        return true;
      }
      if (!peek(',')) return false;
      ++at_;
      skip_space();
    }
  }

  bool string() {
    ++at_;
    bool after_high_surrogate = false;
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') {
        if (after_high_surrogate) verdict_.lone_surrogate = true;
        return true;
      }
      if (c < 0x20) return false;
      if (c != '\\') {
        if (after_high_surrogate) verdict_.lone_surrogate = true;
        after_high_surrogate = false;
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char escape = text_[at_++];
      if (escape != 'u') {
        if (std::string_view("\"\\/bfnrt").find(escape) == std::string_view::npos) return false;
        if (after_high_surrogate) verdict_.lone_surrogate = true;
        after_high_surrogate = false;
        continue;
      }
      unsigned code = 0;
      for (int k = 0; k < 4; ++k) {
        if (at_ >= text_.size()) return false;
        const char h = text_[at_++];
        const int digit = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
        if (digit < 0) return false;
        code = code * 16 + static_cast<unsigned>(digit);
      }
      const bool high = code >= 0xD800 && code <= 0xDBFF, low = code >= 0xDC00 && code <= 0xDFFF;
      if (after_high_surrogate ? !low : low) verdict_.lone_surrogate = true;
      after_high_surrogate = !after_high_surrogate && high;
    }
    return false;
  }

  bool word(std::string_view expected) {
    if (text_.substr(at_, expected.size()) != expected) return false;
    at_ += expected.size();
    return true;
  }

  bool number() {
    const std::size_t start = at_;
    if (peek('-')) ++at_;
    if (peek('0')) {
      ++at_;
    } else if (!digits()) {
      return false;
    }
    if (peek('.')) {
      ++at_;
      if (!digits()) return false;
    }
    if (peek('e') || peek('E')) {
      ++at_;
      if (peek('+') || peek('-')) ++at_;
      if (!digits()) return false;
    }
    const std::string token(text_.substr(start, at_ - start));
    if (std::isinf(std::strtod(token.c_str(), nullptr))) verdict_.number_overflows = true;
    return true;
  }

  bool digits() {
    const std::size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > start;
  }

  bool peek(char c) const { return at_ < text_.size() && text_[at_] == c; }

  void skip_space() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) ++at_;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  int depth_ = 0;
  int depth_limit_;
  JsonVerdict verdict_;
};

}  // namespace qw::fuzz
