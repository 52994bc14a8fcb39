// The generator's two sizes as the command has always carried them: printf's
// "%lg" and "%.1lf", but rounded in two stages, first to 17 significant digits
// (half up on the 18th), then half up to the conversion's own precision. So
// 16.25 gives "16.3" and 12.3499999999999996 gives "12.4", where the C
// library, which rounds the exact binary value to even, gives 16.2 and 12.3.
#pragma once

#include <string>

// As "%lg": six significant digits, trailing zeros and a bare point dropped,
// exponent form below 1e-4 and from 1e6.
std::string format_general(double value);

// As "%.1lf": one decimal.
std::string format_one_decimal(double value);
