#pragma once
// The Variant of the script engine: Empty, Null, Boolean, Integer, Long, Double, Date,
// String, arrays and objects, with VBScript's conversions.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kz::script {

// VarType numbers.
enum class Type : int {
    Empty = 0,
    Null = 1,
    Integer = 2,
    Long = 3,
    Double = 5,
    Date = 7,
    String = 8,
    Object = 9,
    Boolean = 11,
    Array = 0x200C,
};

class Object;
struct ArrayData;

class Value {
  public:
    Value() = default;
    static Value null();
    static Value boolean(bool b);
    static Value integer(int16_t i);
    static Value longValue(int32_t i);
    static Value real(double d);
    static Value date(double d);
    static Value string(std::string s);
    static Value object(std::shared_ptr<Object> o);  // null pointer: Nothing
    static Value array(std::shared_ptr<ArrayData> a);
    // The smallest of Integer, Long and Double that holds the number.
    static Value number(double d);

    Type type() const { return type_; }
    bool isEmpty() const { return type_ == Type::Empty; }
    bool isNull() const { return type_ == Type::Null; }
    bool isString() const { return type_ == Type::String; }
    bool isObject() const { return type_ == Type::Object; }
    bool isArray() const { return type_ == Type::Array; }
    // Integer, Long, Double, Date, Boolean or Empty.
    bool isNumeric() const;

    int32_t intPart() const { return int_; }  // Integer, Long, Boolean
    double doublePart() const { return double_; }
    const std::string& stringPart() const { return string_; }
    const std::shared_ptr<Object>& objectPart() const { return object_; }
    const std::shared_ptr<ArrayData>& arrayPart() const { return array_; }

    // An array value deep-copied, as VBScript copies arrays on assignment.
    Value copy() const;

  private:
    Type type_ = Type::Empty;
    int32_t int_ = 0;
    double double_ = 0;
    std::string string_;
    std::shared_ptr<Object> object_;
    std::shared_ptr<ArrayData> array_;
};

struct ArrayData {
    std::vector<int32_t> upper;  // upper bound per dimension (lower bounds are 0)
    std::vector<Value> items;
    bool fixed = false;  // declared with bounds by Dim: cannot be resized
};

// Conversions with VBScript's rules; they throw Type mismatch, Overflow or Invalid use
// of Null.
double ToDouble(const Value& v);
int32_t ToLong(const Value& v);  // rounds half to even
int16_t ToInteger(const Value& v);
bool ToBoolean(const Value& v);
std::string ToString(const Value& v);
// Numeric text as VBScript reads it (blanks, sign, decimals, exponent, &H, &O).
bool ParseNumber(std::string_view text, double& out);
std::string FormatDouble(double d);
// Rounds half to even, as every VBScript conversion to a whole number does.
double RoundEven(double d);

}  // namespace kz::script
