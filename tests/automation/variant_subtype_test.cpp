// The Byte, Single, Currency and Error subtypes, the VarType numbers and type names, and the
// standard error descriptions.
#include <cmath>
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "mirelda/dispatch.h"
#include "mirelda/error.h"
#include "mirelda/variant.h"
#include "support/error_matchers.h"

namespace mirelda {
namespace {

struct TypeCase {
  const char* what;
  Variant value;
  int32_t var_type;
  const char* type_name;
};

class Named final : public Dispatch {
 public:
  const MemberTable& Members() const override {
    static const MemberTable table("Widget", std::nullopt, {});
    return table;
  }
};

TEST(VariantTypes, VarTypeNumbersAndNames) {
  const std::vector<TypeCase> cases = {
      {"empty", Variant(), 0, "Empty"},
      {"null", Variant::Null(), 1, "Null"},
      {"integer", Variant(int16_t{1}), 2, "Integer"},
      {"long", Variant(int32_t{1}), 3, "Long"},
      {"single", Variant(1.5f), 4, "Single"},
      {"double", Variant(1.5), 5, "Double"},
      {"currency", Variant(Currency{15000}), 6, "Currency"},
      {"date", Variant(Date{1}), 7, "Date"},
      {"string", Variant("x"), 8, "String"},
      {"nothing", Variant::Nothing(), 9, "Nothing"},
      {"object", Variant(std::make_shared<Named>()), 9, "Widget"},
      {"error", Variant(ErrorValue{5}), 10, "Error"},
      {"missing", Variant::Missing(), 10, "Error"},
      {"boolean", Variant(true), 11, "Boolean"},
      {"byte", Variant(uint8_t{7}), 17, "Byte"},
      {"array", Variant(VariantArray({Variant(1)})), 8204, "Variant()"},
      {"bytes", Variant(ByteArray(std::string_view("ab"))), 8209, "Byte()"},
  };
  for (const TypeCase& c : cases) {
    EXPECT_EQ(VarTypeNumber(c.value), c.var_type) << c.what;
    EXPECT_EQ(TypeName(c.value), c.type_name) << c.what;
  }
}

TEST(VariantTypes, TextForms) {
  const std::vector<std::pair<Variant, std::string>> cases = {
      {Variant(uint8_t{255}), "255"},
      {Variant(1.5f), "1.5"},
      {Variant(0.1f), "0.1"},  // 7 digits hide the binary error a Double would show
      {Variant(1234567.0f), "1234567"},
      {Variant(12345678.0f), "1.234568E+07"},
      {Variant(Currency{12345}), "1.2345"},
      {Variant(Currency{10000}), "1"},
      {Variant(Currency{-15000}), "-1.5"},
      {Variant(Currency{-5}), "-0.0005"},
      {Variant(Currency{std::numeric_limits<int64_t>::min()}), "-922337203685477.5808"},
      {Variant(Currency{std::numeric_limits<int64_t>::max()}), "922337203685477.5807"},
      {Variant(1.0 / 3.0), "0.333333333333333"},
      {Variant(123456789012345678.0), "1.23456789012346E+17"},
      {Variant(false), "False"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(value.ToString(), text) << text;
}

TEST(VariantTypes, ConversionsToTheNewSubtypes) {
  struct Case {
    const char* what;
    std::function<Variant()> convert;
    Variant expected;  // Empty when an error is expected
    int32_t error;
  };
  const std::vector<Case> cases = {
      {"CByte 254.5", [] { return Variant(Variant(254.5).ToByte()); }, Variant(uint8_t{254}), 0},
      {"CByte 255.5", [] { return Variant(Variant(255.5).ToByte()); }, Variant(), errc::kOverflow},
      {"CByte -1", [] { return Variant(Variant(-1).ToByte()); }, Variant(), errc::kOverflow},
      {"CByte text", [] { return Variant(Variant(" 12 ").ToByte()); }, Variant(uint8_t{12}), 0},
      {"CByte Null", [] { return Variant(Variant::Null().ToByte()); }, Variant(),
       errc::kInvalidUseOfNull},
      {"CSng", [] { return Variant(Variant(0.5).ToSingle()); }, Variant(0.5f), 0},
      {"CSng too big", [] { return Variant(Variant(1e39).ToSingle()); }, Variant(),
       errc::kOverflow},
      {"CSng word", [] { return Variant(Variant("x").ToSingle()); }, Variant(),
       errc::kTypeMismatch},
      {"CCur half to even up", [] { return Variant(Variant(1.23455).ToCurrency()); },
       Variant(Currency{12346}), 0},
      {"CCur half to even down", [] { return Variant(Variant(1.23465).ToCurrency()); },
       Variant(Currency{12346}), 0},
      {"CCur above half", [] { return Variant(Variant(-0.000051).ToCurrency()); },
       Variant(Currency{-1}), 0},
      {"CCur True", [] { return Variant(Variant(true).ToCurrency()); }, Variant(Currency{-10000}),
       0},
      {"CCur Long", [] { return Variant(Variant(int32_t{-7}).ToCurrency()); },
       Variant(Currency{-70000}), 0},
      {"CCur text", [] { return Variant(Variant("2.5").ToCurrency()); }, Variant(Currency{25000}),
       0},
      {"CCur overflow", [] { return Variant(Variant(1e15).ToCurrency()); }, Variant(),
       errc::kOverflow},
      {"CCur NaN", [] { return Variant(Variant(std::nan("")).ToCurrency()); }, Variant(),
       errc::kOverflow},
      {"CLng of Currency rounds half to even",
       [] { return Variant(Variant(Currency{25000}).ToLong()); }, Variant(int32_t{2}), 0},
      {"CInt of Currency -3.5", [] { return Variant(Variant(Currency{-35000}).ToInteger()); },
       Variant(int16_t{-4}), 0},
      {"CInt of Currency overflow", [] { return Variant(Variant(Currency{327675000}).ToInteger()); },
       Variant(), errc::kOverflow},
      {"CLng of Byte", [] { return Variant(Variant(uint8_t{200}).ToLong()); },
       Variant(int32_t{200}), 0},
      {"CDbl of Currency", [] { return Variant(Variant(Currency{5}).ToDouble()); },
       Variant(0.0005), 0},
      {"CBool of Currency", [] { return Variant(Variant(Currency{1}).ToBool()); }, Variant(true),
       0},
      {"CStr of Error", [] { return Variant(Variant(ErrorValue{5}).ToString()); }, Variant(),
       errc::kTypeMismatch},
      {"CDbl of Error", [] { return Variant(Variant(ErrorValue{5}).ToDouble()); }, Variant(),
       errc::kTypeMismatch},
  };
  for (const Case& c : cases) {
    if (c.error != 0) {
      try {
        c.convert();
        ADD_FAILURE() << c.what << " raised nothing";
      } catch (const Error& e) {
        EXPECT_EQ(e.number(), c.error) << c.what;
      }
    } else {
      EXPECT_EQ(c.convert(), c.expected) << c.what;
    }
  }
}

TEST(VariantTypes, NumericSubtypesCountAsNumbers) {
  EXPECT_TRUE(Variant(uint8_t{1}).is_numeric());
  EXPECT_TRUE(Variant(1.0f).is_numeric());
  EXPECT_TRUE(Variant(Currency{}).is_numeric());
  EXPECT_FALSE(Variant(ErrorValue{1}).is_numeric());
  EXPECT_TRUE(Equals(Variant(Currency{10000}), Variant(int16_t{1})));
  EXPECT_TRUE(Equals(Variant(uint8_t{3}), Variant(3.0f)));
}

TEST(ErrorDescriptions, EveryLanguageNumberHasItsText) {
  const std::vector<std::pair<int32_t, std::string>> cases = {
      {errc::kOutOfMemory, "Out of memory"},
      {errc::kArrayFixed, "This array is fixed or temporarily locked"},
      {errc::kDivisionByZero, "Division by zero"},
      {errc::kOutOfStack, "Out of stack space"},
      {errc::kProcedureNotDefined, "Sub or Function not defined"},
      {errc::kForLoopNotInitialized, "For loop not initialized"},
      {errc::kObjectNotCollection, "Object not a collection"},
      {errc::kKeyAlreadyAssociated,
       "This key is already associated with an element of this collection"},
      {errc::kCannotCreateObject, "ActiveX component can't create object"},
      {errc::kVariableUndefined, "Variable is undefined"},
      {errc::kIllegalAssignment, "Illegal assignment"},
      {errc::kIllegalAssignmentTarget, "Illegal assignment"},
      {errc::kRegExpExpectedParen, "Expected ')' in regular expression"},
      {errc::kCompileOutOfMemory, "Out of memory"},
      {errc::kSyntax, "Syntax error"},
      {errc::kExpectedEndOfStatement, "Expected end of statement"},
      {errc::kExpectedWhileUntilOrEndOfStatement, "Expected 'While', 'Until' or end of statement"},
      {errc::kExpectedLetSetGet, "Expected Let or Set or Get in property declaration"},
      {errc::kTypeMismatch, "Type mismatch"},
      {errc::kFileNotFound, "File not found"},
      {errc::kItemNotFound,
       "Item cannot be found in the collection corresponding to the requested name or ordinal."},
      {1004, ""},
      {0, ""},
  };
  for (const auto& [number, text] : cases) EXPECT_EQ(StandardDescription(number), text) << number;
  EXPECT_EQ(Error(errc::kSyntax).description(), "Syntax error");
  EXPECT_EQ(Error(1004).description(), "Error 1004");
}

}  // namespace
}  // namespace mirelda
