#include "script/script_engine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "encoding/codepage.h"

namespace qa {
namespace {

// A fatal error leaves the heap in an undefined state and the handler may not
// return. It only happens outside protected calls (out of memory while
// preparing one): say so on stderr before ending the process.
void OnFatal(void*, const char* message) {
  std::fprintf(stderr, "script engine: fatal error: %s\n", message ? message : "(none)");
  std::fflush(stderr);
  std::abort();
}

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Decodes the engine's UTF-8 into UTF-16. Characters outside the BMP come as
// CESU-8 (each surrogate encoded on its own) or, from outside text, as four-byte
// UTF-8; both give a surrogate pair. Malformed bytes and unpaired surrogates
// become U+FFFD.
std::u16string DecodeEngineText(std::string_view s) {
  std::u16string units;
  units.reserve(s.size());
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  while (i < n) {
    unsigned char c = at(i);
    char32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < n && IsContinuation(at(i + 1))) {
      cp = ((c & 0x1F) << 6) | (at(i + 1) & 0x3F);
      len = 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < n && IsContinuation(at(i + 1)) &&
               IsContinuation(at(i + 2))) {
      cp = ((c & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) | (at(i + 2) & 0x3F);
      len = 3;
    } else if ((c & 0xF8) == 0xF0 && i + 3 < n && IsContinuation(at(i + 1)) &&
               IsContinuation(at(i + 2)) && IsContinuation(at(i + 3))) {
      cp = ((c & 0x07) << 18) | ((at(i + 1) & 0x3F) << 12) | ((at(i + 2) & 0x3F) << 6) |
           (at(i + 3) & 0x3F);
      len = 4;
      if (cp < 0x10000 || cp > 0x10FFFF) cp = 0xFFFD;
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(cp));
    }
  }
  // Keep surrogates only in well-formed pairs.
  for (std::size_t k = 0; k < units.size(); ++k) {
    char16_t u = units[k];
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units.size() && units[k + 1] >= 0xDC00 &&
        units[k + 1] <= 0xDFFF) {
      ++k;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      units[k] = 0xFFFD;
    }
  }
  return units;
}

}  // namespace

std::string ToEngineText(std::string_view gbk) {
  return Utf16ToUtf8(GbkToUtf16(gbk));
}

Text FromEngineText(std::string_view engineText) {
  return Utf16ToGbk(DecodeEngineText(engineText));
}

ScriptEngine::ScriptEngine() : ctx_(duk_create_heap(nullptr, nullptr, nullptr, nullptr, OnFatal)) {}

ScriptEngine::~ScriptEngine() {
  if (ctx_) duk_destroy_heap(ctx_);
}

namespace {

// Leaves the value on top as the text that reading it as text gives.
void ToReadableText(duk_context* ctx) {
  if (duk_is_null_or_undefined(ctx, -1)) {
    duk_pop(ctx);
    duk_push_lstring(ctx, "", 0);
  } else {
    duk_to_string(ctx, -1);
  }
}

Text TopText(duk_context* ctx) {
  duk_size_t len = 0;
  const char* p = duk_get_lstring(ctx, -1, &len);
  return p ? FromEngineText(std::string_view(p, len)) : Text();
}

}  // namespace

struct ScriptEngine::Job {
  StepRef step;
  Reading reading;
};

// Runs the step, then turns its result into the form the caller reads, so that
// reading it afterwards can no longer raise an engine error.
duk_ret_t ScriptEngine::RunJob(duk_context* ctx, void* udata) {
  auto* job = static_cast<Job*>(udata);
  // A safe call sees the caller's stack: a step that pushes nothing leaves it as found.
  const duk_idx_t base = duk_get_top(ctx);
  job->step.call(job->step.object, ctx);
  if (duk_get_top(ctx) <= base) duk_push_undefined(ctx);
  switch (job->reading) {
    case Reading::kText:
      ToReadableText(ctx);
      break;
    case Reading::kNumber:
      if (duk_is_string(ctx, -1)) {
        duk_to_number(ctx, -1);
      } else if (!duk_is_number(ctx, -1)) {
        duk_pop(ctx);
        duk_push_number(ctx, 0);
      }
      break;
    case Reading::kTruth:
      duk_to_boolean(ctx, -1);
      break;
    case Reading::kTextList: {
      if (!duk_is_array(ctx, -1)) return DUK_RET_TYPE_ERROR;
      const duk_size_t n = duk_get_length(ctx, -1);
      for (duk_size_t i = 0; i < n; ++i) {
        duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i));
        ToReadableText(ctx);
        duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
      }
      break;
    }
    case Reading::kNothing:
      break;
  }
  return 1;
}

bool ScriptEngine::RunAs(StepRef step, Reading reading, Text* text, double* number, bool* truth,
                         TextArray* list) {
  if (!ctx_) return false;
  Job job{step, reading};
  const duk_idx_t top = duk_get_top(ctx_);
  bool ok = duk_safe_call(ctx_, RunJob, &job, 0, 1) == DUK_EXEC_SUCCESS;
  if (ok) {
    switch (reading) {
      case Reading::kText:
        *text = TopText(ctx_);
        break;
      case Reading::kTextList: {
        const duk_size_t n = duk_get_length(ctx_, -1);
        list->reserve(n);
        for (duk_size_t i = 0; i < n; ++i) {
          duk_get_prop_index(ctx_, -1, static_cast<duk_uarridx_t>(i));
          list->push_back(TopText(ctx_));
          duk_pop(ctx_);
        }
        break;
      }
      case Reading::kNumber: {
        double d = duk_get_number(ctx_, -1);
        *number = std::isnan(d) ? 0 : d;
        break;
      }
      case Reading::kTruth:
        *truth = duk_get_boolean(ctx_, -1) != 0;
        break;
      case Reading::kNothing:
        break;
    }
  }
  duk_set_top(ctx_, top);
  return ok;
}

bool ScriptEngine::AddCode(std::string_view source) {
  const std::string code = ToEngineText(source);
  return Run([&code](duk_context* ctx) {
    duk_push_lstring(ctx, code.data(), code.size());
    duk_push_string(ctx, "code");
    duk_compile(ctx, 0);
    duk_call(ctx, 0);
  });
}

namespace {

// The step of the Eval* calls: indirect eval at global scope.
struct EvalStep {
  const std::string& code;
  void operator()(duk_context* ctx) const {
    duk_push_lstring(ctx, code.data(), code.size());
    duk_eval(ctx);
  }
};

}  // namespace

Text ScriptEngine::EvalText(std::string_view source) {
  const std::string code = ToEngineText(source);
  return RunText(EvalStep{code});
}

double ScriptEngine::EvalNumber(std::string_view source) {
  const std::string code = ToEngineText(source);
  return RunNumber(EvalStep{code});
}

bool ScriptEngine::EvalTruth(std::string_view source) {
  const std::string code = ToEngineText(source);
  return RunTruth(EvalStep{code});
}

}  // namespace qa
