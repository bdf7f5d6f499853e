#pragma once

#include "text/text.h"

namespace qa {

// The text of a web page body. The page's own bytes up to the first zero byte,
// unless a meta tag within its first 1024 bytes declares a charset other than
// "gbk" or "gb2312" (compared exactly): then the whole body decoded from that
// charset into GBK, up to the first zero character. A charset name the
// decoder does not know leaves the bytes as they are. The response's
// Content-Type plays no part.
Text DetectCharsetAndConvert(const Bytes& body);

}  // namespace qa
