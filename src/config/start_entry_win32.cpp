#include <windows.h>

#include <string>

#include "config/start_entry.h"

namespace qw::config {
namespace {

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY* receive() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

bool write_start_entry(const std::filesystem::path& executable) {
  RegistryKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_WRITE, key.receive()) != ERROR_SUCCESS &&
      RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, key.receive(), nullptr) !=
          ERROR_SUCCESS) {
    return false;
  }
  const std::wstring data = executable.wstring();
  const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key.get(), kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes) ==
         ERROR_SUCCESS;
}

bool delete_start_entry() {
  RegistryKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_WRITE, key.receive()) != ERROR_SUCCESS) return false;
  const LONG result = RegDeleteValueW(key.get(), kRunValueName);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool start_entry_exists() {
  RegistryKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return false;
  return RegQueryValueExW(key.get(), kRunValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace qw::config
