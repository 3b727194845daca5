// Makes the Wine prefix trust the local test server's CA: imports <build>/test-server/ca.pem (or
// the file named on the command line) into the current user's Root store. Run by the
// "test_server_trust" ctest fixture, inside the test prefix only; the machine's own trust is never
// touched. Importing again replaces the entry, so repeated runs are harmless.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/paths.h"

namespace {

struct StoreCloser {
  HCERTSTORE store;
  ~StoreCloser() {
    if (store != nullptr) CertCloseStore(store, 0);
  }
};

std::string read_text(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path ca_file =
      argc > 1 ? std::filesystem::path(argv[1]) : qw::program_directory().parent_path() / "test-server" / "ca.pem";
  const std::string pem = read_text(ca_file);
  DWORD der_size = 0;
  if (pem.empty() || !CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &der_size, nullptr,
                                           nullptr)) {
    std::fprintf(stderr, "cannot read a PEM certificate from %s\n", ca_file.string().c_str());
    return 1;
  }
  std::vector<BYTE> der(der_size);
  CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &der_size, nullptr, nullptr);

  const StoreCloser root{CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root")};
  if (root.store == nullptr) {
    std::fprintf(stderr, "cannot open the Root store (error %lu)\n", GetLastError());
    return 1;
  }
  if (!CertAddEncodedCertificateToStore(root.store, X509_ASN_ENCODING, der.data(), der_size,
                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
    std::fprintf(stderr, "cannot add the test CA (error %lu)\n", GetLastError());
    return 1;
  }
  std::printf("the test CA from %s is trusted in this prefix\n", ca_file.string().c_str());
  return 0;
}
