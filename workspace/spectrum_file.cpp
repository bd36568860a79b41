#include "workspace/spectrum_file.h"

#include "core/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace ctree {

namespace {

bool little_endian_host() {
  const std::uint16_t one = 1;
  unsigned char first;
  std::memcpy(&first, &one, 1);
  return first == 1;
}

// Stored values are little-endian whatever the host.
void to_file_order(float* v, size_t n) {
  if (little_endian_host()) return;
  for (size_t i = 0; i < n; ++i) {
    unsigned char b[4];
    std::memcpy(b, &v[i], 4);
    std::swap(b[0], b[3]);
    std::swap(b[1], b[2]);
    std::memcpy(&v[i], b, 4);
  }
}

}  // namespace

bool read_spectrum_file(const std::string& name, SpectrumData& out, std::string& error, const SpectrumShape* run) {
  // Opened without waiting: a pipe under the name must not stop the run.
  const int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = name + ": cannot open the spectrum file: " + std::strerror(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const char* what = S_ISDIR(st.st_mode)    ? "a directory"
                       : S_ISFIFO(st.st_mode) ? "a pipe"
                       : S_ISCHR(st.st_mode)  ? "a character device"
                       : S_ISBLK(st.st_mode)  ? "a block device"
                       : S_ISSOCK(st.st_mode) ? "a socket"
                                              : "not a regular file";
    close(fd);
    error = name + ": the spectrum file is " + what + ", not a regular file";
    return false;
  }
  std::FILE* f = fdopen(fd, "rb");
  if (!f) {
    close(fd);
    error = name + ": cannot open the spectrum file: " + std::strerror(errno);
    return false;
  }
  const long long size = (long long)st.st_size;
  float header[5];
  if (size < 20 || std::fread(header, 4, 5, f) != 5) {
    std::fclose(f);
    error = name + ": spectrum file shorter than its 20-byte header";
    return false;
  }
  to_file_order(header, 5);
  long long counts[3];
  for (int k = 0; k < 3; ++k) {
    const float c = header[2 + k];
    if (!std::isfinite(c) || c < 1 || c > 2147483647.0f) {
      std::fclose(f);
      error = name + ": spectrum header holds an impossible count (" + std::to_string(c) + ")";
      return false;
    }
    counts[k] = (long long)c;  // stored as floats, truncated
  }
  if (counts[1] < 2) {
    // One sample has no isovalue step (written by runs that accepted --spectrum 1).
    std::fclose(f);
    error = name + ": spectrum file holds 1 sample per signature; a spectrum needs at least 2";
    return false;
  }
  if (!std::isfinite(header[0]) || !std::isfinite(header[1]) || header[0] > header[1]) {
    std::fclose(f);
    error = name + ": spectrum header holds an impossible value range";
    return false;
  }
  const long long values = size - 20;
  // Checked factor by factor so the product cannot overflow.
  const long long available = values / 4;
  const bool fits = counts[0] <= available && counts[1] <= available / counts[0] &&
                    counts[2] <= available / (counts[0] * counts[1]) && counts[0] * counts[1] * counts[2] * 4 == values;
  if (!fits) {
    std::fclose(f);
    error = name + ": spectrum file of " + std::to_string(size) + " bytes does not hold the " +
            std::to_string(counts[0]) + " x " + std::to_string(counts[1]) + " x " + std::to_string(counts[2]) +
            " values its header announces (truncated or damaged; remove it to compute it again)";
    return false;
  }
  out.minValue = header[0];
  out.maxValue = header[1];
  out.nTimes = int(counts[0]);
  out.nSamples = int(counts[1]);
  out.nSignatures = int(counts[2]);
  out.values.clear();
  // A file of another run is set aside on its header, before any value is read.
  if (run) {
    error = spectrum_mismatch(name, out, *run);
    if (!error.empty()) {
      std::fclose(f);
      out = SpectrumData();
      return false;
    }
  }
  out.values.assign(size_t(available), 0.0f);
  const bool ok = std::fread(out.values.data(), 4, out.values.size(), f) == out.values.size();
  std::fclose(f);
  if (!ok) {
    error = name + ": cannot read the spectrum values";
    return false;
  }
  to_file_order(out.values.data(), out.values.size());
  for (size_t i = 0; i < out.values.size(); ++i)
    if (!std::isfinite(out.values[i])) {
      const size_t per_step = size_t(out.nSamples) * size_t(out.nSignatures);
      error = name + ": spectrum value " + std::to_string(i) + " (time index " + std::to_string(i / per_step) +
              ", sample " + std::to_string(i % per_step / size_t(out.nSignatures)) + ") is not a finite number";
      out = SpectrumData();
      return false;
    }
  return true;
}

std::string spectrum_mismatch(const std::string& name, const SpectrumData& d, const SpectrumShape& run) {
  auto shape = [](int t, int s, int g) {
    return std::to_string(t) + " time step" + (t == 1 ? "" : "s") + ", " + std::to_string(s) + " samples, " +
           std::to_string(g) + " signatures";
  };
  if (d.nTimes != run.nTimes || (run.nSamples > 0 && d.nSamples != run.nSamples) ||
      (run.nSignatures > 0 && d.nSignatures != run.nSignatures))
    return name + ": the spectrum file holds " + shape(d.nTimes, d.nSamples, d.nSignatures) + ", the run needs " +
           std::to_string(run.nTimes) + " time step" + (run.nTimes == 1 ? "" : "s") +
           (run.nSamples > 0 ? ", " + std::to_string(run.nSamples) + " samples" : std::string()) +
           (run.nSignatures > 0 ? ", " + std::to_string(run.nSignatures) + " signatures" : std::string());
  const bool fits = run.rangeComplete ? d.minValue == run.minValue && d.maxValue == run.maxValue
                                      : d.minValue <= run.minValue && d.maxValue >= run.maxValue;
  if (!fits) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "the spectrum file covers values %.9g .. %.9g, the data %.9g .. %.9g",
                  double(d.minValue), double(d.maxValue), double(run.minValue), double(run.maxValue));
    return name + ": " + buf;
  }
  return "";
}

bool write_spectrum_file(const std::string& name, const SpectrumData& d, std::string& error) {
  const size_t n = size_t(d.nTimes) * size_t(d.nSamples) * size_t(d.nSignatures);
  if (d.nTimes < 1 || d.nSamples < 1 || d.nSignatures < 1 || d.values.size() != n) {
    error = name + ": no spectrum to write";
    return false;
  }
  float header[5] = {d.minValue, d.maxValue, float(d.nTimes), float(d.nSamples), float(d.nSignatures)};
  to_file_order(header, 5);
  std::vector<float> values = d.values;
  to_file_order(values.data(), values.size());
  std::string bytes(reinterpret_cast<const char*>(header), sizeof header);
  bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(float));
  std::string reason;
  if (write_file_whole(name, bytes, reason)) return true;
  error = "cannot write the spectrum file " + name + ": " + reason;
  return false;
}

std::vector<std::pair<float, float>> signature_ranges(const SpectrumData& d) {
  std::vector<std::pair<float, float>> r(size_t(d.nSignatures > 0 ? d.nSignatures : 0), {1e18f, -1e18f});
  for (size_t i = 0; i < d.values.size() && !r.empty(); ++i) {
    auto& p = r[i % r.size()];
    p.first = d.values[i] < p.first ? d.values[i] : p.first;
    p.second = d.values[i] > p.second ? d.values[i] : p.second;
  }
  return r;
}

float sample_isovalue(const SpectrumData& d, int s) {
  if (d.nSamples <= 1) return d.minValue;
  return d.minValue + (d.maxValue - d.minValue) * float(s) / float(d.nSamples - 1);
}

}  // namespace ctree
