#include "contour/int_tree.h"

#include <algorithm>
#include <cassert>

#include "contour/parallel_for.h"
#include "contour/radix_sort.h"

namespace contour {

void IntTree::Init(int n, const float* values) {
  vals.assign(values, values + n);
  for (int k = 1; k < n; ++k) assert(vals[k - 1] < vals[k] && "interval tree values must be distinct and sorted");
  cell.clear();
  segMin.clear();
  segMax.clear();
  node.clear();
  first.assign(n + 1, 0);
  minList.clear();
  maxList.clear();
  done = false;
}

// The first node on the binary search whose value lies in [mn, mx].
int IntTree::nodeOf(float mn, float mx) const {
  assert(mn <= mx && !vals.empty());
  int lo = 0, hi = int(vals.size()) - 1, at = -1;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (mn <= vals[mid] && vals[mid] <= mx) {
      at = mid;
      break;
    }
    if (mn <= vals[mid])
      hi = mid - 1;  // the interval lies below vals[mid]
    else
      lo = mid + 1;
  }
  if (at < 0) at = lo;
  assert(mn <= vals[at] && vals[at] <= mx && "seed range ends must be tree values");
  return at;
}

void IntTree::InsertSeg(unsigned c, float mn, float mx) {
  const int at = nodeOf(mn, mx);
  cell.push_back(c);
  segMin.push_back(mn);
  segMax.push_back(mx);
  node.push_back(at);
  done = false;
}

void IntTree::InsertSeeds(const Seed* seeds, int n, int threads) {
  const size_t base = cell.size();
  cell.resize(base + size_t(n));
  segMin.resize(base + size_t(n));
  segMax.resize(base + size_t(n));
  node.resize(base + size_t(n));
  parallel_for(n, threads, [&](int a, int b) {
    for (int k = a; k < b; ++k) {
      const size_t s = base + size_t(k);
      cell[s] = seeds[k].cell;
      segMin[s] = seeds[k].min;
      segMax[s] = seeds[k].max;
      node[s] = nodeOf(seeds[k].min, seeds[k].max);
    }
  });
  done = false;
}

void IntTree::Done() { Done(1); }

void IntTree::Done(int threads) {
  const int n = int(vals.size());
  first.assign(n + 1, 0);
  for (int nd : node) ++first[nd + 1];
  for (int k = 0; k < n; ++k) first[k + 1] += first[k];
  // Each list: the seeds radix-sorted by their key from seed order (ties
  // keep seed order), then dealt to their nodes in that order. The two
  // lists are made side by side.
  parallel_for(2, threads, [&](int la, int lb) {
    for (int l = la; l < lb; ++l) {
      std::vector<int> bySeed(node.size());
      for (int s = 0; s < int(node.size()); ++s) bySeed[size_t(s)] = s;
      if (l == 0)
        radix_sort_by(bySeed, [&](int s) { return float_key(segMin[size_t(s)]); });
      else
        radix_sort_by(bySeed, [&](int s) { return ~float_key(segMax[size_t(s)]); });
      std::vector<int>& list = l == 0 ? minList : maxList;
      list.assign(node.size(), 0);
      std::vector<int> fill(first.begin(), first.end() - 1);
      for (int s : bySeed) list[size_t(fill[size_t(node[size_t(s)])]++)] = s;
    }
  });
  done = true;
}

template <class Visit>
void IntTree::query(float w, Visit visit) const {
  assert(done && "interval tree queried before Done()");
  int lo = 0, hi = int(vals.size()) - 1;
  // Every node on the search path is visited, the last one (lo == hi) too.
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    if (vals[mid] < w) {
      // Seeds here have min <= vals[mid] < w: they contain w when max >= w.
      for (int k = first[mid]; k < first[mid + 1]; ++k) {
        int s = maxList[k];
        if (!(segMax[s] >= w)) break;
        visit(s);
      }
      lo = mid + 1;
    } else {
      // Seeds here have max >= vals[mid] >= w: they contain w when min < w.
      for (int k = first[mid]; k < first[mid + 1]; ++k) {
        int s = minList[k];
        if (!(segMin[s] < w)) break;
        visit(s);
      }
      hi = mid - 1;
    }
  }
}

int IntTree::getCells(float w, unsigned* out) const {
  int n = 0;
  query(w, [&](int s) { out[n++] = cell[s]; });
  return n;
}

void IntTree::Traverse(float w, void (*visit)(unsigned, void*), void* arg) const {
  query(w, [&](int s) { visit(cell[s], arg); });
}

void IntTree::Dump(std::FILE* out) const {
  for (int k = 0; k < int(vals.size()); ++k) {
    std::fprintf(out, "node %d value %f:", k, vals[k]);
    for (int m = first[k]; m < first[k + 1]; ++m) {
      int s = minList[m];
      std::fprintf(out, " %u(%f,%f]", cell[s], segMin[s], segMax[s]);
    }
    std::fprintf(out, "\n");
  }
}

std::string IntTree::Info() const {
  int used = 0, longest = 0;
  for (int k = 0; k < int(vals.size()); ++k) {
    int len = first[k + 1] - first[k];
    used += len > 0;
    longest = std::max(longest, len);
  }
  char line[160];
  std::snprintf(line, sizeof line, "interval tree: %d values, %d seeds, %d nodes in use, longest list %d",
                int(vals.size()), int(cell.size()), used, longest);
  return line;
}

}  // namespace contour
