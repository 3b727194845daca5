// Paths into a JSON value, written as a script writes them: member names joined by "." and array
// indices in brackets, as in "result[0].request_id".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_text.h"

namespace qw {

struct PathStep {
  bool is_index = false;
  std::string name;     // UTF-8 member name, when !is_index
  long long index = 0;  // when is_index
};
using Path = std::vector<PathStep>;

// `chain` is what follows the value in a script expression: "", ".a[0].b" or "[0].b" (UTF-8).
// Nothing when it is not a chain of names and integer indices: the script would not compile.
std::optional<Path> parse_path_chain(std::string_view chain);

// What following a path gives. A name or index that the value lacks gives `absent`; any step after
// null or after an absent value is an evaluation failure (`failed`).
struct Selection {
  enum class Kind { failed, absent, found };
  Kind kind = Kind::failed;
  const JsonValue* value = nullptr;  // when found; may be null JSON

  bool found() const { return kind == Kind::found; }
  bool found_not_null() const { return found() && !value->is_null(); }
};
Selection select_value(const JsonValue& root, const Path& path);

// The value that holds the last step of a non-empty path, when the steps before it reach a value
// that is not null; otherwise nothing, as a script fails writing into null or nothing.
JsonValue* find_container(JsonValue& root, const Path& path);

// The value at `step` inside `container`, when it is there.
JsonValue* find_child(JsonValue& container, const PathStep& step);

// Writes `value` at `step` of `container`. An object takes a member (an index step names the member
// by its decimal text); an array takes an element at a non-negative index, filling a gap with nulls
// up to kMaxArrayLength. Everything else cannot hold it (a script ignores the write or keeps it
// where JSON never shows it): false, nothing changes.
bool place_value(JsonValue& container, const PathStep& step, JsonValue value);

// Removes `step` from `container`: an object loses the member, an array's element becomes null (the
// hole a script's delete leaves, which JSON shows as null). False when there was nothing to remove.
bool remove_child(JsonValue& container, const PathStep& step);

constexpr long long kMaxArrayLength = 1'000'000;

}  // namespace qw
