// Axis labels of a scan from its header's directions, checked against the
// anatomical names written out by hand for the orientations scans come in.
#include <gtest/gtest.h>

#include "gui/axis_labels.h"

using namespace ctree;

namespace {

VolumeHeader oriented(std::initializer_list<Real> rows) {
  VolumeHeader h;
  h.oriented = true;
  auto it = rows.begin();
  for (auto& row : h.axes)
    for (Real& e : row) e = *it++;
  return h;
}

std::string ends(const AxisLabels& l) {
  std::string s;
  for (int a = 0; a < 3; ++a) s += l.low[a] + ">" + l.high[a] + " ";
  return s;
}

}  // namespace

TEST(AxisLabels, scans_are_labelled_by_the_directions_their_axes_run) {
  // Index order as the world: left to right, back to front, foot to head.
  EXPECT_EQ(ends(axis_labels(oriented({1, 0, 0, 0, 1, 0, 0, 0, 1}))), "L>R P>A I>S ");
  // Stored radiologically: x runs to the left, y to the back.
  EXPECT_EQ(ends(axis_labels(oriented({-1, 0, 0, 0, -1, 0, 0, 0, 1}))), "R>L A>P I>S ");
  // An oblique sagittal scan: x runs to the back, y up, z to the right,
  // each a little off its world axis; the nearest direction names it.
  EXPECT_EQ(ends(axis_labels(oriented({0.2, -0.9, 0.1, 0.1, 0.3, 0.95, 0.97, 0, -0.2}))), "A>P I>S L>R ");
}

TEST(AxisLabels, data_without_orientation_names_the_axes_at_their_far_ends) {
  VolumeHeader h;  // a raw file: no orientation
  const AxisLabels l = axis_labels(h);
  EXPECT_EQ(ends(l), ">+x >+y >+z ");
  EXPECT_EQ(ends(plain_axis_labels()), ends(l));
}
