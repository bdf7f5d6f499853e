// Cookie lists: entries "name=value" joined by "; ".
#pragma once

#include <string_view>

#include "text/text.h"

namespace qa {

// Reads the cookies a response sets out of its raw header block. Every case
// variant of "Set-Cookie" in `headers` is rewritten to "Set-Cookie".
Text CollectReceivedCookies(Text& headers);

// Folds the received cookies into the caller's list: received ones first, then
// earlier ones whose names were not received; "name=deleted" removes a cookie;
// entries equal byte for byte collapse. Both arguments lose their spaces; the
// first receives the merged list, which is also returned.
Text MergeCookies(Text& cookies, Text& received);

Text CookieName(std::string_view entry);
bool HasCookieName(const TextArray& entries, std::string_view name);
Text DistinctItems(std::string_view list, std::string_view separator);
// 1-based index of the first element equal to `text`, or -1.
int IndexOfText(const TextArray& items, std::string_view text);

}  // namespace qa
