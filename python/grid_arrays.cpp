#include "grid_arrays.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "fields/element_types.h"
#include "workspace/grid_tree.h"

namespace orrery_py {

void raise_value_error(const std::string& what) {
  PyErr_SetString(PyExc_ValueError, what.c_str());
  throw py::error_already_set();
}

void raise_os_error(const std::string& what) {
  PyErr_SetString(PyExc_OSError, what.c_str());
  throw py::error_already_set();
}

namespace {
// Reads n0 x n1 x n2 samples of type T at base with byte strides s into out,
// x (the last index) fastest.
template <class T>
void gather(const char* base, const py::ssize_t* shape, const py::ssize_t* strides, double* out) {
  const py::ssize_t nz = shape[0], ny = shape[1], nx = shape[2];
  if (strides[2] == py::ssize_t(sizeof(T)) && strides[1] == nx * strides[2] && strides[0] == ny * strides[1]) {
    const T* p = reinterpret_cast<const T*>(base);
    const size_t n = size_t(nx * ny * nz);
    for (size_t i = 0; i < n; ++i) out[i] = double(p[i]);
    return;
  }
  for (py::ssize_t z = 0; z < nz; ++z)
    for (py::ssize_t y = 0; y < ny; ++y) {
      const char* row = base + z * strides[0] + y * strides[1];
      for (py::ssize_t x = 0; x < nx; ++x) *out++ = double(*reinterpret_cast<const T*>(row + x * strides[2]));
    }
}
}  // namespace

std::string command_line_type_of(const py::dtype& dtype) {
  // Byte-swapped arrays are not native: numpy's '>' or '<' on the other machine order.
  const char order = dtype.attr("byteorder").cast<std::string>()[0];
  const bool native = order == '=' || order == '|' ||
                      (order == '<') == (py::module_::import("sys").attr("byteorder").cast<std::string>() == "little");
  if (!native) return "";
  // numpy names its types as files do ("uint8", "float32").
  return ctree::command_line_type(dtype.attr("name").cast<std::string>());
}

py::dtype dtype_of_command_line_type(const std::string& type) {
  const ctree::DataType t = ctree::type_from_string(type);
  return py::dtype(t == ctree::TYPE_UNKNOWN ? "float64" : ctree::file_type_name(t));
}

void read_triple(const py::object& given, const char* what, double fallback, double out[3]) {
  for (int a = 0; a < 3; ++a) out[a] = fallback;
  if (given.is_none()) return;
  py::sequence s;
  try {
    s = given.cast<py::sequence>();
  } catch (const py::cast_error&) {
    raise_value_error(std::string(what) + " must be three numbers (x, y, z)");
  }
  if (py::len(s) != 3)
    raise_value_error(std::string(what) + " must be three numbers (x, y, z), not " + std::to_string(py::len(s)));
  for (int a = 0; a < 3; ++a) {
    try {
      out[a] = s[size_t(a)].cast<double>();
    } catch (const py::cast_error&) {
      raise_value_error(std::string(what) + " must be three numbers (x, y, z)");
    }
    if (!std::isfinite(out[a])) raise_value_error(std::string(what) + " must be finite");
  }
}

std::shared_ptr<ctree::ScalarField3DGrid> grid_of_array(const py::array& given, const double spacing[3],
                                                        const double origin[3], std::string& type) {
  py::array values = given;
  // Samples in the other byte order: a native copy (the only case copied twice).
  if (values.dtype().attr("isnative").cast<bool>() == false)
    values = values.attr("astype")(values.dtype().attr("newbyteorder")("="));
  if (values.ndim() != 3)
    raise_value_error("values must be a 3-D array indexed [z, y, x], not " + std::to_string(values.ndim()) + "-D");
  type = command_line_type_of(values.dtype());
  if (type.empty())
    raise_value_error("values of type " + py::str(values.dtype()).cast<std::string>() +
                      " cannot be read: use int8, uint8, int16, uint16, int32, uint32, float32 or float64");
  const py::ssize_t* shape = values.shape();
  for (int a = 0; a < 3; ++a)
    if (shape[a] < 2)
      raise_value_error("values must have at least 2 samples along each axis, not " + std::to_string(shape[0]) + " x " +
                        std::to_string(shape[1]) + " x " + std::to_string(shape[2]) + " ([z, y, x])");
  const double n = double(shape[0]) * double(shape[1]) * double(shape[2]);
  if (n > double(std::numeric_limits<ctree::Index>::max()))
    raise_value_error("values hold " + std::to_string(std::int64_t(n)) + " samples, more than 2^31 - 1");
  for (int a = 0; a < 3; ++a)
    if (!(spacing[a] > 0)) raise_value_error("spacing must be positive along x, y and z");

  auto grid = std::make_shared<ctree::ScalarField3DGrid>();
  grid->dim[0] = ctree::Size(shape[2]), grid->dim[1] = ctree::Size(shape[1]), grid->dim[2] = ctree::Size(shape[0]);
  for (int a = 0; a < 3; ++a) grid->spacing[a] = spacing[a], grid->origin[a] = origin[a];
  grid->values.resize(size_t(n));
  const char* base = static_cast<const char*>(values.data());
  const py::ssize_t* strides = values.strides();
  double* out = grid->values.data();
  {
    py::gil_scoped_release released;
    ctree::with_sample_type(ctree::type_from_string(type),
                            [&](auto sample) { gather<decltype(sample)>(base, shape, strides, out); });
  }
  const std::string fault = ctree::grid_value_fault(*grid);
  if (!fault.empty()) raise_value_error("values: " + fault);
  return grid;
}

py::array array_of_grid(const ctree::ScalarField3DGrid& grid, const py::dtype& dtype) {
  py::array_t<double> doubles({py::ssize_t(grid.dim[2]), py::ssize_t(grid.dim[1]), py::ssize_t(grid.dim[0])});
  std::copy(grid.values.begin(), grid.values.end(), doubles.mutable_data());
  if (dtype.kind() == 'f' && dtype.itemsize() == 8) return std::move(doubles);
  return doubles.attr("astype")(dtype);
}

}  // namespace orrery_py
