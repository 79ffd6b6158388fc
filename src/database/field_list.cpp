#include "database/field_list.h"

#include "database/arguments.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::database {
namespace {

// "text occurs in another": the page language's InStr(haystack, needle) > 0, under which the
// empty text occurs in every non-empty text and nothing occurs in the empty text.
bool Occurs(const std::string& needle, const std::string& haystack) {
  if (haystack.empty()) return false;
  return needle.empty() || haystack.find(needle) != std::string::npos;
}

bool IsNullFlag(const Variant& flag) {
  return !flag.is_null() && text::ToUpperAscii(flag.ToText()) == "NULL";
}

bool IsText(const Variant& value, const char* text) {
  return !value.is_null() && value.ToText() == text;
}

// The last "&"-part of a reference item; an empty item has none.
std::string LastPart(const std::string& item) {
  std::vector<std::string> parts = text::Split(item, "&");
  if (parts.empty()) throw Error(errc::kSubscriptOutOfRange);
  return parts.back();
}

constexpr const char* kBadAttributes = "所提供的字段属性错误";
constexpr const char* kBadPrimaryKey = "要求设置为主键的字段有误";
constexpr const char* kNullAutoNumber = "自动编号字段不能为空";
constexpr const char* kNullPrimaryKey = "主键字段不能为空";
constexpr const char* kBadForeignKey = "要求设置为外键的字段有误";

}  // namespace

std::optional<std::string> CheckFieldList(const FieldList& list) {
  const VariantArray& names = list.names.AsArray();
  const VariantArray& types = list.types.AsArray();
  const VariantArray& sizes = list.sizes.AsArray();
  const VariantArray& nulls = list.nulls.AsArray();
  // Check 1. Arrays that share their upper bounds but not their lower bounds would be read at
  // indices one of them lacks, so they are refused as well.
  if (names.upper_bound() != types.upper_bound() || names.upper_bound() != sizes.upper_bound() ||
      names.upper_bound() != nulls.upper_bound() || names.lower_bound() != types.lower_bound() ||
      names.lower_bound() != sizes.lower_bound() || names.lower_bound() != nulls.lower_bound()) {
    return kBadAttributes;
  }
  std::vector<std::string> key_parts = text::Split(list.primary_key, ",");
  if (static_cast<int64_t>(key_parts.size()) - 1 > names.upper_bound()) return kBadPrimaryKey;
  for (int64_t i = types.lower_bound(); i <= types.upper_bound(); ++i) {
    if (IsText(types.at(i), "autoincrement") && IsNullFlag(nulls.at(i))) return kNullAutoNumber;
  }
  for (int64_t i = nulls.lower_bound(); i <= nulls.upper_bound(); ++i) {
    // A Null name occurs nowhere; an empty one occurs in every non-empty key list.
    const Variant& name = names.at(i);
    if (IsNullFlag(nulls.at(i)) && !name.is_null() && Occurs(name.ToText(), list.primary_key)) {
      return kNullPrimaryKey;
    }
  }
  std::string name_list = JoinArray(names);
  for (const std::string& part : key_parts) {
    if (!Occurs(part, name_list)) return kBadPrimaryKey;
  }
  if (list.db_ver == 2) {
    for (const std::string& item : text::Split(list.references, "|")) {
      for (const std::string& column : text::Split(LastPart(item), ",")) {
        if (!Occurs(column, name_list)) return kBadForeignKey;
      }
    }
  }
  return std::nullopt;
}

std::string BuildCreateTable(const FieldList& list) {
  const VariantArray& names = list.names.AsArray();
  const VariantArray& types = list.types.AsArray();
  const VariantArray& sizes = list.sizes.AsArray();
  const VariantArray& nulls = list.nulls.AsArray();
  const bool with_references = list.db_ver == 2 && !list.references.empty();
  std::string s = "CREATE TABLE " + list.table_name + " (";
  for (int64_t i = names.lower_bound(); i <= names.upper_bound(); ++i) {
    s += names.at(i).ToText() + " " + types.at(i).ToText() + sizes.at(i).ToText() + " " +
         nulls.at(i).ToText();
    bool more = i != names.upper_bound() || !list.primary_key.empty() || with_references;
    s += more ? "," : ")";
  }
  if (!list.primary_key.empty()) {
    s += "PRIMARY KEY (" + list.primary_key + (with_references ? ")," : "))");
  }
  if (with_references) {
    std::string clauses;
    for (const std::string& item : text::Split(list.references, "|")) {
      std::vector<std::string> parts = text::Split(item, "&");
      std::string first = parts.empty() ? std::string() : parts.front();
      std::string last = LastPart(item);
      if (!clauses.empty()) clauses += ",";
      clauses += "(" + last + ") REFERENCES " + first + "(" + last + ")";
    }
    s += clauses + ")";
  }
  return s;
}

}  // namespace mirelda::database
