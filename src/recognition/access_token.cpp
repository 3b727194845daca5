#include "recognition/access_token.h"

#include "config/config_keys.h"
#include "recognition/platform_answer.h"
#include "recognition/service_endpoints.h"
#include "web/web_request.h"

namespace qw {

bool save_keys_and_token(const RecognitionContext& context, TokenFetchState& state, const std::string& api_key,
                         const std::string& secret_key) {
  WebRequestOptions request;
  request.method = 1;
  request.body_text = "grant_type=client_credentials&client_id=" + api_key + "&client_secret=" + secret_key;
  const Bytes reply = web_request(service::api_url(context.program_directory, service::kTokenPath), std::move(request));
  state.answer_text = bytes_to_text(reply);
  // JSON is UTF-8: a Chinese error description reads right only once converted.
  state.answer.parse(platform_answer_text(reply));

  if (state.answer.get_count("access_token") == 1) {
    const std::string token = state.answer.get_text("access_token");
    config::write_key(context.program_directory, config::kApiKey, api_key);
    config::write_key(context.program_directory, config::kSecretKey, secret_key);
    config::write_key(context.program_directory, config::kAccessToken, token);
    context.display.show_message(kDefaultMessageTitle, kSavedMessage);
    return true;
  }
  context.display.show_message(kErrorTitle,
                               state.answer.get_text("error") + "\r\n" + state.answer.get_text("error_description"));
  return false;
}

KeyPair restore_builtin_keys() { return {service::kBuiltinApiKey, service::kBuiltinSecretKey}; }

void open_key_help_page(Display& display) { display.open_address(service::documentation_url(kKeyHelpPath)); }

}  // namespace qw
