#include "contour/library.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <memory>

#include "contour/propagation_triangles.h"
#include "contour/propagation_tetrahedra.h"
#include "contour/propagation_grid2.h"
#include "contour/propagation_grid3.h"
#include "contour/grid2_data.h"
#include "contour/grid3_data.h"
#include "contour/triangle_mesh_data.h"
#include "contour/tetrahedral_mesh_data.h"

namespace contour {

ConDataset::~ConDataset() {
  for (auto& perTime : signatures)
    for (Signature* s : perTime) delete[] s;
  delete plot;
  delete data;
}

namespace {

ConDataset* make_handle(Dataset* d, Conplot* p, ctree::MessageSink& messages) {
  auto* ds = new ConDataset;
  ds->data = d;
  ds->plot = p;
  ds->messages = &messages;
  p->messages = &messages;
  ds->signatures.assign(d->nvars, std::vector<Signature*>(d->ntime, nullptr));
  return ds;
}

// Float values must be finite: a NaN has no place in the value order.
bool check_finite(ctree::MessageSink& messages, const char* fn, int type, size_t count, const unsigned char* data) {
  if (type != CONTOUR_FLOAT) return true;
  for (size_t k = 0; k < count; ++k) {
    float v;
    std::memcpy(&v, data + 4 * k, 4);
    if (!std::isfinite(v)) {
      messages.error(
          ctree::format_message("isolark:%s: value %zu is %s", fn, k, std::isnan(v) ? "not a number" : "infinite"));
      return false;
    }
  }
  return true;
}

bool check_common(ctree::MessageSink& messages, const char* fn, int type, int nvars, int ntime, const void* data) {
  if (type_size(type) == 0) {
    messages.error(ctree::format_message("isolark:%s: invalid data type %d (0 uchar, 1 ushort, 2 float)", fn, type));
    return false;
  }
  if (nvars < 1 || ntime < 1) {
    messages.error(ctree::format_message("isolark:%s: %d variables and %d time steps; need at least one of each", fn,
                                         nvars, ntime));
    return false;
  }
  if (!data) {
    messages.error(ctree::format_message("isolark:%s: no data values", fn));
    return false;
  }
  return true;
}

// Where the messages of a query on ds go.
ctree::MessageSink& said(const ConDataset* ds) { return ds && ds->messages ? *ds->messages : ctree::no_messages(); }

// The checks every query makes, in order; says the first failure.
bool check_query(ConDataset* ds, const char* fn, int var, int t, bool meshOk, const int* colorvar = nullptr) {
  ctree::MessageSink& messages = said(ds);
  if (!ds || !ds->data || !ds->plot) {
    messages.error(ctree::format_message("isolark:%s: Couldn't find dataset", fn));
    return false;
  }
  if (!meshOk) {
    messages.error(ctree::format_message("isolark:%s: invalid mesh type", fn));
    return false;
  }
  if (var < 0 || var >= ds->data->nvars) {
    messages.error(ctree::format_message("isolark:%s: variable out of range", fn));
    return false;
  }
  if (colorvar && *colorvar != -1 && (*colorvar < 0 || *colorvar >= ds->data->nvars)) {
    messages.error(ctree::format_message("isolark:%s: invalid color variable", fn));
    return false;
  }
  if (t < 0 || t >= ds->data->ntime) {
    messages.error(ctree::format_message("isolark:%s: timestep out of range", fn));
    return false;
  }
  ds->data->getData(t)->contourVar = var;
  ds->data->curTime = t;
  ds->plot->setTime(t);
  return true;
}

int mesh(ConDataset* ds) { return ds && ds->data ? ds->data->meshtype : -1; }

// Seeds of step t for its current contouring variable, then every contour
// reset and the one of step t extracted.
void extract(ConDataset* ds, int t, float isovalue) {
  Conplot* p = ds->plot;
  if (!p->isPreprocessed(t)) p->Preprocess(t, nullptr, nullptr, ds->threads, ds->progress);
  for (int s = 0; s < ds->data->ntime; ++s) p->Reset(s);
  p->setTime(t);
  p->ExtractAll(isovalue);
}

bool compute_signatures(ConDataset* ds, int var, int t) {
  Data* d = ds->data->getData(t);
  ds->nsignatures = d->getNFunctions();
  if (ds->signatures[var][t]) return true;
  auto* sig = new Signature[ds->nsignatures];
  d->prepareFunctions(ds->samples, ds->threads, ds->progress ? *ds->progress : ctree::no_progress());
  for (int fn = 0; fn < ds->nsignatures; ++fn) {
    const char* name = d->fName(fn);
    sig[fn].name = name ? name : "";
    d->compFunction(fn, ds->samples, sig[fn].fx, sig[fn].fy);
    sig[fn].nsamples = int(sig[fn].fx.size());
  }
  ds->signatures[var][t] = sig;
  return true;
}

}  // namespace

ConDataset* newDatasetUnstr(int type, int meshtype, int nvars, int ntime, int nverts, int ncells, const double* verts,
                            const unsigned* cells, const int* celladj, const unsigned char* data,
                            ctree::MessageSink& messages) {
  const char* fn = "newDatasetUnstr";
  if (meshtype < 2 || meshtype > 5) return nullptr;
  if (meshtype != CONTOUR_2D && meshtype != CONTOUR_3D) {
    messages.error(ctree::format_message("isolark:%s: invalid mesh type", fn));
    return nullptr;
  }
  if (!check_common(messages, fn, type, nvars, ntime, data)) return nullptr;
  const int per = meshtype == CONTOUR_2D ? 3 : 4;
  if (nverts < 1 || ncells < 1 || !verts || !cells) {
    messages.error(
        ctree::format_message("isolark:%s: %d vertices and %d cells; need at least one of each", fn, nverts, ncells));
    return nullptr;
  }
  for (size_t k = 0; k < size_t(ncells) * per; ++k)
    if (cells[k] >= unsigned(nverts)) {
      messages.error(
          ctree::format_message("isolark:%s: cell %d names vertex %u of %d", fn, int(k / per), cells[k], nverts));
      return nullptr;
    }
  if (celladj)
    for (size_t k = 0; k < size_t(ncells) * per; ++k)
      if (celladj[k] < -1 || celladj[k] >= ncells) {
        messages.error(ctree::format_message("isolark:%s: cell %d names neighbour %d of %d", fn, int(k / per),
                                             celladj[k], ncells));
        return nullptr;
      }
  if (!check_finite(messages, fn, type, size_t(nverts) * nvars * ntime, data)) return nullptr;
  if (meshtype == CONTOUR_2D) {
    auto m = make_triangle_mesh(nverts, ncells, verts, cells, celladj, messages);
    auto* d = new Datasetslc(type, nvars, ntime, m, data);
    auto* p = new Conplot2d(d);
    messages.status(ctree::format_message("minextent: %f %f %f", m->extentMin[0], m->extentMin[1], m->extentMin[2]));
    messages.status(ctree::format_message("maxextent: %f %f %f", m->extentMax[0], m->extentMax[1], m->extentMax[2]));
    return make_handle(d, p, messages);
  }
  auto m = std::make_shared<TetMesh>();
  m->verts.assign(verts, verts + 3 * size_t(nverts));
  m->cells.assign(cells, cells + 4 * size_t(ncells));
  if (celladj)
    m->adj.assign(celladj, celladj + 4 * size_t(ncells));
  else
    m->adj.assign(4 * size_t(ncells), -1);
  messages.status(ctree::format_message("%d verts, %d cells", nverts, ncells));
  auto* d = new Datasetvol(type, nvars, ntime, m, data);
  return make_handle(d, new Conplot3d(d), messages);
}

ConDataset* newDatasetReg(int type, int meshtype, int nvars, int ntime, const int* dim, const unsigned char* data,
                          const float* origin, const float* span, ctree::MessageSink& messages) {
  const char* fn = "newDatasetReg";
  if (meshtype < 2 || meshtype > 5) return nullptr;
  if (meshtype != CONTOUR_REG_2D && meshtype != CONTOUR_REG_3D) {
    messages.error(ctree::format_message("isolark:%s: invalid mesh type", fn));
    return nullptr;
  }
  if (!check_common(messages, fn, type, nvars, ntime, data)) return nullptr;
  const int naxes = meshtype == CONTOUR_REG_2D ? 2 : 3;
  if (!dim) {
    messages.error(ctree::format_message("isolark:%s: no grid dimensions", fn));
    return nullptr;
  }
  long long nverts = 1;
  int bits = 0;
  for (int a = 0; a < naxes; ++a) {
    if (dim[a] < 2) {
      messages.error(
          ctree::format_message("isolark:%s: grid dimension %d along axis %c; need at least 2", fn, dim[a], "xyz"[a]));
      return nullptr;
    }
    nverts *= dim[a];
    bits += Datareg3::bitsFor(dim[a] - 2);
  }
  if (nverts > 0x7fffffffLL || (naxes == 3 && bits > 31)) {
    messages.error(ctree::format_message("isolark:%s: grid of %d x %d%s too large", fn, dim[0], dim[1],
                                         naxes == 3 ? (" x " + std::to_string(dim[2])).c_str() : ""));
    return nullptr;
  }
  if (span)
    for (int a = 0; a < naxes; ++a)
      if (!(span[a] > 0)) {
        messages.error(ctree::format_message("isolark:%s: grid spacing %g along axis %c; must be positive", fn, span[a],
                                             "xyz"[a]));
        return nullptr;
      }
  if (!check_finite(messages, fn, type, size_t(nverts) * nvars * ntime, data)) return nullptr;
  if (meshtype == CONTOUR_REG_2D) {
    auto* d = new Datasetreg2(type, nvars, ntime, dim, data, origin, span);
    return make_handle(d, new Conplotreg2(d), messages);
  }
  auto* d = new Datasetreg3(type, nvars, ntime, dim, data, origin, span);
  return make_handle(d, new Conplotreg3(d), messages);
}

int getNumberOfSignatures(ConDataset* ds) {
  ctree::MessageSink& messages = said(ds);
  if (!ds || !ds->data) {
    messages.error("isolark:getNumberOfSignatures: invalid dataset");
    return 0;
  }
  return ds->data->getData(0)->getNFunctions();
}

Signature* getSignatureFunctions(ConDataset* ds, int var, int t) {
  if (!check_query(ds, "getSignatureFunctions", var, t, true)) return nullptr;
  ctree::MessageSink& messages = said(ds);
  messages.status("Server: computing signature functions ...");
  compute_signatures(ds, var, t);
  messages.status("Server::getSignatureData: signature data sent");
  return ds->signatures[var][t];
}

float signature_value_at(const Signature& s, float w) {
  const int n = std::min(s.nsamples, int(std::min(s.fx.size(), s.fy.size())));
  if (n == 0) return 0;
  // First sample not below w; a NaN isovalue finds none below it either.
  const int i = int(std::lower_bound(s.fx.begin(), s.fx.begin() + n, w) - s.fx.begin());
  if (i == n) return s.fy[n - 1];
  if (i == 0 || s.fx[i] == w) return s.fy[i];
  const double x0 = s.fx[i - 1], x1 = s.fx[i], y0 = s.fy[i - 1], y1 = s.fy[i];
  return float(y0 + (y1 - y0) * ((double(w) - x0) / (x1 - x0)));
}

std::vector<float> getSignatureValues(ConDataset* ds, int var, int t, float isovalue) {
  if (!check_query(ds, "getSignatureValues", var, t, true)) return {};
  compute_signatures(ds, var, t);
  Signature* sig = ds->signatures[var][t];
  std::vector<float> out(size_t(ds->nsignatures));
  for (int fn = 0; fn < ds->nsignatures; ++fn) out[size_t(fn)] = signature_value_at(sig[fn], isovalue);
  return out;
}

// The number of distinct points among n points of d coordinates: the
// contour arrays hold every corner of every triangle (or edge) on its own,
// so a vertex shared by four cells is stored four times. Counted by the
// 64-bit hashes of the points in an open-addressing table: one pass, a
// few milliseconds for a million corners (a collision, at odds of n^2 /
// 2^65, would undercount by one).
static size_t distinct_points(const float* p, int n, int d) {
  if (n <= 0) return 0;
  size_t cap = 16;
  while (cap < 2 * size_t(n)) cap *= 2;
  std::vector<std::uint64_t> table(cap, 0);
  size_t count = 0;
  for (size_t i = 0; i < size_t(n); ++i) {
    std::uint64_t h = 0x243f6a8885a308d3ull;
    for (int a = 0; a < d; ++a) {
      const float x = p[i * size_t(d) + size_t(a)] + 0.0f;  // -0 is 0
      std::uint32_t bits;
      std::memcpy(&bits, &x, 4);
      h = (h ^ bits) * 0x9e3779b97f4a7c15ull;
      h ^= h >> 29;
    }
    h |= 1;  // 0 marks an empty slot
    for (size_t k = size_t(h) & (cap - 1);; k = (k + 1) & (cap - 1)) {
      if (table[k] == h) break;
      if (table[k] == 0) {
        table[k] = h;
        ++count;
        break;
      }
    }
  }
  return count;
}

std::unique_ptr<Contour2dData> getContour2d(ConDataset* ds, int var, int t, float isovalue) {
  int m = mesh(ds);
  if (!check_query(ds, "getContour2d", var, t, m == CONTOUR_2D || m == CONTOUR_REG_2D)) return nullptr;
  ctree::MessageSink& messages = said(ds);
  messages.status(ctree::format_message("isolar:getContour2d: isovalue = %f", isovalue));
  extract(ds, t, isovalue);
  Contour2d& c = m == CONTOUR_2D ? static_cast<Conplot2d*>(ds->plot)->getContour(t)
                                 : static_cast<Conplotreg2*>(ds->plot)->getContour(t);
  auto out = std::make_unique<Contour2dData>();
  out->nvert = c.getNVert();
  out->nedge = c.getNEdge();
  out->vert = reinterpret_cast<float(*)[2]>(c.vert.data());
  out->edge = reinterpret_cast<int(*)[2]>(c.edge.data());
  messages.status(ctree::format_message("isolark:getContour2d: nr of vertices: %zu",
                                        distinct_points(c.vert.data(), out->nvert, 2)));
  messages.status(ctree::format_message("isolark:getContour2d: nr of edges: %d", out->nedge));
  return out;
}

// The caller's view of a step's surface; the arrays stay the contour's.
static std::unique_ptr<Contour3dData> surface_record(Contour3d& c, int colorvar) {
  auto out = std::make_unique<Contour3dData>();
  out->nvert = c.getNVert();
  out->ntri = c.getNTri();
  out->vert = reinterpret_cast<float(*)[3]>(c.vert.data());
  out->vnorm = reinterpret_cast<float(*)[3]>(c.vnorm.data());
  out->vfun = c.vfun.data();
  out->tri = reinterpret_cast<int(*)[3]>(c.tri.data());
  out->colorvar = colorvar;
  out->colormin = c.colorMin;
  out->colormax = c.colorMax;
  return out;
}

std::unique_ptr<Contour3dData> getContour3d(ConDataset* ds, int var, int t, float isovalue, int colorvar) {
  int m = mesh(ds);
  if (!check_query(ds, "getContour3d", var, t, m == CONTOUR_3D || m == CONTOUR_REG_3D, &colorvar)) return nullptr;
  ctree::MessageSink& messages = said(ds);
  ds->data->getData(t)->colorVar = colorvar;
  extract(ds, t, isovalue);
  Contour3d& c = m == CONTOUR_3D ? static_cast<Conplot3d*>(ds->plot)->getContour(t)
                                 : static_cast<Conplotreg3*>(ds->plot)->getContour(t);
  auto out = surface_record(c, colorvar);
  messages.status(ctree::format_message("isolark:getContour3d: nr of vertices: %zu",
                                        distinct_points(c.vert.data(), out->nvert, 3)));
  messages.status(ctree::format_message("isolark:getContour3d: nr of triangles: %d", out->ntri));
  return out;
}

std::unique_ptr<Contour3dData> getWholeContour3d(ConDataset* ds, int var, int t, float isovalue, int colorvar,
                                                 CellSplit split, ctree::Report* report) {
  ctree::Report local;
  ctree::Report& rep = report ? *report : local;
  if (!ds || !ds->data || !ds->plot) return rep.fail("getWholeContour3d: no dataset"), nullptr;
  if (ds->data->meshtype != CONTOUR_REG_3D) return rep.fail("getWholeContour3d: the dataset is no 3D grid"), nullptr;
  if (var < 0 || var >= ds->data->nvars) return rep.fail("getWholeContour3d: variable out of range"), nullptr;
  if (colorvar != -1 && (colorvar < 0 || colorvar >= ds->data->nvars))
    return rep.fail("getWholeContour3d: invalid color variable"), nullptr;
  if (t < 0 || t >= ds->data->ntime) return rep.fail("getWholeContour3d: timestep out of range"), nullptr;
  Datareg3& g = static_cast<Datareg3&>(*ds->data->getData(t));
  g.contourVar = var;
  g.colorVar = colorvar;
  ds->data->curTime = t;
  ds->plot->setTime(t);

  GridSamples samples;
  samples.values = g.contourValues();
  for (int a = 0; a < 3; ++a) {
    samples.dim[a] = g.dim[a];
    samples.origin[a] = g.orig[a];
    samples.span[a] = g.span[a];
  }
  IsosurfaceOptions options;
  options.threads = ds->threads;
  options.colour = colorvar >= 0 ? g.varValues(colorvar) : nullptr;
  // The arrays of the step's last contour are used again: no fresh pages
  // for a surface about the size of the one before.
  auto* plot = static_cast<Conplotreg3*>(ds->plot);
  for (int s = 0; s < ds->data->ntime; ++s) plot->Reset(s);
  Contour3d& c = plot->getContour(t);
  Isosurface surface;
  surface.vertices.swap(c.vert);
  surface.normals.swap(c.vnorm);
  surface.colours.swap(c.vfun);
  surface.triangles.swap(c.tri);
  const bool made = grid_isosurface(samples, isovalue, split, options, surface, rep);
  c.vert.swap(surface.vertices);
  c.vnorm.swap(surface.normals);
  c.vfun.swap(surface.colours);
  c.tri.swap(surface.triangles);
  if (!made) return nullptr;
  if (options.colour) {
    c.colorMin = ds->data->getMinFun(colorvar);
    c.colorMax = ds->data->getMaxFun(colorvar);
  } else {
    c.vfun.assign(size_t(c.getNVert()), 0.0f);
  }
  c.Done();

  return surface_record(c, colorvar);
}

std::unique_ptr<SeedData> getSeedCells(ConDataset* ds, int var, int t) {
  if (!check_query(ds, "getSeedCells", var, t, true)) return nullptr;
  if (!ds->plot->isPreprocessed(t)) ds->plot->Preprocess(t, nullptr, nullptr, ds->threads, ds->progress);
  auto out = std::make_unique<SeedData>();
  out->nseeds = ds->plot->getSeeds(t).getNCells();
  out->seeds = ds->plot->getSeeds(t).getCellPointer();
  return out;
}

std::unique_ptr<SliceData> getSlice(ConDataset* ds, int var, int t, char axis, int index) {
  if (!check_query(ds, "getSlice", var, t, mesh(ds) == CONTOUR_REG_3D)) return nullptr;
  ctree::MessageSink& messages = said(ds);
  if (axis != 'x' && axis != 'y' && axis != 'z') {
    messages.error("isolark:getSlice: invalid slice axis");
    return nullptr;
  }
  const Datareg3& g = static_cast<const Datareg3&>(*ds->data->getData(t));
  int a = axis - 'x';
  if (index < 0 || index >= g.dim[a]) {
    messages.error(ctree::format_message("isolark:getSlice: %c-index out of range", axis));
    return nullptr;
  }
  messages.status(ctree::format_message("isolark::extractSlice: slice %d along axis %c ", index, axis));
  auto out = std::make_unique<SliceData>();
  if (!g.getSlice(var, axis, index, out->width, out->height, out->values)) {
    messages.error("Datareg3::getSlice(): Couldn't extract slice");
    return nullptr;
  }
  messages.status("Server::extractSlice: sent new slice to client");
  return out;
}

void clearDataset(ConDataset* ds) { delete ds; }

}  // namespace contour
