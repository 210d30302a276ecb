// Percent-coding for URLs and conversion between code page 936, UTF-8 and UTF-16.
//
// Code page 936 is ICU's "windows-936", the table Windows itself uses. Nothing is ever rejected:
// as on Windows, a character code page 936 cannot hold becomes "?" (invisible ones such as a
// soft hyphen or U+200B included; no near match stands in for it), and bytes that are not valid
// UTF-8 become "?" without stopping the conversion.
#pragma once

#include <string>
#include <string_view>

#include "text.h"

namespace tfx {

inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageUtf8 = 65001;

// keep_plain: leave '-', '.', digits and ASCII letters as they are. as_utf8: code the UTF-8
// form of t instead of its code page 936 bytes.
Text url_encode(const Text& t, bool keep_plain = false, bool as_utf8 = false);
// Every '%' takes the next two bytes as digits, malformed ones included; '+' stays '+'.
// from_utf8: the decoded bytes are then converted from UTF-8 to code page 936.
Text url_decode(const Text& t, bool from_utf8 = false);

Text gbk_to_utf8(const Text& t);  // result: UTF-8 bytes held in a Text
Text utf8_to_gbk(const Text& t);  // argument: UTF-8 bytes held in a Text

// UTF-16 units of t in the given code page (936 or 65001). The terminating zero unit is the
// string's own terminator, not one of its units.
std::u16string to_utf16(const Text& t, int code_page);
// Text in the given code page, up to the first zero unit.
Text from_utf16(std::u16string_view units, int code_page);

// The program's own fixed texts are written in UTF-8 source; this gives their code page 936
// bytes. Callers keep the result in a static so the conversion runs once.
Text cp936(std::string_view utf8);

}  // namespace tfx
