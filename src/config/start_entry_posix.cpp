#include "config/start_entry.h"

namespace qw::config {

// Only the Windows program starts with the user's session; elsewhere there is no entry to keep.
bool write_start_entry(const std::filesystem::path&) { return false; }
bool delete_start_entry() { return false; }
bool start_entry_exists() { return false; }

}  // namespace qw::config
