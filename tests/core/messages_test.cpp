#include "core/messages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace ctree;

namespace {

// A stream into memory; text() closes it and returns what was written.
struct Memory {
  char* buf = nullptr;
  size_t n = 0;
  std::FILE* f = open_memstream(&buf, &n);
  std::string text() {
    if (f) std::fclose(f), f = nullptr;
    return std::string(buf, n);
  }
  ~Memory() {
    if (f) std::fclose(f);
    std::free(buf);
  }
};

}  // namespace

// Status lines on the first stream, warnings and errors on the second, each
// with one newline, inner newlines and trailing blanks kept.
TEST(Messages, the_console_sink_writes_each_kind_to_its_stream_as_a_line) {
  Memory out, err;
  {
    ConsoleMessages console(out.f, err.f);
    console.status("reading a..");
    console.warning("a: 3 faces dropped");
    console.status("keys:\n  h  help");
    console.error("Error: b: no such file");
    console.status("slice 2 along axis x ");
    console.status("");
  }
  EXPECT_EQ(out.text(), "reading a..\nkeys:\n  h  help\nslice 2 along axis x \n\n");
  EXPECT_EQ(err.text(), "a: 3 faces dropped\nError: b: no such file\n");
}

// A report's notes, then its warnings, then its error, in the order each
// list holds them; the result says whether the call succeeded.
TEST(Messages, a_report_is_handed_on_notes_warnings_then_error) {
  Report r;
  r.warn("w1");
  r.note("n1");
  r.warn("w2");
  r.note("n2");
  CapturedMessages said;
  EXPECT_TRUE(print_report(r, said));
  r.fail("broken");
  EXPECT_FALSE(print_report(r, said));
  const std::vector<CapturedMessages::Message> all = said.all();
  const std::vector<std::pair<MessageKind, std::string>> want = {
      {MessageKind::Note, "n1"},    {MessageKind::Note, "n2"},    {MessageKind::Warning, "w1"},
      {MessageKind::Warning, "w2"}, {MessageKind::Note, "n1"},    {MessageKind::Note, "n2"},
      {MessageKind::Warning, "w1"}, {MessageKind::Warning, "w2"}, {MessageKind::Error, "broken"}};
  ASSERT_EQ(all.size(), want.size());
  for (size_t k = 0; k < all.size(); ++k) {
    EXPECT_EQ(all[k].kind, want[k].first) << k;
    EXPECT_EQ(all[k].text, want[k].second) << k;
  }
  EXPECT_TRUE(print_report(Report(), no_messages()));
}

// The formatted text is what snprintf gives, however long.
TEST(Messages, formatted_texts_match_snprintf_at_any_length) {
  for (size_t n : {0u, 1u, 100u, 5000u}) {
    const std::string word(n, 'x');
    const std::string got = format_message("[%s] %d %.3f %%", word.c_str(), -42, 2.5);
    EXPECT_EQ(got, "[" + word + "] -42 2.500 %") << n;
  }
}

// Threads that say things at once lose none of it.
TEST(Messages, the_capturing_sink_keeps_every_message_from_many_threads) {
  CapturedMessages said;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&said, t] {
      for (int k = 0; k < 500; ++k) said.status(std::to_string(t));
    });
  for (std::thread& t : threads) t.join();
  const std::vector<std::string> lines = said.texts(MessageKind::Note);
  ASSERT_EQ(lines.size(), 2000u);
  int count[4] = {0, 0, 0, 0};
  for (const std::string& l : lines) ++count[std::stoi(l)];
  for (int c : count) EXPECT_EQ(c, 500);
}
