// Mutated terrain meshes through the program's own loading of a time step
// (mesh reader, checks, critical points, merge trees, contour tree, tree
// file and layout): every mutation either loads or fails with a message,
// never crashes (the sanitizer build checks every memory access).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <random>
#include <sstream>

#include "io/povray.h"
#include "workspace/main_data.h"
#include "silence.h"
#include "test_util.h"

using namespace ctree;
using testutil::TempDir;

namespace {

// An ASCII terrain split into its header, vertex lines and face lines.
struct TextMesh {
  std::vector<std::string> header, vertices, faces;
  bool parse(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    size_t nv = 0, nf = 0;
    while (std::getline(in, line)) {
      header.push_back(line);
      std::istringstream w(line);
      std::string a, b;
      size_t n = 0;
      if (w >> a >> b >> n && a == "element") (b == "vertex" ? nv : nf) = n;
      if (line == "end_header") break;
    }
    while (vertices.size() < nv && std::getline(in, line)) vertices.push_back(line);
    while (faces.size() < nf && std::getline(in, line)) faces.push_back(line);
    return nv > 0 && faces.size() == nf && nf > 0;
  }
  std::string text() const {
    std::string out;
    for (const std::string& h : header) {
      if (h.rfind("element face ", 0) == 0)
        out += "element face " + std::to_string(faces.size()) + "\n";
      else
        out += h + "\n";
    }
    for (const std::string& v : vertices) out += v + "\n";
    for (const std::string& f : faces) out += f + "\n";
    return out;
  }
};

std::vector<int> corners(const std::string& face) {
  std::istringstream in(face);
  int n = 0;
  in >> n;
  std::vector<int> c;
  for (int v; in >> v;) c.push_back(v);
  return c;
}

std::string face_line(const std::vector<int>& c) {
  std::string s = std::to_string(c.size());
  for (int v : c) s += " " + std::to_string(v);
  return s;
}

// Faces of the mesh changed the way real meshes go wrong.
std::string mutate_faces(TextMesh m, std::mt19937& rng, int kind) {
  auto pick = [&](size_t n) { return size_t(rng() % n); };
  const int nv = int(m.vertices.size());
  const int times = 1 + int(rng() % 5);
  for (int k = 0; k < times; ++k) {
    const size_t i = pick(m.faces.size());
    std::vector<int> c = corners(m.faces[i]);
    if (c.size() < 3) continue;
    switch (kind) {
      case 0:  // a face listed again, anywhere
        m.faces.insert(m.faces.begin() + long(pick(m.faces.size() + 1)), m.faces[i]);
        break;
      case 1: {  // again, its corners in another order (either orientation)
        std::shuffle(c.begin(), c.end(), rng);
        m.faces.insert(m.faces.begin() + long(pick(m.faces.size() + 1)), face_line(c));
        break;
      }
      case 2:  // a corner repeated: a degenerate face
        c[pick(c.size())] = c[pick(c.size())];
        m.faces[i] = face_line(c);
        break;
      case 3: {  // a third (and fourth) triangle on an edge
        m.faces.push_back(face_line({c[0], c[1], int(pick(size_t(nv)))}));
        break;
      }
      case 4:  // a corner outside the vertices, or negative
        c[pick(c.size())] = rng() % 2 ? nv + int(pick(3)) : -1 - int(pick(3));
        m.faces[i] = face_line(c);
        break;
      case 5:  // a polygon of other vertices, or one too short
        c.resize(size_t(rng() % 6));
        for (int& v : c) v = int(pick(size_t(nv)));
        m.faces[i] = face_line(c);
        break;
      default:  // a face dropped
        m.faces.erase(m.faces.begin() + long(i));
        if (m.faces.empty()) return m.text();
    }
  }
  return m.text();
}

// Vertices of the mesh changed: a coordinate not finite or huge, a vertex
// moved onto another, a lone triangle of new vertices listed first.
std::string mutate_vertices(TextMesh m, std::mt19937& rng) {
  const size_t i = rng() % m.vertices.size();
  std::istringstream in(m.vertices[i]);
  std::vector<std::string> w{std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
  switch (rng() % 4) {
    case 0: {
      const char* bad[] = {"nan", "inf", "-inf", "3.4e38", "1e20", "-1e16"};
      w[rng() % std::min<size_t>(3, w.size())] = bad[rng() % 6];
      break;
    }
    case 1: {  // onto another vertex
      std::istringstream other(m.vertices[rng() % m.vertices.size()]);
      w.assign(std::istream_iterator<std::string>(other), std::istream_iterator<std::string>());
      break;
    }
    default: {  // a lone triangle, first of the faces, in a far corner
      const int n = int(m.vertices.size());
      m.vertices.insert(m.vertices.end(), {"900 -5 900", "901 -5 900", "900 -5 901"});
      m.faces.insert(m.faces.begin(), face_line({n, n + 1, n + 2}));
      for (std::string& h : m.header)
        if (h.rfind("element vertex ", 0) == 0) h = "element vertex " + std::to_string(m.vertices.size());
      return m.text();
    }
  }
  m.vertices[i].clear();
  for (const std::string& x : w) m.vertices[i] += x + " ";
  return m.text();
}

// The bytes of a file (any format) damaged: spliced, truncated or flipped.
std::string mutate_bytes(std::string b, std::mt19937& rng, int kind) {
  auto pick = [&](size_t n) { return size_t(rng() % n); };
  const size_t body = b.find("end_header\n") + 11;
  switch (kind) {
    case 0: {  // a run of the data copied in again elsewhere
      const size_t from = body + pick(b.size() - body), len = 1 + pick(std::min<size_t>(64, b.size() - from));
      const std::string piece = b.substr(from, len);
      b.insert(body + pick(b.size() - body + 1), piece);
      break;
    }
    case 1:  // a run of the data cut out
      b.erase(body + pick(b.size() - body), 1 + pick(48));
      break;
    case 2:  // the file cut short, in the header or the data
      b.resize(pick(b.size()));
      break;
    default:  // a few bytes overwritten
      for (int k = 0; k < 1 + int(rng() % 4); ++k) b[body + pick(b.size() - body)] = char(rng());
  }
  return b;
}

}  // namespace

TEST(MeshFuzz, mutated_terrains_load_or_fail_with_a_message) {
  TempDir dir;
  const char* args[] = {"--size 6 --bumps 3 --seed 1", "--size 8 --bumps 5 --seed 2",
                        "--size 6 --bumps 4 --seed 3 --format little", "--size 6 --bumps 4 --seed 4 --format big --strips",
                        "--size 7 --bumps 4 --seed 5 --strips"};
  std::string bases[5];
  for (int k = 0; k < 5; ++k) {
    ASSERT_EQ(testutil::run_gen(std::string("terrain ") + args[k] + " --out " + dir.file("base.ply")).status, 0);
    bases[k] = testutil::read_file(dir.file("base.ply"));
  }
  TextMesh text[2];
  ASSERT_TRUE(text[0].parse(bases[0]));
  ASSERT_TRUE(text[1].parse(bases[1]));

  std::mt19937 rng(19);
  const int rounds = 3200;
  int loaded = 0, failed = 0, with_tree = 0;
  for (int trial = 0; trial < rounds; ++trial) {
    std::string bytes;
    if (trial % 4 == 2)
      bytes = mutate_vertices(text[(trial / 4) % 2], rng);
    else if (trial % 2 == 0)
      bytes = mutate_faces(text[(trial / 2) % 2], rng, (trial / 4) % 7);
    else
      bytes = mutate_bytes(bases[(trial / 2) % 5], rng, (trial / 10) % 4);
    const std::string mesh = dir.file("m.ply"), ct = dir.file("m.ctree.ply"), ctl = dir.file("m.ctreel.ply");
    testutil::write_text(mesh, bytes);
    std::filesystem::remove(ct);
    std::filesystem::remove(ctl);
    DatasetOptions d;
    d.isMesh = true;
    d.dataName = mesh;
    d.ctName = ct;
    d.ctlName = ctl;
    bool ok;
    std::string problem;
    {
      testutil::Silence quiet;
      MainData data(d);
      ok = data.ok();
      if (ok && (!data.ctree || !data.ctreel))
        problem = "loaded without both trees";
      else if (ok)
        problem = check_flat_tree(*data.ctree);
      // What loads gives a POV-Ray mesh of finite numbers, and no lone
      // piece is taken over the terrain.
      Report export_report;
      if (ok && problem.empty()) {
        if (trial % 4 == 2 && data.field2d->vertices.size() <= 3)
          problem = "kept a piece of " + std::to_string(data.field2d->vertices.size()) + " vertices";
        else if (!mesh2povray(dir.file("m.inc"), *data.field2d, export_report))
          problem = export_report.error;
        else {
          const std::string pov = testutil::read_file(dir.file("m.inc"));
          if (pov.find("nan") != std::string::npos || pov.find("inf") != std::string::npos)
            problem = "a POV-Ray mesh with numbers that are not finite";
        }
      }
      with_tree += ok && data.ctree && !data.ctree->branches.empty();
    }
    if (!problem.empty()) testutil::write_text(dir.file("failed.ply"), bytes);
    ASSERT_EQ(problem, "") << "trial " << trial << "\n" << bytes;
    loaded += ok;
    failed += !ok;
  }
  std::printf("%d mutations: %d loaded (%d with branches), %d refused\n", rounds, loaded, with_tree, failed);
  EXPECT_GT(loaded, rounds / 4);
  EXPECT_GT(failed, rounds / 20);
  EXPECT_GT(with_tree, rounds / 4);
}
