// Cookie merging with any two cookie lists.
#include <cstdint>
#include <set>
#include <string>

#include "fuzz/fuzz_support.h"
#include "web/cookies.h"

namespace {

using namespace tfx;

std::vector<Text> entries(const Text& list) {
  std::vector<Text> out;
  std::size_t from = 0;
  while (from <= list.size() && !list.empty()) {
    const std::size_t at = list.find("; ", from);
    out.push_back(list.substr(from, at == Text::npos ? Text::npos : at - from));
    if (at == Text::npos) break;
    from = at + 2;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool ascii = in.ConsumeBool();
  const bool deletes = in.ConsumeBool();
  Text held = fuzz::take_text(in, 200);
  Text returned = fuzz::text_of(in.ConsumeRemainingBytesAsString());
  if (ascii) {
    // Cookie syntax over two names and two values, and now and then a deleted cookie.
    static const std::string kAlphabet = "ab=12; ;";
    held = fuzz::folded(held, kAlphabet);
    returned = fuzz::folded(returned, kAlphabet);
    if (deletes) returned += ";a=deleted";
  }
  const Text returned_in = returned;
  const Text merged = merge_cookies(held, returned);
  FUZZ_CHECK(merged == held);
  FUZZ_CHECK(returned.size() <= returned_in.size());
  if (!ascii) return 0;

  // In plain ASCII the merged list is well-formed: no spaces left in the returned list, no
  // deleted cookie, no entry twice.
  FUZZ_CHECK(returned.find(' ') == Text::npos);
  std::set<Text> seen;
  for (const Text& entry : entries(merged)) {
    FUZZ_CHECK(entry.size() < 8 || entry.compare(entry.size() - 8, 8, "=deleted") != 0);
    FUZZ_CHECK(seen.insert(entry).second);
  }
  // Every cookie the response set and did not delete is in the merged list.
  for (const Text& entry : text_split(returned, ";")) {
    if (entry.empty()) continue;  // an empty entry at the very end has nothing to stand for
    if (entry.size() >= 8 && entry.compare(entry.size() - 8, 8, "=deleted") == 0) continue;
    FUZZ_CHECK(seen.count(entry) == 1);
  }
  return 0;
}
