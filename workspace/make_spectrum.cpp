#include "workspace/make_spectrum.h"

#include "workspace/contour_data.h"
#include "workspace/main_data.h"
#include "workspace/step_names.h"

namespace ctree {

std::string spectrum_file_name(const ContourData& c) {
  return step_filename(c.owner->dataset.dataName, c.owner->dataset.tmin) + ".spectrum";
}

bool make_spectrum(ContourData& c, int S, SpectrumData& out) {
  MainData& m = *c.owner;
  const DatasetOptions& d = m.dataset;
  if (S < 1) {
    m.messages.error(format_message("Error: the spectrum needs at least one sample, not %d", S));
    return false;
  }
  const int start = m.time;
  c.unregisterData();
  double lo = 1e18, hi = -1e18;
  int G = 0, T = 0;
  bool ok = true;
  for (int t = d.tmin; ok && t <= d.tmax; t += d.tdelta, ++T) {
    ok = m.setTime(t) != 0;
    if (!ok) break;
    c.registerData();
    if (!c.dataset) {
      m.messages.error(format_message("Error: time step %d has no contour dataset", t));
      ok = false;
      break;
    }
    G = contour::getNumberOfSignatures(c.dataset);
    lo = c.minValue < lo ? c.minValue : lo;
    hi = c.maxValue > hi ? c.maxValue : hi;
    c.unregisterData();
  }
  if (ok && G < 1) {
    m.messages.error("Error: the contour library offers no signature functions for this data");
    ok = false;
  }
  if (ok) {
    out.minValue = float(lo);
    out.maxValue = float(hi);
    out.nTimes = T;
    out.nSamples = S;
    out.nSignatures = G;
    out.values.assign(size_t(T) * size_t(S) * size_t(G), 0.0f);
    int ti = 0;
    for (int t = d.tmin; ok && t <= d.tmax; t += d.tdelta, ++ti) {
      ok = m.setTime(t) != 0;
      if (!ok) break;
      c.registerData();
      if (contour::Signature* sig = contour::getSignatureFunctions(c.dataset, 0, 0))
        for (int g = 0; g < G; ++g) m.messages.status(format_message("Signature #%d . %s", g, sig[g].name.c_str()));
      for (int s = 0; s < S; ++s) {
        const std::vector<float> v = contour::getSignatureValues(c.dataset, 0, 0, sample_isovalue(out, s));
        if (v.size() < size_t(G)) {
          ok = false;
          break;
        }
        for (int g = 0; g < G; ++g)
          out.values[(size_t(ti) * size_t(S) + size_t(s)) * size_t(G) + size_t(g)] = v[size_t(g)];
      }
      c.unregisterData();
      m.messages.status(format_message("spectrum of time step %d done", t));
    }
  }
  // Back to where the run was.
  if (m.time != start) m.setTime(start);
  c.registerData();
  return ok;
}

bool make_spectrum_file(ContourData& c, int S, SpectrumData& out) {
  if (!make_spectrum(c, S, out)) return false;
  const std::string name = spectrum_file_name(c);
  std::string error;
  if (!write_spectrum_file(name, out, error)) {
    c.owner->messages.error(
        format_message("Error: %s; the spectrum is kept in memory for this run only", error.c_str()));
    return false;
  }
  c.owner->messages.status(format_message("wrote spectrum %s (%d time steps, %d samples, %d signatures)", name.c_str(),
                                          out.nTimes, out.nSamples, out.nSignatures));
  return true;
}

SpectrumShape run_spectrum_shape(ContourData& c, int S) {
  const DatasetOptions& d = c.owner->dataset;
  SpectrumShape shape;
  shape.nTimes = (d.tmax - d.tmin) / d.tdelta + 1;
  shape.nSamples = S;
  if (!c.dataset) c.registerData();
  shape.nSignatures = c.dataset ? contour::getNumberOfSignatures(c.dataset) : 0;
  shape.rangeComplete = c.owner->loadedValueRange(shape.minValue, shape.maxValue);
  return shape;
}

SpectrumSource read_or_make_spectrum(ContourData& c, int S, SpectrumData& out) {
  const std::string name = spectrum_file_name(c);
  std::string error;
  const SpectrumShape run = run_spectrum_shape(c, S);
  if (read_spectrum_file(name, out, error, &run)) return SpectrumSource::Kept;
  if (fileExist(name))
    c.owner->messages.error(format_message("Error: %s; computing the spectrum again", error.c_str()));
  out = SpectrumData();  // nothing of a refused file stays
  if (make_spectrum_file(c, S > 0 ? S : contour::DEFAULT_SIGNATURE_SAMPLES, out)) return SpectrumSource::Written;
  return out.values.empty() ? SpectrumSource::Failed : SpectrumSource::InMemory;
}

}  // namespace ctree
