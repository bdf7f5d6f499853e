#include "net/cookies.h"

#include "net/header_text.h"

namespace qa {

namespace {

constexpr std::string_view kSetCookie = "Set-Cookie";
constexpr std::string_view kSetCookieColon = "Set-Cookie:";
constexpr std::string_view kListSeparator = "; ";
constexpr std::string_view kDeletedSuffix = "=deleted";

void DropLast(Text& text, std::size_t n) {
  text.resize(text.size() > n ? text.size() - n : 0);
}

}  // namespace

Text CollectReceivedCookies(Text& headers) {
  headers = ReplaceAllText(headers, kSetCookie, kSetCookie, true);
  Text result;
  for (const Text& line : SplitText(headers, "\r\n")) {
    if (!ContainsText(line, kSetCookie)) continue;
    Text value;
    if (ContainsText(line, ";")) {
      value = TextBetween(line, kSetCookieColon, ";");
    } else {
      value = ReplaceAllText(line, kSetCookieColon, "", true);
    }
    result += TrimText(value);
    result += kListSeparator;
  }
  DropLast(result, kListSeparator.size());
  return result;
}

Text MergeCookies(Text& cookies, Text& received) {
  auto removeSpaces = [](std::string_view text) {
    return ReplaceAllText(ReplaceAllText(text, " ", ""), kFullWidthSpace, "");
  };
  cookies = removeSpaces(cookies);
  received = removeSpaces(received);

  TextArray entries = SplitText(received, ";");
  for (const Text& old : SplitText(cookies, ";")) {
    if (!HasCookieName(entries, CookieName(old))) entries.push_back(old);
  }

  Text joined;
  for (const Text& entry : entries) {
    if (entry.ends_with(kDeletedSuffix)) continue;
    joined += entry;
    joined += kListSeparator;
  }
  DropLast(joined, kListSeparator.size());

  cookies = DistinctItems(joined, kListSeparator);
  return cookies;
}

Text CookieName(std::string_view entry) {
  const int equals = FindText(entry, "=");
  if (equals != -1) entry = entry.substr(0, static_cast<std::size_t>(equals - 1));
  return TrimText(entry);
}

bool HasCookieName(const TextArray& entries, std::string_view name) {
  for (const Text& entry : entries) {
    if (CookieName(entry) == name) return true;
  }
  return false;
}

Text DistinctItems(std::string_view list, std::string_view separator) {
  TextArray seen;
  Text result;
  for (Text& item : SplitText(list, separator)) {
    if (IndexOfText(seen, item) != -1) continue;
    result += item;
    result += separator;
    seen.push_back(std::move(item));
  }
  DropLast(result, separator.size());
  return result;
}

int IndexOfText(const TextArray& items, std::string_view text) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) return static_cast<int>(i) + 1;
  }
  return -1;
}

}  // namespace qa
