// qingwu-ocr-cli: the recognition flows of the window program, driven from the command line.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/console_display.h"
#include "common/codepage.h"
#include "common/file_io.h"
#include "common/paths.h"
#include "recognition/access_token.h"
#include "recognition/batch_recognition.h"
#include "recognition/picture_recognition.h"
#include "recognition/process_state.h"
#include "recognition/sogou_recognition.h"
#include "recognition/table_recognition.h"

namespace qw::cli {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailureReport = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "usage:\n"
    "  qingwu-ocr-cli [--config-dir DIR] [--raw] [--accurate | --table | --sogou] PICTURE\n"
    "  qingwu-ocr-cli [--config-dir DIR] [--raw] --batch FOLDER [--concurrency N] [--retries R]\n"
    "  qingwu-ocr-cli [--config-dir DIR] [--raw] --token API_KEY SECRET_KEY\n"
    "\n"
    "  --config-dir DIR  the folder of 配置.ini and 1.xls (default: the executable's folder)\n"
    "  --raw             print GBK bytes instead of UTF-8\n"
    "  --accurate        high-accuracy recognition instead of general recognition\n"
    "  --table           table recognition to 1.xls\n"
    "  --sogou           the second recognition provider\n"
    "  --batch FOLDER    recognise every *.jpg, *.png and *.bmp of FOLDER into text files beside them\n"
    "  --concurrency N   batch workers at once (default 3, at most 10)\n"
    "  --retries R       batch attempts per picture (default 5, at most 10)\n"
    "  --token K S       exchange an API Key and Secret Key for an access token and store them\n"
    "\n"
    "Events go to stderr, one line each; the recognised text goes to stdout.\n"
    "Exit code: 0 success, 1 the service refused or failed, 2 usage error.\n";

enum class Mode { general, accurate, table, sogou, batch, token };

struct Options {
  Mode mode = Mode::general;
  bool raw = false;
  std::optional<std::filesystem::path> config_dir;
  std::filesystem::path target;  // the picture or the batch folder
  std::string api_key, secret_key;
  std::string concurrency = "3", retries = "5";
};

// Nothing when the arguments are not one of the usages.
std::optional<Options> parse_arguments(const std::vector<std::string>& arguments) {
  Options options;
  std::vector<std::string> positional;
  int modes = 0;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= arguments.size()) return std::nullopt;
      return arguments[++i];
    };
    if (argument == "--raw") {
      options.raw = true;
    } else if (argument == "--config-dir") {
      const auto dir = value();
      if (!dir) return std::nullopt;
      options.config_dir = std::filesystem::u8path(*dir);
    } else if (argument == "--accurate" || argument == "--table" || argument == "--sogou") {
      options.mode = argument == "--accurate" ? Mode::accurate : argument == "--table" ? Mode::table : Mode::sogou;
      ++modes;
    } else if (argument == "--batch") {
      const auto folder = value();
      if (!folder) return std::nullopt;
      options.mode = Mode::batch;
      options.target = std::filesystem::u8path(*folder);
      ++modes;
    } else if (argument == "--token") {
      options.mode = Mode::token;
      ++modes;
    } else if (argument == "--concurrency" || argument == "--retries") {
      const auto number = value();
      if (!number) return std::nullopt;
      (argument == "--concurrency" ? options.concurrency : options.retries) = limited_to_ten(utf8_to_gbk(*number));
    } else if (argument.size() > 1 && argument[0] == '-' && argument != "-") {
      return std::nullopt;
    } else {
      positional.push_back(argument);
    }
  }
  if (modes > 1) return std::nullopt;
  switch (options.mode) {
    case Mode::token:
      if (positional.size() != 2) return std::nullopt;
      options.api_key = utf8_to_gbk(positional[0]);
      options.secret_key = utf8_to_gbk(positional[1]);
      return options;
    case Mode::batch:
      return positional.empty() ? std::optional(options) : std::nullopt;
    default:
      if (positional.size() != 1) return std::nullopt;
      options.target = std::filesystem::u8path(positional[0]);
      return options;
  }
}

int usage_error(const std::string& why) {
  write_text(Stream::err, why + "\n" + kUsage, false);
  return kExitUsage;
}

void report_error(const Options& options, const std::string& text) {
  write_text(Stream::err, "error: " + text + "\n", options.raw);
}

// Runs the flow the options ask for; true when it ended in its success report.
bool run_flow(const Options& options, const RecognitionContext& context, ProcessState& state) {
  const auto picture = state.shared_picture.snapshot();
  switch (options.mode) {
    case Mode::general:
    case Mode::accurate:
      return recognize_picture(context, *picture, state.high_accuracy);
    case Mode::table:
      return recognize_table(context, *picture);
    case Mode::sogou:
      return recognize_picture_sogou(context, *picture);
    case Mode::token:
      return save_keys_and_token(context, state.token, options.api_key, options.secret_key);
    case Mode::batch:
      recognize_folder(context, state.batch);
      wait_for_batch_workers(state.batch);
      return true;
  }
  return false;
}

int run(const Options& options) {
  ProcessState state;
  state.high_accuracy = options.mode == Mode::accurate;
  const bool takes_picture = options.mode != Mode::token && options.mode != Mode::batch;
  if (takes_picture) {
    auto bytes = try_read_file(options.target);
    if (!bytes) {
      report_error(options, "cannot read " + text_from_path(options.target));
      return kExitFailureReport;
    }
    state.shared_picture.set(std::move(*bytes));
  }
  if (options.mode == Mode::batch && !std::filesystem::is_directory(options.target)) {
    report_error(options, "no such folder: " + text_from_path(options.target));
    return kExitFailureReport;
  }

  ConsoleDisplay::Settings settings;
  settings.raw = options.raw;
  settings.concurrency_text = options.concurrency;
  settings.retries_text = options.retries;
  if (options.mode == Mode::batch) settings.folder = options.target;
  ConsoleDisplay display(settings);
  const RecognitionContext context{display, options.config_dir.value_or(program_directory())};
  const bool succeeded = run_flow(options, context, state);
  write_text(Stream::out, display.result_text(), options.raw);
  return succeeded ? kExitSuccess : kExitFailureReport;
}

}  // namespace
}  // namespace qw::cli

int main(int argc, char** argv) {
  qw::cli::prepare_console();
  const auto options = qw::cli::parse_arguments(qw::cli::utf8_arguments(argc, argv));
  if (!options) return qw::cli::usage_error("error: unexpected arguments");
  return qw::cli::run(*options);
}
