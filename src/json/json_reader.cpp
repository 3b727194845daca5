// The reader behind parse_json. The library's own reader files every member of an ordered object by
// searching the members before it, so one object of n members costs n^2 / 2 name comparisons: a
// broken or hostile answer of a few megabytes would hold a recognition worker for hours. This one
// collects an object's members as they come and settles repeated names once, when the object
// closes, which costs n log n at worst.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json/json_text.h"

namespace qw {
namespace {

using Member = std::pair<std::string, JsonValue>;

constexpr int kNumberOverflowError = 406;
constexpr char kOverflowMarker[] = "1E+000308";

// Below this size an object's names are compared pairwise: cheaper than sorting, and bounded.
constexpr std::size_t kMembersComparedPairwise = 16;

// A repeated name keeps the place of its first appearance and the value of its last, as a script's
// JSON.parse leaves it. `members` keeps its order otherwise.
void merge_repeated_names_pairwise(std::vector<Member>& members) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < members.size(); ++i) {
    std::size_t earlier = 0;
    while (earlier < kept && members[earlier].first != members[i].first) ++earlier;
    if (earlier < kept) {
      members[earlier].second = std::move(members[i].second);
    } else {
      if (kept != i) members[kept] = std::move(members[i]);
      ++kept;
    }
  }
  members.resize(kept);
}

// The same for a large object: sorting (name, position) brings each name's appearances together,
// first one first. No hashing, so no crafted set of names can make it slow.
void merge_repeated_names_by_sorting(std::vector<Member>& members) {
  std::vector<std::pair<std::string_view, std::size_t>> names;
  names.reserve(members.size());
  for (std::size_t i = 0; i < members.size(); ++i) names.emplace_back(members[i].first, i);
  std::sort(names.begin(), names.end());

  std::vector<bool> repeated(members.size(), false);
  bool any_repeated = false;
  for (std::size_t group = 0; group < names.size();) {
    std::size_t next = group + 1;
    for (; next < names.size() && names[next].first == names[group].first; ++next) {
      repeated[names[next].second] = true;
      any_repeated = true;
    }
    const std::size_t first = names[group].second, last = names[next - 1].second;
    if (last != first) members[first].second = std::move(members[last].second);
    group = next;
  }
  if (!any_repeated) return;

  // `names` views the member names in place, so nothing may move them until here.
  names.clear();
  std::size_t kept = 0;
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (repeated[i]) continue;
    if (kept != i) members[kept] = std::move(members[i]);
    ++kept;
  }
  members.resize(kept);
}

void merge_repeated_names(std::vector<Member>& members) {
  if (members.size() <= kMembersComparedPairwise) {
    merge_repeated_names_pairwise(members);
  } else {
    merge_repeated_names_by_sorting(members);
  }
}

JsonValue object_of(std::vector<Member>&& members) {
  JsonValue object = JsonValue::object();
  // The ordered object is a vector of (name, value) underneath; appending skips its search for the
  // name, which the merge above has made unnecessary.
  auto& object_members = object.get_ref<JsonValue::object_t&>();
  object_members.reserve(members.size());
  for (auto& [name, value] : members) object_members.emplace_back(std::move(name), std::move(value));
  return object;
}

// An object or array whose closing bracket has not come yet.
struct OpenContainer {
  bool is_object = false;
  std::vector<Member> members;      // when is_object; the last one waits for its value
  JsonValue::array_t elements;      // otherwise
};

// Builds the value from the parser's events. Containers are assembled on a stack of their own and
// handed to their parent complete, so no pointer into a growing container is ever held.
class ValueBuilder final : public nlohmann::json_sax<JsonValue> {
 public:
  JsonValue take_value() { return std::move(value_); }

  bool null() override { return add(JsonValue(nullptr)); }
  bool boolean(bool value) override { return add(JsonValue(value)); }
  bool number_integer(number_integer_t value) override { return add(JsonValue(value)); }
  bool number_unsigned(number_unsigned_t value) override { return add(JsonValue(value)); }
  bool number_float(number_float_t value, const string_t& text) override {
    if (reads_overflow_markers_ && text == kOverflowMarker) value = std::numeric_limits<double>::infinity();
    if (reads_overflow_markers_ && text == "-" + std::string(kOverflowMarker)) {
      value = -std::numeric_limits<double>::infinity();
    }
    return add(JsonValue(value));
  }
  // The parser clears its buffer before reading on, so the text can be taken rather than copied.
  bool string(string_t& text) override { return add(JsonValue(std::move(text))); }
  bool binary(binary_t& bytes) override { return add(JsonValue(std::move(bytes))); }

  bool start_object(std::size_t) override { return open(true); }
  bool key(string_t& name) override {
    open_.back().members.emplace_back(std::move(name), nullptr);
    return true;
  }
  bool end_object() override {
    std::vector<Member> members = std::move(open_.back().members);
    open_.pop_back();
    merge_repeated_names(members);
    return add(object_of(std::move(members)));
  }

  bool start_array(std::size_t) override { return open(false); }
  bool end_array() override {
    JsonValue array(std::move(open_.back().elements));
    open_.pop_back();
    return add(std::move(array));
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override {
    number_overflow_ = error.id == kNumberOverflowError;
    return false;
  }
  bool failed_on_number_overflow() const { return number_overflow_; }
  void read_overflow_markers() { reads_overflow_markers_ = true; }

 private:
  // Nesting deeper than kMaxJsonDepth ends the reading (see there why).
  bool open(bool is_object) {
    if (open_.size() >= static_cast<std::size_t>(kMaxJsonDepth)) return false;
    open_.emplace_back();
    open_.back().is_object = is_object;
    return true;
  }

  bool add(JsonValue value) {
    if (open_.empty()) {
      value_ = std::move(value);
    } else if (open_.back().is_object) {
      open_.back().members.back().second = std::move(value);
    } else {
      open_.back().elements.push_back(std::move(value));
    }
    return true;
  }

  std::vector<OpenContainer> open_;
  JsonValue value_;
  bool number_overflow_ = false;
  bool reads_overflow_markers_ = false;
};

// The library refuses a number too large for a double (its error 406), and with it the whole
// answer; a script reads such a number as Infinity. Each one is rewritten as a marker the builder
// reads back as infinity: a number no writer produces for a real value (an exponent with leading zeros).
std::string with_overflowing_numbers_marked(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  bool in_string = false;
  for (std::size_t i = 0; i < utf8.size();) {
    const char c = utf8[i];
    if (in_string) {
      out.push_back(c);
      if (c == '\\' && i + 1 < utf8.size()) out.push_back(utf8[++i]);
      else if (c == '"') in_string = false;
      ++i;
      continue;
    }
    if (c == '"') in_string = true;
    if (c != '-' && (c < '0' || c > '9')) {
      out.push_back(c);
      ++i;
      continue;
    }
    const std::size_t end = utf8.find_first_not_of("+-.0123456789eE", i);
    const std::string number(utf8.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i));
    char* number_end = nullptr;
    const double value = std::strtod(number.c_str(), &number_end);
    const bool whole_token = number_end == number.c_str() + number.size();
    if (whole_token && std::isinf(value)) {
      out += (value < 0 ? "-" : "") + std::string(kOverflowMarker);
    } else if (number == kOverflowMarker || number == "-" + std::string(kOverflowMarker)) {
      out += number.front() == '-' ? "-1E+308" : "1E+308";  // the same value, so only our markers remain
    } else {
      out += number;
    }
    i += number.size();
  }
  return out;
}

}  // namespace

std::optional<JsonValue> parse_json(std::string_view utf8) {
  ValueBuilder builder;
  if (JsonValue::sax_parse(utf8.begin(), utf8.end(), &builder)) return builder.take_value();
  if (!builder.failed_on_number_overflow()) return std::nullopt;
  const std::string marked = with_overflowing_numbers_marked(utf8);
  ValueBuilder second;
  second.read_overflow_markers();
  if (!JsonValue::sax_parse(marked.begin(), marked.end(), &second)) return std::nullopt;
  return second.take_value();
}

}  // namespace qw
