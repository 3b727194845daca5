// The platform's credentials: key pairs exchanged for access tokens, and the check of the token
// that every recognition request carries.
//
// A token the service issues is signed with a key kept in its data folder, so tokens stay valid
// across restarts (the program stores its token in 配置.ini for a month) without a token list.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qw {

struct KeyPair {
  std::string api_key;
  std::string secret_key;
};

// The program's own built-in pair and token, accepted by default so that it works out of the box.
inline constexpr std::string_view kBuiltInApiKey = "Qe7rTb2WkLpZ8sHd4MnYc3Fa";
inline constexpr std::string_view kBuiltInSecretKey = "Wq4eRz8uNm2kJd7sLa9fGh3pXc6vBn1T";
inline constexpr std::string_view kBuiltInAccessToken =
    "25.c7e1d0f4a9b3c8e2d6f1a0b5c4e7d913.1728017.1609871234.731864-20231507";

inline constexpr long kTokenLifetimeSeconds = 2592000;  // 30 days, as the platform gives

// Key pairs from a text file, one pair a line: API Key and Secret Key separated by blanks; blank
// lines and lines starting with "#" are skipped. Nothing when the file cannot be read.
std::optional<std::vector<KeyPair>> read_key_pairs(const std::string& file_text);

enum class TokenCheck { valid, unknown, expired };
enum class KeyCheck { accepted, unknown_client, wrong_secret };

class TokenIssuer {
 public:
  // `signing_key`: secret bytes of at least 16; `fixed_tokens`: accepted forever, as they stand.
  TokenIssuer(std::vector<KeyPair> accepted_pairs, std::string signing_key, std::vector<std::string> fixed_tokens);

  KeyCheck check_keys(std::string_view api_key, std::string_view secret_key) const;
  // A new token for an accepted pair (check_keys first), valid from `now` for the token lifetime.
  std::string issue(std::string_view api_key, std::time_t now) const;
  TokenCheck check_token(std::string_view token, std::time_t now) const;

 private:
  std::string signature(std::string_view payload) const;

  std::vector<KeyPair> accepted_pairs_;
  std::string signing_key_;
  std::vector<std::string> fixed_tokens_;
};

}  // namespace qw
