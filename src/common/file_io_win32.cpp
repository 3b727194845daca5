#include "common/file_io.h"

#include <windows.h>

#include <chrono>
#include <thread>

namespace qw {
namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::optional<Bytes> try_read_file(const std::filesystem::path& file) {
  // FILE_SHARE_DELETE lets a writer rename a new version over the file while we read it.
  FileHandle handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) return std::nullopt;
  Bytes bytes;
  std::uint8_t buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(handle.get(), buffer, sizeof buffer, &n, nullptr)) return std::nullopt;
    if (n == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  return bytes;
}

namespace detail {

bool write_new_file_durably(const std::filesystem::path& file, std::string_view content) {
  FileHandle handle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) return false;
  std::size_t written = 0;
  while (written < content.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - written, 1u << 30));
    DWORD n = 0;
    if (!WriteFile(handle.get(), content.data() + written, chunk, &n, nullptr) || n == 0) return false;
    written += n;
  }
  return FlushFileBuffers(handle.get()) && handle.close();
}

bool rename_over(const std::filesystem::path& from, const std::filesystem::path& to) {
  // Windows refuses to replace a file while any handle is open on it, even one that shares delete,
  // so a reader (ours, an editor, a virus scanner) holding it for a moment makes the rename fail.
  // Readers hold it for microseconds: try again for up to about five seconds before giving up.
  for (int attempt = 0; attempt < 2500; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(attempt < 100 ? 0 : 2));
  }
  return false;
}

int process_id() { return static_cast<int>(GetCurrentProcessId()); }

}  // namespace detail
}  // namespace qw
