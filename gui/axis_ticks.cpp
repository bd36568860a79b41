#include "gui/axis_ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ctree {

namespace {

// "1.5e-06" -> "1.5e-6", "2e+05" -> "2e5".
std::string compact_exponent(std::string s) {
  const size_t e = s.find('e');
  if (e == std::string::npos) return s;
  std::string mantissa = s.substr(0, e), exponent = s.substr(e + 1);
  const bool negative = !exponent.empty() && exponent[0] == '-';
  if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) exponent.erase(0, 1);
  exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
  return mantissa + "e" + (negative ? "-" : "") + exponent;
}

}  // namespace

AxisTicks linear_ticks(double lo, double hi, int maxTicks) {
  AxisTicks t;
  if (!std::isfinite(lo) || !std::isfinite(hi)) return t;
  if (lo > hi) std::swap(lo, hi);
  if (!(hi > lo)) {
    t.values.push_back(lo);
    return t;
  }
  maxTicks = std::max(2, maxTicks);
  // The smallest 1-2-5 step that leaves at most maxTicks values: start a
  // decade below the range's share per tick and walk up.
  const double raw = (hi - lo) / maxTicks;
  double power = std::pow(10.0, std::floor(std::log10(raw)) - 1);
  const double factors[3] = {1, 2, 5};
  for (int guard = 0; guard < 64; ++guard) {
    for (double f : factors) {
      const double step = f * power;
      const double first = std::ceil(lo / step - 1e-9), last = std::floor(hi / step + 1e-9);
      if (last - first + 1 <= maxTicks) {
        t.step = step;
        for (double k = first; k <= last; ++k) {
          double v = k * step;
          if (std::fabs(v) < step * 1e-9) v = 0;  // no "-0" or 1e-17 from rounding
          t.values.push_back(std::clamp(v, lo, hi));
        }
        return t;
      }
    }
    power *= 10;
  }
  return t;
}

AxisTicks log_ticks(double lo, double hi, int maxTicks) {
  if (lo > hi) std::swap(lo, hi);
  if (!(lo > 0) || !std::isfinite(hi) || !(hi > lo)) return linear_ticks(lo, hi, maxTicks);
  maxTicks = std::max(2, maxTicks);
  AxisTicks t;
  t.log = true;
  const int first = int(std::ceil(std::log10(lo) - 1e-9)), last = int(std::floor(std::log10(hi) + 1e-9));
  const int powers = last - first + 1;
  if (powers >= 3) {
    const int every = (powers + maxTicks - 1) / maxTicks;
    for (int k = first; k <= last; k += every) t.values.push_back(std::pow(10.0, k));
    return t;
  }
  for (int k = first - 1; k <= last; ++k)
    for (double f : {1.0, 2.0, 5.0}) {
      const double v = f * std::pow(10.0, k);
      if (v >= lo * (1 - 1e-9) && v <= hi * (1 + 1e-9)) t.values.push_back(std::clamp(v, lo, hi));
    }
  if (t.values.size() < 2 || int(t.values.size()) > maxTicks) return linear_ticks(lo, hi, maxTicks);
  return t;
}

std::string tick_label(double v, const AxisTicks& ticks) {
  char text[64];
  if (v == 0) return "0";
  if (ticks.log || !(ticks.step > 0)) {
    std::snprintf(text, sizeof text, "%.3g", v);
    return compact_exponent(text);
  }
  // Decimals the step needs: 0.25 needs 2, 0.5 one, 20 none.
  int decimals = 0;
  while (decimals < 12 &&
         std::fabs(ticks.step * std::pow(10.0, decimals) - std::round(ticks.step * std::pow(10.0, decimals))) >
             1e-6 * ticks.step * std::pow(10.0, decimals))
    ++decimals;
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  if (std::string(text).size() <= 7) return text;
  // Exponent form with the digits the step needs beside the value's own.
  const int digits = std::max(0, int(std::floor(std::log10(std::fabs(v)))) - int(std::floor(std::log10(ticks.step))));
  std::snprintf(text, sizeof text, "%.*e", std::min(digits, 6), v);
  std::string s = text;
  // 2.50e5 -> 2.5e5: trailing zeros of the mantissa say nothing.
  const size_t e = s.find('e');
  size_t end = e;
  if (s.find('.') < e) {
    while (end > 0 && s[end - 1] == '0') --end;
    if (end > 0 && s[end - 1] == '.') --end;
    s = s.substr(0, end) + s.substr(e);
  }
  return compact_exponent(s);
}

}  // namespace ctree
