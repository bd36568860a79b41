// Value sets, the interval tree and the work queue against brute force.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <set>
#include <vector>

#include "contour/cell_queue.h"
#include "contour/int_tree.h"
#include "contour/range.h"

using namespace contour;

namespace {

// Membership of w in a list of half-open intervals (lo, hi].
bool member(const std::vector<std::pair<float, float>>& iv, float w) {
  for (auto& [lo, hi] : iv)
    if (lo < w && w <= hi) return true;
  return false;
}

std::vector<std::pair<float, float>> random_intervals(std::mt19937& rng, int n) {
  std::uniform_int_distribution<int> v(0, 20);
  std::vector<std::pair<float, float>> out;
  for (int k = 0; k < n; ++k) {
    int a = v(rng), b = v(rng);
    out.push_back({float(std::min(a, b)), float(std::max(a, b))});
  }
  return out;
}

Range make(const std::vector<std::pair<float, float>>& iv) {
  Range r;
  for (auto& [lo, hi] : iv) r += Range(lo, hi);
  return r;
}

}  // namespace

TEST(Range, set_operations_agree_with_membership_at_every_half_step) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 500; ++trial) {
    auto a = random_intervals(rng, 1 + trial % 4), b = random_intervals(rng, 1 + trial % 3);
    Range ra = make(a), rb = make(b);
    Range u = ra + rb, d = ra - rb, x = ra ^ rb, c = ra.Complement(3, 17);
    for (Range* r : {&ra, &rb, &u, &d, &x, &c}) ASSERT_TRUE(r->Check(stderr)) << r->Print();
    for (float w = -1; w <= 22; w += 0.5f) {
      bool ia = member(a, w), ib = member(b, w);
      ASSERT_EQ(ra.Contains(w), ia) << "w=" << w << " " << ra.Print();
      ASSERT_EQ(u.Contains(w), ia || ib) << "w=" << w;
      ASSERT_EQ(d.Contains(w), ia && !ib) << "w=" << w << " " << ra.Print() << " - " << rb.Print();
      ASSERT_EQ(x.Contains(w), ia && ib) << "w=" << w;
      ASSERT_EQ(c.Contains(w), w > 3 && w <= 17 && !ia) << "w=" << w;
    }
    EXPECT_EQ(ra.Disjoint(rb), x.Empty());
  }
}

TEST(IntTree, finds_exactly_the_seeds_whose_range_holds_the_value) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 60; ++trial) {
    int n = 1 + trial * 7;
    // Integer-valued ends, so that many queries hit interval ends exactly.
    auto iv = random_intervals(rng, n);
    std::vector<float> ends;
    for (auto& [lo, hi] : iv) {
      ends.push_back(lo);
      ends.push_back(hi);
    }
    std::sort(ends.begin(), ends.end());
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    IntTree tree(int(ends.size()), ends.data());
    for (int s = 0; s < n; ++s) tree.InsertSeg(unsigned(1000 + s), iv[s].first, iv[s].second);
    tree.Done();
    std::vector<unsigned> out(n);
    for (float w = -1; w <= 21; w += 0.25f) {
      int got = tree.getCells(w, out.data());
      std::multiset<unsigned> found(out.begin(), out.begin() + got), expect;
      for (int s = 0; s < n; ++s)
        if (iv[s].first < w && w <= iv[s].second) expect.insert(unsigned(1000 + s));
      ASSERT_EQ(found, expect) << "trial " << trial << " w=" << w;
      std::multiset<unsigned> visited;
      tree.Traverse(w, [](unsigned c, void* arg) { static_cast<std::multiset<unsigned>*>(arg)->insert(c); },
                    &visited);
      ASSERT_EQ(visited, expect);
    }
  }
}

TEST(CellQueue, keeps_first_in_first_out_order_across_growth_and_wrap) {
  CellQueue q;
  std::deque<int> ref;
  std::mt19937 rng(3);
  int next = 0;
  for (int step = 0; step < 20000; ++step) {
    // Phases of mostly adding and mostly taking, so the ring wraps and grows.
    bool add = (step / 1000) % 2 == 0 ? rng() % 4 != 0 : rng() % 4 == 0;
    if (add || ref.empty()) {
      q.Add(next);
      ref.push_back(next++);
    } else {
      ASSERT_EQ(q.Get(), ref.front());
      ref.pop_front();
    }
    ASSERT_EQ(q.Count(), int(ref.size()));
  }
  EXPECT_GT(q.Capacity(), 100);
  while (!ref.empty()) {
    ASSERT_EQ(q.Get(), ref.front());
    ref.pop_front();
  }
  EXPECT_TRUE(q.Empty());
}
