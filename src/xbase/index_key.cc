#include "xbase/index_key.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dbup::xbase {

namespace {
constexpr int kMaxDigits = 20;
constexpr unsigned char kExponentBias = 0x34;
}  // namespace

std::string EncodeNumericKey(const DecimalNumber& value) {
  std::string key(kNumericKeyLength, '\0');
  std::string digits;
  int exponent = 0;
  value.Normalized(&digits, &exponent);
  if (static_cast<int>(digits.size()) > kMaxDigits) {
    int decimals = kMaxDigits - exponent;
    DecimalNumber rounded = value.Round(std::max(decimals, 0));
    rounded.Normalized(&digits, &exponent);
    if (static_cast<int>(digits.size()) > kMaxDigits) digits.resize(kMaxDigits);
  }
  if (digits.empty()) {
    key[0] = static_cast<char>(kExponentBias);
    key[1] = 0x01;
    return key;
  }
  exponent = std::clamp(exponent, -static_cast<int>(kExponentBias), 0xFF - kExponentBias);
  key[0] = static_cast<char>(kExponentBias + exponent);
  unsigned char b1 = static_cast<unsigned char>((digits.size() << 2) | 0x01);
  if (value.IsNegative()) b1 |= 0x80;
  key[1] = static_cast<char>(b1);
  for (size_t i = 0; i < digits.size(); ++i) {
    unsigned char nibble = static_cast<unsigned char>(digits[i] - '0');
    unsigned char& b = reinterpret_cast<unsigned char&>(key[2 + i / 2]);
    b |= (i % 2 == 0) ? static_cast<unsigned char>(nibble << 4) : nibble;
  }
  return key;
}

namespace {

// Sign, exponent and 20 digit nibbles with leading zero nibbles removed, so
// keys of writers that do not normalise still compare by value.
struct Bcd {
  int sign = 0;  // -1, 0, 1
  int exponent = 0;
  unsigned char nibbles[kMaxDigits] = {};
};

Bcd ReadBcd(std::string_view key) {
  Bcd b;
  if (key.size() < static_cast<size_t>(kNumericKeyLength)) return b;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(key.data());
  unsigned char raw[kMaxDigits];
  for (int i = 0; i < kMaxDigits; ++i) {
    unsigned char byte = p[2 + i / 2];
    raw[i] = (i % 2 == 0) ? byte >> 4 : byte & 0x0F;
  }
  int lead = 0;
  while (lead < kMaxDigits && raw[lead] == 0) ++lead;
  if (lead == kMaxDigits) return b;  // zero, whatever the sign bit says
  b.sign = (p[1] & 0x80) ? -1 : 1;
  b.exponent = static_cast<int>(p[0]) - kExponentBias - lead;
  for (int i = lead; i < kMaxDigits; ++i) b.nibbles[i - lead] = raw[i];
  return b;
}

int CompareBcd(std::string_view a, std::string_view b) {
  Bcd x = ReadBcd(a), y = ReadBcd(b);
  if (x.sign != y.sign) return x.sign < y.sign ? -1 : 1;
  if (x.sign == 0) return 0;
  int magnitude = 0;
  if (x.exponent != y.exponent) {
    magnitude = x.exponent < y.exponent ? -1 : 1;
  } else {
    int c = std::memcmp(x.nibbles, y.nibbles, kMaxDigits);
    magnitude = c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return x.sign * magnitude;
}

uint64_t SortableDouble(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return (bits & (uint64_t{1} << 63)) ? ~bits : bits | (uint64_t{1} << 63);
}

}  // namespace

bool DecodeNumericKey(std::string_view key, DecimalNumber* value) {
  if (key.size() != static_cast<size_t>(kNumericKeyLength)) return false;
  Bcd b = ReadBcd(key);
  if (b.sign == 0) {
    *value = DecimalNumber();
    return true;
  }
  std::string text;
  int count = kMaxDigits;
  while (count > 0 && b.nibbles[count - 1] == 0) --count;
  for (int i = 0; i < count; ++i) {
    if (b.nibbles[i] > 9) return false;
    text.push_back(static_cast<char>('0' + b.nibbles[i]));
  }
  // Place the point `exponent` digits after the first digit.
  if (b.exponent <= 0) {
    text = "0." + std::string(-b.exponent, '0') + text;
  } else if (b.exponent >= count) {
    text += std::string(b.exponent - count, '0');
  } else {
    text.insert(b.exponent, ".");
  }
  if (b.sign < 0) text = "-" + text;
  bool ok = false;
  *value = DecimalNumber::Parse(text, &ok);
  return ok;
}

std::string EncodeDateKey(int64_t jdn) {
  double d = static_cast<double>(jdn);
  std::string key(kDateKeyLength, '\0');
  std::memcpy(key.data(), &d, sizeof d);  // little-endian hosts only, as the file
  return key;
}

double DecodeDateKey(std::string_view key) {
  double d = 0;
  if (key.size() >= sizeof d) std::memcpy(&d, key.data(), sizeof d);
  return d;
}

std::string EncodeKey(KeyType type, int length, const Value& value) {
  switch (type) {
    case KeyType::kNumeric:
      return EncodeNumericKey(value.number);
    case KeyType::kDate:
      return EncodeDateKey(value.jdn);
    case KeyType::kChar:
      break;
  }
  std::string key = value.text;
  key.resize(length, ' ');
  return key;
}

int CompareKeys(KeyType type, std::string_view a, std::string_view b) {
  switch (type) {
    case KeyType::kNumeric:
      return CompareBcd(a, b);
    case KeyType::kDate: {
      uint64_t x = SortableDouble(DecodeDateKey(a)), y = SortableDouble(DecodeDateKey(b));
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    case KeyType::kChar:
      break;
  }
  size_t n = std::min(a.size(), b.size());
  int c = std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c < 0 ? -1 : 1;
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

void AppendSortableKey(KeyType type, std::string_view key, std::string* out) {
  switch (type) {
    case KeyType::kChar:
      out->append(key);
      return;
    case KeyType::kDate: {
      uint64_t v = SortableDouble(DecodeDateKey(key));
      for (int i = 7; i >= 0; --i) out->push_back(static_cast<char>(v >> (8 * i)));
      return;
    }
    case KeyType::kNumeric:
      break;
  }
  Bcd b = ReadBcd(key);
  // Class byte (negative < zero < positive), exponent, digit bytes; all
  // inverted for negatives so larger magnitudes sort first.
  unsigned char bytes[kNumericKeyLength] = {};
  bytes[0] = static_cast<unsigned char>(b.sign + 1);
  if (b.sign != 0) {
    bytes[1] = static_cast<unsigned char>(std::clamp(b.exponent + 128, 0, 255));
    for (int i = 0; i < 10; ++i)
      bytes[2 + i] = static_cast<unsigned char>((b.nibbles[2 * i] << 4) | b.nibbles[2 * i + 1]);
    if (b.sign < 0) {
      for (int i = 1; i < kNumericKeyLength; ++i) bytes[i] = static_cast<unsigned char>(~bytes[i]);
    }
  }
  out->append(reinterpret_cast<const char*>(bytes), kNumericKeyLength);
}

Status SearchKeyFromText(KeyType type, std::string_view text, std::string* key) {
  switch (type) {
    case KeyType::kChar:
      *key = std::string(text);
      return Status::OK();
    case KeyType::kNumeric: {
      bool ok = false;
      DecimalNumber d = DecimalNumber::Parse(text, &ok);
      if (!ok) return Status::InvalidArgument("not a number: \"" + std::string(text) + "\"");
      *key = EncodeNumericKey(d);
      return Status::OK();
    }
    case KeyType::kDate: {
      std::string_view t = text;
      while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
      while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
      int64_t jdn = 0;
      if (!t.empty()) {
        jdn = JulianDayFromDtos(t);
        if (jdn == 0 || t.size() != 8)
          return Status::InvalidArgument("not a date (YYYYMMDD): \"" + std::string(text) + "\"");
      }
      *key = EncodeDateKey(jdn);
      return Status::OK();
    }
  }
  return Status::InvalidArgument("unknown key type");
}

std::string KeyToDisplay(KeyType type, std::string_view key) {
  switch (type) {
    case KeyType::kNumeric: {
      DecimalNumber d;
      return DecodeNumericKey(key, &d) ? d.ToString() : "?";
    }
    case KeyType::kDate: {
      double jdn = DecodeDateKey(key);
      if (jdn == 0) return "";
      if (!(jdn > 0 && jdn < 1e8) || jdn != std::floor(jdn)) return "?";
      return DtosFromJulianDay(static_cast<int64_t>(jdn));
    }
    case KeyType::kChar:
      break;
  }
  return std::string(key);
}

}  // namespace dbup::xbase
