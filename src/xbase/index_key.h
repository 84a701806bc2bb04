// Key encodings of dBASE IV tags and their order.
//
// Character keys are the text padded with blanks; numeric keys are the
// 12-byte packed decimal form; date keys are the Julian day number as a
// little-endian double (0.0 for a blank date). Numeric and date key bytes
// are not in memcmp order, so every comparison goes through CompareKeys or
// through the sortable form, which is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "xbase/decimal.h"
#include "xbase/key_expr.h"

namespace dbup::xbase {

enum class KeyType : char { kChar = 'C', kNumeric = 'N', kDate = 'D' };

inline constexpr int kNumericKeyLength = 12;
inline constexpr int kDateKeyLength = 8;
inline constexpr int kMaxCharKeyLength = 100;

// The packed decimal key of a number (at most 20 significant digits; more
// are rounded away).
std::string EncodeNumericKey(const DecimalNumber& value);
// Decodes a numeric key for display; false when the bytes are not one.
bool DecodeNumericKey(std::string_view key, DecimalNumber* value);

std::string EncodeDateKey(int64_t jdn);
double DecodeDateKey(std::string_view key);

// The stored key of an evaluated expression value; `length` is the key
// length of a character tag.
std::string EncodeKey(KeyType type, int length, const Value& value);

// <0, 0, >0 in ascending key order. A character key that is a prefix of
// the other sorts first.
int CompareKeys(KeyType type, std::string_view a, std::string_view b);

// A byte string whose memcmp order is the key order (length: key length for
// character keys, 12 for numeric, 8 for date). Used by sorting.
void AppendSortableKey(KeyType type, std::string_view key, std::string* out);

// Turns the text a caller seeks with into a key: character text as given
// (no padding, so it matches as a prefix), numbers and dates converted.
// Dates are accepted as "YYYYMMDD".
Status SearchKeyFromText(KeyType type, std::string_view text, std::string* key);

// A key as text for tools: character keys as they are, numbers in decimal,
// dates as YYYYMMDD.
std::string KeyToDisplay(KeyType type, std::string_view key);

}  // namespace dbup::xbase
