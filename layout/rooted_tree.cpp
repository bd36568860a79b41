#include "layout/rooted_tree.h"

#include <algorithm>
#include <cmath>

#include "core/progress.h"

namespace ctree {

static const double root2 = std::sqrt(2.0);
static const double pi_half = std::acos(0.0);

Size RTNode::nleaves() {
  if (leaves) return leaves;
  // Post-order without recursion: deep paths are common.
  std::vector<std::pair<RTNode*, size_t>> stack{{this, 0}};
  while (!stack.empty()) {
    auto& [n, next] = stack.back();
    if (n->leaves) {
      stack.pop_back();
      continue;
    }
    if (next < n->children.size()) {
      RTNode* c = n->children[next++];
      if (!c->leaves) stack.push_back({c, 0});
      continue;
    }
    Size sum = 0;
    for (RTNode* c : n->children) sum += c->leaves;
    n->leaves = n->children.empty() ? 1 : sum;
    stack.pop_back();
  }
  return leaves;
}

void recursive_shuffle(std::vector<RTNode*>& v) {
  if (v.size() < 3) return;
  std::vector<RTNode*> even, odd;
  for (size_t i = 0; i < v.size(); ++i) (i % 2 ? odd : even).push_back(v[i]);
  recursive_shuffle(even);
  recursive_shuffle(odd);
  std::copy(even.begin(), even.end(), v.begin());
  std::copy(odd.begin(), odd.end(), v.begin() + std::ptrdiff_t(even.size()));
}

void RTNode::shuffleChildren() {
  if (children.empty()) return;
  // Stable, so that equal counts keep their order and runs repeat exactly.
  std::stable_sort(children.begin(), children.end(), [](RTNode* a, RTNode* b) { return a->nleaves() < b->nleaves(); });
  recursive_shuffle(children);
}

void layout_rooted_tree(RootedTree& tree, double, std::vector<double>& out, ProgressSink& progress) {
  out.assign(tree.size() * 2, 0.0);
  if (tree.empty()) return;
  Index done = 0;
  progress.init("Computing tree layout", Size(tree.size()));
  tree[0].nleaves();
  struct Work {
    RTNode* node;
    double radius, extent, start;
  };
  std::vector<Work> stack{{&tree[0], 0.0, 2 * M_PI, 0.0}};
  std::vector<double> angle;
  while (!stack.empty()) {
    const Work w = stack.back();
    stack.pop_back();
    RTNode* node = w.node;
    const double radius = w.radius <= 0 ? 1.0 : w.radius * root2;
    const double N = node->nleaves();
    node->shuffleChildren();
    const size_t n = node->children.size();
    angle.assign(n, 0.0);
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
      angle[i] = std::min(node->children[i]->nleaves() / N * w.extent, pi_half);
      sum += angle[i];
    }
    const double share = n ? (sum >= w.extent ? 0.0 : w.extent - sum) / double(n) : 0.0;
    double s = w.start;
    // Children go on the stack in reverse so they are expanded in order.
    const size_t first = stack.size();
    for (size_t i = 0; i < n; ++i) {
      RTNode* c = node->children[i];
      const double theta = s + (angle[i] + share) / 2;
      const size_t k = size_t(c - tree.data());
      out[2 * k] = std::cos(theta) * radius;
      out[2 * k + 1] = std::sin(theta) * radius;
      stack.push_back({c, radius, angle[i], s});
      s += angle[i] + share;
    }
    std::reverse(stack.begin() + std::ptrdiff_t(first), stack.end());
    progress.update(done++);
  }
}

}  // namespace ctree
