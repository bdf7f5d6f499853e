// Conversions between the program's GBK text and Qt's strings, used where text
// enters or leaves a widget.
#pragma once

#include <QString>

#include "encoding/codepage.h"
#include "text/text.h"

namespace qa {

inline QString ToQString(std::string_view gbk) {
  return QString::fromStdU16String(GbkToUtf16(gbk));
}

inline Text ToText(const QString& s) {
  return Utf16ToGbk(s.toStdU16String());
}

}  // namespace qa
