#include "script/script_engine.h"

#include <gtest/gtest.h>

#include "script/json_support_script.h"

namespace qa {
namespace {

struct EvalCase {
  const char* source;
  const char* text;
  double number;
  bool truth;
};

// What an evaluation gives when read as text, number and truth value. Script
// errors (syntax, reference, thrown values) give the quiet results.
TEST(ScriptEngine, EvalReadsTheResultThreeWays) {
  const EvalCase cases[] = {
      {"'abc'", "abc", 0, true},
      {"'12'", "12", 12, true},
      {"' 2.5 '", " 2.5 ", 2.5, true},
      {"''", "", 0, false},
      {"1+1", "2", 2, true},
      {"1.5", "1.5", 1.5, true},
      {"-7", "-7", -7, true},
      {"0", "0", 0, false},
      {"NaN", "NaN", 0, false},
      {"true", "true", 0, true},
      {"false", "false", 0, false},
      {"undefined", "", 0, false},
      {"null", "", 0, false},
      {"({a:1})", "[object Object]", 0, true},
      {"[1,2]", "1,2", 0, true},
      {"var g=5; g*2", "10", 10, true},
      {"(", "", 0, false},
      {"no_such_name", "", 0, false},
      {"null.x", "", 0, false},
      {"throw 'boom'", "", 0, false},
      {"({toString: function(){ throw 1; }})", "", 0, true},
  };
  ScriptEngine engine;
  ASSERT_TRUE(engine.valid());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(engine.EvalText(c.source), c.text);
    EXPECT_EQ(engine.EvalNumber(c.source), c.number);
    EXPECT_EQ(engine.EvalTruth(c.source), c.truth);
  }
}

TEST(ScriptEngine, CodeRunsAtGlobalScopeAndErrorsLeaveTheEngineUsable) {
  ScriptEngine engine;
  EXPECT_TRUE(engine.AddCode("var counter = 1; function bump() { return ++counter; }"));
  EXPECT_FALSE(engine.AddCode("var broken = ;"));
  EXPECT_FALSE(engine.AddCode("throw new Error('x')"));
  EXPECT_EQ(engine.EvalNumber("bump()"), 2);
  EXPECT_EQ(engine.EvalText("var made = 'here'"), "");
  EXPECT_EQ(engine.EvalText("made"), "here");
  EXPECT_EQ(engine.EvalNumber("this.counter"), 2);
}

TEST(ScriptEngine, ErrorsPrintNothing) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  {
    ScriptEngine engine;
    engine.AddCode("}{");
    engine.EvalText("undefined_function()");
    engine.EvalNumber("throw new TypeError('t')");
    engine.EvalTruth("(function f(){ f(); })()");  // runs out of stack
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A fatal engine error cannot be survived, but it does not end the process silently.
TEST(ScriptEngineDeathTest, FatalErrorsAreReportedBeforeTheProcessEnds) {
  EXPECT_DEATH(
      {
        ScriptEngine engine;
        engine.Run([](duk_context* ctx) { duk_fatal(ctx, "heap broken"); });
      },
      "script engine: fatal error: heap broken");
}

// GBK on our side, UTF-8 on the engine's.
TEST(ScriptEngine, TextCrossesAsGbk) {
  ScriptEngine engine;
  EXPECT_EQ(engine.EvalText("'\xD6\xD0\xCE\xC4'"), "\xD6\xD0\xCE\xC4");  // 中文
  EXPECT_EQ(engine.EvalNumber("'\xD6\xD0\xCE\xC4'.length"), 2);
  EXPECT_EQ(engine.EvalText("'\\u4e2d'"), "\xD6\xD0");
  EXPECT_EQ(engine.EvalText("String.fromCharCode(0x20AC)"), "\x80");
  EXPECT_EQ(engine.EvalText("'a\\uD83D\\uDE00b'"), "a?b");  // outside the BMP
  EXPECT_EQ(engine.EvalText("'\\uD800'"), "?");             // unpaired surrogate
  EXPECT_EQ(engine.EvalText("'\\u0e01'"), "?");             // Thai: not in GBK
}

TEST(FromEngineText, DecodesUtf8AndCesu8) {
  const struct {
    std::string in;
    Text out;
  } cases[] = {
      {"abc", "abc"},
      {"\xE4\xB8\xAD", "\xD6\xD0"},       // 中
      {"\xED\xA0\xBD\xED\xB8\x80", "?"},  // U+1F600 as CESU-8
      {"\xF0\x9F\x98\x80", "?"},          // U+1F600 as UTF-8
      {"\xED\xA0\xBDx", "?x"},            // a lone high surrogate
      {"\xE4\xB8", "??"},                 // cut short
      {"\xFF"
       "a",
       "?a"},                                            // no UTF-8 at all
      {std::string("a\0b", 3), std::string("a\0b", 3)},  // NUL is a character
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(FromEngineText(c.in), c.out);
  }
}

TEST(JsonSupportScript, StartsWithTheCountFunctionAndUsesCrlf) {
  const std::string_view script = JsonSupportScript();
  const std::string_view head =
      "function get__count(c){\r\n\tvar i=-2;\r\n\tfor (v in c) i++;\r\n\treturn i;\r\n}\r\n\r\n";
  EXPECT_EQ(script.substr(0, head.size()), head);
  for (std::size_t i = 0; i < script.size(); ++i) {
    if (script[i] == '\n') {
      ASSERT_TRUE(i > 0 && script[i - 1] == '\r') << "bare LF at " << i;
    }
  }
  for (char c : script) ASSERT_EQ(static_cast<unsigned char>(c) & 0x80, 0) << "non-ASCII byte";
}

// On an engine with a native JSON, the script adds only the two methods of
// every object, and they are enumerable.
TEST(JsonSupportScript, KeepsNativeJsonAndAddsEnumerableMethods) {
  ScriptEngine engine;
  const std::string nativeStringify = engine.EvalText("String(JSON.stringify)");
  ASSERT_TRUE(engine.AddCode(JsonSupportScript()));
  EXPECT_EQ(engine.EvalText("String(JSON.stringify)"), nativeStringify);
  EXPECT_EQ(engine.EvalText("var s=''; for (var k in {a:1}) s+=k+','; s"),
            "a,toJSONString,parseJSON,");
  EXPECT_EQ(engine.EvalNumber("get__count({a:1,b:2})"), 2);
  EXPECT_EQ(engine.EvalNumber("get__count([1,2,3])"), 3);
  EXPECT_EQ(engine.EvalNumber("get__count(undefined)"), -2);
  EXPECT_EQ(engine.EvalText("({a:[1]}).toJSONString()"), "{\"a\":[1]}");
  EXPECT_EQ(engine.EvalNumber("'[4,5]'.parseJSON()[1]"), 5);
  // Adding it again changes nothing.
  ASSERT_TRUE(engine.AddCode(JsonSupportScript()));
  EXPECT_EQ(engine.EvalNumber("get__count({a:1})"), 1);
}

// The script's own JSON, exercised on an engine stripped of the native one.
class JsonFallback : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine_.AddCode("delete this.JSON; delete Date.prototype.toJSON;"));
    ASSERT_EQ(engine_.EvalText("typeof JSON"), "undefined");
    ASSERT_TRUE(engine_.AddCode(JsonSupportScript()));
  }
  // The value of `expr`, or "threw <ErrorName>".
  Text Try(const std::string& expr) {
    return engine_.EvalText("(function(){ try { return " + expr +
                            "; } catch (e) { return 'threw ' + e.name; } })()");
  }
  ScriptEngine engine_;
};

TEST_F(JsonFallback, Stringify) {
  const struct {
    const char* expr;
    const char* json;
  } cases[] = {
      {"JSON.stringify({a:[1,'x',null,true],b:{c:-2.5}})",
       R"({"a":[1,"x",null,true],"b":{"c":-2.5}})"},
      {"JSON.stringify('q\"\\\\\\n\\t\\u0001\\u2028')", R"("q\"\\\n\t\u0001\u2028")"},
      {"JSON.stringify({u:undefined, f:function(){}, n:NaN, i:-Infinity})",
       R"({"n":null,"i":null})"},
      {"JSON.stringify([undefined, function(){}])", "[null,null]"},
      {"JSON.stringify([])", "[]"},
      {"JSON.stringify({})", "{}"},
      {"String(JSON.stringify(undefined))", "undefined"},
      {"JSON.stringify([new String('s'), new Number(3), new Boolean(false)])", R"(["s",3,false])"},
      {"JSON.stringify({a:[1,{}],b:{}}, null, 2)",
       "{\n  \"a\": [\n    1,\n    {}\n  ],\n  \"b\": {}\n}"},
      {"JSON.stringify([1], null, '--')", "[\n--1\n]"},
      {"JSON.stringify({a:1,b:2,c:3}, ['c','a'])", R"({"c":3,"a":1})"},
      {"JSON.stringify({a:1,b:'x'}, function(k,v){ return typeof v === 'number' ? v*10 : v; })",
       R"({"a":10,"b":"x"})"},
      {"JSON.stringify({d:new Date(Date.UTC(2020,0,2,3,4,5,6))})",
       R"({"d":"2020-01-02T03:04:05.006Z"})"},
      {"JSON.stringify({t:{toJSON:function(k){ return 'key ' + k; }}})", R"({"t":"key t"})"},
      {"(function(){ var o={}; o.self=o; return JSON.stringify(o); })()", "threw TypeError"},
      {"typeof String.prototype.toJSON", "function"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expr);
    EXPECT_EQ(Try(c.expr), c.json);
  }
}

TEST_F(JsonFallback, Parse) {
  const struct {
    const char* text;
    const char* result;  // stringified again, or "threw SyntaxError"
  } cases[] = {
      {R"({"a":[1,-2.5e3,"\u4e2d\n"],"b":null,"c":true})",
       "{\"a\":[1,-2500,\"\xD6\xD0\\n\"],\"b\":null,\"c\":true}"},
      {" [ ] ", "[]"},
      {"\"s\\/\"", "\"s/\""},
      {"0", "0"},
      {"{\"__proto__\":1}", "{\"__proto__\":1}"},
      {"", "threw SyntaxError"},
      {"{a:1}", "threw SyntaxError"},
      {"[1,]", "threw SyntaxError"},
      {"'x'", "threw SyntaxError"},
      {"01", "threw SyntaxError"},
      {"1 2", "threw SyntaxError"},
      {"\"tab\there\"", "threw SyntaxError"},
      {"\"\\x41\"", "threw SyntaxError"},
      {"\"\\u12\"", "threw SyntaxError"},
      {"{\"a\":1", "threw SyntaxError"},
      {"[1 2]", "threw SyntaxError"},
      {"nul", "threw SyntaxError"},
      {"-", "threw SyntaxError"},
      {"NaN", "threw SyntaxError"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    // The text as a single-quoted script literal.
    std::string literal;
    for (char ch : std::string(c.text)) {
      if (ch == '\\' || ch == '\'') literal += '\\';
      literal += ch == '\t' ? std::string("\\t") : std::string(1, ch);
    }
    EXPECT_EQ(Try("JSON.stringify(JSON.parse('" + literal + "'))"), c.result);
  }
  EXPECT_EQ(Try("JSON.stringify(JSON.parse('{\"a\":1,\"b\":[2]}', function(k,v){ "
                "return k === 'a' ? undefined : v; }))"),
            R"({"b":[2]})");
}

}  // namespace
}  // namespace qa
