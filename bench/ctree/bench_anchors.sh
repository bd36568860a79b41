#!/usr/bin/env bash
# The grid contour tree against two reference programs on the same files, in
# one run, so that the ratios mean something on any machine:
#   limit   - sort every vertex, one union-find sweep up and one down (naive)
#   blocked - the same sweeps inside 32^3 blocks, nothing merged (a floor)
# and orrery --batch --ct with 1 and 2 threads (the whole run: read, trees,
# file). Inputs come from the reference volume generator: Gaussian bumps
# with noise 0.01 (about one critical point in eleven vertices) and smooth;
# then a real MRI brain (181x217x181 uint8, the ch2 template of the
# mricron data, extracted here) when it is installed; with ORRERY_BENCH_512=1
# also a noisy 512^3 (orrery with 2 threads only: the reference programs
# and one thread take too long there; it needs about 8 GB).
#
#   bench/ctree/bench_anchors.sh [BUILD_DIR] [SIZE ...]   (default: build/release 128 256)
#
# Needs the reference programs beside the project (../shared/anchors) and
# python3 with numpy (installed here when missing). Prints seconds, peak
# memory and the ratios; every orrery run must write the same tree file.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
shift || true
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(128 256)
anchors=$(realpath ../shared/anchors)
py=/usr/bin/python3
if ! $py -c 'import numpy' 2> /dev/null; then
  echo "installing python3-numpy for the volume generator"
  apt-get install -y -qq --no-install-recommends python3-numpy > /dev/null
fi
if [ ! -x "$build/app/orrery" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
  cmake --build "$build" -j"$(nproc)" --target orrery > /dev/null
fi
orrery=$(realpath "$build/app/orrery")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -O2 -o "$work/limit" "$anchors/limit.cpp"
g++ -O2 -o "$work/blocked" "$anchors/blocked.cpp"

measure() {  # label, command...: wall seconds and peak memory into $sec, $mib
  local label=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" > "$work/log" 2>&1 || { cat "$work/log"; exit 1; }
  read -r sec kib < "$work/time"
  mib=$((kib / 1024))
  printf '  %-22s %8.2f s  peak %6d MiB\n' "$label" "$sec" "$mib"
}

# One input (float32 little-endian) against the references and orrery:
# label, file, dims.
run_input() {
  local label=$1 file=$2 nx=$3 ny=$4 nz=$5
  echo "== $label   ($(uptime | sed 's/.*load/load/'))"
  local vertices=$((nx * ny * nz))
  measure "limit (naive sweep)" "$work/limit" "$file" "$nx" "$ny" "$nz"
  limit=$sec
  measure "blocked (B=32)" "$work/blocked" "$file" "$nx" "$ny" "$nz" 32
  blocked=$sec
  args=(--batch --data "$file" --dim "$nx" "$ny" "$nz" --datatype float --swapbyte 0)
  rm -f "$work"/*.ply
  measure "orrery, 1 thread" "$orrery" "${args[@]}" --threads 1 --ct "$work/t1.ply"
  one=$sec
  grep -h "^step" "$work/log" | sed 's/^/    /'
  measure "orrery, 2 threads" "$orrery" "${args[@]}" --threads 2 --ct "$work/t2.ply"
  two=$sec
  two_mib=$mib
  grep -h "^step" "$work/log" | sed 's/^/    /'
  cmp -s "$work/t1.ply" "$work/t2.ply" || echo "  TREE FILES DIFFER between 1 and 2 threads"
  awk -v l="$limit" -v b="$blocked" -v a="$one" -v t="$two" -v m="$two_mib" -v n="$vertices" 'BEGIN {
    printf "  limit / orrery(2 threads) %.2f (goal >= 5); orrery(1 thread) / blocked %.2f (goal <= 2);\n", l / t, a / b
    printf "  1 thread / 2 threads %.2f (goal >= 1.7); peak %.1f bytes per vertex with 2 threads (goal <= 48)\n", a / t, m * 1048576 / n
  }'
}

for n in "${sizes[@]}"; do
  for noise in 0.01 0; do
    $py "$anchors/genvol.py" "$n" "$work/v.raw" "$noise"
    run_input "${n}^3, noise $noise" "$work/v.raw" "$n" "$n" "$n"
  done
done

# The brain: voxels from byte 352 of the NIfTI file, 181x217x181 uint8,
# handed to every program as float32 (the same values).
brain=/usr/share/mricron/templates/ch2.nii.gz
if [ -r "$brain" ]; then
  $py -c 'import gzip, sys, numpy as np
d = gzip.open(sys.argv[1]).read()[352:352 + 181 * 217 * 181]
np.frombuffer(d, dtype=np.uint8).astype("<f4").tofile(sys.argv[2])' "$brain" "$work/brain.raw"
  run_input "MRI brain 181x217x181 uint8" "$work/brain.raw" 181 217 181
else
  echo "== MRI brain: $brain not installed (apt-get install mricron-data); skipped"
fi

if [ "${ORRERY_BENCH_512:-0}" = 1 ]; then
  echo "== 512^3, noise 0.01, orrery with 2 threads   ($(uptime | sed 's/.*load/load/'))"
  $py "$anchors/genvol.py" 512 "$work/v.raw" 0.01
  rm -f "$work"/*.ply
  measure "orrery, 2 threads" "$orrery" --batch --data "$work/v.raw" --dim 512 512 512 --datatype float --swapbyte 0 \
    --threads 2 --ct "$work/t2.ply"
  grep -h "^step" "$work/log" | sed 's/^/    /'
  awk -v m="$mib" 'BEGIN { printf "  peak %.1f GiB (goal <= 8), %.1f bytes per vertex\n", m / 1024, m * 1048576 / 134217728 }'
fi
