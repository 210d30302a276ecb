// Folding the cookies a response sets into the cookies a caller holds.
#pragma once

#include "text/text.h"

namespace tfx {

// old_cookies receives the merged list ("; "-separated), new_cookies loses its spaces.
// Returns a copy of the merged list.
Text merge_cookies(Text& old_cookies, Text& new_cookies);
Text cookie_name(const Text& entry);
bool has_cookie_named(const TextArray& entries, const Text& name);
Text unique_join(const Text& t, const Text& separator);

}  // namespace tfx
