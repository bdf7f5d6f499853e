#include "script/json_document.h"

#include <cmath>
#include <limits>
#include <optional>

#include "script/json_path.h"
#include "script/json_support_script.h"
#include "script/script_engine.h"

// Every operation works on the engine's value stack through the steps below.
// The caller's paths are read into member keys and its values are pushed as
// strings (or parsed as JSON); nothing the caller gives is run as script.
// Steps run protected: an engine error in a step (a member of null read, a
// JSON text that does not parse, a call of something that is no function)
// ends it quietly, before it has changed anything.

namespace qa {
namespace {

// The global variable that holds the document.
constexpr char kRoot[] = "da";

void PushRoot(duk_context* ctx) {
  duk_get_global_string(ctx, kRoot);
}

// Pushes the value reached by the first `count` keys below the root. Reading a
// member of null or undefined is an engine error, as in the language.
void PushValueAt(duk_context* ctx, const JsonPath& keys, std::size_t count) {
  PushRoot(ctx);
  for (std::size_t i = 0; i < count; ++i) {
    duk_get_prop_lstring(ctx, -1, keys[i].data(), keys[i].size());
    duk_remove(ctx, -2);
  }
}

void PushValueAt(duk_context* ctx, const JsonPath& keys) {
  PushValueAt(ctx, keys, keys.size());
}

// Stores the value on top of the stack at the keys (the root itself when there
// are none) and pops it.
void PutValueAt(duk_context* ctx, const JsonPath& keys) {
  if (keys.empty()) {
    duk_put_global_string(ctx, kRoot);
    return;
  }
  PushValueAt(ctx, keys, keys.size() - 1);
  duk_swap_top(ctx, -2);
  const std::string& last = keys.back();
  duk_put_prop_lstring(ctx, -2, last.data(), last.size());
  duk_pop(ctx);
}

// Calls JSON.<method>(argument on top) and leaves its result in place of the argument.
void CallJson(duk_context* ctx, const char* method) {
  duk_get_global_string(ctx, "JSON");
  duk_get_prop_string(ctx, -1, method);
  duk_insert(ctx, -3);
  duk_swap_top(ctx, -2);
  duk_call_method(ctx, 1);
}

// A value given by the caller: a text, or the value of a JSON text.
struct CallerValue {
  std::string text;  // engine text
  bool json;

  CallerValue(std::string_view gbk, bool asJson) : text(ToEngineText(gbk)), json(asJson) {}

  void Push(duk_context* ctx) const {
    duk_push_lstring(ctx, text.data(), text.size());
    if (json) CallJson(ctx, "parse");
  }
};

std::optional<JsonPath> Member(std::string_view name) {
  return ParseJsonPath(name, JsonPathForm::kMember);
}
std::optional<JsonPath> FullPath(std::string_view path) {
  return ParseJsonPath(path, JsonPathForm::kFull);
}
std::optional<JsonPath> OptionalPath(std::string_view path) {
  return ParseJsonPath(path, JsonPathForm::kOptional);
}

}  // namespace

JsonDocument::JsonDocument() {
  Initialize();
}
JsonDocument::JsonDocument(std::shared_ptr<ScriptEngine> engine) : engine_(std::move(engine)) {}
JsonDocument::~JsonDocument() = default;
JsonDocument::JsonDocument(JsonDocument&&) noexcept = default;
JsonDocument& JsonDocument::operator=(JsonDocument&&) noexcept = default;

JsonDocument JsonDocument::Copy() const {
  return JsonDocument(engine_);
}

void JsonDocument::Initialize() {
  engine_ = std::make_shared<ScriptEngine>();
  engine_->AddCode(JsonSupportScript());
  Clear();
}

bool JsonDocument::Parse(std::string_view text) {
  if (!engine_) return false;
  Reset(json_type::kNull);
  const CallerValue value(text, true);
  engine_->Run([&value](duk_context* ctx) {
    value.Push(ctx);
    duk_put_global_string(ctx, kRoot);
  });
  return engine_->RunTruth([](duk_context* ctx) {
    PushRoot(ctx);
    duk_push_boolean(ctx, !duk_is_null_or_undefined(ctx, -1));
  });
}

Text JsonDocument::ToJsonText() const {
  if (!engine_) return {};
  return engine_->RunText([](duk_context* ctx) {
    PushRoot(ctx);
    CallJson(ctx, "stringify");
  });
}

void JsonDocument::Clear() {
  if (!engine_) return;
  engine_->Run([](duk_context* ctx) {
    duk_push_object(ctx);
    duk_put_global_string(ctx, kRoot);
  });
}

void JsonDocument::SetProperty(std::string_view name, std::string_view value, bool asObject) {
  const auto keys = Member(name);
  if (!engine_ || !keys) return;
  const CallerValue v(asObject && value.empty() ? std::string_view("{}") : value, asObject);
  engine_->Run([&](duk_context* ctx) {
    v.Push(ctx);
    PutValueAt(ctx, *keys);
  });
}

void JsonDocument::SetRawProperty(std::string_view name, std::string_view value) {
  const auto keys = Member(name);
  if (!engine_ || !keys) return;
  const CallerValue v(value, true);  // the empty text is no JSON: nothing changes
  engine_->Run([&](duk_context* ctx) {
    v.Push(ctx);
    PutValueAt(ctx, *keys);
  });
}

void JsonDocument::SetNumberProperty(std::string_view name, double number) {
  const auto keys = Member(name);
  if (!engine_ || !keys) return;
  engine_->Run([&](duk_context* ctx) {
    duk_push_number(ctx, number);
    PutValueAt(ctx, *keys);
  });
}

double JsonDocument::GetNumber(std::string_view name) const {
  const auto keys = Member(name);
  if (!engine_ || !keys) return 0;
  return engine_->RunNumber([&](duk_context* ctx) { PushValueAt(ctx, *keys); });
}

Text JsonDocument::GetPropertyJson(std::string_view name) const {
  const auto keys = Member(name);
  if (!engine_ || !keys) return {};
  return engine_->RunText([&](duk_context* ctx) {
    PushValueAt(ctx, *keys);
    CallJson(ctx, "stringify");
  });
}

Text JsonDocument::GetText(std::string_view path, bool asJson) const {
  const auto keys = FullPath(path);
  if (!engine_ || !keys) return {};
  return engine_->RunText([&](duk_context* ctx) {
    PushValueAt(ctx, *keys);
    if (asJson) CallJson(ctx, "stringify");
  });
}

JsonDocument JsonDocument::GetSubDocument(std::string_view path) const {
  Text json;
  if (const auto keys = FullPath(path); engine_ && keys) {
    json = engine_->RunText([&](duk_context* ctx) {
      PushValueAt(ctx, *keys);
      CallJson(ctx, "stringify");
    });
  }
  JsonDocument sub;
  sub.Parse(json);
  return sub;
}

int JsonDocument::GetMemberCount(std::string_view path) const {
  const auto keys = OptionalPath(path);
  if (!engine_ || !keys) return 0;
  double count = engine_->RunNumber([&](duk_context* ctx) {
    duk_get_global_string(ctx, "get__count");
    PushValueAt(ctx, *keys);
    duk_call(ctx, 1);
  });
  if (!(std::fabs(count) < 2147483648.0)) return 0;
  return static_cast<int>(count);  // cut towards zero
}

void JsonDocument::AddMember(std::string_view value, std::string_view path, bool asObject) {
  const auto keys = OptionalPath(path);
  if (!engine_ || !keys) return;
  // With asObject the empty text appends nothing, but still makes the value an array.
  const bool append = !(asObject && value.empty());
  const CallerValue v(value, asObject);
  engine_->Run([&](duk_context* ctx) {
    PushValueAt(ctx, *keys);
    const duk_idx_t target = duk_get_top_index(ctx);
    if (duk_is_null_or_undefined(ctx, target)) return;
    // The new element is made first, so that a JSON text that does not parse
    // changes nothing.
    if (append) v.Push(ctx);
    if (!duk_is_array(ctx, target)) {
      duk_push_array(ctx);
      duk_dup_top(ctx);
      PutValueAt(ctx, *keys);
      duk_replace(ctx, target);
    }
    if (append) {
      duk_put_prop_index(ctx, target, static_cast<duk_uarridx_t>(duk_get_length(ctx, target)));
    }
  });
}

Text JsonDocument::GetArrayItemText(int index, std::string_view path, bool asJson) const {
  auto keys = OptionalPath(path);
  if (!engine_ || !keys) return {};
  keys->push_back(IntToText(index));
  return engine_->RunText([&](duk_context* ctx) {
    PushValueAt(ctx, *keys);
    if (asJson) CallJson(ctx, "stringify");
  });
}

void JsonDocument::SetArrayItem(int index, std::string_view value, bool asObject) {
  if (!engine_) return;
  const JsonPath keys{IntToText(index)};
  const CallerValue v(value, asObject);
  engine_->Run([&](duk_context* ctx) {
    v.Push(ctx);
    PutValueAt(ctx, keys);
  });
}

void JsonDocument::RemoveArrayItem(int index) {
  if (!engine_) return;
  engine_->Run([index](duk_context* ctx) {
    PushRoot(ctx);
    duk_get_prop_string(ctx, -1, "splice");
    duk_swap_top(ctx, -2);
    duk_push_int(ctx, index);
    duk_push_int(ctx, 1);
    duk_call_method(ctx, 2);
  });
}

void JsonDocument::Reset(int typeCode) {
  if (!engine_) return;
  if (typeCode != json_type::kNull && typeCode != 4 && typeCode != 5) return;
  engine_->Run([typeCode](duk_context* ctx) {
    if (typeCode == json_type::kNull) {
      duk_push_null(ctx);
    } else if (typeCode == 4) {
      duk_push_object(ctx);
    } else {
      duk_push_array(ctx);
    }
    duk_put_global_string(ctx, kRoot);
  });
}

void JsonDocument::SetValue(std::string_view value, bool asObject) {
  if (!engine_) return;
  const CallerValue v(value, asObject);
  engine_->Run([&](duk_context* ctx) {
    v.Push(ctx);
    PutValueAt(ctx, JsonPath{});
  });
}

bool JsonDocument::HasProperty(std::string_view name) const {
  const auto keys = Member(name);
  if (!engine_ || !keys) return false;
  return engine_->RunTruth([&](duk_context* ctx) {
    PushValueAt(ctx, *keys);
    duk_push_boolean(ctx, !duk_is_null_or_undefined(ctx, -1));
  });
}

void JsonDocument::GetPropertyNames(TextArray& names, std::string_view path) const {
  names.clear();
  const auto keys = OptionalPath(path);
  if (!engine_ || !keys) return;
  engine_->RunTextList(
      [&](duk_context* ctx) {
        PushValueAt(ctx, *keys);
        const duk_idx_t value = duk_get_top_index(ctx);
        duk_push_array(ctx);
        if (duk_is_null_or_undefined(ctx, value)) return;  // for-in visits nothing
        duk_to_object(ctx, value);
        duk_enum(ctx, value, 0);  // enumerable members, own then inherited, as for-in
        duk_uarridx_t n = 0;
        while (duk_next(ctx, -1, 0)) duk_put_prop_index(ctx, -3, n++);
        duk_pop(ctx);
      },
      names);
}

int JsonDocument::GetValueType(std::string_view path) const {
  const auto keys = OptionalPath(path);
  int code = json_type::kOther;
  if (!engine_ || !keys) return code;
  engine_->Run([&](duk_context* ctx) {
    PushValueAt(ctx, *keys);
    switch (duk_get_type(ctx, -1)) {
      case DUK_TYPE_NULL:
      case DUK_TYPE_UNDEFINED:
        code = json_type::kNull;
        break;
      case DUK_TYPE_NUMBER:
        code = json_type::kNumber;
        break;
      case DUK_TYPE_STRING:
        code = json_type::kString;
        break;
      case DUK_TYPE_OBJECT:
        if (duk_is_array(ctx, -1)) {
          code = json_type::kArray;
        } else if (!duk_is_function(ctx, -1)) {
          code = json_type::kObject;
        }
        break;
      default:
        break;
    }
  });
  return code;
}

}  // namespace qa
