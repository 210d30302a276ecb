// Marker extraction with arbitrary pages, markers and every option of the block extraction.
#include <cstdint>
#include <optional>

#include "fuzz/fuzz_support.h"
#include "text/extract.h"

namespace {

using namespace tfx;

bool starts_with(const Text& t, const Text& head) {
  return t.compare(0, head.size(), head) == 0;
}
bool ends_with(const Text& t, const Text& tail) {
  return t.size() >= tail.size() && t.compare(t.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool fold = in.ConsumeBool();
  const bool ignore_case = in.ConsumeBool();
  BetweenAllOptions options;
  options.match_case = in.ConsumeBool();
  options.length_cap = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-2, 20) : 0;
  options.include_left = in.ConsumeBool();
  options.include_right = in.ConsumeBool();
  std::optional<int> start;
  if (in.ConsumeBool()) start = in.ConsumeIntegral<int>();
  options.start = start;
  Text left = fuzz::take_text(in, 10);
  Text right = fuzz::take_text(in, 10);
  options.prefix = fuzz::take_text(in, 4);
  options.suffix = fuzz::take_text(in, 4);
  Text page = fuzz::text_of(in.ConsumeRemainingBytesAsString());
  if (fold) {
    // Marker-like characters, both letter cases, spaces and the quote stand-in "#引号".
    static const std::string kAlphabet = "<>/aA \"#\xD2\xFD\xBA\xC5\r\n\xA1";
    page = fuzz::folded(page, kAlphabet);
    left = fuzz::folded(left, kAlphabet);
    right = fuzz::folded(right, kAlphabet);
  }

  const Text piece = text_between(page, left, right, start, ignore_case);
  FUZZ_CHECK(piece.empty() || page.find(piece) != Text::npos);

  TextArray out{"left over from an earlier call"};
  const int count = text_between_all(page, left, right, out, options);
  FUZZ_CHECK(count == text_array_count(out));
  // Each piece comes from a distinct stretch of the page, so there are never more pieces
  // than bytes.
  FUZZ_CHECK(static_cast<std::size_t>(count) <= page.size() + 1);
  const Text head = (options.include_left ? left : Text{}) + options.prefix;
  const Text tail = options.suffix + (options.include_right ? right : Text{});
  for (const Text& element : out) {
    FUZZ_CHECK(element.size() > head.size() + tail.size());  // empty content ends the run
    FUZZ_CHECK(starts_with(element, head) && ends_with(element, tail));
    const Text content = element.substr(head.size(), element.size() - head.size() - tail.size());
    if (options.length_cap > 0) FUZZ_CHECK(text_len(content) <= options.length_cap);
    FUZZ_CHECK(page.find(content) != Text::npos);
  }
  return 0;
}
