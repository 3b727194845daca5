#include "json/json_document.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <optional>

#include "common/codepage.h"
#include "common/text.h"
#include "json/json_path.h"
#include "json/json_text.h"

namespace qw {

struct JsonDocument::Value {
  JsonValue json = JsonValue::object();
};

namespace {

constexpr std::string_view kDocumentName = "da";

// The chains below are what a script would write after the document's name; all are UTF-8.

// Separator rule: a path that begins with "[" indexes the value itself.
std::string chain_by_separator(std::string_view path) {
  if (path.empty()) return {};
  if (path.front() == '[') return std::string(path);
  return "." + std::string(path);
}

// Target rule: a non-empty path always follows a ".", so one that begins with "[" cannot compile.
std::string chain_by_target(std::string_view path) {
  return path.empty() ? std::string() : "." + std::string(path);
}

// Keys follow a "." even when empty, which cannot compile either.
std::string chain_of_key(std::string_view key) { return "." + std::string(key); }

std::string chain_of_element(std::string_view path, int index) {
  return chain_by_target(path) + "[" + std::to_string(index) + "]";
}

Selection select_chain(const JsonValue& root, const std::string& chain) {
  const auto path = parse_path_chain(chain);
  return path ? select_value(root, *path) : Selection{};
}

// A value text as the caller means it: plain text is a string exactly as given (no quoting rules
// apply to it), a JSON text must be one JSON value.
std::optional<JsonValue> value_from_text(std::string_view text, bool is_json) {
  if (!is_json) return JsonValue(gbk_to_utf8(text));
  return parse_json(gbk_to_utf8(text));
}

// The plain (not JSON) text of a value. Callers read only strings and numbers this way; booleans,
// objects and arrays get their JSON form so that they are at least readable.
std::string plain_text(const JsonValue& value) {
  if (value.is_string()) return value.get_ref<const std::string&>();
  if (value.is_number()) return format_number(value.get<double>());
  if (value.is_null()) return {};
  return stringify(value);
}

int type_code(const Selection& selection) {
  if (selection.kind == Selection::Kind::failed) return kJsonTypeOther;
  if (!selection.found_not_null()) return kJsonTypeNull;
  const JsonValue& value = *selection.value;
  if (value.is_number()) return kJsonTypeNumber;
  if (value.is_string()) return kJsonTypeString;
  if (value.is_object()) return kJsonTypeObject;
  if (value.is_array()) return kJsonTypeArray;
  return kJsonTypeOther;
}

// The counting loop started at -2 to cancel the two members every value inherits; a scalar
// inherits one more, and null or nothing enumerates nothing.
int member_count(const Selection& selection) {
  if (selection.kind == Selection::Kind::failed) return 0;
  if (!selection.found_not_null()) return -2;
  const JsonValue& value = *selection.value;
  if (value.is_object() || value.is_array()) {
    return static_cast<int>(std::min<std::size_t>(value.size(), INT_MAX));
  }
  return 1;
}

// The listing of names is filtered and split as text, so a member whose name holds ","
// comes back as several names and the inherited members' names never appear.
std::vector<std::string> member_names(const JsonValue& value) {
  std::string listing;
  if (value.is_object()) {
    for (const auto& member : value.items()) listing += member.key() + ",";
  } else if (value.is_array()) {
    for (std::size_t i = 0; i < value.size(); ++i) listing += std::to_string(i) + ",";
  } else {
    return {};
  }
  listing = replace_all(utf8_to_gbk(listing), "toJSONString,", "");
  listing = replace_all(listing, "parseJSON,", "");
  return split_text(listing, ",");
}

double number_of(const JsonValue& value) {
  if (value.is_number()) return value.get<double>();
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  if (value.is_string()) {
    const auto number = parse_json(value.get_ref<const std::string&>());
    if (number && number->is_number()) return number->get<double>();
  }
  return 0;
}

// Writes at the end of a key path. The steps before the last must reach a value that is not null.
void store_at_key(JsonValue& root, std::string_view key, JsonValue value) {
  const auto path = parse_path_chain(chain_of_key(gbk_to_utf8(key)));
  if (!path || path->empty()) return;
  if (JsonValue* container = find_container(root, *path)) {
    place_value(*container, path->back(), std::move(value));
  }
}

void copy_selection(JsonValue& target, const Selection& selection) {
  target = selection.found() ? *selection.value : JsonValue(nullptr);
}

// Every failure is silent: nothing may escape to a worker thread or a window procedure, and
// bad_alloc on a huge answer is just another failure.
template <typename Result, typename Operation>
Result without_throwing(Result failure, Operation&& operation) noexcept {
  try {
    return operation();
  } catch (...) {
    return failure;
  }
}

template <typename Operation>
void without_throwing(Operation&& operation) noexcept {
  try {
    operation();
  } catch (...) {
  }
}

}  // namespace

JsonDocument::JsonDocument() { initialise(); }
JsonDocument::JsonDocument(std::shared_ptr<Value> value) : value_(std::move(value)) {}
JsonDocument::~JsonDocument() = default;
JsonDocument::JsonDocument(JsonDocument&&) noexcept = default;
JsonDocument& JsonDocument::operator=(JsonDocument&&) noexcept = default;

std::string_view JsonDocument::name() const { return value_ ? kDocumentName : std::string_view(); }

void JsonDocument::destroy() { value_.reset(); }

JsonDocument JsonDocument::copy() const { return JsonDocument(value_); }

void JsonDocument::initialise() {
  value_.reset();
  without_throwing([&] { value_ = std::make_shared<Value>(); });
}

bool JsonDocument::parse(std::string_view text) {
  return without_throwing(false, [&] {
    if (!value_) return false;
    // Every parse starts from a value of its own: a copy keeps the old one.
    value_ = std::make_shared<Value>();
    value_->json = nullptr;
    auto parsed = parse_json(gbk_to_utf8(text));
    if (!parsed || parsed->is_null()) return false;
    value_->json = std::move(*parsed);
    return true;
  });
}

std::string JsonDocument::to_json() const {
  return without_throwing(std::string(), [&] {
    return value_ ? utf8_to_gbk(stringify(value_->json)) : std::string();
  });
}

void JsonDocument::set_member(std::string_view key, std::string_view value, bool is_json) {
  without_throwing([&] {
    if (!value_) return;
    auto member = value_from_text(is_json && value.empty() ? "{}" : value, is_json);
    if (member) store_at_key(value_->json, key, std::move(*member));
  });
}

void JsonDocument::set_member_json(std::string_view key, std::string_view value) {
  without_throwing([&] {
    if (!value_) return;
    if (!value.empty()) {
      if (auto member = parse_json(gbk_to_utf8(value))) store_at_key(value_->json, key, std::move(*member));
      return;
    }
    // No value at all: the member is left undefined, which JSON shows as absent from an object
    // and as null inside an array.
    const auto path = parse_path_chain(chain_of_key(gbk_to_utf8(key)));
    if (!path || path->empty()) return;
    JsonValue* container = find_container(value_->json, *path);
    if (!container) return;
    if (container->is_object()) {
      remove_child(*container, path->back());
    } else {
      place_value(*container, path->back(), nullptr);
    }
  });
}

void JsonDocument::set_member_number(std::string_view key, double number) {
  without_throwing([&] {
    if (!value_ || !std::isfinite(number)) return;
    // The number travels as its printed form, so what is stored is what get_text shows.
    const std::string text = format_number(number);
    double stored = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), stored).ec != std::errc()) return;
    store_at_key(value_->json, key, JsonValue(stored));
  });
}

double JsonDocument::get_number(std::string_view key) const {
  return without_throwing(0.0, [&] {
    if (!value_) return 0.0;
    const Selection selection = select_chain(value_->json, chain_of_key(gbk_to_utf8(key)));
    return selection.found() ? number_of(*selection.value) : 0.0;
  });
}

std::string JsonDocument::get_member_json(std::string_view key) const {
  return without_throwing(std::string(), [&] {
    if (!value_) return std::string();
    const Selection selection = select_chain(value_->json, chain_of_key(gbk_to_utf8(key)));
    return selection.found() ? utf8_to_gbk(stringify(*selection.value)) : std::string();
  });
}

std::string JsonDocument::get_text(std::string_view path, bool as_json) const {
  return without_throwing(std::string(), [&] {
    if (!value_) return std::string();
    const Selection selection = select_chain(value_->json, chain_by_separator(gbk_to_utf8(path)));
    if (!selection.found()) return std::string();
    return utf8_to_gbk(as_json ? stringify(*selection.value) : plain_text(*selection.value));
  });
}

JsonDocument JsonDocument::get_document(std::string_view path) const {
  JsonDocument document;
  without_throwing([&] {
    if (!document.value_) return;
    const Selection selection = value_ ? select_chain(value_->json, chain_by_separator(gbk_to_utf8(path)))
                                       : Selection{};
    copy_selection(document.value_->json, selection);
  });
  return document;
}

int JsonDocument::get_count(std::string_view path) const {
  return without_throwing(0, [&] {
    if (!value_) return 0;
    return member_count(select_chain(value_->json, chain_by_separator(gbk_to_utf8(path))));
  });
}

void JsonDocument::push_value(std::string_view value, std::string_view path, bool is_json) {
  without_throwing([&] {
    if (!value_) return;
    std::optional<JsonValue> element;  // an empty JSON text appends nothing
    if (!is_json || !value.empty()) {
      element = value_from_text(value, is_json);
      if (!element) return;
    }
    const auto steps = parse_path_chain(chain_by_target(gbk_to_utf8(path)));
    if (!steps) return;
    JsonValue* target = &value_->json;
    if (!steps->empty()) {
      JsonValue* container = find_container(value_->json, *steps);
      if (!container) return;
      target = find_child(*container, steps->back());
      if (!target || !target->is_array()) {
        if (!place_value(*container, steps->back(), JsonValue::array())) return;
        target = find_child(*container, steps->back());
        if (!target) return;
      }
    }
    if (!target->is_array()) *target = JsonValue::array();
    if (element) target->push_back(std::move(*element));
  });
}

JsonDocument JsonDocument::get_element_document(int index, std::string_view path) const {
  JsonDocument document;
  without_throwing([&] {
    if (!document.value_) return;
    const Selection selection = value_ ? select_chain(value_->json, chain_of_element(gbk_to_utf8(path), index))
                                       : Selection{};
    copy_selection(document.value_->json, selection);
  });
  return document;
}

std::string JsonDocument::get_element_text(int index, std::string_view path, bool as_json) const {
  return without_throwing(std::string(), [&] {
    if (!value_) return std::string();
    const Selection selection = select_chain(value_->json, chain_of_element(gbk_to_utf8(path), index));
    if (!selection.found()) return std::string();
    return utf8_to_gbk(as_json ? stringify(*selection.value) : plain_text(*selection.value));
  });
}

void JsonDocument::set_element(int index, std::string_view value, bool is_json) {
  without_throwing([&] {
    if (!value_ || (is_json && value.empty())) return;
    auto element = value_from_text(value, is_json);
    if (!element) return;
    PathStep step;
    step.is_index = true;
    step.index = index;
    place_value(value_->json, step, std::move(*element));
  });
}

void JsonDocument::remove_element(int index) {
  without_throwing([&] {
    if (!value_ || !value_->json.is_array()) return;
    auto& elements = value_->json.get_ref<JsonValue::array_t&>();
    const long long size = static_cast<long long>(elements.size());
    // A negative start counts from the end, as splice does.
    const long long start = index < 0 ? std::max(size + index, 0LL) : index;
    if (start < size) elements.erase(elements.begin() + start);
  });
}

void JsonDocument::remove_member(std::string_view key) {
  without_throwing([&] {
    if (!value_) return;
    const auto path = parse_path_chain(chain_of_key(gbk_to_utf8(key)));
    if (!path || path->empty()) return;
    if (JsonValue* container = find_container(value_->json, *path)) remove_child(*container, path->back());
  });
}

void JsonDocument::reset(int type_code) {
  without_throwing([&] {
    if (!value_) return;
    if (type_code == kJsonTypeNull || type_code == kJsonTypeObject) value_->json = JsonValue::object();
    if (type_code == kJsonTypeArray) value_->json = JsonValue::array();
  });
}

void JsonDocument::set_value(std::string_view value, bool is_json) {
  without_throwing([&] {
    if (!value_ || (is_json && value.empty())) return;
    if (auto replacement = value_from_text(value, is_json)) value_->json = std::move(*replacement);
  });
}

bool JsonDocument::has_member(std::string_view key) const {
  return without_throwing(false, [&] {
    return value_ && select_chain(value_->json, chain_of_key(gbk_to_utf8(key))).found_not_null();
  });
}

int JsonDocument::get_member_names(std::vector<std::string>& names, std::string_view path) const {
  names.clear();
  return without_throwing(0, [&] {
    if (!value_) return 0;
    const Selection selection = select_chain(value_->json, chain_by_target(gbk_to_utf8(path)));
    if (!selection.found()) return 0;
    names = member_names(*selection.value);
    return static_cast<int>(names.size());
  });
}

int JsonDocument::get_type(std::string_view path) const {
  return without_throwing(kJsonTypeOther, [&] {
    if (!value_) return kJsonTypeOther;
    return type_code(select_chain(value_->json, chain_by_target(gbk_to_utf8(path))));
  });
}

void JsonDocument::clear() {
  without_throwing([&] {
    if (value_) value_->json = JsonValue::object();
  });
}

}  // namespace qw
