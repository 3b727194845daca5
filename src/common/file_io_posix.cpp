#include "common/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace qw {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

std::optional<Bytes> try_read_file(const std::filesystem::path& file) {
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  Bytes bytes;
  std::uint8_t buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  return bytes;
}

namespace detail {

bool write_new_file_durably(const std::filesystem::path& file, std::string_view content) {
  FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (fd.get() < 0) return false;
  std::size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = ::write(fd.get(), content.data() + written, content.size() - written);
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return ::fsync(fd.get()) == 0 && fd.close();
}

bool rename_over(const std::filesystem::path& from, const std::filesystem::path& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

int process_id() { return static_cast<int>(::getpid()); }

}  // namespace detail
}  // namespace qw
