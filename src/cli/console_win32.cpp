#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "cli/console.h"
#include "common/codepage.h"

namespace qw::cli {
namespace {

HANDLE handle_of(Stream stream) { return GetStdHandle(stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE); }

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

void write_bytes(HANDLE handle, std::string_view bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 20));
    if (!WriteFile(handle, bytes.data() + written, chunk, &n, nullptr) || n == 0) return;
    written += n;
  }
}

}  // namespace

void prepare_console() {
  // We write through the handles ourselves; binary mode keeps the C runtime from doubling "\r".
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void write_text(Stream stream, std::string_view gbk, bool raw) {
  const HANDLE handle = handle_of(stream);
  if (!raw && is_console(handle)) {
    // A console shows wide text right whatever its code page.
    const std::u16string wide = to_utf16(gbk, kCodePageGbk);
    DWORD n = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &n, nullptr);
    return;
  }
  write_bytes(handle, raw ? std::string(gbk) : gbk_to_utf8(gbk));
}

std::vector<std::string> utf8_arguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) {
    const std::wstring_view argument(wide[i]);
    arguments.push_back(from_utf16(std::u16string(argument.begin(), argument.end()), kCodePageUtf8));
  }
  LocalFree(wide);
  return arguments;
}

}  // namespace qw::cli
