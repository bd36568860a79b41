// A caller that links the libraries hears what they say through the sink it
// hands them, and nothing reaches the console: the contour library's
// extraction and a workspace time step, run with standard output and error
// pointed at a file, leave that file empty and the expected lines in a
// capturing sink.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "contour/library.h"
#include "core/messages.h"
#include "workspace/main_data.h"
#include "test_util.h"

using namespace ctree;

namespace {

// What body writes to file descriptors 1 and 2 (by any route: stdio,
// iostreams, write) while it runs.
template <class F>
std::string console_output(F body) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::FILE* into = std::tmpfile();
  const int out = dup(1), err = dup(2);
  dup2(fileno(into), 1);
  dup2(fileno(into), 2);
  body();
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(out, 1);
  dup2(err, 2);
  close(out);
  close(err);
  std::string text;
  std::rewind(into);
  for (int c; (c = std::fgetc(into)) != EOF;) text += char(c);
  std::fclose(into);
  return text;
}

// True when the lines hold want in this order, other lines between allowed.
bool in_order(const std::vector<std::string>& lines, const std::vector<std::string>& want) {
  size_t k = 0;
  for (const std::string& l : lines)
    if (k < want.size() && l == want[k]) ++k;
  return k == want.size();
}

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

}  // namespace

// One corner of the unit cube below the isovalue: the surface is the single
// triangle that cuts that corner off, three vertices.
TEST(SilentLibraries, a_contour_extraction_speaks_only_to_its_sink) {
  const std::vector<float> v = {0, 1, 1, 1, 1, 1, 1, 1};
  const int dim[3] = {2, 2, 2};
  CapturedMessages said;
  contour::DatasetHandle ds;
  std::unique_ptr<contour::Contour3dData> surface, refused;
  const std::string console = console_output([&] {
    ds.reset(contour::newDatasetReg(contour::CONTOUR_FLOAT, contour::CONTOUR_REG_3D, 1, 1, dim,
                                    reinterpret_cast<const unsigned char*>(v.data()), nullptr, nullptr, said));
    if (!ds) return;
    surface = contour::getContour3d(ds.get(), 0, 0, 0.5f, -1);
    refused = contour::getContour3d(ds.get(), 1, 0, 0.5f, -1);
  });
  EXPECT_EQ(console, "");
  ASSERT_TRUE(ds && surface);
  EXPECT_EQ(surface->ntri, 1);
  EXPECT_EQ(refused, nullptr);
  const std::vector<std::string> notes = said.texts(MessageKind::Note);
  ASSERT_GE(notes.size(), 3u) << joined(notes);
  EXPECT_EQ(notes[notes.size() - 3].rfind("interval tree: ", 0), 0u) << joined(notes);
  EXPECT_EQ(notes[notes.size() - 2], "isolark:getContour3d: nr of vertices: 3");
  EXPECT_EQ(notes[notes.size() - 1], "isolark:getContour3d: nr of triangles: 1");
  EXPECT_EQ(said.texts(MessageKind::Error), std::vector<std::string>{"isolark:getContour3d: variable out of range"});

  // The same calls with the default sink: silence all the same.
  const std::string quiet = console_output([&] {
    contour::DatasetHandle q(contour::newDatasetReg(contour::CONTOUR_FLOAT, contour::CONTOUR_REG_3D, 1, 1, dim,
                                                    reinterpret_cast<const unsigned char*>(v.data())));
    if (q) contour::getContour3d(q.get(), 0, 0, 0.5f, -1), contour::getContour3d(q.get(), 3, 0, 0.5f, -1);
  });
  EXPECT_EQ(quiet, "");
}

// A 3 x 3 x 3 grid whose tree is computed, written and read back: the
// transcript of the step goes to the sink, word for word.
TEST(SilentLibraries, a_workspace_time_step_tells_its_transcript_to_its_sink) {
  testutil::TempDir dir;
  std::vector<float> values(27);
  for (int i = 0; i < 27; ++i) values[size_t(i)] = float((i * 7) % 27);  // distinct values, several extrema
  const std::string data = dir.file("g.raw"), ct = dir.file("g.ctree.ply");
  {
    std::ofstream out(data, std::ios::binary);
    out.write(reinterpret_cast<const char*>(values.data()), std::streamsize(values.size() * sizeof(float)));
  }
  DatasetOptions d;
  d.dataName = data;
  d.ctName = ct;
  d.volume.hasDim = true;
  d.volume.dim[0] = d.volume.dim[1] = d.volume.dim[2] = 3;
  d.volume.swap = false;
  d.threads = 1;
  const std::string box = "Model box x1(0.000000 0.000000 0.000000) x2(3.000000 3.000000 3.000000)";

  CapturedMessages first, second, failing;
  bool computed = false, read = false, stepped = true;
  const std::string console = console_output([&] {
    computed = MainData(d, first).ok();
    read = MainData(d, second).ok();
    MainData m(d, failing);
    stepped = m.setTime(4) != 0;
  });
  EXPECT_EQ(console, "");
  EXPECT_TRUE(computed && read);
  EXPECT_FALSE(stepped);

  const std::vector<std::string> a = first.texts(MessageKind::Note);
  EXPECT_TRUE(
      in_order(a, {"reading volumetric grid " + data + "..", "...done", "computing critical points,jtree and stree->..",
                   "...done", "writing ctree " + ct + "...", "...done", box}))
      << joined(a);
  EXPECT_EQ(a.back(), box);
  EXPECT_TRUE(first.texts(MessageKind::Error).empty()) << joined(first.texts(MessageKind::Error));

  // The second run finds the tree file and reads it instead.
  const std::vector<std::string> b = second.texts(MessageKind::Note);
  EXPECT_TRUE(
      in_order(b, {"reading volumetric grid " + data + "..", "...done", "reading ctree " + ct + "...", "...done", box}))
      << joined(b);
  for (const std::string& line : b) EXPECT_EQ(line.find("computing"), std::string::npos) << line;

  EXPECT_EQ(failing.texts(MessageKind::Error), std::vector<std::string>{"Error: time step 4 is outside 0..0"});
}
