// The settings window's key buttons: exchanging an API Key and Secret Key for an access token,
// restoring the built-in pair, and the page that explains where keys come from.
#pragma once

#include <string>

#include "json/json_document.h"
#include "recognition/recognition_context.h"

namespace qw {

// The last token answer, kept from one fetch to the next (used on the UI thread only).
struct TokenFetchState {
  std::string answer_text;
  JsonDocument answer;
};

// Asks the token endpoint for a token for the typed keys (sent as typed). On an answer holding
// `access_token`, stores API Key, Secret Key and access_token in 配置.ini, in that order, and shows
// "保存成功"; otherwise stores nothing and shows the service's error in a box titled "错误".
// Returns true when the keys were stored.
bool save_keys_and_token(const RecognitionContext& context, TokenFetchState& state, const std::string& api_key,
                         const std::string& secret_key);

struct KeyPair {
  std::string api_key;
  std::string secret_key;
};
// The built-in pair for the two key boxes; nothing is stored until the user saves.
KeyPair restore_builtin_keys();

// Opens the platform's page on keys and tokens in the user's browser.
void open_key_help_page(Display& display);

inline constexpr char kKeyHelpPath[] = "/docs#/Auth/top";
inline constexpr char kSavedMessage[] = "保存成功";
inline constexpr char kErrorTitle[] = "错误";

}  // namespace qw
