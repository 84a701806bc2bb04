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

void FillStars(int length, char* out) {
  std::memset(out, '*', static_cast<size_t>(length));
}

// Rounds the magnitude of number to decimals fraction digits, half away
// from zero, by carrying through the digit string.
void RoundTo(Decimal* number, int decimals) {
  std::string& frac = number->fraction;
  if (frac.size() <= static_cast<size_t>(decimals)) {
    frac.append(static_cast<size_t>(decimals) - frac.size(), '0');
    return;
  }
  bool up = frac[static_cast<size_t>(decimals)] >= '5';
  frac.resize(static_cast<size_t>(decimals));
  if (!up) return;
  std::string digits = number->integer + frac;
  size_t i = digits.size();
  while (i > 0) {
    --i;
    if (digits[i] == '9') {
      digits[i] = '0';
    } else {
      ++digits[i];
      break;
    }
    if (i == 0) digits.insert(digits.begin(), '1');
  }
  if (digits.empty()) digits = "1";
  number->integer = digits.substr(0, digits.size() - frac.size());
  frac = digits.substr(digits.size() - frac.size());
}

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
  while (i < text.size() && IsDigit(text[i])) d.integer.push_back(text[i++]);
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) d.fraction.push_back(text[i++]);
  }
  if (d.integer.empty() && d.fraction.empty()) return false;
  size_t lead = d.integer.find_first_not_of('0');
  d.integer = lead == std::string::npos ? "0" : d.integer.substr(lead);
  *number = std::move(d);
  return true;
}

void FormatDecimal(const Decimal& number, int length, int decimals, char* out) {
  if (length <= 0) return;
  if (decimals < 0) decimals = 0;
  Decimal n = number;
  RoundTo(&n, decimals);
  bool zero = n.integer.find_first_not_of('0') == std::string::npos &&
              n.fraction.find_first_not_of('0') == std::string::npos;
  // "-0.00" is not a value dBASE writes.
  bool negative = n.negative && !zero;
  std::string text = negative ? "-" : "";
  text += n.integer;
  if (decimals > 0) text += "." + n.fraction;
  if (text.size() > static_cast<size_t>(length) && decimals > 0 && n.integer == "0") {
    // ".50" still says 0.50 where "0.50" does not fit.
    text.erase(negative ? 1 : 0, 1);
  }
  if (text.size() > static_cast<size_t>(length)) {
    FillStars(length, out);
    return;
  }
  size_t pad = static_cast<size_t>(length) - text.size();
  std::memset(out, ' ', pad);
  std::memcpy(out + pad, text.data(), text.size());
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
  std::string s = (d.negative ? "-" : "") + d.integer;
  if (!d.fraction.empty()) s += "." + d.fraction;
  double v = 0;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
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
      std::memcpy(out, t.data(), 8);
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
      std::memcpy(out, text.data(), n);
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
  std::memcpy(out + length - s.size(), s.data(), s.size());
}

}  // namespace dbup::xbase
