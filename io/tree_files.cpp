#include "io/tree_files.h"

#include <algorithm>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "core/progress.h"
#include "core/threads.h"
#include "fields/byte_swap.h"
#include "io/ply.h"
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
  return {scalar("v0", PLY_INT32, offsetof(PlyBranch, v0)),
          scalar("x0", PLY_FLOAT64, offsetof(PlyBranch, x0)),
          scalar("y0", PLY_FLOAT64, offsetof(PlyBranch, y0)),
          scalar("z0", PLY_FLOAT64, offsetof(PlyBranch, z0)),
          scalar("w0", PLY_FLOAT64, offsetof(PlyBranch, w0)),
          scalar("v1", PLY_INT32, offsetof(PlyBranch, v1)),
          scalar("x1", PLY_FLOAT64, offsetof(PlyBranch, x1)),
          scalar("y1", PLY_FLOAT64, offsetof(PlyBranch, y1)),
          scalar("z1", PLY_FLOAT64, offsetof(PlyBranch, z1)),
          scalar("w1", PLY_FLOAT64, offsetof(PlyBranch, w1)),
          scalar("persist", PLY_FLOAT64, offsetof(PlyBranch, persist)),
          scalar("parent", PLY_INT32, offsetof(PlyBranch, parent))};
}

void get_branches(const FlatTree& tree, std::vector<PlyBranch>& out) {
  out.clear();
  out.reserve(tree.branches.size());
  for (const FlatBranch& b : tree.branches) {
    const Vertex& a = tree.vertices[size_t(b.ends[0])];
    const Vertex& c = tree.vertices[size_t(b.ends[1])];
    out.push_back(
        PlyBranch{b.ends[0], a.x, a.y, a.z, a.field, b.ends[1], c.x, c.y, c.z, c.field, b.persistence, b.parent});
  }
}

namespace {

constexpr size_t RUN = 8192;        // records a worker formats before they are written
constexpr size_t MAX_RECORD = 512;  // an ASCII record is at most 12 words of 25 bytes

// "%d " and a float64 as its shortest round-trip text and a blank: the
// words put_element_ply writes for the two property types.
char* put_int(char* p, std::int32_t v) {
  p = std::to_chars(p, p + 12, v).ptr;
  *p = ' ';
  return p + 1;
}
char* put_real(char* p, double d) {
  p = std::to_chars(p, p + 63, d).ptr;
  *p = ' ';
  return p + 1;
}

template <class T>
char* put_binary(char* p, T v, bool swap) {
  std::memcpy(p, &v, sizeof v);
  if (swap) swap_samples(reinterpret_cast<unsigned char*>(p), 1, sizeof v);
  return p + sizeof v;
}

// One branch in the file's encoding; p has MAX_RECORD bytes of room.
char* put_branch(char* p, const FlatTree& tree, const FlatBranch& b, int type, bool swap) {
  const Vertex& a = tree.vertices[size_t(b.ends[0])];
  const Vertex& c = tree.vertices[size_t(b.ends[1])];
  if (type == PLY_ASCII) {
    p = put_int(p, b.ends[0]);
    for (double d : {a.x, a.y, a.z, a.field}) p = put_real(p, d);
    p = put_int(p, b.ends[1]);
    for (double d : {c.x, c.y, c.z, c.field, b.persistence}) p = put_real(p, d);
    p = put_int(p, b.parent);
    *p = '\n';
    return p + 1;
  }
  p = put_binary(p, std::int32_t(b.ends[0]), swap);
  for (double d : {a.x, a.y, a.z, a.field}) p = put_binary(p, d, swap);
  p = put_binary(p, std::int32_t(b.ends[1]), swap);
  for (double d : {c.x, c.y, c.z, c.field, b.persistence}) p = put_binary(p, d, swap);
  return put_binary(p, std::int32_t(b.parent), swap);
}

}  // namespace

bool write_multires_tree(const std::string& filename, WriteFormat format, const FlatTree& tree, Report& report,
                         const TreeSource* source, unsigned threads) {
  const int type = format == WRITE_ASCII               ? PLY_ASCII
                   : format == WRITE_BINARY_BIG_ENDIAN ? PLY_BINARY_BE
                                                       : PLY_BINARY_LE;
  PlyFile* ply = open_for_writing_ply(filename, {"branch"}, type, report.error);
  if (!ply) return false;
  if (source) ply->comments.push_back(source_comment(*source));
  describe_element_ply(ply, "branch", std::int64_t(tree.branches.size()));
  for (const PlyProperty& p : branch_props()) describe_property_ply(ply, p);
  header_complete_ply(ply);
  put_element_setup_ply(ply, "branch");
  // The records straight into large blocks: the bytes put_element_ply
  // would write one value at a time. Each round, worker w formats the w-th
  // run of RUN records into a buffer of its own; the buffers are written
  // in worker order, so the bytes are the same for every worker count.
  const bool swap = type != PLY_ASCII && (type == PLY_BINARY_BE) == machine_is_little_endian();
  const size_t n = tree.branches.size();
  const size_t runs = (n + RUN - 1) / RUN;
  const size_t workers = std::max<size_t>(1, std::min<size_t>(worker_count(threads), runs));
  std::vector<std::vector<char>> buffers(workers);
  std::vector<size_t> filled(workers, 0);
  auto format_run = [&](size_t w, size_t from) {
    const size_t lo = std::min(n, from + w * RUN), hi = std::min(n, lo + RUN);
    if (buffers[w].empty()) buffers[w].resize(RUN * MAX_RECORD);
    char* p = buffers[w].data();
    for (size_t i = lo; i < hi; ++i) p = put_branch(p, tree, tree.branches[i], type, swap);
    filled[w] = size_t(p - buffers[w].data());
  };
  bool writing = true;  // until a write fails: the rest is not formatted
  for (size_t from = 0; from < n && writing; from += workers * RUN) {
    run_tasks(unsigned(workers), unsigned(workers), [&](unsigned w) { format_run(w, from); });
    for (size_t w = 0; w < workers && writing; ++w) writing = put_bytes_ply(ply, buffers[w].data(), filled[w]);
  }
  return close_ply(ply, report.error);
}

// The vertices and branches that records describe, put into built without
// its lists (finish()); the reason for refusing them, or "".
static std::string fill_flat_tree(const std::vector<PlyBranch>& records, bool twoPerBranch, FlatTree& built) {
  const std::int64_t count = std::int64_t(records.size());
  std::vector<Vertex> slots(size_t(twoPerBranch ? 2 * count : count + 1));
  std::vector<char> seen(slots.size(), 0);
  for (std::int64_t i = 0; i < count; ++i) {
    const PlyBranch& r = records[size_t(i)];
    // The prefix of a refusal, made only for one.
    auto where = [i] { return "branch " + std::to_string(i) + ": "; };
    if (r.parent < -1 || r.parent >= i)
      return where() + "parent " + std::to_string(r.parent) +
             (r.parent >= i ? " does not stand before it" : " is not a branch");
    if ((r.parent == -1) != (i == 0)) return where() + (i == 0 ? "the first branch must be the root" : "a second root");
    const double values[10] = {r.x0, r.y0, r.z0, r.w0, r.x1, r.y1, r.z1, r.w1, r.persist, 0};
    for (double v : values)
      if (!std::isfinite(v)) return where() + "a value is not finite";
    for (int e = 0; e < 2; ++e) {
      const std::int32_t v = e ? r.v1 : r.v0;
      if (v < 0 || size_t(v) >= slots.size())
        return where() + "vertex " + std::to_string(v) + " lies outside the " + std::to_string(slots.size()) +
               " vertex slots";
      const Vertex rec = e ? Vertex{r.x1, r.y1, r.z1, r.w1} : Vertex{r.x0, r.y0, r.z0, r.w0};
      Vertex& s = slots[size_t(v)];
      if (seen[size_t(v)] && (s.x != rec.x || s.y != rec.y || s.z != rec.z || s.field != rec.field))
        return where() + "vertex " + std::to_string(v) + " has another position or value than before";
      s = rec;
      seen[size_t(v)] = 1;
    }
    if (r.v0 == r.v1) return where() + "both ends are vertex " + std::to_string(r.v0);
  }

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
  return "";
}

std::string build_flat_tree(std::vector<PlyBranch>& records, bool twoPerBranch, const TreeSource* recorded,
                            const TreeDataCheck* data, FlatTree& tree) {
  FlatTree built;
  std::string error = fill_flat_tree(records, twoPerBranch, built);
  if (error.empty()) error = check_tree_rules(records, built.vertices.size(), recorded != nullptr);
  if (error.empty() && data) error = check_tree_data(records, recorded, *data);
  if (!error.empty()) return error;
  std::vector<PlyBranch>().swap(records);
  built.finish();
  tree = std::move(built);
  return "";
}

namespace {

const char* const branch_names[12] = {"v0", "x0", "y0", "z0", "w0", "v1", "x1", "y1", "z1", "w1", "persist", "parent"};

bool is_int_member(int k) { return k == 0 || k == 5 || k == 11; }

// The members of a record in file order.
void set_member(PlyBranch& r, int k, std::int32_t i, double d) {
  switch (k) {
    case 0: r.v0 = i; break;
    case 1: r.x0 = d; break;
    case 2: r.y0 = d; break;
    case 3: r.z0 = d; break;
    case 4: r.w0 = d; break;
    case 5: r.v1 = i; break;
    case 6: r.x1 = d; break;
    case 7: r.y1 = d; break;
    case 8: r.z1 = d; break;
    case 9: r.w1 = d; break;
    case 10: r.persist = d; break;
    default: r.parent = i; break;
  }
}

// The records of a file whose data are laid out exactly as the writer
// lays them out ("branch" the first element, the twelve properties in
// their order and types; in ASCII, words of plain decimal numbers that
// fit their type, separated by blanks, one record per line), parsed in
// one pass over the bytes. false as soon as anything differs, even
// harmlessly: the caller then reads through the library, which gives
// these same records for every file this accepts.
bool read_plain_records(const PlyFile* ply, std::int64_t count, std::vector<PlyBranch>& out, ProgressSink& progress) {
  if (ply->elements.empty() || ply->elements[0].name != "branch") return false;
  const std::vector<PlyProperty>& props = ply->elements[0].properties;
  if (props.size() != 12) return false;
  for (int k = 0; k < 12; ++k)
    if (props[size_t(k)].kind != PLY_SCALAR || props[size_t(k)].name != branch_names[k] ||
        props[size_t(k)].file_type != (is_int_member(k) ? PLY_INT32 : PLY_FLOAT64))
      return false;
  const char* p = reinterpret_cast<const char*>(ply->data.data()) + ply->data_start;
  const char* const end = reinterpret_cast<const char*>(ply->data.data()) + ply->data.size();
  out.resize(size_t(count));
  if (ply->file_type != PLY_ASCII) {
    if (std::uint64_t(end - p) / 84 < std::uint64_t(count)) return false;
    const bool swap = (ply->file_type == PLY_BINARY_BE) == machine_is_little_endian();
    for (PlyBranch& r : out) {
      for (int k = 0; k < 12; ++k) {
        unsigned char b[8];
        const size_t n = is_int_member(k) ? 4 : 8;
        std::memcpy(b, p, n);
        p += n;
        if (swap) swap_samples(b, 1, n);
        std::int32_t i = 0;
        double d = 0;
        if (n == 4)
          std::memcpy(&i, b, 4);
        else
          std::memcpy(&d, b, 8);
        set_member(r, k, i, d);
      }
    }
    if (count > 0) progress.update(Index(count - 1));
    return true;
  }
  for (std::int64_t i = 0; i < count; ++i) {
    PlyBranch& r = out[size_t(i)];
    for (int k = 0; k < 12; ++k) {
      while (p < end && *p == ' ') ++p;
      std::int32_t n = 0;
      double d = 0;
      const std::from_chars_result got = is_int_member(k) ? std::from_chars(p, end, n) : std::from_chars(p, end, d);
      if (got.ec != std::errc() || !std::isfinite(d)) return false;
      p = got.ptr;
      if (p < end && *p != ' ' && *p != '\n') return false;
      set_member(r, k, n, d);
    }
    while (p < end && *p == ' ') ++p;
    if (p < end && *p++ != '\n') return false;
    if (p == end && i + 1 < count) return false;
    if ((i & 4095) == 0) progress.update(Index(i));
  }
  return true;
}

}  // namespace

TreeDataCheck grid_data_check(const ScalarField3DGrid& grid, const std::string& type) {
  TreeDataCheck c;
  c.source = grid_source(grid, type);
  c.grid = &grid;
  for (int a = 0; a < 3; ++a) {
    const Real end = grid.origin[a] + grid.spacing[a] * Real(grid.dim[a] > 0 ? grid.dim[a] - 1 : 0);
    c.bounds.min[a] = std::min(grid.origin[a], end);
    c.bounds.max[a] = std::max(grid.origin[a], end);
  }
  return c;
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
  if (!get_element_description_ply(ply, "branch", count, props))
    return refuse_ply(ply, report, "no \"branch\" element");
  if (!seek_element_ply(ply, "branch") || !get_element_setup_ply(ply, "branch", branch_props()))
    return refuse_ply(ply, report);
  for (const char* name : branch_names) {
    bool found = false;
    for (const PlyProperty& p : props) found |= p.name == name && p.kind == PLY_SCALAR;
    if (!found)
      return refuse_ply(ply, report, std::string("the \"branch\" element has no scalar property \"") + name + "\"");
  }
  // count is bounded by the file size (the header check), so these fit.
  std::vector<PlyBranch> records;
  progress.init("Reading branches", Size(count));
  if (!read_plain_records(ply, count, records, progress)) {
    records.assign(static_cast<size_t>(count), PlyBranch{});
    for (std::int64_t i = 0; i < count; ++i) {
      if (!get_element_ply(ply, &records[size_t(i)])) return refuse_ply(ply, report);
      progress.update(Index(i));
    }
  }
  const std::string error = build_flat_tree(records, twoPerBranch, has_record ? &recorded : nullptr, data, tree);
  if (!error.empty()) return refuse_ply(ply, report, error);
  delete ply;
  return true;
}

bool tree_as_stored(const std::string& filename, WriteFormat format, const FlatTree& tree, bool twoPerBranch,
                    FlatTree& stored, Report& report, const TreeSource* source, const TreeDataCheck* data) {
  // A name without ".ply" was written under another name: only a read
  // says what the name holds.
  if (filename.size() < 4 || filename.compare(filename.size() - 4, 4, ".ply") != 0) return false;
  (void)format;  // every format reads back exactly
  // The source record as the reader finds it in the header.
  TreeSource recorded;
  bool has_record = false;
  std::string error;
  if (source && !read_source_record({source_comment(*source)}, recorded, has_record, error)) return false;
  std::vector<PlyBranch> records;
  get_branches(tree, records);
  error = build_flat_tree(records, twoPerBranch, has_record ? &recorded : nullptr, data, stored);
  if (!error.empty()) return report.fail(filename + ": " + error + " " + REMEDY);
  return true;
}

}  // namespace ctree
