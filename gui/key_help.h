#pragma once
// The bindings of every window as tables: the help a window prints and
// shows (h, ?) is made from its table, and a test holds each table to the
// keys the window's callbacks handle. A row names its keys (or mouse
// buttons) and what they do; the main window's panel words are explained
// in a table of their own.

#include <set>
#include <string>
#include <vector>

namespace ctree {

struct KeyBinding {
  const char* keys;  // key names separated by blanks, or a mouse action
  const char* what;
};

const std::vector<KeyBinding>& main_window_keys();
// The words of the main window's panel and what they mean.
const std::vector<KeyBinding>& main_window_panel();
const std::vector<KeyBinding>& tree_window_keys();
const std::vector<KeyBinding>& mesh_window_keys();
const std::vector<KeyBinding>& spectrum_window_keys();

// One line a row, the keys in a column as wide as the widest; after a
// line holding one blank, under a heading, the rows of more (when given).
std::string key_help_text(const std::vector<KeyBinding>& keys, const char* heading = nullptr,
                          const std::vector<KeyBinding>& more = {});

// The keys a table names: its one-character words and the names of keys
// that have no character (space, Esc, Backspace, Left, Right, Up, Down);
// mouse actions name none.
std::set<std::string> key_names(const std::vector<KeyBinding>& keys);

}  // namespace ctree
