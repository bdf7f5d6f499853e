#include "script/regex_matcher.h"

#include <string>
#include <vector>

#include "encoding/codepage.h"
#include "script/script_engine.h"

namespace qa {

struct RegexMatcher::Item {
  int firstIndex = 0;  // UTF-16 index of the match in the subject
  Text value;
  TextArray groups;  // a group that took no part is empty
};

// What one Match leaves for the accessors: the matches are read out of the
// engine at once, so the accessors need no engine.
struct RegexMatcher::Results {
  Text pattern;  // as set, quote markers replaced
  Text subject;
  std::string enginePattern;
  std::string engineSubject;
  std::string flags;
  bool valid = false;  // the engine accepted the pattern
  int groupCount = 0;
  std::vector<Item> items;
};

namespace {

// The engine's "." also refuses a carriage return and the Unicode line
// separators; ours refuses a line feed only. Rewrites every "." outside a
// character class and not escaped.
std::string ToEnginePattern(std::string_view pattern) {
  const std::u16string in = GbkToUtf16(pattern);
  std::u16string out;
  out.reserve(in.size() + 8);
  bool inClass = false;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char16_t c = in[i];
    if (c == u'\\' && i + 1 < in.size()) {
      out += c;
      out += in[++i];
    } else if (inClass) {
      if (c == u']') inClass = false;
      out += c;
    } else if (c == u'[') {
      inClass = true;
      out += c;
    } else if (c == u'.') {
      out += u"[^\\n]";
    } else {
      out += c;
    }
  }
  return Utf16ToUtf8(out);
}

void PushRegExp(duk_context* ctx, const std::string& pattern, const std::string& flags) {
  duk_get_global_string(ctx, "RegExp");
  duk_push_lstring(ctx, pattern.data(), pattern.size());
  duk_push_lstring(ctx, flags.data(), flags.size());
  duk_new(ctx, 2);
}

// Byte offset in the GBK text of the character at UTF-16 index `units`. Each
// character is one unit, except a lead byte followed by a byte that cannot
// end a double-byte character: the code page conversion makes two units of it.
std::size_t ByteOffsetOfUnit(std::string_view gbk, int units) {
  std::size_t i = 0;
  int u = 0;
  while (i < gbk.size() && u < units) {
    const auto c = static_cast<unsigned char>(gbk[i]);
    if (IsLeadByte(c) && i + 1 < gbk.size()) {
      const auto t = static_cast<unsigned char>(gbk[i + 1]);
      if (t >= 0x40 && t <= 0xFE && t != 0x7F) {
        i += 2;
        ++u;
      } else {
        i += (u + 1 < units) ? 2 : 1;
        u += 2;
      }
    } else {
      ++i;
      ++u;
    }
  }
  return i;
}

}  // namespace

RegexMatcher::RegexMatcher() = default;
RegexMatcher::~RegexMatcher() = default;
RegexMatcher::RegexMatcher(RegexMatcher&&) noexcept = default;
RegexMatcher& RegexMatcher::operator=(RegexMatcher&&) noexcept = default;

RegexMatcher RegexMatcher::Copy() const {
  RegexMatcher copy;
  copy.engine_ = engine_;
  copy.results_ = results_;
  return copy;
}

bool RegexMatcher::Match(std::string_view pattern, std::string_view subject, bool caseSensitive,
                         bool multiline, bool global, bool quoteWord) {
  results_.reset();
  if (!engine_) engine_ = std::make_shared<ScriptEngine>();
  if (!engine_->valid()) return false;

  auto r = std::make_shared<Results>();
  r->pattern = quoteWord ? ReplaceAllText(pattern, kQuoteMarker, "\"") : Text(pattern);
  r->subject = subject;
  r->enginePattern = ToEnginePattern(r->pattern);
  r->engineSubject = ToEngineText(subject);
  if (!caseSensitive) r->flags += 'i';
  if (multiline) r->flags += 'm';
  if (global) r->flags += 'g';

  // The step lists the group count, then for every match its index, its text
  // and the texts of its groups.
  TextArray list;
  const Results& in = *r;
  r->valid = engine_->RunTextList(
      [&in](duk_context* ctx) {
        PushRegExp(ctx, in.enginePattern, in.flags);
        duk_push_lstring(ctx, in.engineSubject.data(), in.engineSubject.size());
        duk_push_array(ctx);  // [re subject list]
        duk_push_int(ctx, 0);
        duk_put_prop_index(ctx, -2, 0);
        duk_uarridx_t n = 1;
        const bool everyMatch = in.flags.find('g') != std::string::npos;
        for (;;) {
          duk_get_prop_string(ctx, -3, "exec");
          duk_dup(ctx, -4);
          duk_dup(ctx, -4);
          duk_call_method(ctx, 1);  // [re subject list match]
          if (duk_is_null(ctx, -1)) {
            duk_pop(ctx);
            break;
          }
          const duk_size_t len = duk_get_length(ctx, -1);
          duk_push_uint(ctx, static_cast<duk_uint_t>(len - 1));
          duk_put_prop_index(ctx, -3, 0);
          duk_get_prop_string(ctx, -1, "index");
          duk_put_prop_index(ctx, -3, n++);
          for (duk_size_t i = 0; i < len; ++i) {
            duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i));
            duk_put_prop_index(ctx, -3, n++);
          }
          duk_get_prop_index(ctx, -1, 0);
          const bool empty = duk_get_length(ctx, -1) == 0;
          duk_pop_2(ctx);
          if (!everyMatch) break;
          if (empty) {  // step over an empty match, as a global search does
            duk_get_prop_string(ctx, -3, "lastIndex");
            const double next = duk_get_number(ctx, -1) + 1;
            duk_pop(ctx);
            duk_push_number(ctx, next);
            duk_put_prop_string(ctx, -4, "lastIndex");
          }
        }
      },
      list);

  if (r->valid && !list.empty()) {
    r->groupCount = TextToInt(list[0]);
    const std::size_t stride = static_cast<std::size_t>(r->groupCount) + 2;
    for (std::size_t i = 1; i + stride <= list.size(); i += stride) {
      Item item;
      item.firstIndex = TextToInt(list[i]);
      item.value = std::move(list[i + 1]);
      item.groups.assign(std::make_move_iterator(list.begin() + i + 2),
                         std::make_move_iterator(list.begin() + i + stride));
      r->items.push_back(std::move(item));
    }
  }
  results_ = std::move(r);
  return results_->valid;
}

Text RegexMatcher::GetPattern() const {
  return results_ ? results_->pattern : Text();
}

Text RegexMatcher::Replace(std::string_view replacement) const {
  if (!engine_ || !results_ || !results_->valid) return {};
  const std::string with = ToEngineText(replacement);
  const Results& r = *results_;
  return engine_->RunText([&](duk_context* ctx) {
    duk_push_lstring(ctx, r.engineSubject.data(), r.engineSubject.size());
    duk_get_prop_string(ctx, -1, "replace");
    duk_swap_top(ctx, -2);
    PushRegExp(ctx, r.enginePattern, r.flags);
    duk_push_lstring(ctx, with.data(), with.size());
    duk_call_method(ctx, 2);
  });
}

int RegexMatcher::GetMatchCount() const {
  return results_ ? static_cast<int>(results_->items.size()) : 0;
}

const RegexMatcher::Item* RegexMatcher::ItemAt(int n) const {
  if (!results_ || n < 1 || static_cast<std::size_t>(n) > results_->items.size()) return nullptr;
  return &results_->items[static_cast<std::size_t>(n) - 1];
}

// The 0-based byte offset of `text` searched in the subject from the start of
// the match `item` (-2 when not found); for no match, 0, or -2 for an empty
// subject.
int RegexMatcher::PositionOf(const Item* item, std::string_view text) const {
  const std::string_view subject = results_ ? std::string_view(results_->subject) : "";
  if (!item) return subject.empty() ? -2 : 0;
  const std::size_t start = ByteOffsetOfUnit(subject, item->firstIndex);
  if (text.empty()) return static_cast<int>(start);
  const int found = FindText(subject, text, static_cast<int>(start) + 1);
  return found < 0 ? -2 : found - 1;
}

Text RegexMatcher::GetMatchText(int n, int* position) const {
  const Item* item = ItemAt(n);
  Text text = item ? item->value : Text();
  if (position) *position = PositionOf(item, text);
  return text;
}

Text RegexMatcher::GetSubMatchText(int n, int k, int* position) const {
  const Item* item = ItemAt(n);
  if (item && (k < 1 || static_cast<std::size_t>(k) > item->groups.size())) item = nullptr;
  Text text = item ? item->groups[static_cast<std::size_t>(k) - 1] : Text();
  if (position) *position = PositionOf(item, text);
  return text;
}

int RegexMatcher::GetSubMatchCount() const {
  return results_ && !results_->items.empty() ? results_->groupCount : 0;
}

}  // namespace qa
