// The embedded JavaScript engine (Duktape): one heap per object, script added
// and evaluated at global scope, results read as text, number or truth value.
//
// Every script error is quiet: it gives the empty text, 0 or false and leaves
// the engine usable. Nothing is printed. Texts are GBK on our side and UTF-8 on
// the engine's (which hands characters outside the BMP back as CESU-8).
//
// Engine errors unwind with longjmp. A step given to Run* may therefore only
// call the engine's API and plain code: no object with a destructor may be
// alive inside it, and it must not throw. Prepare texts (ToEngineText) before
// the step and capture them by reference.
//
// A heap belongs to one thread at a time; separate heaps may be used on
// separate threads at once.
#pragma once

#include <duktape.h>

#include <string>
#include <string_view>

#include "text/text.h"

namespace qa {

// GBK -> the engine's UTF-8.
std::string ToEngineText(std::string_view gbk);
// The engine's UTF-8/CESU-8 -> GBK; characters GBK lacks become '?'.
Text FromEngineText(std::string_view engineText);

class ScriptEngine {
 public:
  ScriptEngine();
  ~ScriptEngine();
  ScriptEngine(const ScriptEngine&) = delete;
  ScriptEngine& operator=(const ScriptEngine&) = delete;

  // False when the heap could not be made; every call then fails quietly.
  bool valid() const { return ctx_ != nullptr; }

  // Runs `source` as a program at global scope. False on a script error.
  bool AddCode(std::string_view source);

  // Evaluates `source` at global scope (an expression, or statements whose last
  // value is the result) and reads the result.
  Text EvalText(std::string_view source);
  double EvalNumber(std::string_view source);
  bool EvalTruth(std::string_view source);

  // Runs `step(ctx)` protected. The step leaves its result on top of the value
  // stack (nothing counts as undefined); the result is then read:
  //   as text: a string unchanged, null and undefined as the empty text, any
  //     other value through the engine's string conversion;
  //   as number: a number, or a string through the engine's number conversion;
  //     anything else, and NaN, as 0;
  //   as truth value: the engine's boolean conversion;
  //   as text list: an array whose elements are each read as text.
  // A script error gives false / the empty text / 0. The stack is left as found.
  template <class Step>
  bool Run(Step&& step) {
    return RunAs(StepRef::To(step), Reading::kNothing, nullptr, nullptr, nullptr, nullptr);
  }
  template <class Step>
  Text RunText(Step&& step) {
    Text out;
    RunAs(StepRef::To(step), Reading::kText, &out, nullptr, nullptr, nullptr);
    return out;
  }
  template <class Step>
  double RunNumber(Step&& step) {
    double out = 0;
    RunAs(StepRef::To(step), Reading::kNumber, nullptr, &out, nullptr, nullptr);
    return out;
  }
  template <class Step>
  bool RunTruth(Step&& step) {
    bool out = false;
    RunAs(StepRef::To(step), Reading::kTruth, nullptr, nullptr, &out, nullptr);
    return out;
  }
  // False (and `out` empty) on a script error or when the result is no array.
  template <class Step>
  bool RunTextList(Step&& step, TextArray& out) {
    out.clear();
    return RunAs(StepRef::To(step), Reading::kTextList, nullptr, nullptr, nullptr, &out);
  }

 private:
  enum class Reading { kNothing, kText, kNumber, kTruth, kTextList };

  // A non-owning reference to a callable taking the context.
  struct StepRef {
    void* object;
    void (*call)(void* object, duk_context* ctx);

    template <class F>
    static StepRef To(F& f) {
      return {const_cast<void*>(static_cast<const void*>(&f)),
              [](void* o, duk_context* c) { (*static_cast<F*>(o))(c); }};
    }
  };

  bool RunAs(StepRef step, Reading reading, Text* text, double* number, bool* truth,
             TextArray* list);
  struct Job;
  static duk_ret_t RunJob(duk_context* ctx, void* udata);

  duk_context* ctx_ = nullptr;
};

}  // namespace qa
