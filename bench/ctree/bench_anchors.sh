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
# Per input: one run of orrery with 1 and with 2 threads for the phase lines
# and the peak memory (/usr/bin/time), then the four programs timed in
# ORRERY_BENCH_ROUNDS alternating rounds (default 3) by the reference
# timer, whose ratios are taken round by round: medians with their spread
# (min-max over the rounds). The goals:
#   - 2 threads >= 5x the naive sweep on noisy inputs and the brain;
#   - 2 threads >= 1.7x one thread on 256^3 noisy and the brain;
#   - peak <= 48 bytes per vertex on 256^3 noisy with 2 threads;
#   - 512^3 noisy with 2 threads within 8 GB.
# Each goal line says "met" or "MISSED". Timings on a machine with other
# work are noise: the load is printed with every round.
#
# Needs the reference programs beside the project (../shared/anchors, or
# the folder ORRERY_ANCHORS names) and
# python3 with numpy (installed here when missing). Every orrery run must
# write the same tree file.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
shift || true
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(128 256)
rounds=${ORRERY_BENCH_ROUNDS:-3}
anchors=$(realpath "${ORRERY_ANCHORS:-../shared/anchors}")
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

load() { uptime | sed 's/.*load/load/'; }

measure() {  # label, command...: wall seconds and peak memory into $sec, $mib
  local label=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" > "$work/log" 2>&1 || { cat "$work/log"; exit 1; }
  read -r sec kib < "$work/time"
  mib=$((kib / 1024))
  printf '  %-22s %8.2f s  peak %6d MiB\n' "$label" "$sec" "$mib"
}

# goal NAME VALUE OP TARGET: one line saying whether VALUE OP TARGET holds.
goal() {
  awk -v n="$1" -v v="$2" -v op="$3" -v t="$4" 'BEGIN {
    ok = op == ">=" ? v >= t : v <= t
    printf "  goal %-44s %s %s: %s\n", n, op, t, ok ? "met" : "MISSED"
  }'
}

# The median ratio to the first command and its spread, from the reference
# timer's summary line of NAME: "R (min A, max B)".
ratio_of() {
  sed -n "s/^$1: .*ratio to [^ ]* \([0-9.]*\) (min \([0-9.]*\), max \([0-9.]*\)).*/\1 \2 \3/p" "$work/alt"
}

# One input (float32 little-endian) against the references and orrery:
# label, file, dims, whether the goals of noisy inputs apply (naive,
# threads: yes/no each).
run_input() {
  local label=$1 file=$2 nx=$3 ny=$4 nz=$5 naive_goal=$6 thread_goal=$7 memory_goal=$8
  echo "== $label   ($(load))"
  local vertices=$((nx * ny * nz))
  local args
  args=$(printf '%q ' "$orrery" --batch --data "$file" --dim "$nx" "$ny" "$nz" --datatype float --swapbyte 0)
  rm -f "$work"/*.ply
  measure "orrery, 1 thread" bash -c "$args --threads 1 --ct $work/t1.ply"
  grep -h "^step" "$work/log" | sed 's/^/    /'
  measure "orrery, 2 threads" bash -c "$args --threads 2 --ct $work/t2.ply"
  local two_mib=$mib
  grep -h "^step" "$work/log" | sed 's/^/    /'
  cmp -s "$work/t1.ply" "$work/t2.ply" || echo "  TREE FILES DIFFER between 1 and 2 threads"
  echo "  alternating rounds (ratios to orrery with 2 threads, round by round):"
  $py "$anchors/alternate.py" --rounds "$rounds" --setup "rm -f $work/a.ply" -- \
    two "$args --threads 2 --ct $work/a.ply" \
    one "$args --threads 1 --ct $work/a.ply" \
    limit "$(printf '%q ' "$work/limit" "$file" "$nx" "$ny" "$nz")" \
    blocked "$(printf '%q ' "$work/blocked" "$file" "$nx" "$ny" "$nz" 32)" | tee "$work/alt" | sed 's/^/    /'
  read -r lr lmin lmax <<< "$(ratio_of limit)"
  read -r orr omin omax <<< "$(ratio_of one)"
  read -r br _ _ <<< "$(ratio_of blocked)"
  awk -v l="$lr" -v a="$lmin" -v b="$lmax" -v o="$orr" -v c="$omin" -v d="$omax" -v bl="$br" -v m="$two_mib" \
    -v n="$vertices" 'BEGIN {
    printf "  naive / 2 threads %.2f (spread %.2f-%.2f); 1 thread / 2 threads %.2f (spread %.2f-%.2f)\n", l, a, b, o, c, d
    printf "  1 thread / blocked floor %.2f; peak %.1f bytes per vertex with 2 threads\n", o / bl, m * 1048576 / n
  }'
  [ "$naive_goal" = yes ] && goal "naive / 2 threads (median)" "$lr" ">=" 5
  [ "$thread_goal" = yes ] && goal "1 thread / 2 threads (median)" "$orr" ">=" 1.7
  [ "$memory_goal" = yes ] && goal "peak bytes per vertex, 2 threads" "$(awk -v m="$two_mib" -v n="$vertices" \
    'BEGIN { printf "%.1f", m * 1048576 / n }')" "<=" 48
  return 0
}

for n in "${sizes[@]}"; do
  for noise in 0.01 0; do
    $py "$anchors/genvol.py" "$n" "$work/v.raw" "$noise"
    noisy=no
    [ "$noise" = 0.01 ] && noisy=yes
    threads=no
    memory=no
    [ "$noisy" = yes ] && [ "$n" -ge 256 ] && threads=yes && memory=yes
    run_input "${n}^3, noise $noise" "$work/v.raw" "$n" "$n" "$n" "$noisy" "$threads" "$memory"
  done
done

# The brain: voxels from byte 352 of the NIfTI file, 181x217x181 uint8,
# handed to every program as float32 (the same values).
brain=/usr/share/mricron/templates/ch2.nii.gz
if [ -r "$brain" ]; then
  $py -c 'import gzip, sys, numpy as np
d = gzip.open(sys.argv[1]).read()[352:352 + 181 * 217 * 181]
np.frombuffer(d, dtype=np.uint8).astype("<f4").tofile(sys.argv[2])' "$brain" "$work/brain.raw"
  run_input "MRI brain 181x217x181 uint8" "$work/brain.raw" 181 217 181 yes yes no
else
  echo "== MRI brain: $brain not installed (apt-get install mricron-data); skipped"
fi

if [ "${ORRERY_BENCH_512:-0}" = 1 ]; then
  echo "== 512^3, noise 0.01, orrery with 2 threads   ($(load))"
  $py "$anchors/genvol.py" 512 "$work/v.raw" 0.01
  rm -f "$work"/*.ply
  measure "orrery, 2 threads" "$orrery" --batch --data "$work/v.raw" --dim 512 512 512 --datatype float --swapbyte 0 \
    --threads 2 --ct "$work/t2.ply"
  grep -h "^step" "$work/log" | sed 's/^/    /'
  awk -v m="$mib" 'BEGIN { printf "  peak %.2f GiB, %.1f bytes per vertex\n", m / 1024, m * 1048576 / 134217728 }'
  goal "512^3 noisy peak GB, 2 threads" "$(awk -v m="$mib" 'BEGIN { printf "%.2f", m * 1048576 / 1e9 }')" "<=" 8
fi
