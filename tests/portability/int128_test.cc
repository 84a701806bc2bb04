// Int128 stands in for __int128 on 32-bit targets; here it is checked
// against the compiler's own type on many operand pairs of every magnitude.
#include "xbase/int128.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace dbup::xbase {
namespace {

#if defined(__SIZEOF_INT128__)

using Native = __int128;

Int128 From(Native v) {
  return Int128::FromHalves(static_cast<uint64_t>(static_cast<unsigned __int128>(v) >> 64),
                            static_cast<uint64_t>(v));
}

Native To(Int128 v) {
  return static_cast<Native>((static_cast<unsigned __int128>(v.hi()) << 64) | v.lo());
}

std::vector<Native> Operands() {
  const Native max = std::numeric_limits<Native>::max();
  const Native min = std::numeric_limits<Native>::min();
  std::vector<Native> v = {0,
                           1,
                           -1,
                           2,
                           9,
                           10,
                           -10,
                           11,
                           999,
                           1000000007,
                           -12345678901234567,
                           static_cast<Native>(INT64_MAX),
                           static_cast<Native>(INT64_MIN),
                           static_cast<Native>(UINT64_MAX),
                           static_cast<Native>(UINT64_MAX) + 1,
                           max,
                           min,
                           max - 1,
                           min + 1,
                           max / 10,
                           min / 10};
  Native p = 1;
  for (int i = 0; i < 38; ++i, p *= 10) {
    v.push_back(p);
    v.push_back(-p);
    v.push_back(p - 1);
    v.push_back(p * 5);
  }
  std::mt19937_64 rng(20261211);
  for (int bits = 1; bits <= 127; bits += 3) {
    for (int k = 0; k < 6; ++k) {
      unsigned __int128 r = (static_cast<unsigned __int128>(rng()) << 64) | rng();
      Native x = static_cast<Native>(r >> (128 - bits));
      v.push_back(k % 2 ? -x : x);
    }
  }
  return v;
}

TEST(Int128Test, ArithmeticMatchesTheBuiltInType) {
  const std::vector<Native> ops = Operands();
  for (Native a : ops) {
    ASSERT_EQ(To(From(a)), a);
    if (a != std::numeric_limits<Native>::min()) {
      ASSERT_EQ(To(-From(a)), -a);
    }
    ASSERT_EQ(static_cast<double>(From(a)), static_cast<double>(a));
    ASSERT_EQ(static_cast<long long>(From(a)), static_cast<long long>(a));
    for (Native b : ops) {
      const Int128 x = From(a), y = From(b);
      using U = unsigned __int128;
      // Wrapping sums and products, as the hardware gives them.
      ASSERT_EQ(To(x + y), static_cast<Native>(static_cast<U>(a) + static_cast<U>(b)));
      ASSERT_EQ(To(x - y), static_cast<Native>(static_cast<U>(a) - static_cast<U>(b)));
      ASSERT_EQ(To(x * y), static_cast<Native>(static_cast<U>(a) * static_cast<U>(b)));
      Native product;
      Int128 mine;
      ASSERT_EQ(MulOverflow(x, y, &mine), __builtin_mul_overflow(a, b, &product))
          << static_cast<double>(a) << " * " << static_cast<double>(b);
      ASSERT_EQ(To(mine), product);
      ASSERT_EQ(x < y, a < b);
      ASSERT_EQ(x == y, a == b);
      ASSERT_EQ(x >= y, a >= b);
      if (b != 0 && !(a == std::numeric_limits<Native>::min() && b == -1)) {
        ASSERT_EQ(To(x / y), a / b) << static_cast<double>(a) << " / " << static_cast<double>(b);
        ASSERT_EQ(To(x % y), a % b) << static_cast<double>(a) << " % " << static_cast<double>(b);
      }
    }
  }
}

TEST(Int128Test, LimitsAndSmallLiterals) {
  EXPECT_EQ(To(std::numeric_limits<Int128>::max()), std::numeric_limits<Native>::max());
  EXPECT_EQ(To(std::numeric_limits<Int128>::min()), std::numeric_limits<Native>::min());
  // Digits folded in the way the decimal parser does it.
  Int128 m = 0;
  Native n = 0;
  for (char c : std::string("12345678901234567890123456789012345")) {
    m = m * 10 + (c - '0');
    n = n * 10 + (c - '0');
  }
  EXPECT_EQ(To(m), n);
  Int128 q = 7;
  ++q;
  q /= 3;
  EXPECT_EQ(static_cast<int>(q), 2);
  EXPECT_TRUE(Int128(-1) < Int128(0));
  EXPECT_EQ(static_cast<int>(Int128(-17) % 10), -7);
}

#else

TEST(Int128Test, NeedsTheBuiltInTypeAsReference) {
  GTEST_SKIP() << "no __int128 on this target to compare with";
}

#endif

}  // namespace
}  // namespace dbup::xbase
