// Cutting fields out of pages and headers by the fixed marker texts around them.
#pragma once

#include <optional>

#include "text.h"

namespace tfx {

// The first piece between `left` and `right`, untrimmed. In both markers every "#引号" (in code
// page 936) stands for a double quote. Markers match in exact case unless ignore_case.
Text text_between(const Text& page, const Text& left, const Text& right,
                  std::optional<int> start = std::nullopt, bool ignore_case = false);

struct BetweenAllOptions {
  bool match_case = false;  // false: markers found with ASCII case folding
  int length_cap = 0;       // 0: no limit; a longer trimmed piece is skipped, not cut
  Text prefix;
  Text suffix;
  bool include_left = false;
  bool include_right = false;
  std::optional<int> start;
};

// Every piece between `left` and `right`, trimmed, in page order, into `out` (emptied first).
// The first piece that trims to empty ends the extraction. Returns the count in `out`.
int text_between_all(const Text& page, const Text& left, const Text& right, TextArray& out,
                     const BetweenAllOptions& options = {});

}  // namespace tfx
