#!/bin/sh
# The whole-grid isosurface pass beside scikit-image's marching_cubes (and
# VTK's flying edges when python3-vtk9 happens to be installed), on the
# same samples in the same run, in alternating rounds.
#
#   bench/contour/bench_contour.sh [BUILD_DIR] [ROUNDS] [N]   (default: build/test 3 256)
#
# Cases: the ch2 brain template at 49.6 and at 80 (when mricron's templates
# are installed) and genvol's smooth N^3 field at 0.5. Per case: the times
# of each round (cube surface on 1 and 2 threads, tetrahedral surface on 2,
# the windows' first surface, the peers), their medians with the spread,
# the ratios taken round by round, and the counts of every surface:
# triangles as made, and after welding by position the vertices, the
# triangles that keep three corners, the boundary edges and the Euler
# characteristic. Last, bench_contour's figures of the seed search, the
# spectrum and propagation on the smooth field, for 1 and 2 threads, and the
# set-up of propagation alone (seed sweep, interval tree) on 1 and 2
# threads in alternating rounds, with its two-thread control.
set -e
build=${1:-build/test}
rounds=${2:-3}
n=${3:-256}
py=/usr/bin/python3
here=$(dirname "$0")
peers="$here/isosurface_peers.py"
exe="$build/bench/contour/bench_isosurface"
[ -x "$exe" ] || { echo "bench_contour.sh: $exe missing; build with -DORRERY_BENCH=ON" >&2; exit 1; }
$py -c 'import numpy, skimage' 2>/dev/null || { echo "bench_contour.sh: $py lacks numpy or skimage (scripts/install-deps)" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT INT TERM

brain=/usr/share/mricron/templates/ch2.nii.gz
$py /work/shared/anchors/genvol.py "$n" "$dir/smooth.raw" 0
set -- "smooth $dir/smooth.raw 0.5 --dim $n $n $n"
[ -f "$brain" ] && set -- "ch2 $brain 49.6" "ch2 $brain 80" "$@"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
for case in "$@"; do
  set -- $case
  name=$1 file=$2 iso=$3
  shift 3
  "$exe" "$file" --iso "$iso" --threads 2 --rounds 1 --dump "$dir/s" "$@" > "$dir/first.txt"
  dims=$(sed -n 's/^volume .*: \([0-9]*\) x \([0-9]*\) x \([0-9]*\),.*/\1 \2 \3/p' "$dir/first.txt")
  echo "== $name at $iso: $dims"
  : > "$dir/rounds.txt"
  r=0
  while [ $r -lt "$rounds" ]; do
    if [ $((r % 2)) = 0 ]; then
      "$exe" "$file" --iso "$iso" --threads 2 --rounds 1 "$@" | grep '^round' >> "$dir/rounds.txt"
      echo "peers $($py "$peers" time "$dir/s.samples.f32" $dims "$iso")" >> "$dir/rounds.txt"
    else
      p=$($py "$peers" time "$dir/s.samples.f32" $dims "$iso")
      "$exe" "$file" --iso "$iso" --threads 2 --rounds 1 "$@" | grep '^round' >> "$dir/rounds.txt"
      echo "peers $p" >> "$dir/rounds.txt"
    fi
    r=$((r + 1))
  done
  sed 's/^/  /' "$dir/rounds.txt"
  $py "$peers" summary "$dir/rounds.txt"
  $py "$peers" counts "$dir/s" $dims "$iso" | sed 's/^/  /'
done
echo "== seed search, spectrum and propagation, smooth $n^3 (bench_contour)"
"$build/bench/contour/bench_contour" --file "$dir/smooth.raw" "$n" --threads 2 | grep '^threads' | sed 's/^/  /'
echo "== set-up of propagation (seed sweep and interval tree), smooth $n^3, 1 and 2 threads (bench_contour --setup)"
"$build/bench/contour/bench_contour" --setup "$dir/smooth.raw" "$n" --threads 2 --rounds "$((rounds < 3 ? 3 : rounds))" |
  grep -v '^round' | sed 's/^/  /'
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
