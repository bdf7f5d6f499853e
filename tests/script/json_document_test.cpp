#include "script/json_document.h"

#include <gtest/gtest.h>

#include <chrono>

namespace qa {
namespace {

// An OCR reply of four lines: "1.问题", "A", "B", "C" (GBK, as callers hand it over).
const char kOcrReply[] =
    "{\"log_id\":2471272194,\"words_result_num\":4,\"words_result\":["
    "{\"words\":\"1.\xCE\xCA\xCC\xE2\"},{\"words\":\"A\"},{\"words\":\"B\"},{\"words\":\"C\"}]}";

const char kTokenReply[] =
    "{\"refresh_token\":\"25.b55f\",\"expires_in\":2592000,"
    "\"access_token\":\"24.6c5e1ff1.2592000.1491.282335-1234567\",\"scope\":\"public\"}";

JsonDocument Parsed(std::string_view json) {
  JsonDocument doc;
  EXPECT_TRUE(doc.Parse(json)) << json;
  return doc;
}

TEST(JsonDocument, StartsAsAnEmptyObject) {
  JsonDocument doc;
  EXPECT_EQ(doc.ToJsonText(), "{}");
  EXPECT_EQ(doc.GetValueType(), json_type::kObject);
  EXPECT_EQ(doc.GetMemberCount(), 0);
}

// Parse reads JSON only; the root is the value, or null for anything else.
TEST(JsonDocument, ParseResults) {
  const struct {
    const char* text;
    bool result;
    const char* root;  // ToJsonText afterwards
  } cases[] = {
      {"{\"a\":1}", true, "{\"a\":1}"},
      {" [1, 2] ", true, "[1,2]"},
      {"\"text\"", true, "\"text\""},
      {"5", true, "5"},
      {"false", true, "false"},
      {"", false, "null"},
      {"null", false, "null"},
      {"<html><body>502 Bad Gateway</body></html>", false, "null"},
      {"{\"a\":1} trailing", false, "null"},
      {"{\"a\":1", false, "null"},
      // What only a script engine would accept.
      {"{a:1}", false, "null"},
      {"['x']", false, "null"},
      {"[1,2,]", false, "null"},
      {"0x10", false, "null"},
      {"new Date(0)", false, "null"},
      {"1);da=7;(1", false, "null"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    JsonDocument doc;
    EXPECT_EQ(doc.Parse(c.text), c.result);
    EXPECT_EQ(doc.ToJsonText(), c.root);
  }
}

TEST(JsonDocument, ParseNeverRunsTheText) {
  JsonDocument doc;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(doc.Parse("1);while(1){}//"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  // A JSON string holding script stays a string.
  EXPECT_TRUE(doc.Parse("\"da=null\""));
  EXPECT_EQ(doc.GetText("[0]"), "d");
  EXPECT_EQ(doc.GetValueType(), json_type::kString);
}

TEST(JsonDocument, ParseReplacesTheRootEachTime) {
  JsonDocument doc;
  EXPECT_TRUE(doc.Parse("{\"a\":1}"));
  EXPECT_TRUE(doc.Parse("[3]"));
  EXPECT_EQ(doc.ToJsonText(), "[3]");
  EXPECT_FALSE(doc.Parse("not json"));
  EXPECT_EQ(doc.GetValueType(), json_type::kNull);
  EXPECT_EQ(doc.GetText("a"), "");
}

TEST(JsonDocument, TokenReply) {
  JsonDocument doc = Parsed(kTokenReply);
  EXPECT_EQ(doc.GetText("access_token"), "24.6c5e1ff1.2592000.1491.282335-1234567");
  EXPECT_EQ(doc.GetText("expires_in"), "2592000");
  EXPECT_EQ(doc.GetText("no_such_member"), "");

  JsonDocument error = Parsed("{\"error\":\"invalid_client\",\"error_description\":\"unknown\"}");
  EXPECT_EQ(error.GetText("access_token"), "");
}

TEST(JsonDocument, OcrReply) {
  JsonDocument doc = Parsed(kOcrReply);
  ASSERT_EQ(doc.GetMemberCount("words_result"), 4);
  const char* lines[] = {"1.\xCE\xCA\xCC\xE2", "A", "B", "C"};
  for (int n = 0; n < 4; ++n) {
    EXPECT_EQ(doc.GetText("words_result[" + IntToText(n) + "].words"), lines[n]);
  }
  EXPECT_EQ(doc.GetText("words_result[9].words"), "");
  EXPECT_EQ(doc.GetText("log_id"), "2471272194");
  EXPECT_EQ(doc.GetText("words_result[3]", true), "{\"words\":\"C\"}");
}

TEST(JsonDocument, GetMemberCount) {
  JsonDocument doc = Parsed(
      "{\"empty\":[],\"three\":[1,2,3],\"obj\":{\"a\":1,\"b\":2},\"s\":\"abc\",\"n\":7,"
      "\"nil\":null}");
  const struct {
    const char* path;
    int count;
  } cases[] = {
      {"empty", 0},
      {"three", 3},
      {"obj", 2},
      {"s", 3},  // a string counts its characters
      {"n", 0},
      {"nil", -2},
      {"absent", -2},        // for-in over nothing
      {"", 6},               // the root
      {"absent.deeper", 0},  // unreadable path
      {"[0]", 0},            // not a path in this form
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(doc.GetMemberCount(c.path), c.count);
  }
}

TEST(JsonDocument, PathsOnARootArray) {
  JsonDocument doc = Parsed("[{\"words\":\"x\"},2]");
  EXPECT_EQ(doc.GetText("[0].words"), "x");
  EXPECT_EQ(doc.GetText("[1]"), "2");
  EXPECT_EQ(doc.GetText("[0]", true), "{\"words\":\"x\"}");
  EXPECT_EQ(doc.GetMemberCount(), 2);
  EXPECT_EQ(doc.GetMemberCount("[0]"), 0);
  EXPECT_EQ(doc.GetText(""), "");
}

TEST(JsonDocument, GetTextReadsEveryKindOfValue) {
  JsonDocument doc = Parsed(
      "{\"s\":\"q\\\"b\\\\s\\n\",\"i\":42,\"f\":-1.25,\"big\":12345678901234567890,"
      "\"t\":true,\"nil\":null,\"arr\":[1,\"x\"],\"obj\":{\"k\":\"\xD6\xD0\"},"
      "\"emoji\":\"a\\ud83d\\ude00\",\"\xD6\xD0\":\"cn\"}");
  const struct {
    const char* path;
    bool asJson;
    const char* text;
  } cases[] = {
      {"s", false, "q\"b\\s\n"},
      {"s", true, "\"q\\\"b\\\\s\\n\""},
      {"i", false, "42"},
      {"f", false, "-1.25"},
      {"big", false, "12345678901234567000"},
      {"t", false, "true"},
      {"nil", false, ""},
      {"nil", true, "null"},
      {"absent", false, ""},
      {"absent", true, ""},
      {"arr", true, "[1,\"x\"]"},
      {"obj.k", false, "\xD6\xD0"},
      {"obj", true, "{\"k\":\"\xD6\xD0\"}"},
      {"obj['k']", false, "\xD6\xD0"},
      {"emoji", false, "a?"},
      {"\xD6\xD0", false, "cn"},
      {"s.length", false, "6"},
      {"obj.k.x.y", false, ""},
      {"i;da=null", false, ""},
      {"", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(doc.GetText(c.path, c.asJson), c.text);
  }
  EXPECT_EQ(doc.GetText("i"), "42");  // the bad paths changed nothing
}

TEST(JsonDocument, ResetGivesTheOtherContainerForTheReportedCode) {
  const struct {
    int code;
    const char* root;
  } cases[] = {{5, "[]"}, {4, "{}"}, {0, "null"}, {3, "[7]"}, {2, "[7]"}, {-1, "[7]"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    JsonDocument doc = Parsed("[7]");
    doc.Reset(c.code);
    EXPECT_EQ(doc.ToJsonText(), c.root);
  }
  JsonDocument doc = Parsed("[7]");
  doc.Reset(doc.GetValueType());  // reported 4 (array) makes an object
  EXPECT_EQ(doc.ToJsonText(), "{}");
}

TEST(JsonDocument, ClearAndInitialize) {
  JsonDocument doc = Parsed("[1]");
  doc.Clear();
  EXPECT_EQ(doc.ToJsonText(), "{}");
  doc.SetProperty("a", "1");
  JsonDocument copy = doc.Copy();
  doc.Initialize();  // a new engine: the copy keeps the old one
  EXPECT_EQ(doc.ToJsonText(), "{}");
  EXPECT_EQ(copy.ToJsonText(), "{\"a\":\"1\"}");
}

// Values are stored as given: an apostrophe, a backslash or script in a value
// is just text.
TEST(JsonDocument, SetProperty) {
  const struct {
    const char* value;
    bool asObject;
    const char* json;  // ToJsonText afterwards, starting from {"x":0}
  } cases[] = {
      {"plain", false, "{\"x\":\"plain\"}"},
      {"it's", false, "{\"x\":\"it's\"}"},
      {"a\\nb", false, "{\"x\":\"a\\\\nb\"}"},
      {"'; da=null; '", false, "{\"x\":\"'; da=null; '\"}"},
      {"\xD6\xD0", false, "{\"x\":\"\xD6\xD0\"}"},
      {"", false, "{\"x\":\"\"}"},
      {"", true, "{\"x\":{}}"},
      {"[1,{\"b\":null}]", true, "{\"x\":[1,{\"b\":null}]}"},
      {"\"s\"", true, "{\"x\":\"s\"}"},
      {"{b:1}", true, "{\"x\":0}"},          // no JSON: unchanged
      {"1);da=null;(1", true, "{\"x\":0}"},  // no JSON: unchanged
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    JsonDocument doc = Parsed("{\"x\":0}");
    doc.SetProperty("x", c.value, c.asObject);
    EXPECT_EQ(doc.ToJsonText(), c.json);
  }
}

TEST(JsonDocument, SetPropertyNeedsAReadablePath) {
  JsonDocument doc = Parsed("{\"o\":{},\"s\":\"text\"}");
  doc.SetProperty("o.inner", "v");
  doc.SetProperty("missing.inner", "v");
  doc.SetProperty("x;da=null", "v");
  doc.SetProperty("", "v");
  EXPECT_EQ(doc.ToJsonText(), "{\"o\":{\"inner\":\"v\"},\"s\":\"text\"}");
}

TEST(JsonDocument, SetRawAndNumberProperties) {
  JsonDocument doc;
  doc.SetRawProperty("n", "5");
  doc.SetRawProperty("s", "\"five\"");
  doc.SetRawProperty("o", "{\"k\":[true]}");
  doc.SetRawProperty("bad", "");
  doc.SetRawProperty("bad", "1+1");
  doc.SetRawProperty("bad", "five");
  doc.SetNumberProperty("d", 2.5);
  doc.SetNumberProperty("neg", -3);
  EXPECT_EQ(doc.ToJsonText(), "{\"n\":5,\"s\":\"five\",\"o\":{\"k\":[true]},\"d\":2.5,\"neg\":-3}");
}

TEST(JsonDocument, GetNumberAndPropertyJson) {
  JsonDocument doc =
      Parsed("{\"d\":2.5,\"i\":-4,\"ns\":\"12\",\"s\":\"abc\",\"t\":true,\"o\":{\"a\":[1]}}");
  const struct {
    const char* name;
    double number;
    const char* json;
  } cases[] = {
      {"d", 2.5, "2.5"},   {"i", -4, "-4"},         {"ns", 12, "\"12\""}, {"s", 0, "\"abc\""},
      {"t", 0, "true"},    {"o", 0, "{\"a\":[1]}"}, {"absent", 0, ""},    {"o.a", 0, "[1]"},
      {"absent.x", 0, ""}, {"d;throw 1", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(doc.GetNumber(c.name), c.number);
    EXPECT_EQ(doc.GetPropertyJson(c.name), c.json);
  }
}

TEST(JsonDocument, AddMember) {
  const struct {
    const char* start;
    const char* value;
    const char* path;
    bool asObject;
    const char* json;
  } cases[] = {
      {"{}", "1", "", false, "[\"1\"]"},  // the root made an array
      {"{}", "1", "", true, "[1]"},
      {"{}", "1", "list", false, "{}"},  // no member: nothing changes
      {"{\"list\":null}", "1", "list", false, "{\"list\":null}"},
      {"{\"list\":[0]}", "x", "list", false, "{\"list\":[0,\"x\"]}"},
      {"{\"list\":[0]}", "{\"k\":1}", "list", true, "{\"list\":[0,{\"k\":1}]}"},
      {"{\"list\":\"s\"}", "x", "list", false, "{\"list\":[\"x\"]}"},
      {"{\"list\":{\"map\":1}}", "x", "list", false, "{\"list\":[\"x\"]}"},
      {"{\"list\":5}", "", "list", true, "{\"list\":[]}"},      // array made, nothing appended
      {"{\"list\":5}", "{k:1}", "list", true, "{\"list\":5}"},  // no JSON: unchanged
      {"{\"list\":[]}", "it's", "list", false, "{\"list\":[\"it's\"]}"},
      {"{\"a\":{\"b\":[]}}", "1", "a.b", true, "{\"a\":{\"b\":[1]}}"},
      {"{}", "1", "a;b", false, "{}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.start) + " + " + c.value + " at " + c.path);
    JsonDocument doc = Parsed(c.start);
    doc.AddMember(c.value, c.path, c.asObject);
    EXPECT_EQ(doc.ToJsonText(), c.json);
  }
}

TEST(JsonDocument, GetArrayItemText) {
  JsonDocument doc = Parsed("{\"list\":[\"a\",{\"k\":2}],\"s\":\"xyz\"}");
  EXPECT_EQ(doc.GetArrayItemText(0, "list"), "a");
  EXPECT_EQ(doc.GetArrayItemText(1, "list", true), "{\"k\":2}");
  EXPECT_EQ(doc.GetArrayItemText(2, "list"), "");
  EXPECT_EQ(doc.GetArrayItemText(-1, "list"), "");
  EXPECT_EQ(doc.GetArrayItemText(1, "s"), "y");
  EXPECT_EQ(doc.GetArrayItemText(0, "absent"), "");
  EXPECT_EQ(doc.GetArrayItemText(0), "");  // the root object has no member "0"

  JsonDocument root = Parsed("[10,20]");
  EXPECT_EQ(root.GetArrayItemText(1), "20");
  EXPECT_EQ(root.GetArrayItemText(0, {}, true), "10");
}

TEST(JsonDocument, SetAndRemoveArrayItems) {
  JsonDocument doc = Parsed("[1,2,3]");
  doc.SetArrayItem(0, "it's");
  doc.SetArrayItem(1, "{\"k\":[]}", true);
  doc.SetArrayItem(2, "", true);      // no JSON: unchanged
  doc.SetArrayItem(2, "nope", true);  // no JSON: unchanged
  doc.SetArrayItem(4, "e");
  EXPECT_EQ(doc.ToJsonText(), "[\"it's\",{\"k\":[]},3,null,\"e\"]");
  doc.RemoveArrayItem(1);
  EXPECT_EQ(doc.ToJsonText(), "[\"it's\",3,null,\"e\"]");
  doc.RemoveArrayItem(-1);
  EXPECT_EQ(doc.ToJsonText(), "[\"it's\",3,null]");
  doc.RemoveArrayItem(9);
  EXPECT_EQ(doc.ToJsonText(), "[\"it's\",3,null]");

  JsonDocument object = Parsed("{\"a\":1}");
  object.RemoveArrayItem(0);  // no splice on an object: unchanged
  object.SetArrayItem(0, "v");
  EXPECT_EQ(object.ToJsonText(), "{\"0\":\"v\",\"a\":1}");

  JsonDocument null = Parsed("[1]");
  null.Reset(json_type::kNull);
  null.SetArrayItem(0, "v");
  null.RemoveArrayItem(0);
  EXPECT_EQ(null.ToJsonText(), "null");
}

TEST(JsonDocument, SetValue) {
  const struct {
    const char* value;
    bool asObject;
    const char* json;  // starting from [0]
  } cases[] = {
      {"it's", false, "\"it's\""},
      {"{\"a\":[1]}", true, "{\"a\":[1]}"},
      {"7", true, "7"},
      {"", false, "\"\""},
      {"", true, "[0]"},
      {"da", true, "[0]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    JsonDocument doc = Parsed("[0]");
    doc.SetValue(c.value, c.asObject);
    EXPECT_EQ(doc.ToJsonText(), c.json);
  }
}

TEST(JsonDocument, HasProperty) {
  JsonDocument doc = Parsed("{\"a\":0,\"e\":\"\",\"f\":false,\"nil\":null,\"o\":{\"b\":1}}");
  const struct {
    const char* name;
    bool has;
  } cases[] = {
      {"a", true},       {"e", true},
      {"f", true},       {"nil", false},
      {"absent", false}, {"o.b", true},
      {"o.c", false},    {"absent.b", false},
      {"", false},       {"toJSONString", true},  // inherited members count too
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(doc.HasProperty(c.name), c.has);
  }
}

TEST(JsonDocument, GetPropertyNames) {
  JsonDocument doc =
      Parsed("{\"a\":1,\"b\":{\"x,y\":1,\"\xD6\xD0\":2},\"arr\":[5,6],\"s\":\"hi\"}");
  const struct {
    const char* path;
    TextArray names;
  } cases[] = {
      {"", {"a", "b", "arr", "s", "toJSONString", "parseJSON"}},
      {"b", {"x,y", "\xD6\xD0", "toJSONString", "parseJSON"}},
      {"arr", {"0", "1", "toJSONString", "parseJSON"}},
      {"s", {"0", "1", "toJSONString", "parseJSON"}},
      {"a", {"toJSONString", "parseJSON"}},
      {"absent", {}},
      {"absent.deeper", {}},
      {"[0]", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    TextArray names = {"left", "over"};
    doc.GetPropertyNames(names, c.path);
    EXPECT_EQ(names, c.names);
  }
}

TEST(JsonDocument, GetValueType) {
  JsonDocument doc = Parsed(
      "{\"s\":\"x\",\"arr\":[],\"obj\":{},\"n\":1.5,\"t\":true,\"nil\":null,"
      "\"mapped\":{\"map\":1}}");
  const struct {
    const char* path;
    int type;
  } cases[] = {
      {"s", json_type::kString},      {"arr", json_type::kArray},
      {"obj", json_type::kObject},    {"n", json_type::kNumber},
      {"t", json_type::kOther},       {"nil", json_type::kNull},
      {"absent", json_type::kNull},   {"absent.x", json_type::kOther},
      {"mapped", json_type::kObject}, {"toJSONString", json_type::kOther},
      {"", json_type::kObject},       {"a b", json_type::kOther},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(doc.GetValueType(c.path), c.type);
  }
}

TEST(JsonDocument, CopySharesTheEngine) {
  auto original = std::make_unique<JsonDocument>();
  JsonDocument copy = original->Copy();
  copy.SetProperty("a", "1");
  EXPECT_EQ(original->GetText("a"), "1");
  original->Parse("[2]");
  EXPECT_EQ(copy.ToJsonText(), "[2]");
  original.reset();  // the copy keeps the engine alive
  EXPECT_EQ(copy.GetText("[0]"), "2");
}

TEST(JsonDocument, GetSubDocumentIsIndependent) {
  JsonDocument doc = Parsed(kOcrReply);
  JsonDocument sub = doc.GetSubDocument("words_result");
  EXPECT_EQ(sub.GetMemberCount(), 4);
  EXPECT_EQ(sub.GetText("[0].words"), "1.\xCE\xCA\xCC\xE2");
  sub.RemoveArrayItem(0);
  EXPECT_EQ(sub.GetMemberCount(), 3);
  EXPECT_EQ(doc.GetMemberCount("words_result"), 4);

  JsonDocument item = doc.GetSubDocument("words_result[1]");
  EXPECT_EQ(item.ToJsonText(), "{\"words\":\"A\"}");
  JsonDocument missing = doc.GetSubDocument("absent");
  EXPECT_EQ(missing.ToJsonText(), "null");
  JsonDocument broken = doc.GetSubDocument("a;b");
  EXPECT_EQ(broken.ToJsonText(), "null");
}

TEST(JsonDocument, AMovedFromDocumentFailsQuietly) {
  JsonDocument doc = Parsed("{\"a\":1}");
  JsonDocument moved = std::move(doc);
  EXPECT_EQ(moved.GetText("a"), "1");
  // NOLINTBEGIN(bugprone-use-after-move)
  EXPECT_FALSE(doc.Parse("{}"));
  EXPECT_EQ(doc.GetText("a"), "");
  EXPECT_EQ(doc.GetMemberCount(), 0);
  EXPECT_EQ(doc.GetValueType(), json_type::kOther);
  doc.SetProperty("a", "2");
  EXPECT_EQ(doc.ToJsonText(), "");
  EXPECT_EQ(doc.GetSubDocument("a").ToJsonText(), "null");
  // NOLINTEND(bugprone-use-after-move)
}

TEST(JsonDocument, DeepNestingFailsQuietly) {
  std::string deep(100000, '[');
  deep += std::string(100000, ']');
  JsonDocument doc;
  EXPECT_FALSE(doc.Parse(deep));
  EXPECT_EQ(doc.ToJsonText(), "null");
}

}  // namespace
}  // namespace qa
