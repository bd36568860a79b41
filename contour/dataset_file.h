#pragma once
// Dataset files read by loadDataset: one file per time step, each a text
// header line followed by binary blocks in the machine's byte order.
//
//   "reg3 X Y Z\n"  then X·Y·Z·nvars values (x fastest, variable-major)
//   "reg2 X Y\n"    then X·Y·nvars values
//   "slc NV NC\n"   then NV·2 doubles (x y), NC·3 uint32 vertex indices,
//                   NC·3 int32 neighbours (-1 none), NV·nvars values
//   "vol NV NC\n"   the same with 3 doubles, 4 indices and 4 neighbours
//
// Values have the element type of the type code (uchar, uint16, float32).
// The mesh is taken from the first file; every file of a dataset must have
// the same header. Failures say an error naming the file and what is
// wrong to the sink loadDataset was given, and give null.

#include "contour/library.h"

namespace contour {

// The header line of a dataset file for the mesh code and sizes (dims for
// grids, nverts and ncells for meshes), without the newline.
std::string dataset_file_header(int meshtype, const int* sizes);

}  // namespace contour
