#include "json/json_path.h"

namespace qw {
namespace {

constexpr long long kSaturatedIndex = 1'000'000'000'000'000'000;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
// Bytes from 0x80 up belong to non-ASCII letters (Chinese member names).
bool is_name_start(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool is_name_part(char c) { return is_name_start(c) || is_digit(c); }

class ChainReader {
 public:
  explicit ChainReader(std::string_view chain) : chain_(chain) {}

  std::optional<Path> read() {
    Path path;
    skip_spaces();
    while (position_ < chain_.size()) {
      const char c = chain_[position_++];
      std::optional<PathStep> step;
      if (c == '.') step = read_name();
      else if (c == '[') step = read_index();
      if (!step) return std::nullopt;
      path.push_back(std::move(*step));
      skip_spaces();
    }
    return path;
  }

 private:
  void skip_spaces() {
    while (position_ < chain_.size() && is_space(chain_[position_])) ++position_;
  }

  std::optional<PathStep> read_name() {
    skip_spaces();
    const std::size_t start = position_;
    if (position_ >= chain_.size() || !is_name_start(chain_[position_])) return std::nullopt;
    while (position_ < chain_.size() && is_name_part(chain_[position_])) ++position_;
    PathStep step;
    step.name = std::string(chain_.substr(start, position_ - start));
    return step;
  }

  std::optional<PathStep> read_index() {
    skip_spaces();
    bool negative = false;
    if (position_ < chain_.size() && chain_[position_] == '-') {
      negative = true;
      ++position_;
    }
    // An index too large for any array saturates: it selects nothing, as it would in a script.
    long long index = 0;
    int digit_count = 0;
    while (position_ < chain_.size() && is_digit(chain_[position_])) {
      const int digit = chain_[position_++] - '0';
      index = index > (kSaturatedIndex - digit) / 10 ? kSaturatedIndex : index * 10 + digit;
      ++digit_count;
    }
    if (digit_count == 0) return std::nullopt;
    skip_spaces();
    if (position_ >= chain_.size() || chain_[position_] != ']') return std::nullopt;
    ++position_;
    PathStep step;
    step.is_index = true;
    step.index = negative ? -index : index;
    return step;
  }

  std::string_view chain_;
  std::size_t position_ = 0;
};

// An object reads an index step as the member named by the index's decimal text, as a script does.
std::string member_name(const PathStep& step) {
  return step.is_index ? std::to_string(step.index) : step.name;
}

bool holds_element(const JsonValue& array, const PathStep& step) {
  return step.is_index && step.index >= 0 && static_cast<std::size_t>(step.index) < array.size();
}

}  // namespace

std::optional<Path> parse_path_chain(std::string_view chain) { return ChainReader(chain).read(); }

Selection select_value(const JsonValue& root, const Path& path) {
  Selection selection{Selection::Kind::found, &root};
  for (const PathStep& step : path) {
    if (!selection.found_not_null()) return Selection{};
    const JsonValue& current = *selection.value;
    selection = Selection{Selection::Kind::absent, nullptr};
    if (current.is_object()) {
      const auto member = current.find(member_name(step));
      if (member != current.end()) selection = Selection{Selection::Kind::found, &*member};
    } else if (current.is_array() && holds_element(current, step)) {
      selection = Selection{Selection::Kind::found, &current[static_cast<std::size_t>(step.index)]};
    }
  }
  return selection;
}

JsonValue* find_container(JsonValue& root, const Path& path) {
  if (path.empty()) return nullptr;
  const Path leading(path.begin(), path.end() - 1);
  const Selection selection = select_value(root, leading);
  if (!selection.found_not_null()) return nullptr;
  return const_cast<JsonValue*>(selection.value);  // points into `root`, which is not const
}

JsonValue* find_child(JsonValue& container, const PathStep& step) {
  if (container.is_object()) {
    const auto member = container.find(member_name(step));
    return member == container.end() ? nullptr : &*member;
  }
  if (container.is_array() && holds_element(container, step)) {
    return &container[static_cast<std::size_t>(step.index)];
  }
  return nullptr;
}

bool place_value(JsonValue& container, const PathStep& step, JsonValue value) {
  if (container.is_object()) {
    container[member_name(step)] = std::move(value);
    return true;
  }
  if (container.is_array() && step.is_index && step.index >= 0 && step.index < kMaxArrayLength) {
    const auto index = static_cast<std::size_t>(step.index);
    if (index >= container.size()) container.get_ref<JsonValue::array_t&>().resize(index + 1);
    container[index] = std::move(value);
    return true;
  }
  return false;
}

bool remove_child(JsonValue& container, const PathStep& step) {
  if (container.is_object()) return container.erase(member_name(step)) > 0;
  if (container.is_array() && holds_element(container, step)) {
    container[static_cast<std::size_t>(step.index)] = nullptr;
    return true;
  }
  return false;
}

}  // namespace qw
