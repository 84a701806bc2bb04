#include "xbase/field_codec.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace dbup::xbase {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// memcpy for views that may be empty (and then have no data pointer).
void CopyBytes(char* to, const char* from, size_t n) {
  if (n > 0) std::memcpy(to, from, n);
}

void FillStars(int length, char* out) {
  std::memset(out, '*', static_cast<size_t>(length));
}

// Longest digit string a field can show (a 255-wide field), plus slack.
constexpr size_t kMaxDigits = 300;

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return text.substr(b, e - b);
}

bool ParseDecimal(std::string_view text, Decimal* number) {
  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
  Decimal d;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    d.negative = text[i] == '-';
    ++i;
  }
  size_t int_start = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  std::string_view integer = text.substr(int_start, i - int_start);
  std::string_view fraction;
  if (i < text.size() && text[i] == '.') {
    size_t frac_start = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    fraction = text.substr(frac_start, i - frac_start);
  }
  if (integer.empty() && fraction.empty()) return false;
  size_t lead = integer.find_first_not_of('0');
  d.integer = lead == std::string_view::npos ? std::string_view("0") : integer.substr(lead);
  d.fraction = fraction;
  *number = d;
  return true;
}

void FormatDecimal(const Decimal& number, int length, int decimals, char* out) {
  if (length <= 0) return;
  if (decimals < 0) decimals = 0;
  const size_t dec = static_cast<size_t>(decimals);
  if (number.integer.size() > kMaxDigits || dec > kMaxDigits) {
    FillStars(length, out);
    return;
  }
  // digits[1..] = integer digits and exactly dec fraction digits; digits[0]
  // takes a carry out of the first digit.
  char digits[2 * kMaxDigits + 2];
  size_t n = 1;
  CopyBytes(digits + n, number.integer.data(), number.integer.size());
  n += number.integer.size();
  size_t have = std::min(number.fraction.size(), dec);
  CopyBytes(digits + n, number.fraction.data(), have);
  std::memset(digits + n + have, '0', dec - have);
  n += dec;
  size_t first = 1;
  if (number.fraction.size() > dec && number.fraction[dec] >= '5') {
    size_t k = n;
    while (k > 1 && digits[k - 1] == '9') digits[--k] = '0';
    if (k > 1) {
      ++digits[k - 1];
    } else {
      digits[0] = '1';
      first = 0;
    }
  }
  const size_t int_len = n - dec - first;
  bool zero = true;
  for (size_t k = first; k < n; ++k) zero = zero && digits[k] == '0';
  // "-0.00" is not a value dBASE writes.
  const bool negative = number.negative && !zero;
  // ".50" still says 0.50 where "0.50" does not fit.
  bool drop_zero = false;
  size_t size = (negative ? 1 : 0) + int_len + (dec > 0 ? dec + 1 : 0);
  if (size > static_cast<size_t>(length) && dec > 0 && int_len == 1 && digits[first] == '0') {
    drop_zero = true;
    --size;
  }
  if (size > static_cast<size_t>(length)) {
    FillStars(length, out);
    return;
  }
  char* p = out;
  std::memset(p, ' ', static_cast<size_t>(length) - size);
  p += static_cast<size_t>(length) - size;
  if (negative) *p++ = '-';
  if (!drop_zero) {
    CopyBytes(p, digits + first, int_len);
    p += int_len;
  }
  if (dec > 0) {
    *p++ = '.';
    CopyBytes(p, digits + first + int_len, dec);
  }
}

void FormatDouble(double value, int length, int decimals, char* out) {
  if (!std::isfinite(value)) {
    FillStars(length, out);
    return;
  }
  // The shortest text that reads back as the same double; fixed notation
  // and independent of the locale.
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof(buf), value, std::chars_format::fixed);
  Decimal d;
  if (ec != std::errc() ||
      !ParseDecimal(std::string_view(buf, static_cast<size_t>(end - buf)), &d)) {
    FillStars(length, out);
    return;
  }
  FormatDecimal(d, length, decimals, out);
}

bool TextToDouble(std::string_view text, double* value) {
  Decimal d;
  if (!ParseDecimal(text, &d)) return false;
  char small[64];
  std::string large;
  char* s = small;
  size_t n = 1 + d.integer.size() + 1 + d.fraction.size();
  if (n > sizeof(small)) {
    large.resize(n);
    s = large.data();
  }
  size_t k = 0;
  if (d.negative) s[k++] = '-';
  CopyBytes(s + k, d.integer.data(), d.integer.size());
  k += d.integer.size();
  if (!d.fraction.empty()) {
    s[k++] = '.';
    CopyBytes(s + k, d.fraction.data(), d.fraction.size());
    k += d.fraction.size();
  }
  double v = 0;
  auto [ptr, ec] = std::from_chars(s, s + k, v);
  if (ec == std::errc::result_out_of_range) {
    v = d.negative ? -std::numeric_limits<double>::infinity()
                   : std::numeric_limits<double>::infinity();
  } else if (ec != std::errc()) {
    return false;
  }
  *value = v;
  return true;
}

int64_t TextToInt(std::string_view text) {
  Decimal d;
  if (!ParseDecimal(text, &d)) return 0;
  int64_t v = 0;
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  for (char c : d.integer) {
    int digit = c - '0';
    if (v > (kMax - digit) / 10) {
      v = kMax;
      break;
    }
    v = v * 10 + digit;
  }
  return d.negative ? -v : v;
}

void StoreBlank(const FieldDescriptor& field, char* out) {
  std::memset(out, ' ', field.length);
}

Status StoreText(const FieldDescriptor& field, std::string_view text, char* out) {
  const int length = field.length;
  switch (field.type) {
    case 'N':
    case 'F': {
      if (TrimBlanks(text).empty()) {
        StoreBlank(field, out);
        return Status::OK();
      }
      Decimal d;
      if (!ParseDecimal(text, &d)) {
        StoreBlank(field, out);
        return Status::InvalidArgument("field " + field.name + ": \"" + std::string(text) +
                                       "\" is not a number");
      }
      FormatDecimal(d, length, field.decimals, out);
      return Status::OK();
    }
    case 'D': {
      std::string_view t = TrimBlanks(text);
      if (t.empty()) {
        StoreBlank(field, out);
        return Status::OK();
      }
      bool ok = t.size() == 8 && length == 8;
      for (char c : t) ok = ok && IsDigit(c);
      if (!ok) {
        StoreBlank(field, out);
        return Status::InvalidArgument("field " + field.name + ": \"" + std::string(text) +
                                       "\" is not a date of the form YYYYMMDD");
      }
      CopyBytes(out, t.data(), 8);
      return Status::OK();
    }
    case 'L': {
      std::string_view t = TrimBlanks(text);
      StoreBlank(field, out);
      if (t.empty()) return Status::OK();
      switch (t[0]) {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
          out[0] = 'T';
          return Status::OK();
        case 'F':
        case 'f':
        case 'N':
        case 'n':
          out[0] = 'F';
          return Status::OK();
        case '?':
          out[0] = '?';
          return Status::OK();
        default:
          return Status::InvalidArgument("field " + field.name + ": \"" + std::string(text) +
                                         "\" is not a logical value");
      }
    }
    default: {
      size_t n = std::min(text.size(), static_cast<size_t>(length));
      CopyBytes(out, text.data(), n);
      std::memset(out + n, ' ', static_cast<size_t>(length) - n);
      return Status::OK();
    }
  }
}

Status ParseMemoBlock(std::string_view field_bytes, uint32_t* block) {
  std::string_view t = TrimBlanks(field_bytes);
  uint64_t v = 0;
  for (char c : t) {
    if (!IsDigit(c)) {
      return Status::Corruption("memo field holds \"" + std::string(field_bytes) +
                                "\", not a block number");
    }
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > 0xFFFFFFFFu) return Status::Corruption("memo block number is too large");
  }
  *block = static_cast<uint32_t>(v);
  return Status::OK();
}

void StoreMemoBlock(uint32_t block, int length, char* out) {
  std::memset(out, ' ', static_cast<size_t>(length));
  if (block == 0) return;
  std::string s = std::to_string(block);
  if (s.size() > static_cast<size_t>(length)) return;  // cannot happen for width 10
  CopyBytes(out + length - s.size(), s.data(), s.size());
}

}  // namespace dbup::xbase
