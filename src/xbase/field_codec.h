// Field values as dBASE stores them: the text layout of each field type in a
// record, and the conversions between values and that text.
//
// Numbers are converted as decimal text, never through the C locale, and
// rounded half away from zero. A double is first taken as the shortest
// decimal text that reads back as the same double (what the user typed),
// so 2.675 stored with two decimals gives "2.68" and 0.125 gives "0.13",
// as a dBASE user expects, not the "2.67" of the binary value's expansion.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "xbase/dbf_header.h"

namespace dbup::xbase {

// A decimal number parsed from text: sign, integer and fraction digits. The
// digits are views into the parsed text, which must outlive the Decimal.
struct Decimal {
  bool negative = false;
  std::string_view integer = "0";  // no leading zeros; "0" for none
  std::string_view fraction;       // may be empty
};

// Parses the number at the start of text the way dBASE's VAL() does: leading
// blanks, an optional sign, digits, an optional point and digits; whatever
// follows is ignored. False when no digit is found (blank, asterisks, words).
bool ParseDecimal(std::string_view text, Decimal* number);

// Writes number into out[0..length) right-aligned with exactly decimals
// digits after the point, rounded half away from zero. A number too wide for
// the field is written as asterisks, as dBASE does.
void FormatDecimal(const Decimal& number, int length, int decimals, char* out);
void FormatDouble(double value, int length, int decimals, char* out);

// The value of numeric text; false when the text holds no number.
bool TextToDouble(std::string_view text, double* value);
// The integer part of numeric text (truncated toward zero, clamped); 0 for no number.
int64_t TextToInt(std::string_view text);

// Fills a field with its type's blank value.
void StoreBlank(const FieldDescriptor& field, char* out);

// Stores text into a field with dBASE assignment rules for its type:
// C and unknown types left-aligned, blank-padded, cut at the width; N and F
// as a number rounded to the field's decimals; D as YYYYMMDD; L as T or F.
// Blank text gives the blank value. Text that the type cannot hold (a word
// in a numeric field, a malformed date) leaves the field blank and returns
// InvalidArgument. M fields are not stored here: their text lives in the memo
// file (see Table).
Status StoreText(const FieldDescriptor& field, std::string_view text, char* out);

// Trims characters with codes of 32 or less from both ends.
std::string_view TrimBlanks(std::string_view text);

// The memo block number a memo field's bytes hold; 0 for none (blank or zero).
// Corruption when the bytes hold anything but a number.
Status ParseMemoBlock(std::string_view field_bytes, uint32_t* block);
// Writes a memo block number (0 = no memo) into a field of the given width.
void StoreMemoBlock(uint32_t block, int length, char* out);

}  // namespace dbup::xbase
