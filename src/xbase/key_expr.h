// KeyExpression: the dBASE expressions that index tags are defined by (the
// key and the FOR condition), parsed once against a record layout and then
// evaluated on raw records.
//
// Only what tags use is supported; anything else makes Parse fail with a
// message naming the problem, so a tag is never built from a guess. The
// result type and, for character results, the fixed key length are known
// after Parse from the field definitions alone, as dBASE computes them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "xbase/decimal.h"

namespace dbup::xbase {

// One field of the record as expressions see it.
struct ExprField {
  std::string name;  // upper case
  char type = 'C';   // C N F D L M
  int length = 0;
  int decimals = 0;
  int offset = 0;  // in the record; byte 0 is the deletion flag
};

// The fields of a table. Records are the raw bytes as stored in the .dbf.
struct ExprLayout {
  std::vector<ExprField> fields;
  int record_length = 1;

  const ExprField* Find(std::string_view name) const;
};

// A raw record and its 1-based number.
struct RecordRef {
  const char* data = nullptr;
  uint32_t recno = 0;
};

enum class ValueType : char { kChar = 'C', kNumeric = 'N', kDate = 'D', kLogical = 'L' };

struct Value {
  ValueType type = ValueType::kChar;
  std::string text;      // kChar
  DecimalNumber number;  // kNumeric
  int64_t jdn = 0;       // kDate: Julian day number, 0 for a blank date
  bool flag = false;     // kLogical
};

class KeyExpression {
 public:
  ~KeyExpression();
  KeyExpression(const KeyExpression&) = delete;
  KeyExpression& operator=(const KeyExpression&) = delete;

  // Parses text against the layout. Fails with InvalidArgument on syntax
  // errors, unknown fields or functions and type mismatches.
  static Status Parse(std::string_view text, const ExprLayout& layout,
                      std::unique_ptr<KeyExpression>* result);

  const std::string& text() const { return text_; }
  ValueType type() const;
  // The key length of a character result: the static result length.
  int length() const;

  // Evaluates on one record. Fails only for run-time faults such as a
  // division by zero.
  Status Evaluate(const RecordRef& record, Value* value) const;

  struct Node;  // the parsed tree, defined in key_expr.cc

 private:
  KeyExpression() = default;
  std::string text_;
  std::unique_ptr<Node> root_;
};

// Calendar helpers shared with the key encodings.
// Julian day number of a Gregorian date; 0 for an invalid one.
int64_t JulianDay(int year, int month, int day);
// "YYYYMMDD" -> JDN; blank or invalid text gives 0.
int64_t JulianDayFromDtos(std::string_view text);
// JDN -> "YYYYMMDD"; 0 gives eight blanks.
std::string DtosFromJulianDay(int64_t jdn);

}  // namespace dbup::xbase
