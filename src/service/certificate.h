// The service's TLS certificate: made on first start and kept in the data folder, so a client
// that trusts it once keeps trusting it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qw {

struct CertificateFiles {
  std::filesystem::path certificate;  // PEM, the file a client trusts (SSL_CERT_FILE)
  std::filesystem::path private_key;  // PEM, readable by the owner only
};

// The pair in `folder`, made there first when either file is missing. A self-signed certificate
// that may also act as its own authority (some clients accept only authorities as trust anchors),
// for the names localhost and 127.0.0.1. Nothing when it cannot be made; `error` then says why.
std::optional<CertificateFiles> ensure_certificate(const std::filesystem::path& folder, std::string* error);

// A secret of `size` random bytes kept in `file` (made on first use, owner-only).
std::optional<std::string> ensure_secret_file(const std::filesystem::path& file, std::size_t size, std::string* error);

}  // namespace qw
