// Every window's help against the keys its callbacks handle, read from the
// windows' sources: a key handled but not in the help, or in the help but
// handled nowhere, fails with its name. The main window's panel words are
// held to its help the same way.
#include <gtest/gtest.h>

#include <cctype>
#include <regex>
#include <set>

#include "gui/key_help.h"
#include "test_util.h"

using namespace ctree;

namespace {

std::string source(const std::string& file) {
  return testutil::read_file(std::string(ORRERY_SOURCE_DIR) + "/gui/" + file);
}

// The bodies of the member functions of cls in text whose names match
// name (a regular expression), each from its '{' to the matching '}'.
std::string bodies(const std::string& text, const std::string& cls, const std::string& name) {
  std::string out;
  const std::regex head("\\b" + cls + "::(" + name + ")\\(");
  for (auto m = std::sregex_iterator(text.begin(), text.end(), head); m != std::sregex_iterator(); ++m) {
    size_t i = text.find('{', size_t(m->position()));
    // A declaration's ';' before any '{' is not a definition.
    if (i == std::string::npos || text.find(';', size_t(m->position())) < i) continue;
    int depth = 0;
    const size_t start = i;
    for (; i < text.size(); ++i) {
      if (text[i] == '{') ++depth;
      if (text[i] == '}' && --depth == 0) break;
    }
    out += text.substr(start, i - start + 1) + "\n";
  }
  return out;
}

std::string key_name(const std::string& literal) {
  if (literal == "' '") return "space";
  if (literal == "27") return "Esc";
  if (literal == "8" || literal == "'\\b'") return "Backspace";
  if (literal == "'\\\\'") return "\\";
  if (literal.size() == 3 && literal[0] == '\'') return literal.substr(1, 1);
  return "";  // a number that is no key (a case of another switch)
}

// The keys a body handles: case labels, comparisons and ranges of key.
std::set<std::string> handled(const std::string& body) {
  std::set<std::string> keys;
  const std::string literal = "('(?:\\\\.|[^'])'|\\d+)";
  const std::regex label("case " + literal + ":"), equal("key == " + literal), range("key >= '(.)' && key <= '(.)'"),
      special("case GLUT_KEY_([A-Z_]+):");
  for (const std::regex* r : {&label, &equal})
    for (auto m = std::sregex_iterator(body.begin(), body.end(), *r); m != std::sregex_iterator(); ++m)
      if (!key_name((*m)[1]).empty()) keys.insert(key_name((*m)[1]));
  for (auto m = std::sregex_iterator(body.begin(), body.end(), range); m != std::sregex_iterator(); ++m)
    for (char c = (*m)[1].str()[0]; c <= (*m)[2].str()[0]; ++c) keys.insert(std::string(1, c));
  for (auto m = std::sregex_iterator(body.begin(), body.end(), special); m != std::sregex_iterator(); ++m) {
    std::string k = (*m)[1];
    for (size_t i = 1; i < k.size(); ++i) k[i] = char(std::tolower(k[i]));
    keys.insert(k);
  }
  return keys;
}

// The keys of the base class: its own and the shared ones.
std::set<std::string> base_keys() {
  const std::string text = source("glut_viewer.cpp");
  std::set<std::string> keys = handled(bodies(text, "GlutViewer", "callback_keydown|sharedKey"));
  return keys;
}

// The keys a window handles: its key callbacks and their helpers (names
// ending in Key), plus the base class's where it hands keys on.
std::set<std::string> window_keys(const std::string& file, const std::string& cls) {
  const std::string body = bodies(source(file), cls, "callback_keydown|callback_special|[a-z]+Key");
  std::set<std::string> keys = handled(body);
  // The selection's keys, handed on to the selection the window shares.
  if (body.find("selection->key(key)") != std::string::npos) {
    const std::set<std::string> s = handled(bodies(source("selection_view.cpp"), "SelectionView", "key"));
    keys.insert(s.begin(), s.end());
  }
  const std::string shared = bodies(source("glut_viewer.cpp"), "GlutViewer", "sharedKey");
  const bool own = !bodies(source(file), cls, "callback_keydown").empty();
  if (!own || body.find("GlutViewer::callback_keydown(") != std::string::npos) {
    const std::set<std::string> b = base_keys();
    keys.insert(b.begin(), b.end());
  } else if (body.find("sharedKey(key)") != std::string::npos) {
    const std::set<std::string> s = handled(shared);
    keys.insert(s.begin(), s.end());
  }
  return keys;
}

void expect_same(const std::set<std::string>& code, const std::set<std::string>& help, const std::string& window) {
  for (const std::string& k : code)
    EXPECT_TRUE(help.count(k)) << window << ": key " << k << " is handled but not in the help";
  for (const std::string& k : help)
    EXPECT_TRUE(code.count(k)) << window << ": key " << k << " is in the help but handled nowhere";
}

}  // namespace

TEST(KeyHelp, the_parser_of_the_sources_finds_the_keys_it_should) {
  // A body written here, in the windows' style.
  const std::string text =
      "void W::callback_keydown(unsigned char key, int, int) {\n"
      "  if (key == 'h' || key == 27) { return; }\n"
      "  if (key >= '0' && key <= '2') {}\n"
      "  switch (key) { case ' ': case 'D': break; case '\\\\': break; }\n"
      "}\n"
      "void W::callback_special(int key, int, int) { switch (key) { case GLUT_KEY_LEFT: break; } }\n"
      "void W::other() { switch (k) { case 'q': break; } }\n";
  const std::set<std::string> keys = handled(bodies(text, "W", "callback_keydown|callback_special"));
  EXPECT_EQ(keys, (std::set<std::string>{"h", "Esc", "0", "1", "2", "space", "D", "\\", "Left"}));
}

TEST(KeyHelp, every_window_helps_with_exactly_the_keys_it_handles) {
  const std::set<std::string> main = window_keys("main_window.cpp", "MainWindow");
  EXPECT_TRUE(main.count("x") && main.count("Up") && main.count("S") && main.count("F")) << "parser lost keys";
  expect_same(main, key_names(main_window_keys()), "main window");
  expect_same(window_keys("tree_window.cpp", "TreeWindow"), key_names(tree_window_keys()), "tree window");
  expect_same(window_keys("spectrum_window.cpp", "SpectrumWindow"), key_names(spectrum_window_keys()),
              "spectrum window");
  // The mesh window keeps the base class's keys.
  EXPECT_EQ(bodies(source("mesh_window.cpp"), "MeshWindow", "callback_keydown"), "");
  expect_same(window_keys("mesh_window.cpp", "MeshWindow"), key_names(mesh_window_keys()), "mesh window");
}

TEST(KeyHelp, every_word_of_the_main_window_panel_is_explained) {
  const std::string text = source("main_window.cpp");
  std::set<std::string> words;
  // The settings of the top line.
  const std::regex labels("LABELS\\[\\d+\\] = \\{([^}]*)\\}");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m, labels));
  const std::string list = m[1];
  const std::regex quoted("\"([^\"]+)\"");
  for (auto q = std::sregex_iterator(list.begin(), list.end(), quoted); q != std::sregex_iterator(); ++q)
    words.insert((*q)[1]);
  ASSERT_EQ(words.size(), 7u);
  // The switches of the bottom line: sw("S", "hortcut ", ...).
  const std::regex sw("sw\\(\"(.)\", \"([a-z]+) \"");
  for (auto q = std::sregex_iterator(text.begin(), text.end(), sw); q != std::sregex_iterator(); ++q)
    words.insert((*q)[1].str() + (*q)[2].str());
  EXPECT_TRUE(words.count("Shortcut") && words.count("Box"));
  words.insert("Tune");
  std::set<std::string> explained;
  for (const KeyBinding& k : main_window_panel()) explained.insert(k.keys);
  for (const std::string& w : words) EXPECT_TRUE(explained.count(w)) << "panel word " << w << " is not explained";
  const std::string help = key_help_text(main_window_keys(), "panel:", main_window_panel());
  for (const std::string& w : words) EXPECT_NE(help.find("\n" + w + " "), std::string::npos) << w;
}

TEST(KeyHelp, help_text_puts_the_keys_in_one_column) {
  const std::vector<KeyBinding> keys = {{"a", "first"}, {"Left Right", "second"}};
  const std::vector<KeyBinding> more = {{"word", "third"}};
  EXPECT_EQ(key_help_text(keys), "a           first\nLeft Right  second");
  EXPECT_EQ(key_help_text(keys, "panel:", more), "a           first\nLeft Right  second\n \npanel:\nword        third");
  EXPECT_EQ(key_names({{"D d  R r", ""}, {"left drag", ""}, {"space Esc", ""}}),
            (std::set<std::string>{"D", "d", "R", "r", "space", "Esc"}));
}
