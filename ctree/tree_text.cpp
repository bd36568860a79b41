// Text forms of a tree: the dump, and save/load of a whole tree.
#include <cmath>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "ctree/multires_tree.h"

namespace ctree {

// Branch numbers are positions in the list.
static std::unordered_map<const Branch*, Index> branch_numbers(const BranchList& branches) {
  std::unordered_map<const Branch*, Index> number;
  number.reserve(branches.size());
  Index k = 0;
  for (const Branch& b : branches) number[&b] = k++;
  return number;
}

std::string MultiresTree::dump() const {
  std::ostringstream out;
  auto number = branch_numbers(branches);
  auto vindex = [this](const Node* n) { return n ? Index(n->vertex - vertices) : NULL_INDEX; };
  out << "Tree has " << nodes.size() << " nodes and " << branches.size() << " branches.\n";
  Index k = 0;
  for (const Branch& b : branches) {
    const Index p = b.parent == BranchI() ? NULL_INDEX : number[&*b.parent];
    out << "Branch " << k++ << ":\t(" << vindex(b.ends[0]) << " -- " << vindex(b.ends[1]) << ")\tparent = " << p << "\t"
        << b.nodes.size() << " children = { ";
    for (const Node* n : b.nodes) out << "(" << number[&*n->branch] << "," << vindex(n) << ") ";
    const Real length = b.ends[0] && b.ends[1] ? std::fabs(b.ends[1]->vertex->field - b.ends[0]->vertex->field) : 0;
    out << "}\tlength = " << length << "\n";
  }
  return out.str();
}

bool MultiresTree::save(const std::string& filename) const {
  std::ofstream out(filename);
  if (!out) return false;
  out.precision(17);
  auto number = branch_numbers(branches);
  out << nodes.size() << "\n";
  for (size_t i = 0; i < nodes.size(); ++i) {
    const Vertex& v = vertices[i];
    out << v.x << " " << v.y << " " << v.z << " " << v.field << "\n";
  }
  out << branches.size() << "\n";
  for (const Branch& b : branches) {
    const Index p = b.parent == BranchI() ? NULL_INDEX : number[&*b.parent];
    out << indexOf(b.ends[0]->vertex) << " " << indexOf(b.ends[1]->vertex) << " " << p << " " << b.persistence << "\n";
  }
  return bool(out);
}

bool MultiresTree::load(const std::string& filename, std::vector<Vertex>& storage, std::string& error) {
  std::ifstream in(filename);
  long long n = -1;
  if (!(in >> n) || n < 0) {
    error = filename + ": no vertex count at the start";
    return false;
  }
  std::vector<Vertex> vs;
  for (long long i = 0; i < n; ++i) {
    Vertex v;
    if (!(in >> v.x >> v.y >> v.z >> v.field)) {
      error = filename + ": vertex " + std::to_string(i) + " of " + std::to_string(n) + " is missing or malformed";
      return false;
    }
    vs.push_back(v);
  }
  long long nb = -1;
  if (!(in >> nb) || nb < 0) {
    error = filename + ": no branch count after the vertices";
    return false;
  }
  struct Record {
    long long e0, e1, parent;
    Real persistence;
  };
  std::vector<Record> records;
  for (long long i = 0; i < nb; ++i) {
    Record r;
    if (!(in >> r.e0 >> r.e1 >> r.parent >> r.persistence)) {
      error = filename + ": branch " + std::to_string(i) + " of " + std::to_string(nb) + " is missing or malformed";
      return false;
    }
    if (r.e0 < 0 || r.e0 >= n || r.e1 < 0 || r.e1 >= n || r.parent < -1 || r.parent >= nb || r.parent == i) {
      error = filename + ": branch " + std::to_string(i) + " names a vertex or parent outside the file";
      return false;
    }
    records.push_back(r);
  }
  storage = std::move(vs);
  vertices = storage.data();
  branches.clear();
  nodes.clear();
  nodes.resize(storage.size());
  std::vector<BranchI> made;
  made.reserve(records.size());
  for (const Record& r : records) {
    branches.push_back(Branch());
    BranchI b = std::prev(branches.end());
    b->ends[0] = newNode(&storage[size_t(r.e0)], b, 0);
    b->ends[1] = newNode(&storage[size_t(r.e1)], b, 0);
    b->persistence = r.persistence;
    made.push_back(b);
  }
  for (size_t i = 0; i < records.size(); ++i)
    if (records[i].parent >= 0) {
      made[i]->parent = made[size_t(records[i].parent)];
      made[size_t(records[i].parent)]->attachBranch(*made[i]);
    }
  computeBbox();
  return true;
}

}  // namespace ctree
