#include "io/tree_files.h"

#include <algorithm>

#include <cmath>
#include <cstddef>
#include <cstdio>

#include "core/progress.h"
#include "io/ply.h"
#include "io/stale_temporaries.h"
#include "io/tree_rules.h"

namespace ctree {

// The end of every refusal of a tree file.
static const char* const REMEDY = "(delete the file to have the tree computed again)";

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

void get_branches(const FlatTree& tree, std::vector<PlyBranch>& out) {
  out.clear();
  out.reserve(tree.branches.size());
  for (const FlatBranch& b : tree.branches) {
    const Vertex& a = tree.vertices[size_t(b.ends[0])];
    const Vertex& c = tree.vertices[size_t(b.ends[1])];
    out.push_back(PlyBranch{b.ends[0], a.x, a.y, a.z, a.field, b.ends[1], c.x, c.y, c.z, c.field, b.persistence,
                            b.parent});
  }
}

bool write_multires_tree(const std::string& filename, WriteFormat format, const FlatTree& tree, Report& report,
                         const TreeSource* source) {
  const int type = format == WRITE_ASCII ? PLY_ASCII : format == WRITE_BINARY_BIG_ENDIAN ? PLY_BINARY_BE : PLY_BINARY_LE;
  remove_stale_temporaries(filename);
  PlyFile* ply = open_for_writing_ply(filename, {"branch"}, type, report.error);
  if (!ply) return false;
  if (source) ply->comments.push_back(source_comment(*source));
  std::vector<PlyBranch> records;
  get_branches(tree, records);
  describe_element_ply(ply, "branch", std::int64_t(records.size()));
  for (const PlyProperty& p : branch_props()) describe_property_ply(ply, p);
  header_complete_ply(ply);
  put_element_setup_ply(ply, "branch");
  for (const PlyBranch& r : records) put_element_ply(ply, &r);
  return close_ply(ply, report.error);
}

std::string build_flat_tree(const std::vector<PlyBranch>& records, bool twoPerBranch, FlatTree& tree) {
  const std::int64_t count = std::int64_t(records.size());
  std::vector<Vertex> slots(size_t(twoPerBranch ? 2 * count : count + 1));
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

  FlatTree built;
  built.vertices = std::move(slots);
  built.branches.reserve(records.size());
  for (const PlyBranch& r : records) {
    FlatBranch b;
    b.ends[0] = r.v0;
    b.ends[1] = r.v1;
    b.parent = r.parent;
    b.persistence = r.persist;
    built.branches.push_back(b);
  }
  built.finish();
  tree = std::move(built);
  return "";
}

bool read_multires_tree(const std::string& filename, FlatTree& tree, bool twoPerBranch, Report& report,
                        ProgressSink& progress, const TreeDataCheck* data) {
  // Every refusal says how to get a sound file again.
  struct Hint {
    Report& r;
    ~Hint() {
      if (r.failed()) r.error += std::string(" ") + REMEDY;
    }
  } hint{report};
  PlyFile* ply = ply_open_for_report(filename, report);
  if (!ply) return false;
  TreeSource recorded;
  bool has_record = false;
  {
    std::string error;
    if (!read_source_record(ply->comments, recorded, has_record, error)) return refuse_ply(ply, report, error);
  }
  std::int64_t count = 0;
  std::vector<PlyProperty> props;
  if (!get_element_description_ply(ply, "branch", count, props)) return refuse_ply(ply, report, "no \"branch\" element");
  if (!seek_element_ply(ply, "branch") || !get_element_setup_ply(ply, "branch", branch_props()))
    return refuse_ply(ply, report);
  for (const char* name : {"v0", "x0", "y0", "z0", "w0", "v1", "x1", "y1", "z1", "w1", "persist", "parent"}) {
    bool found = false;
    for (const PlyProperty& p : props) found |= p.name == name && p.kind == PLY_SCALAR;
    if (!found) return refuse_ply(ply, report, std::string("the \"branch\" element has no scalar property \"") + name + "\"");
  }
  // count is bounded by the file size (the header check), so these fit.
  std::vector<PlyBranch> records(static_cast<size_t>(count));
  progress.init("Reading branches", Size(count));
  for (std::int64_t i = 0; i < count; ++i) {
    if (!get_element_ply(ply, &records[size_t(i)]))
      return refuse_ply(ply, report);
    progress.update(Index(i));
  }
  FlatTree built;
  std::string error = build_flat_tree(records, twoPerBranch, built);
  if (error.empty()) error = check_tree_rules(records, built.vertices.size(), has_record);
  if (error.empty() && data) error = check_tree_data(records, has_record ? &recorded : nullptr, *data);
  if (!error.empty()) return refuse_ply(ply, report, error);
  tree = std::move(built);
  delete ply;
  return true;
}

}  // namespace ctree
