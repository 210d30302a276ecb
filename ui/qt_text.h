// Conversions between the pages' code page 936 texts and the toolkit's strings.
#pragma once

#include <QString>

#include "text/text.h"
#include "text/url_coding.h"

namespace tfx {

inline QString to_qstring(const Text& t) {
  const std::u16string units = to_utf16(t, kCodePageGbk);
  return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
}

// Characters that code page 936 cannot hold become "?", as everywhere in the text layer.
inline Text to_text(const QString& s) {
  return from_utf16(std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()),
                                        static_cast<size_t>(s.size())),
                    kCodePageGbk);
}

}  // namespace tfx
