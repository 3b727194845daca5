// Cookie texts: entries "name=value" (or a bare name) separated by ";". The merge folds the cookies a
// response sets into the text a caller keeps: a new value replaces the old one of its name, an entry
// whose value is "deleted" drops the cookie, and no entry is listed twice.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qw {

// The text before the first "=" (the whole entry when it has none), trimmed of spaces.
std::string cookie_name(std::string_view entry);

// True when some entry has exactly that name (letter case matters).
bool has_cookie_named(const std::vector<std::string>& entries, std::string_view name);

// 1-based position of the first item equal to `text`, -1 when there is none.
int item_index(const std::vector<std::string>& items, std::string_view text);

// `text` split at `separator` without the items that repeat an earlier one exactly.
std::string remove_duplicate_items(std::string_view text, std::string_view separator);

// Both arguments lose every space in place; `old_cookies` receives the merged text, which is also
// returned: the new entries in their order, then the old entries whose names are not taken yet,
// without deletion entries and exact repeats, joined by "; ".
std::string merge_cookie_text(std::string& old_cookies, std::string& new_cookies);

// Every header name "Set-Cookie", in any letter case, written as "Set-Cookie".
std::string normalize_set_cookie_names(std::string_view header_block);

// The first name=value pair of every Set-Cookie line of a (normalised) header block, joined by "; ".
std::string cookies_from_headers(std::string_view header_block);

}  // namespace qw
