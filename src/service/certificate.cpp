#include "service/certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <functional>
#include <memory>

#include "common/file_io.h"

namespace qw {
namespace {

struct KeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateDeleter {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct BioDeleter {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct ExtensionDeleter {
  void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};

constexpr long kValiditySeconds = 10L * 365 * 24 * 3600;

bool add_extension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  std::unique_ptr<X509_EXTENSION, ExtensionDeleter> extension(
      X509V3_EXT_conf_nid(nullptr, &context, nid, value));
  return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

std::string pem_text(const std::function<int(BIO*)>& write) {
  std::unique_ptr<BIO, BioDeleter> bio(BIO_new(BIO_s_mem()));
  if (!bio || write(bio.get()) != 1) return {};
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

// Written beside its final name and renamed, so a crash never leaves half a key; owner-only from
// the first byte, as a key must never be readable by others even for a moment.
bool write_private_file(const std::filesystem::path& file, const std::string& content) {
  const mode_t previous = umask(077);
  const bool written = replace_file_atomically(file, content);
  umask(previous);
  if (written) chmod(file.c_str(), 0600);
  return written;
}

bool make_certificate(const CertificateFiles& files, std::string* error) {
  std::unique_ptr<EVP_PKEY, KeyDeleter> key(EVP_RSA_gen(2048));
  std::unique_ptr<X509, CertificateDeleter> certificate(X509_new());
  if (!key || !certificate) {
    if (error) *error = "could not make a key for the certificate";
    return false;
  }
  X509* cert = certificate.get();
  X509_set_version(cert, 2);
  unsigned char serial[16];
  RAND_bytes(serial, sizeof serial);
  serial[0] &= 0x7F;  // a positive number
  BIGNUM* serial_number = BN_bin2bn(serial, sizeof serial, nullptr);
  BN_to_ASN1_INTEGER(serial_number, X509_get_serialNumber(cert));
  BN_free(serial_number);
  X509_gmtime_adj(X509_getm_notBefore(cert), -24 * 3600);  // a clock a little behind still accepts it
  X509_gmtime_adj(X509_getm_notAfter(cert), kValiditySeconds);
  X509_set_pubkey(cert, key.get());
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("qingwu-ocr-service on localhost"),
                             -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("qingwu-ocr local service"), -1, -1, 0);
  X509_set_issuer_name(cert, name);
  const bool extended = add_extension(cert, NID_basic_constraints, "critical,CA:TRUE") &&
                        add_extension(cert, NID_key_usage, "critical,digitalSignature,keyEncipherment,keyCertSign") &&
                        add_extension(cert, NID_ext_key_usage, "serverAuth") &&
                        add_extension(cert, NID_subject_key_identifier, "hash") &&
                        add_extension(cert, NID_subject_alt_name, "DNS:localhost,DNS:127.0.0.1,IP:127.0.0.1,IP:::1");
  if (!extended || X509_sign(cert, key.get(), EVP_sha256()) == 0) {
    if (error) *error = "could not sign the certificate";
    return false;
  }
  const std::string key_pem =
      pem_text([&](BIO* bio) { return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr); });
  const std::string certificate_pem = pem_text([&](BIO* bio) { return PEM_write_bio_X509(bio, cert); });
  // The key first: a certificate without its key would be taken as complete on the next start.
  if (key_pem.empty() || certificate_pem.empty() || !write_private_file(files.private_key, key_pem) ||
      !replace_file_atomically(files.certificate, certificate_pem)) {
    if (error) *error = "could not write the certificate into " + files.certificate.parent_path().string();
    return false;
  }
  return true;
}

}  // namespace

std::optional<CertificateFiles> ensure_certificate(const std::filesystem::path& folder, std::string* error) {
  CertificateFiles files{folder / "service-cert.pem", folder / "service-key.pem"};
  std::error_code ignored;
  if (std::filesystem::is_regular_file(files.certificate, ignored) &&
      std::filesystem::is_regular_file(files.private_key, ignored)) {
    return files;
  }
  if (!make_certificate(files, error)) return std::nullopt;
  return files;
}

std::optional<std::string> ensure_secret_file(const std::filesystem::path& file, std::size_t size, std::string* error) {
  if (const auto existing = try_read_file(file); existing && existing->size() >= size) {
    return std::string(existing->begin(), existing->end());
  }
  std::string secret(size, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(secret.data()), static_cast<int>(size)) != 1 ||
      !write_private_file(file, secret)) {
    if (error) *error = "could not write " + file.string();
    return std::nullopt;
  }
  return secret;
}

}  // namespace qw
