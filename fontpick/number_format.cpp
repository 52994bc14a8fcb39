#include "number_format.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// A non-negative decimal value 0.digits × 10^point; no digits means zero.
struct Decimal {
  std::string digits;  // first digit non-zero
  int point = 0;
};

// Big unsigned integer in base 10^9, least significant limb first.
using Limbs = std::vector<uint32_t>;

void multiply_small(Limbs& number, uint32_t factor) {
  uint64_t carry = 0;
  for (uint32_t& limb : number) {
    uint64_t product = static_cast<uint64_t>(limb) * factor + carry;
    limb = static_cast<uint32_t>(product % 1000000000u);
    carry = product / 1000000000u;
  }
  if (carry != 0) number.push_back(static_cast<uint32_t>(carry));
}

std::string limbs_to_text(const Limbs& number) {
  std::string text = std::to_string(number.back());
  for (size_t i = number.size() - 1; i-- > 0;) {
    std::string part = std::to_string(number[i]);
    text += std::string(9 - part.size(), '0') + part;
  }
  return text;
}

// The exact value of a finite double's magnitude: mantissa × 2^exponent is
// mantissa × 5^-exponent / 10^-exponent for negative exponents.
Decimal exact_decimal(double value) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  int biased = static_cast<int>((bits >> 52) & 0x7FF);
  uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
  int exponent = biased == 0 ? -1074 : biased - 1075;
  if (biased != 0) mantissa |= uint64_t{1} << 52;
  Decimal result;
  if (mantissa == 0) return result;

  Limbs number{static_cast<uint32_t>(mantissa % 1000000000u),
               static_cast<uint32_t>(mantissa / 1000000000u % 1000000000u),
               static_cast<uint32_t>(mantissa / 1000000000u / 1000000000u)};
  while (number.size() > 1 && number.back() == 0) number.pop_back();
  for (int i = 0; i < exponent; ++i) multiply_small(number, 2);
  for (int i = 0; i < -exponent; ++i) multiply_small(number, 5);

  std::string text = limbs_to_text(number);
  int scale = exponent < 0 ? -exponent : 0;  // digits after the decimal point
  size_t end = text.find_last_not_of('0');
  result.point = static_cast<int>(text.size()) - scale;
  result.digits = text.substr(0, end + 1);
  return result;
}

// Keeps the first keep digits (keep may be zero or negative: the position lies
// before the first digit), rounding half up on the next one.
void round_half_up(Decimal& d, int keep) {
  if (keep >= static_cast<int>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    d.point = 0;
    return;
  }
  bool up = d.digits[keep] >= '5';
  d.digits.resize(keep);
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
    if (i >= 0) {
      ++d.digits[i];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.point;
    }
  }
  size_t end = d.digits.find_last_not_of('0');
  d.digits.resize(end == std::string::npos ? 0 : end + 1);
  if (d.digits.empty()) d.point = 0;
}

// The first stage shared by both conversions.
Decimal seventeen_digits(double magnitude) {
  Decimal d = exact_decimal(magnitude);
  round_half_up(d, 17);
  return d;
}

char digit_at(const Decimal& d, int index) {
  return index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[index] : '0';
}

// Fixed notation with the given number of decimals.
std::string fixed_text(const Decimal& d, int decimals) {
  std::string text;
  if (d.point <= 0) {
    text = "0";
  } else {
    for (int i = 0; i < d.point; ++i) text += digit_at(d, i);
  }
  if (decimals > 0) {
    text += '.';
    for (int i = 0; i < decimals; ++i) text += digit_at(d, d.point + i);
  }
  return text;
}

void drop_trailing_zeros(std::string& text) {
  if (text.find('.') == std::string::npos) return;
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
}

std::string sign_of(double value) { return std::signbit(value) ? "-" : ""; }

std::string non_finite(double value) {
  return sign_of(value) + (std::isnan(value) ? "nan" : "inf");
}

}  // namespace

std::string format_general(double value) {
  if (!std::isfinite(value)) return non_finite(value);
  constexpr int precision = 6;
  Decimal d = seventeen_digits(std::fabs(value));
  round_half_up(d, precision);
  int exponent = d.digits.empty() ? 0 : d.point - 1;
  std::string text;
  if (exponent < -4 || exponent >= precision) {
    Decimal mantissa = d;
    mantissa.point = 1;
    text = fixed_text(mantissa, precision - 1);
    drop_trailing_zeros(text);
    std::string power = std::to_string(exponent < 0 ? -exponent : exponent);
    text += std::string(exponent < 0 ? "e-" : "e+") + (power.size() < 2 ? "0" : "") + power;
  } else {
    text = fixed_text(d, precision - 1 - exponent);
    drop_trailing_zeros(text);
  }
  return sign_of(value) + text;
}

std::string format_one_decimal(double value) {
  if (!std::isfinite(value)) return non_finite(value);
  Decimal d = seventeen_digits(std::fabs(value));
  round_half_up(d, d.point + 1);
  return sign_of(value) + fixed_text(d, 1);
}
