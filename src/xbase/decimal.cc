#include "xbase/decimal.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace dbup::xbase {

namespace {

using Int = WideInt;
constexpr int kMaxScale = 30;

Int Pow10(int n) {
  Int p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

Int Abs(Int v) {
  return v < 0 ? -v : v;
}

// Parses [sign] digits [. digits] starting at *pos; false when no digit.
bool ParseNumber(std::string_view t, size_t* pos, Int* mantissa, int* scale) {
  size_t i = *pos;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
    negative = t[i] == '-';
    ++i;
    while (i < t.size() && t[i] == ' ') ++i;
  }
  Int m = 0;
  int sc = 0;
  bool any = false;
  bool point = false;
  int significant = 0;
  for (; i < t.size(); ++i) {
    char c = t[i];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    any = true;
    if (m != 0 || c != '0') ++significant;
    if (significant > 36) {  // beyond int128 precision: drop further digits
      if (!point) return false;
      continue;
    }
    m = m * 10 + (c - '0');
    if (point) ++sc;
  }
  if (!any) return false;
  *pos = i;
  *mantissa = negative ? -m : m;
  *scale = sc;
  return true;
}

}  // namespace

void DecimalNumber::Trim() {
  if (mantissa_ == 0) {
    scale_ = 0;
    return;
  }
  while (scale_ > 0 && mantissa_ % 10 == 0) {
    mantissa_ /= 10;
    --scale_;
  }
}

DecimalNumber DecimalNumber::Parse(std::string_view text, bool* ok) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  size_t end = text.size();
  while (end > i && text[end - 1] == ' ') --end;
  if (ok) *ok = true;
  if (i == end) return DecimalNumber();
  Int m = 0;
  int sc = 0;
  size_t pos = i;
  if (!ParseNumber(text.substr(0, end), &pos, &m, &sc) || pos != end) {
    if (ok) *ok = false;
    return DecimalNumber();
  }
  DecimalNumber d(m, sc);
  d.Trim();
  return d;
}

DecimalNumber DecimalNumber::ParseLeading(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  Int m = 0;
  int sc = 0;
  if (!ParseNumber(text, &i, &m, &sc)) return DecimalNumber();
  DecimalNumber d(m, sc);
  d.Trim();
  return d;
}

DecimalNumber DecimalNumber::Align(const DecimalNumber& a, int scale) {
  DecimalNumber r = a;
  while (r.scale_ < scale) {
    Int next;
    if (MulOverflow(r.mantissa_, Int(10), &next)) break;
    r.mantissa_ = next;
    ++r.scale_;
  }
  while (r.scale_ > scale) {
    r.mantissa_ /= 10;
    --r.scale_;
  }
  return r;
}

int DecimalNumber::Compare(const DecimalNumber& other) const {
  if (IsNegative() != other.IsNegative()) return IsNegative() ? -1 : 1;
  std::string da, db;
  int ea, eb;
  Normalized(&da, &ea);
  other.Normalized(&db, &eb);
  if (da.empty() || db.empty()) {
    if (da.empty() && db.empty()) return 0;
    int sign = da.empty() ? (other.IsNegative() ? 1 : -1) : (IsNegative() ? -1 : 1);
    return sign;
  }
  int magnitude;
  if (ea != eb) {
    magnitude = ea < eb ? -1 : 1;
  } else {
    size_t n = std::max(da.size(), db.size());
    da.resize(n, '0');
    db.resize(n, '0');
    int c = da.compare(db);
    magnitude = c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return IsNegative() ? -magnitude : magnitude;
}

DecimalNumber DecimalNumber::operator+(const DecimalNumber& o) const {
  int scale = std::max(scale_, o.scale_);
  DecimalNumber a = Align(*this, scale), b = Align(o, scale);
  scale = std::min(a.scale_, b.scale_);
  a = Align(a, scale);
  b = Align(b, scale);
  DecimalNumber r(a.mantissa_ + b.mantissa_, scale);
  r.Trim();
  return r;
}

DecimalNumber DecimalNumber::operator-(const DecimalNumber& o) const {
  return *this + o.Negate();
}

DecimalNumber DecimalNumber::operator*(const DecimalNumber& o) const {
  DecimalNumber a = *this, b = o;
  Int m;
  while (MulOverflow(a.mantissa_, b.mantissa_, &m)) {
    // Give up the least significant digits of the finer operand.
    DecimalNumber& finer = a.scale_ >= b.scale_ ? a : b;
    if (finer.scale_ == 0) return DecimalNumber(std::numeric_limits<Int>::max() / 10, 0);
    finer.mantissa_ /= 10;
    --finer.scale_;
  }
  DecimalNumber r(m, a.scale_ + b.scale_);
  while (r.scale_ > kMaxScale) {
    r.mantissa_ /= 10;
    --r.scale_;
  }
  r.Trim();
  return r;
}

DecimalNumber DecimalNumber::Divide(const DecimalNumber& o, bool* ok) const {
  *ok = !o.IsZero();
  if (!*ok) return DecimalNumber();
  // Scale the dividend up as far as it goes so 15 decimals survive.
  DecimalNumber a = Align(*this, scale_ + 20);
  Int q = a.mantissa_ / o.mantissa_;
  DecimalNumber r(q, a.scale_ - o.scale_);
  if (r.scale_ < 0) {
    r.mantissa_ *= Pow10(-r.scale_);
    r.scale_ = 0;
  }
  r = r.Round(15);
  r.Trim();
  return r;
}

DecimalNumber DecimalNumber::Round(int decimals) const {
  if (decimals < 0) decimals = 0;
  if (scale_ <= decimals) return *this;
  Int div = Pow10(scale_ - decimals);
  Int q = Abs(mantissa_) / div;
  Int rem = Abs(mantissa_) % div;
  if (rem * 2 >= div) ++q;
  DecimalNumber r(mantissa_ < 0 ? -q : q, decimals);
  r.Trim();
  return r;
}

std::string DecimalNumber::ToFixed(int decimals) const {
  decimals = std::clamp(decimals, 0, 38);  // no more places than the mantissa has digits
  DecimalNumber r = Align(Round(decimals), decimals);
  Int m = Abs(r.mantissa_);
  // Built backwards: fraction digits, the point, integer digits, the sign.
  // 64-bit steps where the value allows: 128-bit division is slow.
  char buf[96];
  int at = sizeof buf;
  auto digit = [&](int d) { buf[--at] = static_cast<char>('0' + d); };
  bool small = m <= Int(static_cast<long long>(std::numeric_limits<int64_t>::max()));
  uint64_t m64 = small ? static_cast<uint64_t>(static_cast<long long>(m)) : 0;
  for (int i = 0; i < decimals; ++i) {
    if (small) {
      digit(static_cast<int>(m64 % 10));
      m64 /= 10;
    } else {
      digit(static_cast<int>(m % 10));
      m /= 10;
      small = m <= Int(static_cast<long long>(std::numeric_limits<int64_t>::max()));
      if (small) m64 = static_cast<uint64_t>(static_cast<long long>(m));
    }
  }
  if (decimals > 0) buf[--at] = '.';
  do {
    if (small) {
      digit(static_cast<int>(m64 % 10));
      m64 /= 10;
    } else {
      digit(static_cast<int>(m % 10));
      m /= 10;
      small = m <= Int(static_cast<long long>(std::numeric_limits<int64_t>::max()));
      if (small) m64 = static_cast<uint64_t>(static_cast<long long>(m));
    }
  } while (small ? m64 > 0 : m > 0);
  if (r.mantissa_ < 0) buf[--at] = '-';
  return std::string(buf + at, sizeof buf - at);
}

std::string DecimalNumber::ToString() const {
  return ToFixed(scale_);
}

int64_t DecimalNumber::ToInt64() const {
  Int m = mantissa_ / Pow10(scale_);
  if (m > std::numeric_limits<int64_t>::max()) return std::numeric_limits<int64_t>::max();
  if (m < std::numeric_limits<int64_t>::min()) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(m);
}

double DecimalNumber::ToDouble() const {
  return static_cast<double>(mantissa_) / static_cast<double>(Pow10(scale_));
}

void DecimalNumber::Normalized(std::string* digits, int* exponent) const {
  digits->clear();
  *exponent = 0;
  Int m = Abs(mantissa_);
  if (m == 0) return;
  while (m > 0) {
    digits->push_back(static_cast<char>('0' + static_cast<int>(m % 10)));
    m /= 10;
  }
  std::reverse(digits->begin(), digits->end());
  *exponent = static_cast<int>(digits->size()) - scale_;
  while (!digits->empty() && digits->back() == '0') digits->pop_back();
}

}  // namespace dbup::xbase
