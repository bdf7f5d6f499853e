#include "net/cookies.h"

#include <gtest/gtest.h>

namespace qa {
namespace {

TEST(CollectReceivedCookies, Table) {
  const struct {
    const char* name;
    std::string headers;
    std::string cookies;
    std::string headersAfter;
  } cases[] = {
      {"any case of the header name",
       "HTTP/1.1 200 OK\r\nset-cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n", "a=1; b=2",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n"},
      {"upper case without a semicolon", "SET-COOKIE:a=1", "a=1", "Set-Cookie:a=1"},
      {"trailing semicolon", "Set-Cookie: a=1;", "a=1", "Set-Cookie: a=1;"},
      {"spaces around the value", "Set-Cookie:   a=1   ", "a=1", "Set-Cookie:   a=1   "},
      {"spaces inside the value stay", "Set-Cookie: a=x y; path=/", "a=x y",
       "Set-Cookie: a=x y; path=/"},
      {"a look-alike line with a semicolon gives an empty entry",
       "Set-Cookie: a=1\r\nX-Set-Cookie-Note: x; y\r\nSet-Cookie: b=2", "a=1; ; b=2",
       "Set-Cookie: a=1\r\nX-Set-Cookie-Note: x; y\r\nSet-Cookie: b=2"},
      {"a look-alike line without a semicolon is taken whole", "X-Set-Cookie-Note: x ",
       "X-Set-Cookie-Note: x", "X-Set-Cookie-Note: x "},
      {"no cookie lines", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", "",
       "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"},
      {"empty block", "", "", ""},
      {"attributes are never part of the entry",
       "Set-Cookie: id=7; Domain=x.cn; Expires=Wed, 1 Jan 2031 00:00:00 GMT", "id=7",
       "Set-Cookie: id=7; Domain=x.cn; Expires=Wed, 1 Jan 2031 00:00:00 GMT"},
  };
  for (const auto& c : cases) {
    Text headers = c.headers;
    EXPECT_EQ(CollectReceivedCookies(headers), c.cookies) << c.name;
    EXPECT_EQ(headers, c.headersAfter) << c.name;
  }
}

TEST(MergeCookies, Table) {
  const struct {
    const char* name;
    std::string old;
    std::string received;
    std::string merged;
    std::string receivedAfter;
  } cases[] = {
      {"received replaces the same name", "a=1; b=2", "b=3", "b=3; a=1", "b=3"},
      {"deleted removes the cookie", "a=1; b=2", "b=deleted", "a=1", "b=deleted"},
      {"deleted of an unknown name", "a=1; b=2", "c=deleted", "a=1; b=2", "c=deleted"},
      {"everything deleted", "a=1", "a=deleted", "", "a=deleted"},
      {"old empty", "", "x=1; y=2", "x=1; y=2", "x=1;y=2"},
      {"received empty", "a=1", "", "a=1", ""},
      {"both empty", "", "", "", ""},
      {"first old entry of a name wins", "a=1;a=2", "", "a=1", ""},
      {"equal received entries collapse", "", "c=1; c=1", "c=1", "c=1;c=1"},
      {"different values of one name both stay", "", "c=1; c=2", "c=1; c=2", "c=1;c=2"},
      {"spaces removed, trailing semicolon gives no entry", "a = 1 ; b=2;", "", "a=1; b=2", ""},
      {"received names are read without spaces", "a=1", " a = 2 ", "a=2", "a=2"},
      {"received first, in arrival order", "z=0; b=9", "b=1; a=2", "b=1; a=2; z=0", "b=1;a=2"},
      {"only exact =deleted at the end drops an entry", "deleted; a=DELETED; b=deleted1", "",
       "deleted; a=DELETED; b=deleted1", ""},
      {"nameless deleted entry is dropped", "=deleted; a=1", "", "a=1", ""},
      {"empty item between two semicolons", "a=1;;b=2", "", "a=1; ; b=2", ""},
      {"full-width spaces are removed",
       "a=1;\xA1\xA1"
       "b=2",
       "", "a=1; b=2", ""},
      // B0 A1 then A1 B0: the A1 A1 in the middle belongs to two characters.
      {"bytes A1 A1 across two characters stay", "n=\xB0\xA1\xA1\xB0", "", "n=\xB0\xA1\xA1\xB0",
       ""},
  };
  for (const auto& c : cases) {
    Text cookies = c.old;
    Text received = c.received;
    EXPECT_EQ(MergeCookies(cookies, received), c.merged) << c.name;
    EXPECT_EQ(cookies, c.merged) << c.name;
    EXPECT_EQ(received, c.receivedAfter) << c.name;
  }
}

TEST(CookieName, Table) {
  const struct {
    std::string entry;
    std::string name;
  } cases[] = {
      {"a=1", "a"}, {" a =1", "a"}, {"abc", "abc"}, {"=x", ""}, {"a=b=c", "a"}, {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CookieName(c.entry), c.name) << c.entry;
}

TEST(HasCookieName, ComparesNamesExactly) {
  const TextArray entries = {"a=1", " b =2", "c"};
  EXPECT_TRUE(HasCookieName(entries, "a"));
  EXPECT_TRUE(HasCookieName(entries, "b"));
  EXPECT_TRUE(HasCookieName(entries, "c"));
  EXPECT_FALSE(HasCookieName(entries, "A"));
  EXPECT_FALSE(HasCookieName(entries, "d"));
  EXPECT_FALSE(HasCookieName({}, "a"));
}

TEST(DistinctItems, Table) {
  const struct {
    std::string list;
    std::string separator;
    std::string expected;
  } cases[] = {
      {"x, y, x", ", ", "x, y"}, {"", ", ", ""},         {"a;a;b", ";", "a;b"},
      {"x, y, ", ", ", "x, y"},  {", , a", ", ", ", a"}, {"A;a", ";", "A;a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DistinctItems(c.list, c.separator), c.expected) << c.list;
  }
}

TEST(IndexOfText, FirstEqualElementOrMinusOne) {
  const TextArray items = {"p", "q", "p"};
  EXPECT_EQ(IndexOfText(items, "p"), 1);
  EXPECT_EQ(IndexOfText(items, "q"), 2);
  EXPECT_EQ(IndexOfText(items, "r"), -1);
  EXPECT_EQ(IndexOfText(items, "P"), -1);
  EXPECT_EQ(IndexOfText({}, "p"), -1);
}

}  // namespace
}  // namespace qa
