#include "service/access_tokens.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <cstdio>
#include <sstream>

namespace qw {
namespace {

constexpr std::string_view kTokenPrefix = "24.";
constexpr std::size_t kSignatureLength = 32;  // hexadecimal digits

std::string hex_text(const unsigned char* data, std::size_t size) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += digits[data[i] >> 4];
    text += digits[data[i] & 0xF];
  }
  return text;
}

bool equal_in_constant_time(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::optional<std::vector<KeyPair>> read_key_pairs(const std::string& file_text) {
  std::vector<KeyPair> pairs;
  std::istringstream lines(file_text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    KeyPair pair;
    if (!(fields >> pair.api_key) || pair.api_key[0] == '#') continue;
    if (!(fields >> pair.secret_key)) return std::nullopt;  // a key without its secret is a typo
    pairs.push_back(std::move(pair));
  }
  return pairs;
}

TokenIssuer::TokenIssuer(std::vector<KeyPair> accepted_pairs, std::string signing_key,
                         std::vector<std::string> fixed_tokens)
    : accepted_pairs_(std::move(accepted_pairs)),
      signing_key_(std::move(signing_key)),
      fixed_tokens_(std::move(fixed_tokens)) {}

KeyCheck TokenIssuer::check_keys(std::string_view api_key, std::string_view secret_key) const {
  for (const KeyPair& pair : accepted_pairs_) {
    if (pair.api_key != api_key) continue;
    return equal_in_constant_time(pair.secret_key, secret_key) ? KeyCheck::accepted : KeyCheck::wrong_secret;
  }
  return KeyCheck::unknown_client;
}

std::string TokenIssuer::signature(std::string_view payload) const {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digest_length = 0;
  HMAC(EVP_sha256(), signing_key_.data(), static_cast<int>(signing_key_.size()),
       reinterpret_cast<const unsigned char*>(payload.data()), payload.size(), digest, &digest_length);
  return hex_text(digest, kSignatureLength / 2);
}

// Shaped like the platform's tokens: "24." signature "." lifetime "." issue time "." nonce "-" client.
std::string TokenIssuer::issue(std::string_view api_key, std::time_t now) const {
  unsigned char nonce_bytes[4] = {};
  RAND_bytes(nonce_bytes, sizeof nonce_bytes);
  const unsigned long nonce =
      ((nonce_bytes[0] << 24) | (nonce_bytes[1] << 16) | (nonce_bytes[2] << 8) | nonce_bytes[3]) % 1000000UL;
  // The client part names the key pair without giving it away.
  const std::string client_digest = signature(std::string("client:") + std::string(api_key));
  const unsigned long client_number = std::stoul(client_digest.substr(0, 7), nullptr, 16) % 100000000UL;
  char payload[96];
  std::snprintf(payload, sizeof payload, "%ld.%lld.%06lu-%08lu", kTokenLifetimeSeconds, static_cast<long long>(now),
                nonce, client_number);
  return std::string(kTokenPrefix) + signature(payload) + "." + payload;
}

TokenCheck TokenIssuer::check_token(std::string_view token, std::time_t now) const {
  for (const std::string& fixed : fixed_tokens_) {
    if (equal_in_constant_time(fixed, token)) return TokenCheck::valid;
  }
  if (token.size() < kTokenPrefix.size() + kSignatureLength + 2 || token.substr(0, kTokenPrefix.size()) != kTokenPrefix ||
      token[kTokenPrefix.size() + kSignatureLength] != '.') {
    return TokenCheck::unknown;
  }
  const std::string_view given_signature = token.substr(kTokenPrefix.size(), kSignatureLength);
  const std::string_view payload = token.substr(kTokenPrefix.size() + kSignatureLength + 1);
  if (!equal_in_constant_time(signature(payload), given_signature)) return TokenCheck::unknown;
  long lifetime = 0;
  long long issued = 0;
  if (std::sscanf(std::string(payload).c_str(), "%ld.%lld.", &lifetime, &issued) != 2) return TokenCheck::unknown;
  return static_cast<long long>(now) < issued + lifetime ? TokenCheck::valid : TokenCheck::expired;
}

}  // namespace qw
