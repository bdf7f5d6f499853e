// A JSON value kept inside the embedded script engine, as the global variable
// "da" (the root), and questions and changes addressed to it by path.
//
// Paths: a member name is read as root "." name; a full path whose first byte
// is "[" is appended to the root directly, any other after "."; an optional
// path that is empty names the root itself, any other is appended after ".".
// A path is a chain of ".name", "[digits]" or ["text"] steps, where a name is
// made of ASCII letters, digits (not first), "_", "$" and double-byte
// characters. Anything else (an empty name, spaces, operators, calls) is not a
// path: the operation then fails quietly. Paths and values are never run as
// script; values given "as object" are read as JSON text.
//
// Failures are quiet: a missing member, a broken path or text that is not JSON
// give the empty text, 0 or false, and a change that fails leaves the document
// as it was. Texts are GBK on both sides.
//
// A document and its copies share one engine heap and must be used by one
// thread at a time; separate documents share nothing.
#pragma once

#include <memory>
#include <string_view>

#include "text/text.h"

namespace qa {

class ScriptEngine;

// Type codes of JsonDocument::GetValueType.
namespace json_type {
inline constexpr int kNull = 0;  // null, undefined or a missing member
inline constexpr int kNumber = 2;
inline constexpr int kArray = 4;
inline constexpr int kObject = 5;
inline constexpr int kString = 6;
inline constexpr int kOther = -1;  // a boolean, a function, or an unreadable path
}  // namespace json_type

class JsonDocument {
 public:
  // A document whose root is an empty object, on an engine of its own.
  JsonDocument();
  ~JsonDocument();
  JsonDocument(JsonDocument&&) noexcept;
  JsonDocument& operator=(JsonDocument&&) noexcept;
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;

  // A second handle on the same engine: changes through either are seen by both.
  JsonDocument Copy() const;

  // Starts over on a new engine with an empty object as root.
  void Initialize();

  // Replaces the root by the value of the JSON text, or by null when the text
  // is not JSON. True when the root is then neither null nor undefined.
  bool Parse(std::string_view text);

  // The root as compact JSON.
  Text ToJsonText() const;

  // Makes the root an empty object.
  void Clear();

  // Sets member `name` to the text `value`, or with `asObject` to the value of
  // the JSON text (the empty text counting as {}).
  void SetProperty(std::string_view name, std::string_view value, bool asObject = false);
  // Sets member `name` to the value of the JSON text.
  void SetRawProperty(std::string_view name, std::string_view value);
  void SetNumberProperty(std::string_view name, double number);

  // Member `name` as a number (a numeric text counts); 0 when absent or not numeric.
  double GetNumber(std::string_view name) const;
  // Member `name` as JSON; empty when absent.
  Text GetPropertyJson(std::string_view name) const;

  // The value at the full path `path` as text (a string unchanged, a number in
  // decimal, null and undefined as the empty text), or with `asJson` as JSON.
  Text GetText(std::string_view path, bool asJson = false) const;

  // A new document, on an engine of its own, holding a copy of the value at the
  // full path `path`.
  JsonDocument GetSubDocument(std::string_view path) const;

  // Number of own members of the value at the optional path: the length of an
  // array, the member count of an object; -2 for a missing member, 0 when the
  // path cannot be read.
  int GetMemberCount(std::string_view path = {}) const;

  // Appends `value` (a text, or with `asObject` the value of the JSON text; the
  // empty text then appends nothing) to the array at the optional path, first
  // replacing a value there that is not an array by an empty array. Nothing
  // changes when the value there is null or missing.
  void AddMember(std::string_view value, std::string_view path = {}, bool asObject = false);

  // Element `index` (from 0) of the array at the optional path, as GetText.
  Text GetArrayItemText(int index, std::string_view path = {}, bool asJson = false) const;
  // Sets element `index` of the root as SetProperty sets a member (the empty
  // text with `asObject` changes nothing).
  void SetArrayItem(int index, std::string_view value, bool asObject = false);
  // Removes element `index` of the root array (a negative index counts from the end).
  void RemoveArrayItem(int index);

  // Makes the root null for json_type::kNull, an empty object for code 4 and an
  // empty array for code 5 (the other kind of container than GetValueType
  // reports under the same code); any other code changes nothing.
  void Reset(int typeCode);

  // Replaces the root by the text `value`, or with `asObject` by the value of
  // the JSON text.
  void SetValue(std::string_view value, bool asObject = false);

  // True when member `name` is neither null nor undefined.
  bool HasProperty(std::string_view name) const;

  // Replaces `names` by every name that a for-in loop over the value at the
  // optional path visits: its own members, then the two methods that the
  // support script adds to every object ("toJSONString", "parseJSON").
  void GetPropertyNames(TextArray& names, std::string_view path = {}) const;

  // The json_type code of the value at the optional path.
  int GetValueType(std::string_view path = {}) const;

 private:
  explicit JsonDocument(std::shared_ptr<ScriptEngine> engine);

  std::shared_ptr<ScriptEngine> engine_;
};

}  // namespace qa
