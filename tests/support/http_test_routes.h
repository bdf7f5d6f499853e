// The routes the HTTP request tests use, for any stand-in server:
//
//   GET  /hello              200 "hello"
//   any  /echo               200, body: "<METHOD> <target>\n", then one
//                            "Name: value\n" per request header, "\n", the body
//   GET  /status/<n>         status n, body "status <n>"
//   GET  /redirect/<n>       n > 0: 302 to /redirect/<n-1>, setting "hop<n>=1";
//                            n = 0: 200 "final", setting "final=1"
//   GET  /redirect-to?url=U  302 to U
//   GET  /set-cookie?k=v&..  200 "set", one Set-Cookie "k=v; Path=/" per parameter
//   GET  /cookies            200, body: the request's Cookie lines joined by " | "
//   GET  /redirect-with-cookie  302 to /cookies, setting "hop=1"
//   GET  /charset/<name>     CharsetPage(name)
//   GET  /zero-byte          200 "abc", a zero byte, "def"
//   GET  /bytes/<n>          200, n bytes of BytePattern
//   GET  /slow?ms=N          waits N ms, then 200 "slow"
//   GET  /stall              answers nothing until the server stops
//   GET  /half-body          announces 2000 bytes, sends 1000, closes the connection
#pragma once

#include <string>
#include <string_view>

namespace qa::test {

class StandInServer;

void AddHttpTestRoutes(StandInServer& server);

// The words every charset page carries: 中文页面 in GBK and in UTF-8.
inline constexpr std::string_view kPageWordsGbk = "\xD6\xD0\xCE\xC4\xD2\xB3\xC3\xE6";
inline constexpr std::string_view kPageWordsUtf8 =
    "\xE4\xB8\xAD\xE6\x96\x87\xE9\xA1\xB5\xE9\x9D\xA2";

// The charset pages: "utf8-meta" (UTF-8, declared utf-8), "gbk-meta" (GBK,
// declared gbk in quotes), "GBK-caps" (GBK, declared GBK), "late-meta"
// (UTF-8, declared utf-8 only after byte 1024), "none" (UTF-8, nothing
// declared). Empty for any other name.
std::string CharsetPage(std::string_view name);

// n bytes cycling through "a" to "z".
std::string BytePattern(std::size_t n);

}  // namespace qa::test
