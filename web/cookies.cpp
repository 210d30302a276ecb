#include "web/cookies.h"

#include <unordered_set>

namespace tfx {

Text cookie_name(const Text& entry) {
  const int eq = text_find(entry, "=");
  return text_trim(eq == -1 ? entry : text_left(entry, eq - 1));
}

bool has_cookie_named(const TextArray& entries, const Text& name) {
  for (int i = 1; i <= text_array_count(entries); ++i) {
    if (cookie_name(text_array_at(entries, i)) == name) return true;
  }
  return false;
}

Text unique_join(const Text& t, const Text& separator) {
  const TextArray elements = text_split(t, separator);
  std::unordered_set<Text> seen;
  Text result;
  for (int i = 1; i <= text_array_count(elements); ++i) {
    const Text& element = text_array_at(elements, i);
    if (!seen.insert(element).second) continue;
    result += element;
    result += separator;
  }
  return text_left(result, text_len(result) - text_len(separator));
}

Text merge_cookies(Text& old_cookies, Text& new_cookies) {
  old_cookies = text_strip_spaces(old_cookies);
  new_cookies = text_strip_spaces(new_cookies);

  const TextArray old_entries = text_split(old_cookies, ";");
  TextArray working = text_split(new_cookies, ";");
  for (int i = 1; i <= text_array_count(old_entries); ++i) {
    const Text& entry = text_array_at(old_entries, i);
    if (!has_cookie_named(working, cookie_name(entry))) text_array_append(working, entry);
  }

  static const Text kDeleted = "=deleted";
  old_cookies.clear();
  for (int i = 1; i <= text_array_count(working); ++i) {
    const Text& entry = text_array_at(working, i);
    if (text_right(entry, text_len(kDeleted)) == kDeleted) continue;
    old_cookies += entry;
    old_cookies += "; ";
  }
  old_cookies = text_left(old_cookies, text_len(old_cookies) - 2);
  old_cookies = unique_join(old_cookies, "; ");
  return old_cookies;
}

}  // namespace tfx
