#include "text/url_coding.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <cstring>

namespace tfx {

namespace {

// Writes the substitute for every character that cannot be converted, whatever kind it is.
void question_mark_for_every_gap(const void*, UConverterFromUnicodeArgs* args, const UChar*,
                                 int32_t, UChar32, UConverterCallbackReason reason,
                                 UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  *err = U_ZERO_ERROR;
  ucnv_cbFromUWriteSub(args, 0, err);
}

// One pair of converters per thread: ICU converters carry conversion state and must not be
// shared, and opening them per call would cost more than converting a short text.
class Converters {
 public:
  Converters() {
    UErrorCode err = U_ZERO_ERROR;
    gbk_ = ucnv_open("windows-936", &err);
    if (U_FAILURE(err)) gbk_ = nullptr;
    if (gbk_ != nullptr) {
      // A character the code page cannot hold becomes a question mark: no near match (ICU's
      // fallback mappings stay off), and no silent dropping either, which ICU's own
      // substitute callback does to invisible characters such as U+200B.
      err = U_ZERO_ERROR;
      ucnv_setSubstChars(gbk_, "?", 1, &err);
      err = U_ZERO_ERROR;
      ucnv_setFromUCallBack(gbk_, question_mark_for_every_gap, nullptr, nullptr, nullptr, &err);
    }
    err = U_ZERO_ERROR;
    utf8_ = ucnv_open("UTF-8", &err);
    if (U_FAILURE(err)) utf8_ = nullptr;
  }
  ~Converters() {
    if (gbk_ != nullptr) ucnv_close(gbk_);
    if (utf8_ != nullptr) ucnv_close(utf8_);
  }
  Converters(const Converters&) = delete;
  Converters& operator=(const Converters&) = delete;

  UConverter* gbk() const { return gbk_; }
  UConverter* utf8() const { return utf8_; }
  UConverter* of(int code_page) const { return code_page == kCodePageUtf8 ? utf8_ : gbk_; }

 private:
  UConverter* gbk_ = nullptr;
  UConverter* utf8_ = nullptr;
};

Converters& converters() {
  thread_local Converters c;
  return c;
}

// A Text ends at its first zero byte, as the C strings it stands for did.
std::string_view until_zero(std::string_view t) {
  const void* z = std::memchr(t.data(), 0, t.size());
  return z == nullptr ? t : t.substr(0, static_cast<const char*>(z) - t.data());
}

// One conversion from `from` to `to`, fed in pieces: a sequence cut between two pieces is
// completed by the next one. Nothing stops it: unmappable and malformed input come out as
// substitutes (see the header).
class Conversion {
 public:
  Conversion(UConverter* from, UConverter* to, std::size_t estimate) : from_(from), to_(to) {
    ucnv_reset(from_);
    ucnv_reset(to_);
    out_.resize(std::max<std::size_t>(estimate, 16));
  }
  Conversion(const Conversion&) = delete;  // the pivot pointers point into the object
  Conversion& operator=(const Conversion&) = delete;

  void feed(const char* src, std::size_t len, bool last) {
    const char* const end = src + len;
    for (;;) {
      UErrorCode err = U_ZERO_ERROR;
      char* tgt = out_.data() + used_;
      ucnv_convertEx(to_, from_, &tgt, out_.data() + out_.size(), &src, end, pivot_, &pivot_source_,
                     &pivot_target_, pivot_ + kPivot, false, last, &err);
      used_ = static_cast<std::size_t>(tgt - out_.data());
      if (err != U_BUFFER_OVERFLOW_ERROR) break;  // other failures keep what was converted
      out_.resize(out_.size() * 2);
    }
  }

  // The converted text, up to its first zero byte: a Text ends there, as the C strings it
  // stands for did.
  Text finish() {
    static constexpr char kNothing = 0;  // ICU wants a real pointer even for no input
    feed(&kNothing, 0, true);
    const void* zero = std::memchr(out_.data(), 0, used_);
    out_.resize(zero == nullptr ? used_ : static_cast<const char*>(zero) - out_.data());
    return std::move(out_);
  }

 private:
  static constexpr int kPivot = 2048;
  UConverter* from_;
  UConverter* to_;
  Text out_;
  std::size_t used_ = 0;
  UChar pivot_[kPivot];
  UChar* pivot_source_ = pivot_;
  UChar* pivot_target_ = pivot_;
};

Text convert(UConverter* from, UConverter* to, std::string_view in, std::size_t estimate) {
  if (in.empty() || from == nullptr || to == nullptr) return {};
  Conversion conversion(from, to, estimate);
  conversion.feed(in.data(), in.size(), false);
  return conversion.finish();
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Value of a percent digit as the decoder reads it: 0..15, -2 for any other byte.
constexpr int digit_value(unsigned char b) {
  if (b >= '0' && b <= '9') return b - '0';
  if (b >= 'A' && b <= 'F') return b - 'A' + 10;
  if (b >= 'a' && b <= 'f') return b - 'a' + 10;
  return -2;
}

}  // namespace

Text url_encode(const Text& t, bool keep_plain, bool as_utf8) {
  if (t.empty()) return {};
  const Text utf8 = as_utf8 ? gbk_to_utf8(t) : Text();
  const Text& src = as_utf8 ? utf8 : t;
  Text out;
  out.reserve(src.size() * 3);
  for (const char ch : src) {
    const auto b = static_cast<unsigned char>(ch);
    const bool plain = b == '-' || b == '.' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
                       (b >= 'a' && b <= 'z');
    if (keep_plain && plain) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHexDigits[b >> 4]);
      out.push_back(kHexDigits[b & 0xF]);
    }
  }
  return out;
}

namespace {

// Percent-decodes t into `sink` in one pass: runs of plain bytes go out whole, each '%' takes
// the next two bytes as digits. Missing digits past the end count 0 and malformed ones count
// -2, so every sequence decodes to something; a code of 0 adds nothing.
template <class Sink>
void percent_decode(const Text& t, Sink& sink) {
  const std::size_t n = t.size();
  const char* p = t.data();
  std::size_t i = 0;
  while (i < n) {
    const void* pct = std::memchr(p + i, '%', n - i);
    const std::size_t k =
        pct == nullptr ? n : static_cast<std::size_t>(static_cast<const char*>(pct) - p);
    sink.run(p + i, k - i);
    if (k >= n) break;
    const int d1 = k + 1 < n ? digit_value(static_cast<unsigned char>(p[k + 1])) : 0;
    const int d2 = k + 2 < n ? digit_value(static_cast<unsigned char>(p[k + 2])) : 0;
    const auto code = static_cast<char>(static_cast<unsigned>(d1 * 16 + d2) & 0xFFu);
    if (code != 0) sink.byte(code);
    i = k + 3;
  }
}

struct TextSink {
  Text& out;
  void run(const char* p, std::size_t len) { out.append(p, len); }
  void byte(char c) { out.push_back(c); }
};

// Feeds the decoded page straight into the conversion, so that no decoded copy of the whole
// page is ever made: long runs go to the converter as they stand in the page, decoded bytes
// and short runs are gathered in a small buffer first to keep the calls few.
class ConversionSink {
 public:
  explicit ConversionSink(Conversion& conversion) : conversion_(conversion) {}
  void run(const char* p, std::size_t len) {
    if (len > kDirect) {
      drain();
      conversion_.feed(p, len, false);
      return;
    }
    if (len_ + len > kBuffer) drain();
    std::memcpy(buf_ + len_, p, len);
    len_ += len;
  }
  void byte(char c) {
    if (len_ == kBuffer) drain();
    buf_[len_++] = c;
  }
  void drain() {
    if (len_ == 0) return;
    conversion_.feed(buf_, len_, false);
    len_ = 0;
  }

 private:
  static constexpr std::size_t kDirect = 256;
  static constexpr std::size_t kBuffer = 8192;
  Conversion& conversion_;
  char buf_[kBuffer];
  std::size_t len_ = 0;
};

}  // namespace

Text url_decode(const Text& t, bool from_utf8) {
  if (!from_utf8) {
    Text out;
    out.reserve(t.size());
    TextSink sink{out};
    percent_decode(t, sink);
    return out;
  }
  Converters& c = converters();
  if (t.empty() || c.utf8() == nullptr || c.gbk() == nullptr) return {};
  // Code page 936 never needs more bytes than UTF-8 for the same characters.
  Conversion conversion(c.utf8(), c.gbk(), t.size() + 16);
  ConversionSink sink(conversion);
  percent_decode(t, sink);
  sink.drain();
  return conversion.finish();
}

Text gbk_to_utf8(const Text& t) {
  Converters& c = converters();
  return convert(c.gbk(), c.utf8(), t, t.size() * 3 / 2 + 16);
}

Text utf8_to_gbk(const Text& t) {
  Converters& c = converters();
  return convert(c.utf8(), c.gbk(), t, t.size() + 16);
}

std::u16string to_utf16(const Text& t, int code_page) {
  const std::string_view in = until_zero(t);
  UConverter* cnv = converters().of(code_page);
  if (in.empty() || cnv == nullptr) return {};
  // Every byte gives at most one unit (a four-byte UTF-8 sequence gives two).
  std::u16string out(in.size() + 1, u'\0');
  UErrorCode err = U_ZERO_ERROR;
  const int32_t len = ucnv_toUChars(cnv, out.data(), static_cast<int32_t>(out.size()), in.data(),
                                    static_cast<int32_t>(in.size()), &err);
  if (U_FAILURE(err)) return {};
  out.resize(static_cast<std::size_t>(len));
  return out;
}

Text from_utf16(std::u16string_view units, int code_page) {
  const std::size_t zero = units.find(u'\0');
  if (zero != std::u16string_view::npos) units = units.substr(0, zero);
  UConverter* cnv = converters().of(code_page);
  if (units.empty() || cnv == nullptr) return {};
  // At most three bytes per unit in either code page.
  Text out(units.size() * 3 + 1, '\0');
  UErrorCode err = U_ZERO_ERROR;
  const int32_t len = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()),
                                      units.data(), static_cast<int32_t>(units.size()), &err);
  if (U_FAILURE(err)) return {};
  out.resize(static_cast<std::size_t>(len));
  return out;
}

Text cp936(std::string_view utf8) {
  return utf8_to_gbk(Text(utf8));
}

}  // namespace tfx
