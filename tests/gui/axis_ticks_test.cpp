// Tick values and labels of the plot axes and colour bars, against answers
// worked out by hand, and the promises (inside the range, at most as many
// as asked, round steps) over random ranges.
#include "gui/axis_ticks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace ctree;

namespace {

std::vector<std::string> labels(const AxisTicks& t) {
  std::vector<std::string> out;
  for (double v : t.values) out.push_back(tick_label(v, t));
  return out;
}

}  // namespace

TEST(AxisTicks, linear_ticks_of_hand_worked_ranges) {
  // A uint8 scan's values in a bar of room for five labels, then six.
  AxisTicks t = linear_ticks(0, 254, 5);
  EXPECT_EQ(t.values, std::vector<double>({0, 100, 200}));
  EXPECT_EQ(t.step, 100);
  t = linear_ticks(0, 254, 6);
  EXPECT_EQ(t.values, std::vector<double>({0, 50, 100, 150, 200, 250}));
  EXPECT_EQ(labels(t), std::vector<std::string>({"0", "50", "100", "150", "200", "250"}));
  // Bounds in either order, zero exactly zero (no "-0").
  t = linear_ticks(10, -10, 5);
  EXPECT_EQ(t.values, std::vector<double>({-10, -5, 0, 5, 10}));
  EXPECT_FALSE(std::signbit(t.values[2]));
  EXPECT_EQ(labels(t), std::vector<std::string>({"-10", "-5", "0", "5", "10"}));
  // Decimals as the step needs them.
  t = linear_ticks(0.13, 0.87, 10);
  ASSERT_EQ(t.values.size(), 7u);
  EXPECT_NEAR(t.values.front(), 0.2, 1e-12);
  EXPECT_NEAR(t.step, 0.1, 1e-12);
  EXPECT_EQ(labels(t), std::vector<std::string>({"0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8"}));
  EXPECT_EQ(labels(linear_ticks(0, 1, 4)), std::vector<std::string>({"0", "0.5", "1.0"}));
  // A surface area of a brain: plain digits up to seven characters...
  EXPECT_EQ(labels(linear_ticks(0, 6.84e5, 5)), std::vector<std::string>({"0", "200000", "400000", "600000"}));
  // ...an exponent beyond, and for small steps.
  EXPECT_EQ(labels(linear_ticks(0, 3e7, 4)), std::vector<std::string>({"0", "1e7", "2e7", "3e7"}));
  EXPECT_EQ(labels(linear_ticks(1.5e-6, 2.5e-6, 3)), std::vector<std::string>({"1.5e-6", "2e-6", "2.5e-6"}));
  EXPECT_EQ(labels(linear_ticks(0, 0.0003, 3)), std::vector<std::string>({"0", "0.0002"}));
  // No width: its one value; no finite bound: nothing.
  EXPECT_EQ(linear_ticks(3, 3, 5).values, std::vector<double>({3}));
  EXPECT_TRUE(linear_ticks(0, NAN, 5).values.empty());
  EXPECT_TRUE(linear_ticks(-INFINITY, 1, 5).values.empty());
}

TEST(AxisTicks, log_ticks_of_hand_worked_ranges) {
  // A few hundred branches of a brain: persistence 22..254.
  AxisTicks t = log_ticks(22, 254, 5);
  EXPECT_TRUE(t.log);
  EXPECT_EQ(t.values, std::vector<double>({50, 100, 200}));
  // Six decades in room for four: every second power.
  t = log_ticks(1, 1e6, 4);
  EXPECT_EQ(t.values, std::vector<double>({1, 100, 1e4, 1e6}));
  EXPECT_EQ(labels(t), std::vector<std::string>({"1", "100", "1e4", "1e6"}));
  t = log_ticks(0.5, 2000, 10);
  EXPECT_EQ(labels(t), std::vector<std::string>({"1", "10", "100", "1e3"}));
  // Too narrow for 1-2-5 values: linear ticks.
  t = log_ticks(3, 8, 5);
  EXPECT_FALSE(t.log);
  EXPECT_EQ(t.values, std::vector<double>({4, 6, 8}));
  // Not positive: linear.
  EXPECT_FALSE(log_ticks(0, 100, 5).log);
}

TEST(AxisTicks, random_ranges_give_round_ticks_inside_and_no_more_than_asked) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1, 1);
  for (int trial = 0; trial < 3000; ++trial) {
    const double scale = std::pow(10.0, 8 * u(rng));
    const double lo = scale * u(rng) * 10, hi = lo + scale * std::pow(10.0, 2 * u(rng));
    const int most = 2 + int(rng() % 12);
    const AxisTicks t = linear_ticks(lo, hi, most);
    ASSERT_GE(t.values.size(), 1u) << lo << " " << hi << " " << most;
    ASSERT_LE(int(t.values.size()), most) << lo << " " << hi;
    // The step is 1, 2 or 5 times a power of ten.
    const double mantissa = t.step / std::pow(10.0, std::floor(std::log10(t.step) + 1e-9));
    EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-6 || std::fabs(mantissa - 2) < 1e-6 || std::fabs(mantissa - 5) < 1e-6)
        << t.step;
    for (size_t i = 0; i < t.values.size(); ++i) {
      EXPECT_GE(t.values[i], lo);
      EXPECT_LE(t.values[i], hi);
      // Multiples of the step, neighbours one step apart.
      EXPECT_NEAR(t.values[i] / t.step, std::round(t.values[i] / t.step), 1e-6);
      if (i) {
        EXPECT_NEAR(t.values[i] - t.values[i - 1], t.step, t.step * 1e-6);
      }
      // Labels are short (the digits the step needs beside the value's
      // own, a sign and an exponent) and read back as the value, to the step.
      const std::string text = tick_label(t.values[i], t);
      EXPECT_LE(text.size(), 11u) << text;
      EXPECT_NEAR(std::stod(text), t.values[i], t.step * 1e-3 + std::fabs(t.values[i]) * 1e-6) << text;
    }
    // Labels tell neighbours apart.
    for (size_t i = 1; i < t.values.size(); ++i)
      EXPECT_NE(tick_label(t.values[i], t), tick_label(t.values[i - 1], t)) << t.values[i];
  }
}
