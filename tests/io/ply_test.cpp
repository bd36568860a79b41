// The PLY library against files written byte by byte in the tests.
#include "io/ply.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "test_util.h"

using namespace ctree;
using testutil::TempDir;

namespace {

struct Rec {
  double a;
  std::int32_t b;
  std::uint32_t n;
  std::int32_t* items;
};

std::vector<PlyProperty> rec_props() {
  PlyProperty a, b, l;
  a.name = "a";
  a.memory_type = PLY_FLOAT64;
  a.offset = int(offsetof(Rec, a));
  b.name = "b";
  b.memory_type = PLY_INT32;
  b.offset = int(offsetof(Rec, b));
  l.name = "l";
  l.kind = PLY_LIST;
  l.memory_type = PLY_INT32;
  l.offset = int(offsetof(Rec, items));
  l.count_memory_type = PLY_UINT32;
  l.count_offset = int(offsetof(Rec, n));
  return {a, b, l};
}

std::vector<unsigned char> bytes(const std::string& s) { return std::vector<unsigned char>(s.begin(), s.end()); }

void append(std::vector<unsigned char>& v, std::initializer_list<unsigned char> b) { v.insert(v.end(), b); }

// Reads every instance of "e" into records; false if the library refuses.
bool read_all(const std::string& path, std::vector<Rec>& out, std::string& error) {
  PlyFile* ply = ply_open_for_reading(path, error);
  if (!ply) return false;
  std::int64_t n = 0;
  std::vector<PlyProperty> props;
  bool ok = !ply->failed() && get_element_description_ply(ply, "e", n, props) && seek_element_ply(ply, "e") &&
            get_element_setup_ply(ply, "e", rec_props());
  for (std::int64_t i = 0; ok && i < n; ++i) {
    Rec r{0, 0, 0, nullptr};
    ok = get_element_ply(ply, &r);
    if (ok) out.push_back(r);
  }
  error = ply->error;
  delete ply;
  return ok;
}

const char* header_body =
    "element e 2\n"
    "property float64 a\n"
    "property int b\n"
    "property list uchar int32 l\n"
    "end_header\n";

}  // namespace

TEST(Ply, reads_the_three_formats_written_by_hand) {
  TempDir dir;
  testutil::write_text(dir.file("a.ply"), std::string("ply\nformat ascii 1.0\ncomment  two  words\n") + header_body +
                                              "1.5 -3 2 7 8\n0.25\t9 0\n");
  // Binary: 1.5 (double), -3 (int32), count 2 (uchar), 7, 8; then 0.25, 9, 0.
  std::vector<unsigned char> be = bytes(std::string("ply\nformat binary_big_endian 1.0\n") + header_body);
  append(be, {0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFD, 2, 0, 0, 0, 7, 0, 0, 0, 8});
  append(be, {0x3F, 0xD0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0});
  std::vector<unsigned char> le = bytes(std::string("ply\nformat binary_little_endian 1.0\n") + header_body);
  append(le, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 0xFD, 0xFF, 0xFF, 0xFF, 2, 7, 0, 0, 0, 8, 0, 0, 0});
  append(le, {0, 0, 0, 0, 0, 0, 0xD0, 0x3F, 9, 0, 0, 0, 0});
  testutil::write_bytes(dir.file("be.ply"), be);
  testutil::write_bytes(dir.file("le.ply"), le);
  for (const char* name : {"a.ply", "be.ply", "le.ply"}) {
    std::vector<Rec> r;
    std::string err;
    ASSERT_TRUE(read_all(dir.file(name), r, err)) << name << ": " << err;
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].a, 1.5);
    EXPECT_EQ(r[0].b, -3);
    ASSERT_EQ(r[0].n, 2u);
    EXPECT_EQ(r[0].items[0], 7);
    EXPECT_EQ(r[0].items[1], 8);
    EXPECT_EQ(r[1].a, 0.25);
    EXPECT_EQ(r[1].n, 0u);
    EXPECT_EQ(r[1].items, nullptr) << "an empty list stores a null pointer";
    for (Rec& x : r) std::free(x.items);
  }
  std::string error;
  PlyFile* ply = ply_open_for_reading(dir.file("a.ply"), error);
  ASSERT_EQ(ply->comments.size(), 1u);
  EXPECT_EQ(ply->comments[0], "two  words");
  delete ply;
}

TEST(Ply, writes_headers_and_values_exactly) {
  TempDir dir;
  std::string error;
  PlyFile* ply = open_for_writing_ply(dir.file("w"), {"e"}, PLY_ASCII, error);  // gets ".ply"
  ASSERT_NE(ply, nullptr);
  describe_element_ply(ply, "e", 1);
  PlyProperty a;
  a.name = "a";
  a.file_type = get_prop_type("double");
  a.memory_type = PLY_FLOAT64;
  describe_property_ply(ply, a);
  PlyProperty f = a;
  f.name = "f";
  f.file_type = get_prop_type("float");
  describe_property_ply(ply, f);
  header_complete_ply(ply);
  put_element_setup_ply(ply, "e");
  const double v = 0.1234567;  // both properties read it (offset 0)
  ASSERT_TRUE(put_element_ply(ply, &v));
  ASSERT_TRUE(close_ply(ply, error)) << error;
  EXPECT_EQ(testutil::read_file(dir.file("w.ply")),
            "ply\nformat ascii 1.0\nelement e 1\nproperty float64 a\nproperty float32 f\nend_header\n"
            "0.1234567 0.123456702 \n");
  EXPECT_EQ(get_prop_type("float"), get_prop_type("float32"));
  EXPECT_EQ(get_prop_type("Float"), PLY_INVALID);
}

// Values a few units in the last place apart, far from zero as elevations
// or offset samples are: written as ASCII and read back, each float64 is the
// same double and each float32 the same float (the text is not compared).
TEST(Ply, ascii_values_read_back_to_the_same_bits) {
  TempDir dir;
  std::vector<double> doubles, floats;
  for (double base : {5000.0, 273.15, -1.0e-7, 6.02214076e23, 1.0 / 3.0}) {
    double d = base;
    float f = float(base);
    for (int k = 0; k < 8; ++k) {
      doubles.push_back(d);
      floats.push_back(double(f));
      d = std::nextafter(d, HUGE_VAL);
      f = std::nextafter(f, HUGE_VALF);
    }
  }
  doubles.push_back(std::numeric_limits<double>::min());
  doubles.push_back(std::numeric_limits<double>::max());
  doubles.push_back(std::numeric_limits<double>::denorm_min());
  floats.push_back(double(std::numeric_limits<float>::max()));
  floats.push_back(double(std::numeric_limits<float>::denorm_min()));
  floats.resize(doubles.size(), 0.0);

  struct Pair {
    double d, f;
  };
  std::string error;
  PlyFile* ply = open_for_writing_ply(dir.file("bits.ply"), {"e"}, PLY_ASCII, error);
  ASSERT_NE(ply, nullptr);
  describe_element_ply(ply, "e", std::int64_t(doubles.size()));
  PlyProperty d;
  d.name = "d";
  d.file_type = d.memory_type = PLY_FLOAT64;
  d.offset = int(offsetof(Pair, d));
  PlyProperty f = d;
  f.name = "f";
  f.file_type = PLY_FLOAT32;
  f.offset = int(offsetof(Pair, f));
  describe_property_ply(ply, d);
  describe_property_ply(ply, f);
  header_complete_ply(ply);
  put_element_setup_ply(ply, "e");
  for (size_t i = 0; i < doubles.size(); ++i) {
    const Pair p{doubles[i], floats[i]};
    ASSERT_TRUE(put_element_ply(ply, &p));
  }
  ASSERT_TRUE(close_ply(ply, error)) << error;

  ply = ply_open_for_reading(dir.file("bits.ply"), error);
  ASSERT_NE(ply, nullptr);
  std::int64_t n = 0;
  std::vector<PlyProperty> props;
  ASSERT_TRUE(get_element_description_ply(ply, "e", n, props));
  ASSERT_EQ(n, std::int64_t(doubles.size()));
  f.file_type = PLY_FLOAT64;  // the reader takes the file's types from the header
  ASSERT_TRUE(seek_element_ply(ply, "e") && get_element_setup_ply(ply, "e", {d, f}));
  for (size_t i = 0; i < doubles.size(); ++i) {
    Pair p{0, 0};
    ASSERT_TRUE(get_element_ply(ply, &p)) << ply->error;
    EXPECT_EQ(p.d, doubles[i]) << "value " << i;
    EXPECT_EQ(p.f, floats[i]) << "value " << i;
  }
  delete ply;
}

TEST(Ply, malformed_files_are_refused_with_a_message) {
  TempDir dir;
  const std::string ok_header = std::string("ply\nformat ascii 1.0\n") + header_body;
  struct Case {
    const char* what;
    std::string text;
    const char* says;
  } cases[] = {
      {"not ply", "plx\n", "not a PLY file"},
      {"no end_header", "ply\nformat ascii 1.0\nelement e 1\nproperty int b\n", "end_header"},
      {"no final newline", "ply\nformat ascii 1.0\nelement e 0\nend_header", "end_header"},
      {"four-word format", "ply\nformat ascii 1.0 x\nend_header\n", "three words"},
      {"property first", "ply\nformat ascii 1.0\nproperty int b\nend_header\n", "before any element"},
      {"unknown type", "ply\nformat ascii 1.0\nelement e 1\nproperty int33 b\nend_header\n1\n", "unknown type"},
      {"huge count", "ply\nformat ascii 1.0\nelement e 999999999999\nproperty int b\nend_header\n1\n", "declares"},
      {"negative count", "ply\nformat ascii 1.0\nelement e -2\nproperty int b\nend_header\n", "not a count"},
      {"too few words", ok_header + "1.5           \n0 9 0\n", "too few values"},
      {"not a number", ok_header + "1.5 x 0\n0 9 0\n", "is not a number"},
      {"missing line", ok_header + "1.5 -3 0\n", "declares"},
      {"long list", ok_header + "1.5 -3 9 1 2\n0.5 9 0\n", "runs past the end of the line"},
  };
  for (const Case& c : cases) {
    testutil::write_text(dir.file("bad.ply"), c.text);
    std::vector<Rec> r;
    std::string err;
    EXPECT_FALSE(read_all(dir.file("bad.ply"), r, err)) << c.what;
    EXPECT_NE(err.find(c.says), std::string::npos) << c.what << ": " << err;
    EXPECT_NE(err.find("bad.ply"), std::string::npos) << c.what << ": " << err;
    for (Rec& x : r) std::free(x.items);
  }
  // Truncated binary data.
  std::vector<unsigned char> be = bytes(std::string("ply\nformat binary_big_endian 1.0\n") + header_body);
  append(be, {0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFD, 200, 0, 0, 0, 7});
  testutil::write_bytes(dir.file("short.ply"), be);
  std::vector<Rec> r;
  std::string err;
  EXPECT_FALSE(read_all(dir.file("short.ply"), r, err));
  EXPECT_FALSE(err.empty());
}
