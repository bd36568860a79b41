#include "gui/key_help.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace ctree {

const std::vector<KeyBinding>& main_window_keys() {
  static const std::vector<KeyBinding> keys = {
      {"Left Right", "select a setting of the top line"},
      {"Up Down", "change it (threshold: fewer / more branches)"},
      {"o", "open the frame's scene, or the selected filter on/off"},
      {"s", "save the frame's scene (frame selected), else Shortcut on/off"},
      {"space", "open the next scene (with Shift: the previous one)"},
      {"c", "isosurface: surface, wireframe, off"},
      {"m", "mesh drawing mode (surfaces)"},
      {"g", "tree: tubes, spheres, lines, points, off"},
      {"k", "tree colours: ends (red lower, blue upper), persistence, value (with a colour bar)"},
      {"D d", "tube radius larger, smaller"},
      {"R r", "sphere radius larger, smaller"},
      {"B b", "filter box larger, smaller (on at the first press)"},
      {"T t", "finer / coarser steps of Up and Down"},
      {"x", "clip plane on (facing you, through the middle) / off"},
      {"< > , .", "move the clip plane back / forward along its normal"},
      {"X Y", "turn the clip plane about the screen's x / y axis"},
      {"1 2 3", "views along z, y (z up) and x (z up)"},
      {"S", "the unrotated view"},
      {"F", "full screen"},
      {"h ?", "this help (again: hide it)"},
      {"Esc", "quit"},
      {"left drag", "turn"},
      {"Shift+left drag", "zoom"},
      {"middle drag", "pan"},
      {"right drag", "move the filter box"},
      {"left click", "select the branch, or the surface piece, under the pointer (empty space: clear)"},
      {"[ ]", "selected branch: its parent, its next child (] with nothing selected: the root)"},
      {"\\ Backspace", "clear the selection"},
  };
  return keys;
}

const std::vector<KeyBinding>& main_window_panel() {
  static const std::vector<KeyBinding> panel = {
      {"frame", "number of the scene file s saves and o opens (green: it exists)"},
      {"iso", "isovalue of the surface [smallest/largest value]"},
      {"time", "time step shown"},
      {"maxoo", "hides branches more persistent than this (their children stay)"},
      {"minoo", "hides branches less persistent than this, with everything below them"},
      {"maxchild", "shows this many most persistent branches below each group root"},
      {"threshold", "hides branches less persistent than this (n/N: shown/all)"},
      {"Shortcut", "on: a branch's path passes only the children drawn"},
      {"Contour", "the isosurface (or contour lines) drawn"},
      {"Mesh", "the mesh drawn"},
      {"Box", "only branches meeting the filter box (B b, right drag)"},
      {"Tune", "Up/Down step a 1/Tune of a setting's range (T t)"},
      {"n of N branches", "branches drawn after every filter, of the tree's"},
      {"R L A P S I", "the scan's directions at the box's faces (+x +y +z: no orientation)"},
  };
  return panel;
}

const std::vector<KeyBinding>& tree_window_keys() {
  static const std::vector<KeyBinding> keys = {
      {"g", "tubes, spheres, lines, points, off"},
      {"k", "colours: ends (red lower, blue upper), persistence, value (colour bar, values up the side)"},
      {"D d", "tube radius larger, smaller"},
      {"R r", "sphere radius larger, smaller"},
      {"X x Y y Z z", "stretch, shrink the tree along an axis"},
      {"[ ]", "selected branch: its parent, its next child (] with nothing selected: the root)"},
      {"\\ Backspace", "clear the selection"},
      {"1 2 3", "views along the axes (the whole tree)"},
      {"s S", "the unrotated view (the whole tree)"},
      {"h ?", "this help (again: hide it)"},
      {"Esc", "quit"},
      {"left drag", "turn"},
      {"Shift+left drag", "zoom"},
      {"middle drag", "pan"},
      {"left click", "select the branch under the pointer (empty space: clear)"},
      {"(filters)", "are set in the main window"},
  };
  return keys;
}

const std::vector<KeyBinding>& mesh_window_keys() {
  static const std::vector<KeyBinding> keys = {
      {"1 2 3", "views along z, y (z up) and x (z up)"},
      {"s S", "the unrotated view"},
      {"F", "full screen"},
      {"h ?", "this help (again: hide it)"},
      {"Esc", "quit"},
      {"left drag", "turn"},
      {"Shift+left drag", "zoom"},
      {"middle drag", "pan"},
  };
  return keys;
}

const std::vector<KeyBinding>& spectrum_window_keys() {
  static const std::vector<KeyBinding> keys = {
      {"0 1 2 3", "one signature"},
      {"4", "all four (graphs)"},
      {"b", "show everything again"},
      {"g", "graph over isovalue / back to the image"},
      {"h ?", "this help (again: hide it)"},
      {"Esc", "quit"},
      {"left click/drag", "pick isovalue and time"},
      {"right drag", "zoom into a range"},
      {"middle click", "next palette (Shift: previous)"},
  };
  return keys;
}

namespace {

void put_rows(std::string& out, const std::vector<KeyBinding>& rows, size_t width) {
  for (const KeyBinding& k : rows) {
    if (!out.empty()) out += '\n';
    out += k.keys;
    out.append(width - std::strlen(k.keys), ' ');
    out += k.what;
  }
}

}  // namespace

std::string key_help_text(const std::vector<KeyBinding>& keys, const char* heading,
                          const std::vector<KeyBinding>& more) {
  size_t width = 0;
  for (const auto* rows : {&keys, &more})
    for (const KeyBinding& k : *rows) width = std::max(width, std::strlen(k.keys) + 2);
  std::string out;
  put_rows(out, keys, width);
  if (!more.empty()) {
    // A blank line needs a blank: the window's text drawing takes a run of
    // line feeds for one.
    out += "\n \n";
    if (heading) out += heading;
    put_rows(out, more, width);
  }
  return out;
}

std::set<std::string> key_names(const std::vector<KeyBinding>& keys) {
  static const std::set<std::string> NAMED = {"space", "Esc", "Backspace", "Left", "Right", "Up", "Down"};
  std::set<std::string> out;
  for (const KeyBinding& k : keys) {
    std::istringstream words(k.keys);
    for (std::string w; words >> w;)
      if (w.size() == 1 || NAMED.count(w)) out.insert(w);
  }
  return out;
}

}  // namespace ctree
