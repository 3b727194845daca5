// One JSON value read and changed through path texts such as "result[0].request_id".
//
// Texts go in and come out as GBK; the value is held as UTF-8. A path is a chain of member names
// and [index] steps. Two ways of joining a path to the value exist, and each operation uses one:
//  - separator rule (get_text, get_document, get_count): a path that begins with "[" indexes the
//    value itself, so "[0].words" reads member words of element 0;
//  - target rule (every other operation taking a path or key): the path always follows a ".", so a
//    path beginning with "[" fails, and so does an empty key.
// A step that meets a missing member gives an absent value; a step after an absent value or null
// fails. Nothing throws and nothing reports: a failure reads as 0, false, empty text or no change.
//
// A document is used by one thread at a time. copy() shares the value with its source (a change
// through one shows through the other) until either parses or initialises; destroy() lets go of
// the value, after which every operation fails until initialise() runs.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qw {

// get_type's results and reset's argument.
constexpr int kJsonTypeNull = 0;  // null or absent
constexpr int kJsonTypeNumber = 2;
constexpr int kJsonTypeObject = 4;
constexpr int kJsonTypeArray = 5;
constexpr int kJsonTypeString = 6;
constexpr int kJsonTypeOther = -1;  // a boolean, or a path that cannot be followed

class JsonDocument {
 public:
  // The value is an empty object.
  JsonDocument();
  ~JsonDocument();
  JsonDocument(JsonDocument&&) noexcept;
  JsonDocument& operator=(JsonDocument&&) noexcept;
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;

  // "da" while the document holds a value, empty after destroy().
  std::string_view name() const;

  void destroy();
  JsonDocument copy() const;
  // A fresh empty object of this document's own (copies keep the old value).
  void initialise();
  // Any JSON value except null becomes the value (true). Anything else, "null", the empty text and
  // nesting deeper than 512 levels included, leaves null (false). Either way the value is a fresh
  // one, no longer shared.
  bool parse(std::string_view text);
  // Compact JSON; "null" for a null value.
  std::string to_json() const;

  // is_json false: `value` is stored as a string, exactly as given. is_json true: `value` is a JSON
  // text (empty means {}); one that does not parse changes nothing.
  void set_member(std::string_view key, std::string_view value, bool is_json = false);
  // As set_member with is_json true, except that an empty text removes the member.
  void set_member_json(std::string_view key, std::string_view value);
  // Stores the number as it reads back from its get_text form (13 significant digits); a number
  // that is not finite changes nothing.
  void set_member_number(std::string_view key, double number);

  // A number, or a string holding exactly a JSON number; true is 1; anything else 0.
  double get_number(std::string_view key) const;
  std::string get_member_json(std::string_view key) const;
  // as_json false: a string as it is, a number in the "%.13g" form with a three-digit exponent,
  // true/false, an object or array as compact JSON, null or absent as empty text.
  // as_json true: compact JSON, empty text when absent.
  std::string get_text(std::string_view path, bool as_json = false) const;
  // An independent document holding a deep copy of the selected value (null when there is none).
  JsonDocument get_document(std::string_view path) const;
  // A string, number or boolean counts 1, an object its members, an array its elements; null or
  // absent -2; a path that cannot be followed 0.
  int get_count(std::string_view path = {}) const;

  // Makes the target an empty array unless it is one, then appends `value` (a string, or with
  // is_json one JSON value; an empty JSON text appends nothing).
  void push_value(std::string_view value, std::string_view path = {}, bool is_json = false);
  JsonDocument get_element_document(int index, std::string_view path = {}) const;
  std::string get_element_text(int index, std::string_view path = {}, bool as_json = false) const;
  // Element `index` of the value itself (a member named by the index when the value is an object).
  void set_element(int index, std::string_view value, bool is_json = false);
  // Removes one element of the value itself; a negative index counts from the end.
  void remove_element(int index);
  void remove_member(std::string_view key);
  // kJsonTypeNull or kJsonTypeObject: an empty object; kJsonTypeArray: an empty array; else nothing.
  void reset(int type_code);
  void set_value(std::string_view value, bool is_json = false);
  // True when the member is there and not null.
  bool has_member(std::string_view key) const;
  // Replaces `names` with the member names of the target object in order, or the indices of an
  // array ("0", "1", ...); a name holding "," comes back split at it. Returns their number.
  int get_member_names(std::vector<std::string>& names, std::string_view path = {}) const;
  int get_type(std::string_view path = {}) const;
  // The value becomes an empty object.
  void clear();

 private:
  struct Value;
  explicit JsonDocument(std::shared_ptr<Value> value);

  std::shared_ptr<Value> value_;
};

}  // namespace qw
