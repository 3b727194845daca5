#include "common/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <string>

namespace qw {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

std::string iconv_name(int code_page) { return code_page == kCodePageGbk ? "CP936" : "CP" + std::to_string(code_page); }

class Iconv {
 public:
  Iconv(const std::string& to, const std::string& from) : handle_(iconv_open(to.c_str(), from.c_str())) {}
  ~Iconv() {
    if (valid()) iconv_close(handle_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  // Converts as much as it can; returns false at a sequence it cannot convert (or at the end).
  bool convert(const char*& in, std::size_t& in_left, std::string& out) {
    char buffer[4096];
    while (in_left > 0) {
      char* out_ptr = buffer;
      std::size_t out_left = sizeof buffer;
      const std::size_t result = iconv(handle_, const_cast<char**>(&in), &in_left, &out_ptr, &out_left);
      out.append(buffer, static_cast<std::size_t>(out_ptr - buffer));
      if (result == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
  }

 private:
  iconv_t handle_;
};

void append_utf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

void append_utf16(std::u16string& out, char32_t code) {
  if (code < 0x10000) {
    out.push_back(static_cast<char16_t>(code));
  } else {
    code -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
  }
}

// UTF-8 decoding as Windows does it: each maximal malformed subsequence becomes U+FFFD;
// overlong forms, surrogates and values past U+10FFFF are malformed.
std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
      out.push_back(b0);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t code = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) { extra = 1; code = b0 & 0x1F; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) {
      extra = 2; code = b0 & 0x0F;
      if (b0 == 0xE0) low = 0xA0;
      if (b0 == 0xED) high = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      extra = 3; code = b0 & 0x07;
      if (b0 == 0xF0) low = 0x90;
      if (b0 == 0xF4) high = 0x8F;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= text.size()) { ok = false; break; }
      const auto b = static_cast<unsigned char>(text[j]);
      const unsigned char lo = k == 0 ? low : 0x80, hi = k == 0 ? high : 0xBF;
      if (b < lo || b > hi) { ok = false; break; }
      code = (code << 6) | (b & 0x3F);
    }
    if (!ok) {
      out.push_back(kReplacement);
      i = j;  // the valid prefix is consumed as one malformed sequence
      continue;
    }
    append_utf16(out, code);
    i = j;
  }
  return out;
}

std::string utf16_to_utf8(std::u16string_view wide) {
  std::string out;
  out.reserve(wide.size() * 3);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t code = wide[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kReplacement;
    }
    append_utf8(out, code);
  }
  return out;
}

std::u16string multibyte_to_utf16(std::string_view text, int code_page) {
  Iconv converter("UTF-16LE", iconv_name(code_page));
  if (!converter.valid()) return {};
  std::u16string out;
  std::string bytes;
  const char* in = text.data();
  std::size_t in_left = text.size();
  auto flush = [&] {
    for (std::size_t k = 0; k + 1 < bytes.size(); k += 2) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[k]) |
                                          (static_cast<unsigned char>(bytes[k + 1]) << 8)));
    }
    bytes.clear();
  };
  while (!converter.convert(in, in_left, bytes)) {
    // A byte that is no character of the code page becomes "?", as the Windows conversion gives it.
    flush();
    out.push_back(u'?');
    ++in;
    --in_left;
  }
  flush();
  return out;
}

std::string utf16_to_multibyte(std::u16string_view wide, int code_page) {
  Iconv converter(iconv_name(code_page), "UTF-16LE");
  if (!converter.valid()) return {};
  std::string out;
  for (const char16_t unit : wide) {
    // One code unit at a time, so that each one the code page lacks becomes one "?", as
    // WideCharToMultiByte does (code page 936 has nothing outside the BMP: a surrogate pair gives "??").
    const char bytes[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    const char* in = bytes;
    std::size_t in_left = 2;
    const std::size_t before = out.size();
    if (!converter.convert(in, in_left, out)) {
      out.resize(before);
      out.push_back('?');
    }
  }
  return out;
}

}  // namespace

std::u16string to_utf16(std::string_view text, int code_page) {
  if (text.empty()) return {};
  return code_page == kCodePageUtf8 ? utf8_to_utf16(text) : multibyte_to_utf16(text, code_page);
}

std::string from_utf16(std::u16string_view wide, int code_page) {
  if (wide.empty()) return {};
  return code_page == kCodePageUtf8 ? utf16_to_utf8(wide) : utf16_to_multibyte(wide, code_page);
}

}  // namespace qw
