#include "gui/branch_selection.h"

#include <algorithm>
#include <cstdio>

namespace ctree {

namespace {

std::string point_text(const Vertex& v) {
  char text[160];
  std::snprintf(text, sizeof text, "%g at (%g, %g, %g)", v.field, v.x, v.y, v.z);
  return text;
}

}  // namespace

std::string branch_info(const FlatTree& tree, Index b, long long voxels) {
  if (b < 0 || size_t(b) >= tree.branches.size()) return std::string();
  const FlatBranch& br = tree.branches[size_t(b)];
  const Vertex& lower = tree.vertices[size_t(tree.lowerEnd(br))];
  const Vertex& upper = tree.vertices[size_t(tree.upperEnd(br))];
  std::string s = "branch " + std::to_string(b);
  if (b == 0) {
    s += " (root): minimum " + point_text(lower) + ", maximum " + point_text(upper);
  } else {
    const bool maximum = tree.lowerEnd(br) == br.ends[1];
    s += ": " + std::string(maximum ? "maximum " : "minimum ") + point_text(tree.vertices[size_t(br.ends[0])]) +
         ", hangs at " + point_text(tree.vertices[size_t(br.ends[1])]);
  }
  char text[64];
  std::snprintf(text, sizeof text, "; persistence %g", br.persistence);
  s += text;
  if (voxels >= 0) s += "; region " + std::to_string(voxels) + " voxels";
  return s;
}

std::vector<std::string> wrap_text(const std::string& text, size_t width) {
  std::vector<std::string> lines;
  std::string line;
  size_t at = 0;
  while (at < text.size()) {
    size_t next = text.find(' ', at);
    if (next == std::string::npos) next = text.size();
    const std::string word = text.substr(at, next - at);
    if (!line.empty() && line.size() + 1 + word.size() > width) lines.push_back(line), line.clear();
    line += (line.empty() ? "" : " ") + word;
    at = next + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

Index parent_branch(const FlatTree& tree, Index b) { return b <= 0 ? b : tree.hangsFrom(b); }

std::vector<Index> walk_children(const FlatTree& tree, Index b, const DrawSet* drawn) {
  std::vector<Index> all, shown;
  for (Index c : tree.children(b)) {
    all.push_back(c);
    if (drawn && drawn->contains(c)) shown.push_back(c);
  }
  std::vector<Index>& out = shown.empty() ? all : shown;
  std::stable_sort(out.begin(), out.end(), [&](Index x, Index y) {
    return tree.branches[size_t(x)].persistence > tree.branches[size_t(y)].persistence;
  });
  return out;
}

Index next_child(const FlatTree& tree, Index b, Index after, const DrawSet* drawn) {
  const std::vector<Index> c = walk_children(tree, b, drawn);
  if (c.empty()) return NULL_INDEX;
  const auto it = std::find(c.begin(), c.end(), after);
  return it == c.end() || it + 1 == c.end() ? c.front() : *(it + 1);
}

}  // namespace ctree
