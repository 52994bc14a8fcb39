#include "logfont.h"

#include <climits>
#include <cstdint>

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  // |number * numerator| <= 2^62: the product is exact in 64 bits.
  int64_t product = static_cast<int64_t>(number) * numerator;
  int64_t divisor = denominator;
  int64_t quotient = product / divisor;
  int64_t remainder = product % divisor;
  int64_t abs_remainder = remainder < 0 ? -remainder : remainder;
  int64_t abs_divisor = divisor < 0 ? -divisor : divisor;
  if (2 * abs_remainder >= abs_divisor) quotient += (product < 0) != (divisor < 0) ? -1 : 1;
  if (quotient > INT_MAX || quotient < INT_MIN) return -1;
  return static_cast<int>(quotient);
}
