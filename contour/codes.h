#pragma once
// Element type codes and mesh codes of the contour library's datasets.

namespace contour {

// Element type of the values handed to the creation functions.
enum TypeCode : int { CONTOUR_UCHAR = 0, CONTOUR_USHORT = 1, CONTOUR_FLOAT = 2 };

// Mesh kind of a dataset.
enum MeshCode : int { CONTOUR_2D = 2, CONTOUR_3D = 3, CONTOUR_REG_2D = 4, CONTOUR_REG_3D = 5 };

// Bytes per value of a type code; 0 for a code outside 0..2.
inline int type_size(int type) { return type == 0 ? 1 : type == 1 ? 2 : type == 2 ? 4 : 0; }

}  // namespace contour
