// DecimalNumber: an exact decimal number for key expressions and numeric keys.
//
// dBASE computes in BCD, so a value such as 0.1 or 2.675 must not pass
// through a binary double before it becomes a key or STR() text. The value
// is mantissa x 10^-scale with up to 38 significant digits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "xbase/int128.h"

namespace dbup::xbase {

class DecimalNumber {
 public:
  DecimalNumber() = default;
  static DecimalNumber FromInt(int64_t v) { return DecimalNumber(v, 0); }
  // Parses field text ("  -12.50", "1e3" is not accepted). Blank text is 0;
  // *ok (when given) is false for text that holds no number.
  static DecimalNumber Parse(std::string_view text, bool* ok = nullptr);
  // The leading number of the text as VAL() reads it: 0 when there is none.
  static DecimalNumber ParseLeading(std::string_view text);

  bool IsZero() const { return mantissa_ == 0; }
  bool IsNegative() const { return mantissa_ < 0; }
  int Compare(const DecimalNumber& other) const;

  DecimalNumber operator+(const DecimalNumber& o) const;
  DecimalNumber operator-(const DecimalNumber& o) const;
  DecimalNumber operator*(const DecimalNumber& o) const;
  // Division keeps 15 decimals; *ok is false for a zero divisor.
  DecimalNumber Divide(const DecimalNumber& o, bool* ok) const;
  DecimalNumber Negate() const { return DecimalNumber(-mantissa_, scale_); }

  // Rounded half away from zero to `decimals` places.
  DecimalNumber Round(int decimals) const;
  // Fixed-point text with exactly `decimals` places ("-12.50"); no padding.
  std::string ToFixed(int decimals) const;
  // Shortest exact text ("815", "-0.05").
  std::string ToString() const;
  // Integer part, truncated toward zero and clamped to int64.
  int64_t ToInt64() const;
  double ToDouble() const;

  // The significant digits (no leading or trailing zeros, empty for zero) and
  // the position of the decimal point relative to the first of them: the
  // form that numeric keys store.
  void Normalized(std::string* digits, int* exponent) const;

 private:
  using Int = WideInt;
  DecimalNumber(Int m, int scale) : mantissa_(m), scale_(scale) {}
  static DecimalNumber Align(const DecimalNumber& a, int scale);
  void Trim();

  Int mantissa_ = 0;
  int scale_ = 0;  // digits after the point, 0..38
};

}  // namespace dbup::xbase
