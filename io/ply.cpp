#include "io/ply.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "fields/byte_swap.h"

namespace ctree {

const char* const type_names[9] = {"invalid", "int8",   "int16",   "int32",  "uint8",
                                   "uint16",  "uint32", "float32", "float64"};
const char* const old_type_names[9] = {"invalid", "char", "short", "int", "uchar", "ushort", "uint", "float", "double"};
const int ply_type_size[9] = {0, 1, 2, 4, 1, 2, 4, 4, 8};

static const char* const file_type_names[4] = {"", "ascii", "binary_big_endian", "binary_little_endian"};

PlyFile::~PlyFile() {
  if (stream && !writing) std::fclose(stream);
}

int get_prop_type(const std::string& word) {
  for (int t = 1; t <= 8; ++t)
    if (word == type_names[t]) return t;
  for (int t = 1; t <= 8; ++t)
    if (word == old_type_names[t]) return t;
  return PLY_INVALID;
}

// Records the first failure; later ones are consequences of it.
static bool fail(PlyFile* ply, const std::string& what) {
  if (ply->error.empty()) ply->error = ply->filename + ": " + what;
  return false;
}

// The words of a data line as views into the file's bytes (same rules as
// split_words): no copies for the millions of numbers of a big file.
static void split_views(const char* line, size_t n, std::vector<std::string_view>& words) {
  words.clear();
  size_t i = 0;
  while (i < n) {
    while (i < n && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= n) break;
    if (line[i] == '"') {
      size_t end = i + 1;
      while (end < n && line[end] != '"') ++end;
      words.emplace_back(line + i + 1, end - i - 1);
      i = end + 1;
    } else {
      const size_t start = i;
      while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
      words.emplace_back(line + start, i - start);
    }
  }
}

// A whole word as a number of type T by from_chars, which is exact and
// needs no copy; false where it does not take the whole word (a leading
// '+', hexadecimal, inf or nan: the strtod family decides those).
template <class T>
static bool parse_whole(std::string_view w, T& out) {
  const std::from_chars_result r = std::from_chars(w.data(), w.data() + w.size(), out);
  return r.ec == std::errc() && r.ptr == w.data() + w.size();
}

static std::vector<std::string> split_words(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= line.size()) break;
    if (line[i] == '"') {
      size_t end = line.find('"', i + 1);
      if (end == std::string::npos) end = line.size();
      words.push_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      size_t start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
      words.push_back(line.substr(start, i - start));
    }
  }
  return words;
}

// The smallest number of data bytes one instance can take.
static std::uint64_t min_instance_bytes(const PlyElementDesc& e, int file_type) {
  std::uint64_t n = 0;
  for (const PlyProperty& p : e.properties) {
    if (file_type == PLY_ASCII)
      n += 2;  // a word and its separator
    else if (p.kind == PLY_LIST)
      n += std::uint64_t(ply_type_size[p.count_file_type]);
    else if (p.kind == PLY_STRING)
      n += 4;
    else
      n += std::uint64_t(ply_type_size[p.file_type]);
  }
  return n ? n : 1;
}

static bool parse_header(PlyFile* ply) {
  const std::vector<unsigned char>& d = ply->data;
  size_t pos = 0;
  long line_no = 0;
  bool seen_format = false;
  for (;;) {
    size_t nl = pos;
    while (nl < d.size() && d[nl] != '\n') ++nl;
    if (nl >= d.size())
      return fail(
          ply, line_no == 0 ? "empty file or no PLY header" : "the header ends without \"end_header\" and a newline");
    std::string line(reinterpret_cast<const char*>(d.data()) + pos, nl - pos);
    pos = nl + 1;
    ++line_no;
    const std::string where = "header line " + std::to_string(line_no);
    std::vector<std::string> w = split_words(line);
    if (line_no == 1) {
      if (w.empty() || w[0] != "ply") return fail(ply, "not a PLY file (the first line is not \"ply\")");
      continue;
    }
    if (w.empty()) continue;
    if (w[0] == "format") {
      if (w.size() != 3) return fail(ply, where + ": a format line has three words");
      int ft = 0;
      for (int k = 1; k <= 3; ++k)
        if (w[1] == file_type_names[k]) ft = k;
      if (!ft) return fail(ply, where + ": unknown format \"" + w[1] + "\"");
      ply->file_type = ft;
      ply->version = std::strtof(w[2].c_str(), nullptr);
      seen_format = true;
    } else if (w[0] == "element") {
      if (w.size() != 3) return fail(ply, where + ": an element line has a name and a count");
      char* end = nullptr;
      errno = 0;
      long long c = std::strtoll(w[2].c_str(), &end, 10);
      if (*end || errno || c < 0) return fail(ply, where + ": element count \"" + w[2] + "\" is not a count");
      PlyElementDesc e;
      e.name = w[1];
      e.count = c;
      ply->elements.push_back(e);
    } else if (w[0] == "property") {
      if (ply->elements.empty()) return fail(ply, where + ": a property before any element");
      PlyProperty p;
      if (w.size() == 5 && w[1] == "list") {
        p.kind = PLY_LIST;
        p.count_file_type = get_prop_type(w[2]);
        p.file_type = get_prop_type(w[3]);
        p.name = w[4];
        if (!p.count_file_type || !p.file_type) return fail(ply, where + ": unknown type in \"" + line + "\"");
        if (p.count_file_type >= PLY_FLOAT32) return fail(ply, where + ": a list count must be an integer type");
      } else if (w.size() == 3 && w[1] == "string") {
        p.kind = PLY_STRING;
        p.file_type = p.memory_type = PLY_INT8;
        p.name = w[2];
      } else if (w.size() == 3) {
        p.file_type = get_prop_type(w[1]);
        p.name = w[2];
        if (!p.file_type) return fail(ply, where + ": unknown type \"" + w[1] + "\"");
      } else {
        return fail(ply, where + ": malformed property line \"" + line + "\"");
      }
      ply->elements.back().properties.push_back(p);
      ply->elements.back().store.push_back(0);
    } else if (w[0] == "comment" || w[0] == "obj_info") {
      size_t k = line.find(w[0]) + w[0].size();
      while (k < line.size() && (line[k] == ' ' || line[k] == '\t')) ++k;
      (w[0] == "comment" ? ply->comments : ply->obj_infos).push_back(line.substr(k));
    } else if (w[0] == "end_header") {
      break;
    }
  }
  if (!seen_format) return fail(ply, "the header has no format line");
  ply->pos = ply->data_start = pos;
  // Every declared instance needs some bytes: counts the data cannot hold
  // are refused before anyone allocates for them.
  const std::uint64_t avail = d.size() - pos;
  std::uint64_t need = 0;
  for (const PlyElementDesc& e : ply->elements) {
    const std::uint64_t m = min_instance_bytes(e, ply->file_type);
    if (std::uint64_t(e.count) > avail / m || need + std::uint64_t(e.count) * m > avail)
      return fail(ply, "element \"" + e.name + "\" declares " + std::to_string(e.count) + " instances but only " +
                           std::to_string(avail) + " bytes of data follow the header");
    need += std::uint64_t(e.count) * m;
  }
  return true;
}

PlyFile* ply_open_for_reading(const std::string& filename, std::string& error) {
  std::FILE* f = std::fopen(filename.c_str(), "rb");
  if (!f) {
    error = filename + ": cannot open: " + std::strerror(errno);
    return nullptr;
  }
  auto* ply = new PlyFile;
  ply->filename = filename;
  // The whole file, in one read where its size is known: parsing then
  // never runs past the end.
  struct stat st;
  if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    ply->data.resize(size_t(st.st_size));
    ply->data.resize(std::fread(ply->data.data(), 1, ply->data.size(), f));
  }
  unsigned char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) ply->data.insert(ply->data.end(), buf, buf + n);
  if (std::ferror(f)) fail(ply, std::string("read error: ") + std::strerror(errno));
  std::fclose(f);
  if (!ply->failed()) parse_header(ply);
  return ply;
}

static int find_element(const PlyFile* ply, const std::string& name) {
  for (size_t i = 0; i < ply->elements.size(); ++i)
    if (ply->elements[i].name == name) return int(i);
  return -1;
}

bool get_element_description_ply(PlyFile* ply, const std::string& element, std::int64_t& count,
                                 std::vector<PlyProperty>& props) {
  const int e = find_element(ply, element);
  if (e < 0) return false;
  count = ply->elements[size_t(e)].count;
  props = ply->elements[size_t(e)].properties;
  return true;
}

bool get_element_setup_ply(PlyFile* ply, const std::string& element, const std::vector<PlyProperty>& wanted) {
  if (ply->failed()) return false;
  const int e = find_element(ply, element);
  if (e < 0) return fail(ply, "no element \"" + element + "\"");
  PlyElementDesc& d = ply->elements[size_t(e)];
  ply->current = e;
  std::fill(d.store.begin(), d.store.end(), 0);
  for (const PlyProperty& w : wanted) {
    bool found = false;
    for (size_t k = 0; k < d.properties.size(); ++k) {
      PlyProperty& p = d.properties[k];
      if (p.name != w.name) continue;
      if (p.kind != w.kind)
        return fail(ply, "property \"" + p.name + "\" of \"" + element + "\" has another kind than expected");
      p.memory_type = w.memory_type;
      p.offset = w.offset;
      p.count_memory_type = w.count_memory_type;
      p.count_offset = w.count_offset;
      d.store[k] = 1;
      found = true;
    }
    if (!found) ply->warnings.push_back("Warning:  Can't find property '" + w.name + "' in element '" + element + "'");
  }
  return true;
}

namespace {

// One value on its way from the file to memory.
struct Item {
  std::int64_t i = 0;
  std::uint64_t u = 0;
  double d = 0;
};

template <class T>
T load_as(const unsigned char* at) {
  T v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

// One stored value of a type code, in the host's byte order.
Item load_item(const unsigned char* at, int type) {
  Item it;
  switch (type) {
    case PLY_INT8: it.i = load_as<std::int8_t>(at); break;
    case PLY_INT16: it.i = load_as<std::int16_t>(at); break;
    case PLY_INT32: it.i = load_as<std::int32_t>(at); break;
    case PLY_UINT8: it.i = load_as<std::uint8_t>(at); break;
    case PLY_UINT16: it.i = load_as<std::uint16_t>(at); break;
    case PLY_UINT32: it.i = load_as<std::uint32_t>(at); break;
    case PLY_FLOAT32: it.d = load_as<float>(at); break;
    case PLY_FLOAT64: it.d = load_as<double>(at); break;
    default: break;
  }
  if (type >= PLY_FLOAT32)
    it.i = std::isfinite(it.d) && std::fabs(it.d) < 9e18 ? std::int64_t(it.d) : 0;
  else
    it.d = double(it.i);
  it.u = std::uint64_t(it.i);
  return it;
}

// The data section, with the position kept in the handle.
struct Reader {
  PlyFile* ply;
  bool swap;
  // ASCII: the words of the current line (views into ply->data).
  std::vector<std::string_view> words;
  size_t next = 0;

  bool line() {
    auto& d = ply->data;
    if (ply->pos >= d.size())
      return fail(ply, "unexpected end of file in element \"" + ply->elements[size_t(ply->current)].name + "\"");
    size_t nl = ply->pos;
    while (nl < d.size() && d[nl] != '\n') ++nl;
    split_views(reinterpret_cast<const char*>(d.data()) + ply->pos, nl - ply->pos, words);
    next = 0;
    ply->pos = nl < d.size() ? nl + 1 : nl;
    ++ply->line;
    return true;
  }
  std::string where() const {
    return "data line " + std::to_string(ply->line) + " (element \"" + ply->elements[size_t(ply->current)].name + "\")";
  }
  bool word(std::string& w) {
    if (next >= words.size()) return fail(ply, where() + ": too few values");
    w.assign(words[next++]);
    return true;
  }
  bool ascii_item(int type, Item& it) {
    if (next >= words.size()) return fail(ply, where() + ": too few values");
    const std::string_view view = words[next];
    // Plain decimal numbers, nearly all of them, without a copy.
    if (type >= PLY_FLOAT32 ? parse_whole(view, it.d) && std::isfinite(it.d) : false) {
      ++next;
      if (type == PLY_FLOAT32) it.d = double(float(it.d));
      it.i = std::fabs(it.d) < 9e18 ? std::int64_t(it.d) : 0;
      it.u = std::uint64_t(it.i);
      return true;
    }
    if (type < PLY_FLOAT32 && type != PLY_UINT32 && parse_whole(view, it.i)) {
      ++next;
      it.u = std::uint64_t(it.i);
      it.d = double(it.i);
      return true;
    }
    std::string w;
    if (!word(w)) return false;
    char* end = nullptr;
    errno = 0;
    if (type >= PLY_FLOAT32) {
      it.d = std::strtod(w.c_str(), &end);
      // A value the header calls float32 is one: the same number as the
      // binary formats give.
      if (type == PLY_FLOAT32) it.d = double(float(it.d));
      it.i = std::isfinite(it.d) && std::fabs(it.d) < 9e18 ? std::int64_t(it.d) : 0;
      it.u = std::uint64_t(it.i);
    } else if (type == PLY_UINT32) {
      it.u = std::strtoull(w.c_str(), &end, 10);
      it.i = std::int64_t(it.u);
      it.d = double(it.u);
    } else {
      it.i = std::strtoll(w.c_str(), &end, 10);
      it.u = std::uint64_t(it.i);
      it.d = double(it.i);
    }
    if (end == w.c_str() || *end) return fail(ply, where() + ": \"" + w + "\" is not a number");
    return true;
  }
  bool bytes(void* out, size_t n) {
    auto& d = ply->data;
    if (d.size() - ply->pos < n)
      return fail(ply, "binary data end at byte " + std::to_string(d.size()) + " inside element \"" +
                           ply->elements[size_t(ply->current)].name + "\"");
    std::memcpy(out, d.data() + ply->pos, n);
    ply->pos += n;
    return true;
  }
  bool binary_item(int type, Item& it) {
    unsigned char b[8];
    const size_t n = size_t(ply_type_size[type]);
    if (!bytes(b, n)) return false;
    if (swap) swap_samples(b, 1, n);
    it = load_item(b, type);
    return true;
  }
  bool item(int type, Item& it) { return ply->file_type == PLY_ASCII ? ascii_item(type, it) : binary_item(type, it); }
};

template <class T>
void store_as(unsigned char* at, T v) {
  std::memcpy(at, &v, sizeof v);
}

void store_item(unsigned char* at, int type, const Item& it) {
  switch (type) {
    case PLY_INT8: store_as(at, std::int8_t(it.i)); break;
    case PLY_INT16: store_as(at, std::int16_t(it.i)); break;
    case PLY_INT32: store_as(at, std::int32_t(it.i)); break;
    case PLY_UINT8: store_as(at, std::uint8_t(it.u)); break;
    case PLY_UINT16: store_as(at, std::uint16_t(it.u)); break;
    case PLY_UINT32: store_as(at, std::uint32_t(it.u)); break;
    case PLY_FLOAT32: store_as(at, float(it.d)); break;
    case PLY_FLOAT64: store_as(at, it.d); break;
    default: break;
  }
}

bool host_is_big() { return !machine_is_little_endian(); }

}  // namespace

// Reads one instance; on failure what it allocated is freed again and the
// record's pointers to it are cleared.
static bool read_instance(PlyFile* ply, void* record, std::vector<void**>& allocated);

bool get_element_ply(PlyFile* ply, void* record) {
  std::vector<void**> allocated;
  if (read_instance(ply, record, allocated)) return true;
  for (void** slot : allocated) {
    std::free(*slot);
    *slot = nullptr;
  }
  return false;
}

static bool read_instance(PlyFile* ply, void* record, std::vector<void**>& allocated) {
  if (ply->failed()) return false;
  if (ply->current < 0) return fail(ply, "no element set up for reading");
  const PlyElementDesc& e = ply->elements[size_t(ply->current)];
  Reader r{ply, ply->file_type != PLY_ASCII && (ply->file_type == PLY_BINARY_BE) != host_is_big(), {}, 0};
  if (ply->file_type == PLY_ASCII && !r.line()) return false;
  auto* rec = static_cast<unsigned char*>(record);
  for (size_t k = 0; k < e.properties.size(); ++k) {
    const PlyProperty& p = e.properties[k];
    const bool keep = e.store[k] != 0;
    Item it;
    if (p.kind == PLY_SCALAR) {
      if (!r.item(p.file_type, it)) return false;
      if (keep) store_item(rec + p.offset, p.memory_type, it);
    } else if (p.kind == PLY_LIST) {
      if (!r.item(p.count_file_type, it)) return false;
      if (it.i < 0) return fail(ply, r.where() + ": negative list length");
      const std::uint64_t n = std::uint64_t(it.i);
      // Every item takes at least one byte (two in ASCII): no allocation
      // beyond what the file can hold.
      const std::uint64_t room = ply->file_type == PLY_ASCII ? r.words.size() - r.next : ply->data.size() - ply->pos;
      if (n > room)
        return fail(ply, r.where() + ": list of " + std::to_string(n) + " items runs past the end of the " +
                             (ply->file_type == PLY_ASCII ? "line" : "file"));
      void* items = nullptr;
      const size_t size = keep ? size_t(ply_type_size[p.memory_type]) : 0;
      if (keep) {
        store_item(rec + p.count_offset, p.count_memory_type, it);
        if (n > 0) {
          items = std::malloc(size * n);
          if (!items) return fail(ply, "out of memory for a list of " + std::to_string(n) + " items");
        }
      }
      for (std::uint64_t j = 0; j < n; ++j) {
        Item v;
        if (!r.item(p.file_type, v)) {
          std::free(items);
          if (keep) std::memset(rec + p.offset, 0, sizeof(void*));
          return false;
        }
        if (keep) store_item(static_cast<unsigned char*>(items) + j * size, p.memory_type, v);
      }
      if (keep) {
        std::memcpy(rec + p.offset, &items, sizeof(void*));
        if (items) allocated.push_back(reinterpret_cast<void**>(rec + p.offset));
      }
    } else {
      std::string s;
      if (ply->file_type == PLY_ASCII) {
        if (!r.word(s)) return false;
      } else {
        Item len;
        if (!r.binary_item(PLY_INT32, len)) return false;
        if (len.i < 0 || std::uint64_t(len.i) > ply->data.size() - ply->pos)
          return fail(ply, r.where() + ": bad string length");
        s.resize(size_t(len.i));
        if (!r.bytes(&s[0], s.size())) return false;
        s = s.c_str();
      }
      if (keep) {
        char* copy = static_cast<char*>(std::malloc(s.size() + 1));
        if (!copy) return fail(ply, "out of memory");
        std::memcpy(copy, s.c_str(), s.size() + 1);
        std::memcpy(rec + p.offset, &copy, sizeof(char*));
        allocated.push_back(reinterpret_cast<void**>(rec + p.offset));
      }
    }
  }
  if (ply->file_type == PLY_ASCII && r.next != r.words.size()) return fail(ply, r.where() + ": too many values");
  return true;
}

bool skip_element_ply(PlyFile* ply) {
  if (ply->current < 0) return fail(ply, "no element set up for reading");
  PlyElementDesc& e = ply->elements[size_t(ply->current)];
  const std::vector<unsigned char> saved = e.store;
  std::fill(e.store.begin(), e.store.end(), 0);
  bool ok = true;
  for (std::int64_t i = 0; i < e.count && ok; ++i) ok = get_element_ply(ply, nullptr);
  e.store = saved;
  return ok;
}

bool seek_element_ply(PlyFile* ply, const std::string& element) {
  if (ply->failed()) return false;
  const int target = find_element(ply, element);
  if (target < 0) return fail(ply, "no element \"" + element + "\"");
  ply->pos = ply->data_start;
  ply->line = 0;
  for (int e = 0; e < target; ++e) {
    ply->current = e;
    if (!skip_element_ply(ply)) return false;
  }
  ply->current = target;
  return true;
}

// ---- writing ----

PlyFile* open_for_writing_ply(const std::string& filename, const std::vector<std::string>& elements, int file_type,
                              std::string& error) {
  std::string name = filename;
  if (name.size() < 4 || name.compare(name.size() - 4, 4, ".ply") != 0) name += ".ply";
  auto* ply = new PlyFile;
  ply->filename = name;
  ply->writing = true;
  ply->file_type = file_type;
  for (const std::string& e : elements) {
    PlyElementDesc d;
    d.name = e;
    ply->elements.push_back(d);
  }
  // Written beside the target and renamed over it when complete, so that
  // no reader ever sees half a file.
  std::string reason;
  if (!ply->out.open(name, reason)) {
    error = name + ": cannot create: " + reason;
    delete ply;
    return nullptr;
  }
  ply->stream = ply->out.stream();
  return ply;
}

bool describe_element_ply(PlyFile* ply, const std::string& element, std::int64_t count) {
  const int e = find_element(ply, element);
  if (e < 0) return fail(ply, "describe_element_ply: can't find element '" + element + "'");
  ply->elements[size_t(e)].count = count;
  ply->current = e;
  return true;
}

bool describe_property_ply(PlyFile* ply, const PlyProperty& prop) {
  if (ply->current < 0) return fail(ply, "no element described");
  ply->elements[size_t(ply->current)].properties.push_back(prop);
  ply->elements[size_t(ply->current)].store.push_back(1);
  return true;
}

bool header_complete_ply(PlyFile* ply) {
  std::FILE* f = ply->stream;
  if (ply->file_type < 1 || ply->file_type > 3) return fail(ply, "bad file type");
  std::fprintf(f, "ply\nformat %s 1.0\n", file_type_names[ply->file_type]);
  for (const auto& c : ply->comments) std::fprintf(f, "comment %s\n", c.c_str());
  for (const auto& c : ply->obj_infos) std::fprintf(f, "obj_info %s\n", c.c_str());
  for (const PlyElementDesc& e : ply->elements) {
    std::fprintf(f, "element %s %" PRId64 "\n", e.name.c_str(), e.count);
    for (const PlyProperty& p : e.properties) {
      if (p.file_type < 1 || p.file_type > 8) return fail(ply, "bad type code for property " + p.name);
      if (p.kind == PLY_LIST)
        std::fprintf(f, "property list %s %s %s\n", type_names[p.count_file_type], type_names[p.file_type],
                     p.name.c_str());
      else if (p.kind == PLY_STRING)
        std::fprintf(f, "property string %s\n", p.name.c_str());
      else
        std::fprintf(f, "property %s %s\n", type_names[p.file_type], p.name.c_str());
    }
  }
  std::fputs("end_header\n", f);
  return true;
}

bool put_element_setup_ply(PlyFile* ply, const std::string& element) {
  const int e = find_element(ply, element);
  if (e < 0) return fail(ply, "put_element_setup_ply: can't find element '" + element + "'");
  ply->current = e;
  return true;
}

// A float64 as the shortest text that reads back to the same double; a
// float32 with the 9 significant digits that bring back the same float.
static void write_real(std::FILE* f, int type, double d) {
  if (type == PLY_FLOAT32) {
    std::fprintf(f, "%.9g ", double(float(d)));
    return;
  }
  char buf[64];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf - 1, d);
  *r.ptr = ' ';
  std::fwrite(buf, 1, size_t(r.ptr + 1 - buf), f);
}

static void write_item(PlyFile* ply, int type, const Item& it) {
  std::FILE* f = ply->stream;
  if (ply->file_type == PLY_ASCII) {
    if (type <= PLY_INT32)
      std::fprintf(f, "%d ", int(it.i));
    else if (type <= PLY_UINT32)
      std::fprintf(f, "%u ", unsigned(it.u));
    else
      write_real(f, type, it.d);
    return;
  }
  unsigned char b[8];
  store_item(b, type, it);
  const size_t n = size_t(ply_type_size[type]);
  if ((ply->file_type == PLY_BINARY_BE) != host_is_big()) swap_samples(b, 1, n);
  std::fwrite(b, 1, n, f);
}

bool put_element_ply(PlyFile* ply, const void* record) {
  if (ply->current < 0) return fail(ply, "no element set up for writing");
  const PlyElementDesc& e = ply->elements[size_t(ply->current)];
  const auto* rec = static_cast<const unsigned char*>(record);
  for (const PlyProperty& p : e.properties) {
    if (p.kind == PLY_SCALAR) {
      write_item(ply, p.file_type, load_item(rec + p.offset, p.memory_type));
    } else if (p.kind == PLY_LIST) {
      Item count = load_item(rec + p.count_offset, p.count_memory_type);
      write_item(ply, p.count_file_type, count);
      const unsigned char* items;
      std::memcpy(&items, rec + p.offset, sizeof(items));
      for (std::int64_t j = 0; j < count.i; ++j)
        write_item(ply, p.file_type,
                   load_item(items + size_t(j) * size_t(ply_type_size[p.memory_type]), p.memory_type));
    } else {
      const char* s;
      std::memcpy(&s, rec + p.offset, sizeof(s));
      if (ply->file_type == PLY_ASCII) {
        std::fprintf(ply->stream, "\"%s\" ", s);
      } else {
        Item len;
        len.i = std::int64_t(std::strlen(s) + 1);
        len.u = std::uint64_t(len.i);
        write_item(ply, PLY_INT32, len);
        std::fwrite(s, 1, size_t(len.i), ply->stream);
      }
    }
  }
  if (ply->file_type == PLY_ASCII) std::fputc('\n', ply->stream);
  return true;
}

bool put_bytes_ply(PlyFile* ply, const char* bytes, size_t n) {
  if (ply->failed()) return false;
  if (std::fwrite(bytes, 1, n, ply->stream) != n) return fail(ply, std::string("write error: ") + std::strerror(errno));
  return true;
}

std::string ply_info(const PlyFile* ply) {
  char version[32];
  std::snprintf(version, sizeof version, "%g", double(ply->version));
  std::string out = std::string(ply->file_type == PLY_ASCII ? "Reading PLY ascii file, version "
                                : ply->file_type == PLY_BINARY_BE
                                    ? "Reading PLY binary file (big endian), version "
                                    : "Reading PLY binary file (little endian), version ") +
                    version;
  if (!ply->comments.empty()) {
    out += "\nComments:";
    for (const auto& c : ply->comments) out += "\n\t" + c;
    out += "\n";
  }
  if (!ply->obj_infos.empty()) {
    out += "\nObject info:";
    for (const auto& c : ply->obj_infos) out += "\n\t" + c;
    out += "\n";
  }
  return out;
}

PlyFile* ply_open_for_report(const std::string& filename, Report& report) {
  PlyFile* ply = ply_open_for_reading(filename, report.error);
  if (!ply) return nullptr;
  if (ply->failed()) {
    report.fail(ply->error);
    delete ply;
    return nullptr;
  }
  report.note(ply_info(ply));
  return ply;
}

bool refuse_ply(PlyFile* ply, Report& report, const std::string& what) {
  report.take(ply->warnings);
  report.fail(!what.empty()         ? ply->filename + ": " + what
              : !ply->error.empty() ? ply->error
                                    : ply->filename + ": read error");
  delete ply;
  return false;
}

bool close_ply(PlyFile* ply, std::string& error) {
  bool ok = !ply->failed();
  if (ply->writing) {
    ply->stream = nullptr;
    std::string reason;
    if (ok && !ply->out.commit(reason)) {
      fail(ply, ply->filename + ": write error: " + reason);
      ok = false;
    }
    if (!ok) {
      ply->out.abandon();
      error = ply->error.empty() ? ply->filename + ": write error" : ply->error;
    }
  }
  delete ply;
  return ok;
}

}  // namespace ctree
