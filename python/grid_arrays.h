#pragma once
// The edge between numpy and the libraries' grids: which element types a
// grid may come in, arrays indexed [z, y, x] read into a grid field, and
// grid-shaped results handed back as arrays.

#include <memory>
#include <string>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "core/report.h"
#include "fields/grid_field.h"

namespace orrery_py {

namespace py = pybind11;

// A failed library call as a Python exception carrying its sentence.
[[noreturn]] void raise_value_error(const std::string& what);
[[noreturn]] void raise_os_error(const std::string& what);

// The command line's type name ("uchar", "float", ...) of a numpy dtype
// the program reads; "" for any other (object, complex, 64-bit integers).
std::string command_line_type_of(const py::dtype& dtype);
// The numpy dtype of a command line's type name; float64 for "".
py::dtype dtype_of_command_line_type(const std::string& type);

// A grid field whose values are those of a 3-D array indexed [z, y, x]
// (C-ordered, Fortran-ordered or strided: read in one pass, in place),
// with the given spacing and origin (x, y, z). Raises ValueError for an
// array the program would not take: not 3-D, a side below 2, an element
// type it does not read, a value that is not finite.
std::shared_ptr<ctree::ScalarField3DGrid> grid_of_array(const py::array& values, const double spacing[3],
                                                        const double origin[3], std::string& type);

// The grid's values as a [z, y, x] array of the given dtype.
py::array array_of_grid(const ctree::ScalarField3DGrid& grid, const py::dtype& dtype);

// (x, y, z) from None (the default) or a sequence of three numbers.
void read_triple(const py::object& given, const char* what, double fallback, double out[3]);

}  // namespace orrery_py
