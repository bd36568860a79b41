// The function interface: validation and its messages, caching, variables
// and time steps, element types, slices and dataset files.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "contour/propagation.h"
#include "contour/dataset.h"
#include "contour/dataset_file.h"
#include "contour_test_util.h"
#include "test_util.h"

using namespace contour;
using ctest::quiet;

namespace {

// The error messages that body's calls say to the sink it is handed, a
// line each.
template <class F>
std::string errors_of(F body) {
  ctree::CapturedMessages said;
  body(said);
  std::string out;
  for (const std::string& e : said.texts(ctree::MessageKind::Error)) out += e + "\n";
  return out;
}

// The error messages of queries on ds made by body.
template <class F>
std::string query_errors(ConDataset* ds, F body) {
  return errors_of([&](ctree::MessageSink& m) {
    ds->messages = &m;
    body();
    ds->messages = nullptr;
  });
}

const unsigned char* bytes(const std::vector<float>& v) { return reinterpret_cast<const unsigned char*>(v.data()); }

// Two triangles of the unit square, vertex values 0, 1, 2, 3.
struct Square {
  double verts[8] = {0, 0, 1, 0, 1, 1, 0, 1};
  unsigned cells[6] = {0, 1, 2, 0, 2, 3};
  std::vector<float> values = {0, 1, 2, 3, 10, 11, 12, 13};  // two time steps
};

}  // namespace

// One refusal per kind of bad argument, each naming its cause.
TEST(Library, creation_and_queries_reject_bad_arguments_by_name) {
  std::vector<float> v(8, 1.0f);
  int dim[3] = {2, 2, 2};
  EXPECT_EQ(errors_of([&](ctree::MessageSink& m) {
              EXPECT_EQ(newDatasetReg(2, 2, 1, 1, dim, bytes(v), nullptr, nullptr, m), nullptr);
            }),
            "isolark:newDatasetReg: invalid mesh type\n");
  v[5] = std::nanf("");
  EXPECT_EQ(errors_of([&](ctree::MessageSink& m) {
              EXPECT_EQ(newDatasetReg(2, 5, 1, 1, dim, bytes(v), nullptr, nullptr, m), nullptr);
            }),
            "isolark:newDatasetReg: value 5 is not a number\n");
  Square s;
  s.cells[4] = 9;
  EXPECT_EQ(errors_of([&](ctree::MessageSink& m) {
              EXPECT_EQ(newDatasetUnstr(2, 2, 1, 1, 4, 2, s.verts, s.cells, nullptr, bytes(s.values), m), nullptr);
            }),
            "isolark:newDatasetUnstr: cell 1 names vertex 9 of 4\n");
  // Values beyond 1e10 keep their true range.
  std::vector<float> big(8, 3e12f);
  big[2] = 5e12f;
  ConDataset* ds = quiet([&] { return newDatasetReg(2, 5, 1, 2, dim, bytes(std::vector<float>(16, 0.5f))); });
  ConDataset* ok = quiet([&] { return newDatasetReg(2, 5, 1, 1, dim, bytes(big)); });
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->data->getMax(0), 5e12f);
  clearDataset(ok);
  ASSERT_NE(ds, nullptr);
  EXPECT_EQ(query_errors(ds, [&] { EXPECT_EQ(getContour3d(ds, 1, 0, 0.5f, 0), nullptr); }),
            "isolark:getContour3d: variable out of range\n");
  EXPECT_EQ(query_errors(ds, [&] { EXPECT_EQ(getContour3d(ds, 0, 2, 0.5f, -1), nullptr); }),
            "isolark:getContour3d: timestep out of range\n");
  EXPECT_EQ(query_errors(ds, [&] { EXPECT_EQ(getSlice(ds, 0, 0, 'y', 3), nullptr); }),
            "isolark:getSlice: y-index out of range\n");
  clearDataset(ds);
}

TEST(Library, triangle_mesh_contours_per_time_step_with_unshared_vertices) {
  Square s;
  ConDataset* ds = quiet([&] { return newDatasetUnstr(2, 2, 1, 2, 4, 2, s.verts, s.cells, nullptr, bytes(s.values)); });
  ASSERT_NE(ds, nullptr);
  // Step 0 at 1.5: both triangles crossed, each with its own two vertices.
  auto c = quiet([&] { return getContour2d(ds, 0, 0, 1.5f); });
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->nedge, 2);
  EXPECT_EQ(c->nvert, 4);
  // Step 1 holds 10..13: 1.5 crosses nothing there, 11.5 does.
  c = quiet([&] { return getContour2d(ds, 0, 1, 1.5f); });
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->nedge, 0);
  c = quiet([&] { return getContour2d(ds, 0, 1, 11.5f); });
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->nedge, 2);
  // On edge 1-2 (values 11, 12) the point at 11.5 is (1, 0.5).
  bool found = false;
  for (int k = 0; k < c->nvert; ++k) found |= c->vert[k][0] == 1.0f && std::fabs(c->vert[k][1] - 0.5f) < 1e-6f;
  EXPECT_TRUE(found);
  clearDataset(ds);
}

// Every sample of the spectrum of a distance field, read back through
// getSignatureValues at the sample's isovalue r, against the sphere's area
// 4 pi r^2 and the ball's volume (4/3) pi r^3, for radii whose sphere lies
// inside the grid; and the volume below r grows from each sample to the
// next over the whole range (a search that answers with a neighbouring
// sample repeats values there).
TEST(Library, signature_values_at_every_sample_of_a_sphere_follow_the_sphere_and_the_ball) {
  const double kPi = 3.14159265358979323846;
  const int n = 40;
  const double c = 19.3;
  auto v = ctest::sample_grid(n, n, n, [&](double x, double y, double z) {
    return std::sqrt((x - c) * (x - c) + (y - c - 0.1) * (y - c - 0.1) + (z - c + 0.2) * (z - c + 0.2));
  });
  ConDataset* ds = quiet([&] { return ctest::float_grid(v, n, n, n); });
  ASSERT_NE(ds, nullptr);
  ds->samples = 64;
  Signature* sig = quiet([&] { return getSignatureFunctions(ds, 0, 0); });
  ASSERT_NE(sig, nullptr);
  ASSERT_EQ(sig[0].nsamples, 64);
  int checked = 0;
  float lastVolume = -1;
  for (int i = 0; i < sig[0].nsamples; ++i) {
    const double r = sig[0].fx[i];
    std::vector<float> got = quiet([&] { return getSignatureValues(ds, 0, 0, float(r)); });
    ASSERT_FALSE(got.empty());
    if (i > 0) {
      EXPECT_GT(got[1], lastVolume) << "Min Volume repeats at sample " << i << ", r = " << r;
    }
    lastVolume = got[1];
    if (r >= 5 && r <= c - 1.5) {
      EXPECT_NEAR(got[0], 4 * kPi * r * r, 0.02 * 4 * kPi * r * r) << "sample " << i << ", r = " << r;
      EXPECT_NEAR(got[1], 4.0 / 3 * kPi * r * r * r, 0.02 * 4.0 / 3 * kPi * r * r * r)
          << "sample " << i << ", r = " << r;
      ++checked;
    }
  }
  EXPECT_GE(checked, 20);
  // The spectrum's area at a sample is the extracted surface's there.
  const int i = 40;
  auto out = quiet([&] { return getContour3d(ds, 0, 0, sig[0].fx[i], -1); });
  ASSERT_NE(out, nullptr);
  const double extracted = ctest::area(ctest::weld(*out));
  EXPECT_NEAR(sig[0].fy[i], extracted, 0.01 * extracted);
  clearDataset(ds);
}

TEST(Library, contours_follow_the_requested_variable_and_colour) {
  const int n = 12;
  auto f0 = ctest::sample_grid(n, n, n, [](double x, double, double) { return x; });
  auto f1 = ctest::sample_grid(n, n, n,
                               [](double x, double y, double z) { return std::hypot(x - 5.5, y - 5.5, z - 5.5); });
  std::vector<float> both(f0);
  both.insert(both.end(), f1.begin(), f1.end());
  int dim[3] = {n, n, n};
  ConDataset* ds = quiet([&] { return newDatasetReg(2, 5, 2, 1, dim, bytes(both)); });
  ASSERT_NE(ds, nullptr);
  ConDataset* only1 = quiet([&] { return ctest::float_grid(f1, n, n, n); });
  ASSERT_NE(only1, nullptr);
  auto c = quiet([&] { return getContour3d(ds, 0, 0, 4.5f, 1); });
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->ntri, 2 * 11 * 11);  // the plane x = 4.5
  // Colour: the second variable interpolated at each vertex.
  EXPECT_EQ(c->colorvar, 1);
  EXPECT_FLOAT_EQ(c->colormax, *std::max_element(f1.begin(), f1.end()));
  for (int k = 0; k < c->nvert; ++k) {
    double d = std::hypot(c->vert[k][0] - 5.5, c->vert[k][1] - 5.5, c->vert[k][2] - 5.5);
    EXPECT_NEAR(c->vfun[k], d, 0.2);
  }
  // The second variable has seeds of its own.
  c = quiet([&] { return getContour3d(ds, 1, 0, 4.0f, -1); });
  ASSERT_NE(c, nullptr);
  auto ref = quiet([&] { return getContour3d(only1, 0, 0, 4.0f, -1); });
  ASSERT_NE(ref, nullptr);
  EXPECT_GT(ref->ntri, 0);
  EXPECT_EQ(c->ntri, ref->ntri);
  clearDataset(ds);
  clearDataset(only1);
}

TEST(Library, element_types_decode_and_slices_cut_along_each_axis) {
  // 3 x 4 x 2 grid of ushort values 1000·v with v = x + 3y + 12z.
  std::vector<unsigned short> us(24);
  for (int k = 0; k < 24; ++k) us[k] = static_cast<unsigned short>(k * 2700);  // up to 62100
  int dim[3] = {3, 4, 2};
  ConDataset* ds = quiet([&] { return newDatasetReg(1, 5, 1, 1, dim, reinterpret_cast<unsigned char*>(us.data())); });
  ASSERT_NE(ds, nullptr);
  EXPECT_EQ(ds->data->getMin(0), 0.0f);
  EXPECT_EQ(ds->data->getMax(0), 23 * 2700.0f);
  auto sl = quiet([&] { return getSlice(ds, 0, 0, 'x', 2); });
  ASSERT_NE(sl, nullptr);
  ASSERT_EQ(sl->width, 4);
  ASSERT_EQ(sl->height, 2);
  for (int z = 0; z < 2; ++z)
    for (int y = 0; y < 4; ++y) EXPECT_EQ(sl->values[z * 4 + y], float((2 + 3 * y + 12 * z) * 2700));
  clearDataset(ds);
}

TEST(Library, dataset_files_load_like_memory_and_bad_files_are_named) {
  testutil::TempDir dir;
  auto v = ctest::sample_grid(4, 3, 5, [](double x, double y, double z) { return x * x + y - z; });
  // Written byte by byte: the header line, then the floats.
  std::string text = "reg3 4 3 5\n";
  std::vector<unsigned char> file(text.begin(), text.end());
  const unsigned char* p = bytes(v);
  file.insert(file.end(), p, p + v.size() * 4);
  testutil::write_bytes(dir.file("a.grid"), file);
  std::string name = dir.file("a.grid");
  char* files[1] = {name.data()};
  ConDataset* loaded = quiet([&] { return loadDataset(2, 5, 1, 1, files); });
  ASSERT_NE(loaded, nullptr);
  ConDataset* mem = quiet([&] { return ctest::float_grid(v, 4, 3, 5); });
  ASSERT_NE(mem, nullptr);
  auto a = quiet([&] { return getContour3d(loaded, 0, 0, 2.5f, -1); });
  ASSERT_NE(a, nullptr);
  auto b = quiet([&] { return getContour3d(mem, 0, 0, 2.5f, -1); });
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(a->ntri, b->ntri);
  EXPECT_EQ(0, std::memcmp(a->vert, b->vert, sizeof(float) * 3 * a->nvert));
  clearDataset(loaded);
  clearDataset(mem);

  // A short file.
  file.resize(file.size() - 3);
  testutil::write_bytes(dir.file("short.grid"), file);
  name = dir.file("short.grid");
  files[0] = name.data();
  std::string e = errors_of([&](ctree::MessageSink& m) { EXPECT_EQ(loadDataset(2, 5, 1, 1, files, m), nullptr); });
  EXPECT_NE(e.find(name + ": file ends inside the values (237 of 240 bytes)"), std::string::npos) << e;

  // A triangle mesh file: two triangles, neighbours, uchar values.
  std::string head = "slc 4 2\n";
  std::vector<unsigned char> mesh(head.begin(), head.end());
  double verts[8] = {0, 0, 1, 0, 1, 1, 0, 1};
  unsigned cells[6] = {0, 1, 2, 0, 2, 3};
  int adj[6] = {-1, -1, 1, 0, -1, -1};
  unsigned char vals[4] = {0, 10, 20, 30};
  auto put = [&](const void* q, size_t n) {
    mesh.insert(mesh.end(), static_cast<const unsigned char*>(q), static_cast<const unsigned char*>(q) + n);
  };
  put(verts, sizeof verts);
  put(cells, sizeof cells);
  put(adj, sizeof adj);
  put(vals, sizeof vals);
  testutil::write_bytes(dir.file("m.slc"), mesh);
  name = dir.file("m.slc");
  files[0] = name.data();
  ConDataset* m = quiet([&] { return loadDataset(0, 2, 1, 1, files); });
  ASSERT_NE(m, nullptr);
  auto c = quiet([&] { return getContour2d(m, 0, 0, 15.0f); });
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->nedge, 2);
  clearDataset(m);
}
