#include "io/tree_files.h"

#include <algorithm>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <unordered_map>

#include "core/progress.h"
#include "io/ply.h"

namespace ctree {

static Progress prog;

static std::vector<PlyProperty> branch_props() {
  auto scalar = [](const char* name, int type, size_t offset) {
    PlyProperty p;
    p.name = name;
    p.file_type = p.memory_type = type;
    p.offset = int(offset);
    return p;
  };
  return {scalar("v0", PLY_INT32, offsetof(PlyBranch, v0)),      scalar("x0", PLY_FLOAT64, offsetof(PlyBranch, x0)),
          scalar("y0", PLY_FLOAT64, offsetof(PlyBranch, y0)),     scalar("z0", PLY_FLOAT64, offsetof(PlyBranch, z0)),
          scalar("w0", PLY_FLOAT64, offsetof(PlyBranch, w0)),     scalar("v1", PLY_INT32, offsetof(PlyBranch, v1)),
          scalar("x1", PLY_FLOAT64, offsetof(PlyBranch, x1)),     scalar("y1", PLY_FLOAT64, offsetof(PlyBranch, y1)),
          scalar("z1", PLY_FLOAT64, offsetof(PlyBranch, z1)),     scalar("w1", PLY_FLOAT64, offsetof(PlyBranch, w1)),
          scalar("persist", PLY_FLOAT64, offsetof(PlyBranch, persist)),
          scalar("parent", PLY_INT32, offsetof(PlyBranch, parent))};
}

void get_branches(const MultiresTree& tree, std::vector<PlyBranch>& out) {
  out.clear();
  std::unordered_map<const Branch*, std::int32_t> number;
  std::int32_t k = 0;
  for (const Branch& b : tree.branches) number[&b] = k++;
  for (const Branch& b : tree.branches) {
    const Vertex& a = *b.ends[0]->vertex;
    const Vertex& c = *b.ends[1]->vertex;
    out.push_back(PlyBranch{tree.indexOf(&a), a.x, a.y, a.z, a.field, tree.indexOf(&c), c.x, c.y, c.z, c.field,
                            b.persistence, b.parent == BranchI() ? NULL_INDEX : number[&*b.parent]});
  }
}

bool write_multires_tree(const std::string& filename, WriteFormat format, const MultiresTree& tree) {
  const int type = format == WRITE_ASCII ? PLY_ASCII : format == WRITE_BINARY_BIG_ENDIAN ? PLY_BINARY_BE : PLY_BINARY_LE;
  PlyFile* ply = open_for_writing_ply(filename, {"branch"}, type);
  if (!ply) return false;
  std::vector<PlyBranch> records;
  get_branches(tree, records);
  describe_element_ply(ply, "branch", std::int64_t(records.size()));
  for (const PlyProperty& p : branch_props()) describe_property_ply(ply, p);
  header_complete_ply(ply);
  put_element_setup_ply(ply, "branch");
  for (const PlyBranch& r : records) put_element_ply(ply, &r);
  return close_ply(ply);
}

// Checks the records as a whole, then builds the tree from them; the
// reason for refusing them, or "" when the tree is built.
static std::string build_multires_tree(const std::vector<PlyBranch>& records, std::vector<Vertex>& vertices,
                                       MultiresTree& tree, bool twoPerBranch) {
  const std::int64_t count = std::int64_t(records.size());
  std::vector<Vertex> slots = vertices;
  if (slots.empty()) slots.resize(size_t(twoPerBranch ? 2 * count : count + 1));
  std::vector<char> seen(slots.size(), 0);
  for (std::int64_t i = 0; i < count; ++i) {
    const PlyBranch& r = records[size_t(i)];
    const std::string where = "branch " + std::to_string(i) + ": ";
    if (r.parent < -1 || r.parent >= i)
      return where + "parent " + std::to_string(r.parent) + (r.parent >= i ? " does not stand before it" : " is not a branch");
    if ((r.parent == -1) != (i == 0)) return where + (i == 0 ? "the first branch must be the root" : "a second root");
    const double values[10] = {r.x0, r.y0, r.z0, r.w0, r.x1, r.y1, r.z1, r.w1, r.persist, 0};
    for (double v : values)
      if (!std::isfinite(v)) return where + "a value is not finite";
    for (int e = 0; e < 2; ++e) {
      const std::int32_t v = e ? r.v1 : r.v0;
      if (v < 0 || size_t(v) >= slots.size())
        return where + "vertex " + std::to_string(v) + " lies outside the " + std::to_string(slots.size()) + " vertex slots";
      const Vertex rec = e ? Vertex{r.x1, r.y1, r.z1, r.w1} : Vertex{r.x0, r.y0, r.z0, r.w0};
      Vertex& s = slots[size_t(v)];
      if (seen[size_t(v)] && (s.x != rec.x || s.y != rec.y || s.z != rec.z || s.field != rec.field))
        return where + "vertex " + std::to_string(v) + " has another position or value than before";
      s = rec;
      seen[size_t(v)] = 1;
    }
    if (r.v0 == r.v1) return where + "both ends are vertex " + std::to_string(r.v0);
  }

  vertices = std::move(slots);
  tree.vertices = vertices.data();
  tree.branches.clear();
  tree.nodes.clear();
  tree.nodes.resize(vertices.size());
  std::vector<BranchI> handles;
  handles.reserve(size_t(count));
  for (const PlyBranch& r : records) {
    BranchI b = tree.branches.emplace(tree.branches.end());
    b->ends[0] = tree.newNode(&vertices[size_t(r.v0)], b, 0);
    b->ends[1] = tree.newNode(&vertices[size_t(r.v1)], b, 0);
    b->persistence = r.persist;
    if (r.parent >= 0) b->parent = handles[size_t(r.parent)];
    handles.push_back(b);
  }
  // Every child's upper end joins its parent's nodes, sorted by vertex, the
  // first child at a vertex only: what attachBranch child by child gives,
  // without inserting into the middle of a long vector once per child.
  std::vector<std::pair<std::int32_t, Node*>> attach;
  attach.reserve(size_t(count));
  for (std::int64_t i = 1; i < count; ++i)
    attach.emplace_back(records[size_t(i)].parent, handles[size_t(i)]->ends[1]);
  std::stable_sort(attach.begin(), attach.end(), [](const auto& a, const auto& b) {
    return a.first < b.first || (a.first == b.first && a.second->vertex < b.second->vertex);
  });
  for (size_t k = 0; k < attach.size();) {
    std::vector<Node*>& nodes = handles[size_t(attach[k].first)]->nodes;
    const std::int32_t parent = attach[k].first;
    for (; k < attach.size() && attach[k].first == parent; ++k)
      if (nodes.empty() || nodes.back()->vertex != attach[k].second->vertex) nodes.push_back(attach[k].second);
  }
  return "";
}

static bool refuse(PlyFile* ply, const std::string& what) {
  std::fprintf(stderr, "%s\n", (ply->filename + ": " + what).c_str());
  delete ply;
  return false;
}

bool read_multires_tree(const std::string& filename, std::vector<Vertex>& vertices, MultiresTree& tree,
                        bool twoPerBranch) {
  PlyFile* ply = ply_open_for_reading(filename);
  if (!ply) return false;
  if (ply->failed()) {
    std::fprintf(stderr, "%s\n", ply->error.c_str());
    delete ply;
    return false;
  }
  print_ply_info(ply);
  std::int64_t count = 0;
  std::vector<PlyProperty> props;
  if (!get_element_description_ply(ply, "branch", count, props)) return refuse(ply, "no \"branch\" element");
  if (!seek_element_ply(ply, "branch") || !get_element_setup_ply(ply, "branch", branch_props()))
    return refuse(ply, ply->error.substr(ply->filename.size() + 2));
  for (const char* name : {"v0", "x0", "y0", "z0", "w0", "v1", "x1", "y1", "z1", "w1", "persist", "parent"}) {
    bool found = false;
    for (const PlyProperty& p : props) found |= p.name == name && p.kind == PLY_SCALAR;
    if (!found) return refuse(ply, std::string("the \"branch\" element has no scalar property \"") + name + "\"");
  }
  // count is bounded by the file size (the header check), so these fit.
  std::vector<PlyBranch> records(static_cast<size_t>(count));
  prog.init("Reading branches", Size(count));
  for (std::int64_t i = 0; i < count; ++i) {
    if (!get_element_ply(ply, &records[size_t(i)])) return refuse(ply, ply->error.substr(ply->filename.size() + 2));
    prog.update(Index(i));
  }
  const std::string error = build_multires_tree(records, vertices, tree, twoPerBranch);
  if (!error.empty()) return refuse(ply, error);
  delete ply;
  return true;
}

bool copy_multires_tree(const MultiresTree& from, std::vector<Vertex>& vertices, MultiresTree& to) {
  std::vector<PlyBranch> records;
  get_branches(from, records);
  const std::string error = build_multires_tree(records, vertices, to, true);
  if (!error.empty()) std::fprintf(stderr, "Error: the tree cannot be copied: %s\n", error.c_str());
  return error.empty();
}

}  // namespace ctree
