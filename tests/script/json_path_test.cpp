#include "script/json_path.h"

#include <gtest/gtest.h>

namespace qa {
namespace {

using Keys = std::optional<JsonPath>;
const Keys kNotAPath = std::nullopt;

struct PathCase {
  const char* path;
  JsonPathForm form;
  Keys keys;
};

TEST(ParseJsonPath, FormsAndSteps) {
  using F = JsonPathForm;
  const PathCase cases[] = {
      // The three forms.
      {"access_token", F::kFull, JsonPath{"access_token"}},
      {"words_result[3].words", F::kFull, JsonPath{"words_result", "3", "words"}},
      {"[0].words", F::kFull, JsonPath{"0", "words"}},
      {"", F::kFull, kNotAPath},  // root "." nothing
      {"access_token", F::kMember, JsonPath{"access_token"}},
      {"[0]", F::kMember, kNotAPath},  // root ".[0]"
      {"", F::kMember, kNotAPath},
      {"", F::kOptional, JsonPath{}},
      {"words_result", F::kOptional, JsonPath{"words_result"}},
      {"[0]", F::kOptional, kNotAPath},
      // Names.
      {"$a._b9", F::kFull, JsonPath{"$a", "_b9"}},
      {"\xD6\xD0\xCE\xC4.x", F::kFull, JsonPath{"\xE4\xB8\xAD\xE6\x96\x87", "x"}},  // 中文
      {"a..b", F::kFull, kNotAPath},
      {"a.", F::kFull, kNotAPath},
      {"9a", F::kFull, kNotAPath},
      {"a b", F::kFull, kNotAPath},
      {"a\xA1\xA1", F::kFull, kNotAPath},  // full-width space
      {"a-b", F::kFull, kNotAPath},
      // Indexes and quoted names.
      {"a[0][12]", F::kFull, JsonPath{"a", "0", "12"}},
      {"a[01]", F::kFull, kNotAPath},
      {"a[]", F::kFull, kNotAPath},
      {"a[1", F::kFull, kNotAPath},
      {"a[-1]", F::kFull, kNotAPath},
      {"a[ 1 ]", F::kFull, kNotAPath},
      {"a[1234567890123456]", F::kFull, kNotAPath},
      {"a['x y']", F::kFull, JsonPath{"a", "x y"}},
      {"a[\"\xD6\xD0]\"]", F::kFull, JsonPath{"a", "\xE4\xB8\xAD]"}},
      {"a['x\"]", F::kFull, kNotAPath},
      {"a['x\\']", F::kFull, kNotAPath},
      {"a['x']b", F::kFull, kNotAPath},
      // Script in any form is no path.
      {"a;da=null", F::kFull, kNotAPath},
      {"constructor.constructor('return 1')()", F::kFull, kNotAPath},
      {"a[1+1]", F::kFull, kNotAPath},
      {"a=1", F::kMember, kNotAPath},
      {"x)//", F::kOptional, kNotAPath},
      {"a\n.b", F::kFull, kNotAPath},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ParseJsonPath(c.path, c.form), c.keys);
  }
}

}  // namespace
}  // namespace qa
