// Int128: a signed 128-bit integer for targets whose compiler has none.
//
// 32-bit x86 (the host's own platform) has no __int128, so the exact decimal
// arithmetic of key expressions uses this class there: two's complement in
// two 64-bit halves, with the operators that arithmetic needs and the same
// results as __int128 (division truncates toward zero; overflow wraps, as
// the callers check for it with MulOverflow first). Where the compiler has
// __int128, WideInt is that type and this class is only tested against it.
#pragma once

#include <bit>
#include <cmath>
#include <compare>
#include <cstdint>
#include <limits>
#include <utility>

namespace dbup::xbase {

class Int128 {
 public:
  constexpr Int128() = default;
  constexpr Int128(long long v)  // NOLINT: converts like a built-in integer
      : hi_(v < 0 ? ~uint64_t{0} : 0), lo_(static_cast<uint64_t>(v)) {}
  static constexpr Int128 FromHalves(uint64_t hi, uint64_t lo) {
    Int128 r;
    r.hi_ = hi;
    r.lo_ = lo;
    return r;
  }

  constexpr uint64_t hi() const { return hi_; }
  constexpr uint64_t lo() const { return lo_; }
  constexpr bool negative() const { return (hi_ >> 63) != 0; }

  constexpr explicit operator long long() const { return static_cast<long long>(lo_); }
  constexpr explicit operator long() const { return static_cast<long>(lo_); }
  constexpr explicit operator int() const { return static_cast<int>(lo_); }
  explicit operator double() const {
    Int128 m = negative() ? -*this : *this;
    double d;
    if (m.hi_ == 0) {
      d = static_cast<double>(m.lo_);
    } else {
      // Keep the top 64 bits and fold the rest into a sticky bit, so the one
      // rounding to 53 bits comes out as the built-in conversion's.
      int shift = 64 - std::countl_zero(m.hi_);
      uint64_t top = shift == 64 ? m.hi_ : (m.hi_ << (64 - shift)) | (m.lo_ >> shift);
      uint64_t rest = shift == 64 ? m.lo_ : m.lo_ << (64 - shift);
      if (rest != 0) top |= 1;
      d = std::ldexp(static_cast<double>(top), shift);
    }
    return negative() ? -d : d;
  }

  friend constexpr Int128 operator+(Int128 a, Int128 b) {
    uint64_t lo = a.lo_ + b.lo_;
    return FromHalves(a.hi_ + b.hi_ + (lo < a.lo_ ? 1 : 0), lo);
  }
  friend constexpr Int128 operator-(Int128 a) { return FromHalves(~a.hi_, ~a.lo_) + Int128(1); }
  friend constexpr Int128 operator-(Int128 a, Int128 b) { return a + (-b); }
  friend constexpr Int128 operator*(Int128 a, Int128 b) {
    // The low 128 bits of the product are the same signed or unsigned.
    uint64_t hi = 0;
    uint64_t lo = MulFull(a.lo_, b.lo_, &hi);
    return FromHalves(hi + a.hi_ * b.lo_ + a.lo_ * b.hi_, lo);
  }
  friend constexpr Int128 operator/(Int128 a, Int128 b) {
    Int128 q, r;
    DivMod(a, b, &q, &r);
    return q;
  }
  friend constexpr Int128 operator%(Int128 a, Int128 b) {
    Int128 q, r;
    DivMod(a, b, &q, &r);
    return r;
  }

  constexpr Int128& operator+=(Int128 b) { return *this = *this + b; }
  constexpr Int128& operator-=(Int128 b) { return *this = *this - b; }
  constexpr Int128& operator*=(Int128 b) { return *this = *this * b; }
  constexpr Int128& operator/=(Int128 b) { return *this = *this / b; }
  constexpr Int128& operator%=(Int128 b) { return *this = *this % b; }
  constexpr Int128& operator++() { return *this += 1; }
  constexpr Int128& operator--() { return *this -= 1; }

  friend constexpr bool operator==(Int128 a, Int128 b) = default;
  friend constexpr std::strong_ordering operator<=>(Int128 a, Int128 b) {
    if (a.hi_ != b.hi_) {
      return static_cast<int64_t>(a.hi_) <=> static_cast<int64_t>(b.hi_);
    }
    return a.lo_ <=> b.lo_;
  }

  // *out = a * b; true when the exact product does not fit (as
  // __builtin_mul_overflow).
  friend constexpr bool MulOverflow(Int128 a, Int128 b, Int128* out) {
    *out = a * b;
    if (a == 0 || b == 0) return false;
    bool negative = a.negative() != b.negative();
    Int128 ua = a.negative() ? -a : a;  // the minimum stays itself: 2^127 unsigned
    Int128 ub = b.negative() ? -b : b;
    // Unsigned 128 x 128 bits: overflow unless one factor fits in 64 bits
    // and the partial products stay within 128 bits.
    if (ua.hi_ != 0 && ub.hi_ != 0) return true;
    if (ua.hi_ == 0 && ub.hi_ != 0) std::swap(ua, ub);
    uint64_t carry = 0;
    uint64_t lo = MulFull(ua.lo_, ub.lo_, &carry);
    uint64_t cross_hi = 0;
    uint64_t cross = MulFull(ua.hi_, ub.lo_, &cross_hi);
    if (cross_hi != 0) return true;
    uint64_t hi = cross + carry;
    if (hi < cross) return true;
    // Magnitude is hi:lo; it must be below 2^127, or exactly 2^127 when negative.
    if ((hi >> 63) == 0) return false;
    return !(negative && hi == (uint64_t{1} << 63) && lo == 0);
  }

 private:
  static constexpr uint64_t MulFull(uint64_t a, uint64_t b, uint64_t* hi) {
    uint64_t a_lo = a & 0xFFFFFFFFu, a_hi = a >> 32;
    uint64_t b_lo = b & 0xFFFFFFFFu, b_hi = b >> 32;
    uint64_t ll = a_lo * b_lo, lh = a_lo * b_hi, hl = a_hi * b_lo, hh = a_hi * b_hi;
    uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
    *hi = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
    return (mid << 32) | (ll & 0xFFFFFFFFu);
  }

  // Unsigned division of the magnitudes; divisor not zero.
  static constexpr void DivModUnsigned(Int128 n, Int128 d, Int128* q, Int128* r) {
    if (n.hi_ == 0 && d.hi_ == 0) {
      *q = FromHalves(0, n.lo_ / d.lo_);
      *r = FromHalves(0, n.lo_ % d.lo_);
      return;
    }
    if (d.hi_ == 0 && d.lo_ <= 0xFFFFFFFFu) {
      // Long division in 32-bit digits: the common case of dividing by 10^k.
      uint64_t digits[4] = {n.hi_ >> 32, n.hi_ & 0xFFFFFFFFu, n.lo_ >> 32, n.lo_ & 0xFFFFFFFFu};
      uint64_t rem = 0;
      for (uint64_t& digit : digits) {
        uint64_t cur = (rem << 32) | digit;
        digit = cur / d.lo_;
        rem = cur % d.lo_;
      }
      *q = FromHalves((digits[0] << 32) | digits[1], (digits[2] << 32) | digits[3]);
      *r = FromHalves(0, rem);
      return;
    }
    Int128 quotient, remainder;
    for (int bit = 127; bit >= 0; --bit) {
      remainder = FromHalves((remainder.hi_ << 1) | (remainder.lo_ >> 63), remainder.lo_ << 1);
      uint64_t in = bit >= 64 ? (n.hi_ >> (bit - 64)) & 1 : (n.lo_ >> bit) & 1;
      remainder.lo_ |= in;
      if (UnsignedLessEqual(d, remainder)) {
        remainder = remainder - d;
        if (bit >= 64) {
          quotient.hi_ |= uint64_t{1} << (bit - 64);
        } else {
          quotient.lo_ |= uint64_t{1} << bit;
        }
      }
    }
    *q = quotient;
    *r = remainder;
  }

  static constexpr bool UnsignedLessEqual(Int128 a, Int128 b) {
    return a.hi_ != b.hi_ ? a.hi_ < b.hi_ : a.lo_ <= b.lo_;
  }

  // Truncating division as C++ defines it for built-in integers.
  static constexpr void DivMod(Int128 a, Int128 b, Int128* q, Int128* r) {
    Int128 ua = a.negative() ? -a : a;
    Int128 ub = b.negative() ? -b : b;
    DivModUnsigned(ua, ub, q, r);
    if (a.negative() != b.negative()) *q = -*q;
    if (a.negative()) *r = -*r;
  }

  uint64_t hi_ = 0;
  uint64_t lo_ = 0;
};

#if defined(__SIZEOF_INT128__)
using WideInt = __int128;
inline bool MulOverflow(WideInt a, WideInt b, WideInt* out) {
  return __builtin_mul_overflow(a, b, out);
}
#else
using WideInt = Int128;
#endif

}  // namespace dbup::xbase

template <>
struct std::numeric_limits<dbup::xbase::Int128> {
  static constexpr bool is_specialized = true;
  static constexpr bool is_signed = true;
  static constexpr bool is_integer = true;
  static constexpr int digits = 127;
  static constexpr dbup::xbase::Int128 max() {
    return dbup::xbase::Int128::FromHalves(~uint64_t{0} >> 1, ~uint64_t{0});
  }
  static constexpr dbup::xbase::Int128 min() {
    return dbup::xbase::Int128::FromHalves(uint64_t{1} << 63, 0);
  }
};
