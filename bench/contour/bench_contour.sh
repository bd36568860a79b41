#!/bin/sh
# Figures of the contour library on 256^3 volumes, beside two peers run on
# the same files in the same run: flying edges (vtkFlyingEdges3D) and
# marching cubes (skimage.measure.marching_cubes).
#
#   bench/contour/bench_contour.sh [BUILD_DIR] [N]    (default: build/rel 256)
#
# For a smooth field and the same field with noise (genvol.py, noise 0 and
# 0.01) it prints, for 1 and for every core's threads: seed search,
# spectrum at 256 samples, first isosurface after reading the file, one
# isovalue change (seconds); the end-to-end time of orrery_isosurface (read,
# seeds, surface, PLY); the peers' times for the isosurface at the same
# isovalue from the array in memory; and the ratios.
# The peers come from Debian packages, installed here when missing.
set -e
build=${1:-build/rel}
n=${2:-256}
py=/usr/bin/python3
genvol=/work/shared/anchors/genvol.py
threads=$(nproc)
for exe in "$build/bench/contour/bench_contour" "$build/tools/contour/orrery_isosurface"; do
  [ -x "$exe" ] || { echo "bench_contour.sh: $exe missing; build with -DORRERY_BENCH=ON" >&2; exit 1; }
done
if ! $py -c 'import numpy, vtk, skimage' 2>/dev/null; then
  echo "installing the peers (python3-numpy python3-vtk9 python3-skimage)"
  apt-get install -y --no-install-recommends python3-numpy python3-vtk9 python3-skimage >/dev/null
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT INT TERM

now() { date +%s.%N; }

for noise in 0 0.01; do
  f="$dir/field.raw"
  $py "$genvol" "$n" "$f" "$noise"
  echo "== $n^3, noise $noise"
  "$build/bench/contour/bench_contour" --file "$f" "$n" --threads "$threads" | grep -v '^\*\|^ \|^time' | tee "$dir/ours.txt"
  t0=$(now)
  "$build/tools/contour/orrery_isosurface" "$f" --dim "$n" "$n" "$n" --ply "$dir/s.ply" --threads "$threads" >/dev/null
  t1=$(now)
  tool=$($py -c "print($t1 - $t0)")
  printf 'orrery_isosurface end to end (read, seeds, surface, ASCII PLY): %.2f s\n' "$tool"
  $py - "$f" "$n" "$dir/ours.txt" "$tool" <<'PY'
import sys, time
import numpy as np
import vtk
from vtk.util import numpy_support
from skimage import measure
path, n, ours, tool = sys.argv[1], int(sys.argv[2]), sys.argv[3], float(sys.argv[4])
v = np.fromfile(path, dtype='<f4').reshape(n, n, n)
iso = np.float32(0.5) * (v.min() + v.max())
img = vtk.vtkImageData()
img.SetDimensions(n, n, n)
img.GetPointData().SetScalars(numpy_support.numpy_to_vtk(v.ravel(), deep=True))
fe = vtk.vtkFlyingEdges3D()
fe.SetInputData(img)
fe.SetValue(0, float(iso))
fe.ComputeNormalsOn()
t = time.perf_counter(); fe.Update(); t_fe = time.perf_counter() - t
t = time.perf_counter(); verts, faces, _, _ = measure.marching_cubes(v, float(iso)); t_mc = time.perf_counter() - t
print("flying edges:   %.3f s, %d triangles" % (t_fe, fe.GetOutput().GetNumberOfCells()))
print("marching cubes: %.3f s, %d triangles" % (t_mc, len(faces)))
rows = {}
for line in open(ours):
    w = line.split()
    if w and w[0] == "threads":
        rows[int(w[1])] = dict(zip(w[2::2], map(float, w[3::2])))
for t, r in sorted(rows.items()):
    print("ratios, %d thread%s: first isosurface / flying edges %.1f, / marching cubes %.1f; "
          "isovalue change / flying edges %.2f, / marching cubes %.2f"
          % (t, "" if t == 1 else "s", r["first"] / t_fe, r["first"] / t_mc, r["change"] / t_fe, r["change"] / t_mc))
print("ratio, orrery_isosurface end to end / flying edges %.1f, / marching cubes %.1f" % (tool / t_fe, tool / t_mc))
PY
done
