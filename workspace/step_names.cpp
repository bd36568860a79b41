#include "workspace/step_names.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace ctree {

bool check_step_template(const std::string& templ, std::string& error) {
  int conversions = 0;
  for (size_t i = 0; i < templ.size(); ++i) {
    if (templ[i] != '%') continue;
    size_t j = i + 1;
    if (j < templ.size() && templ[j] == '%') {
      i = j;
      continue;
    }
    while (j < templ.size() && std::strchr("-+ #0", templ[j])) ++j;
    // Width and precision: a number wider than a file name can be would
    // make a name no file system takes (and a message as long).
    size_t widest = 0;
    auto digits = [&] {
      size_t n = 0;
      while (j < templ.size() && std::isdigit((unsigned char)templ[j])) {
        n = std::min<size_t>(n * 10 + size_t(templ[j] - '0'), 1000000);
        ++j;
      }
      widest = std::max(widest, n);
    };
    digits();
    if (j < templ.size() && templ[j] == '.') {
      ++j;
      digits();
    }
    if (widest > MAX_STEP_WIDTH) {
      error = "\"" + templ + "\" has an integer conversion " + std::to_string(widest) +
              " characters wide; a file name has at most " + std::to_string(MAX_STEP_WIDTH);
      return false;
    }
    if (j >= templ.size() || !std::strchr("diuxXo", templ[j])) {
      error = "\"" + templ + "\" has a conversion other than one integer conversion such as %d or %02d";
      return false;
    }
    if (j - i > 8) {
      error = "\"" + templ + "\" has an integer conversion with an unreasonable width";
      return false;
    }
    if (++conversions > 1) {
      error = "\"" + templ + "\" has more than one conversion; a time-step template takes one integer";
      return false;
    }
    i = j;
  }
  return true;
}

bool is_step_template(const std::string& templ) {
  for (size_t i = 0; i < templ.size(); ++i) {
    if (templ[i] != '%') continue;
    if (i + 1 < templ.size() && templ[i + 1] == '%') {
      ++i;
      continue;
    }
    return true;
  }
  return false;
}

bool check_tree_file_name(const std::string& templ, std::string& error) {
  if (templ.size() > 4 && templ.compare(templ.size() - 4, 4, ".ply") == 0) return true;
  error = "\"" + templ + "\" does not end in \".ply\"; tree files are written and read under names with that ending";
  return false;
}

std::string step_filename(const std::string& templ, int t) {
  int n = std::snprintf(nullptr, 0, templ.c_str(), t);
  if (n < 0) return templ;
  std::vector<char> buf(size_t(n) + 1);
  std::snprintf(buf.data(), buf.size(), templ.c_str(), t);
  return std::string(buf.data(), size_t(n));
}

bool fileExist(const std::string& name) {
  // Not opened: opening a pipe waits for a writer.
  return access(name.c_str(), R_OK) == 0;
}

bool is_mesh_name(const std::string& data) {
  size_t dot = data.rfind('.');
  return dot != std::string::npos && data.compare(dot + 1, std::string::npos, "ply") == 0;
}

}  // namespace ctree
