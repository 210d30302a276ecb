// Percent-coding and the code page conversions: arbitrary bytes never break them, and valid
// text makes the round trip unchanged.
#include <unicode/ucnv.h>

#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "text/url_coding.h"

namespace {

using namespace tfx;

bool is_upper_hex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}
bool is_plain(char c) {
  return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

// The encoded form: "%" and two upper-case digits, or (keeping plain characters) one of them.
bool well_encoded(const Text& encoded, bool keep_plain) {
  for (std::size_t i = 0; i < encoded.size();) {
    if (encoded[i] == '%') {
      if (i + 2 >= encoded.size()) return false;
      if (!is_upper_hex(encoded[i + 1]) || !is_upper_hex(encoded[i + 2])) return false;
      i += 3;
    } else if (keep_plain && is_plain(encoded[i])) {
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Strict converters, independent of the text layer's own: they refuse what they cannot map.
Converter strict(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  Converter c(ucnv_open(name, &status));
  if (U_FAILURE(status)) std::abort();
  ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFallback(c.get(), false);
  return c;
}

// True when every character of `bytes` maps from `from` to Unicode and on into `to` and back.
// ICU drops default-ignorable characters (U+061C, U+200B, ...) that the target cannot hold
// instead of reporting them, so only the way back tells that they were there.
bool converts_strictly(const std::string& bytes, const char* from, const char* to) {
  Converter source = strict(from);
  Converter target = strict(to);
  UErrorCode status = U_ZERO_ERROR;
  std::u16string units(bytes.size() * 2 + 2, u'\0');
  const int32_t n = ucnv_toUChars(source.get(), units.data(), static_cast<int32_t>(units.size()),
                                  bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return false;
  std::string out(static_cast<std::size_t>(n) * 4 + 4, '\0');
  const int32_t m = ucnv_fromUChars(target.get(), out.data(), static_cast<int32_t>(out.size()),
                                    units.data(), n, &status);
  if (U_FAILURE(status)) return false;
  std::u16string again(static_cast<std::size_t>(m) * 2 + 2, u'\0');
  const int32_t k = ucnv_toUChars(target.get(), again.data(), static_cast<int32_t>(again.size()),
                                  out.data(), m, &status);
  return U_SUCCESS(status) && k == n &&
         again.compare(0, static_cast<std::size_t>(k), units, 0, static_cast<std::size_t>(n)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool keep_plain = in.ConsumeBool();
  const Text t = fuzz::text_of(in.ConsumeRemainingBytesAsString());

  // Coding and decoding the code page 936 bytes gives them back, whatever they are.
  const Text encoded = url_encode(t, keep_plain, false);
  FUZZ_CHECK(well_encoded(encoded, keep_plain));
  FUZZ_CHECK(url_decode(encoded) == t);

  // Through UTF-8 the text comes back as the conversions leave it.
  const Text utf8 = gbk_to_utf8(t);
  FUZZ_CHECK(fuzz::is_valid_utf8(utf8));
  FUZZ_CHECK(utf8.find('\0') == Text::npos);
  const Text via_utf8 = url_encode(t, keep_plain, true);
  FUZZ_CHECK(well_encoded(via_utf8, keep_plain));
  const Text back = url_decode(via_utf8, true);
  FUZZ_CHECK(back == utf8_to_gbk(utf8));

  // Valid code page 936 text survives the trip to UTF-8 and to UTF-16 unchanged.
  if (converts_strictly(t, "windows-936", "UTF-8")) {
    FUZZ_CHECK(back == t);
    FUZZ_CHECK(from_utf16(to_utf16(t, kCodePageGbk), kCodePageGbk) == t);
  }
  // Valid UTF-8 of characters code page 936 holds survives the trip the other way.
  if (fuzz::is_valid_utf8(t) && converts_strictly(t, "UTF-8", "windows-936")) {
    FUZZ_CHECK(gbk_to_utf8(utf8_to_gbk(t)) == t);
    FUZZ_CHECK(from_utf16(to_utf16(t, kCodePageUtf8), kCodePageUtf8) == t);
  }

  // Decoding arbitrary text, malformed sequences included, never yields a zero byte.
  FUZZ_CHECK(url_decode(t).find('\0') == Text::npos);
  FUZZ_CHECK(url_decode(t, true).find('\0') == Text::npos);
  (void)utf8_to_gbk(t);
  return 0;
}
