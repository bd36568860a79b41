#!/usr/bin/env bash
# Speed-up of the grid contour tree with two threads and with two MPI ranks
# over one thread, for generated float grids.
#
#   bench/ctree/bench_parallel.sh [BUILD_DIR] [SIZE ...]     (default: build/release 128 256)
#
# Prints wall seconds and peak memory of `orrery --batch --ct` for each way
# of running; every run writes the same tree file (checked with cmp).
set -euo pipefail
build=${1:-build/release}
shift || true
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(128 256)
orrery=$(realpath "$build/app/orrery")
gen=$(realpath "$build/tools/orrery_gen")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1

measure() {  # label, command...
  local label=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" > "$work/log" 2>&1
  read -r sec kib < "$work/time"
  printf '  %-28s %8.2f s  peak %6d MiB (largest process)\n' "$label" "$sec" $((kib / 1024))
}

for n in "${sizes[@]}"; do
  echo "== ${n}^3 floats"
  "$gen" volume --dim "$n" "$n" "$n" --bumps 12 --endian little --out "$work/v.raw" > /dev/null
  args=(--batch --data "$work/v.raw" --dim "$n" "$n" "$n" --swapbyte 0)
  rm -f "$work"/*.ply
  measure "1 thread" "$orrery" "${args[@]}" --threads 1 --ct "$work/t1.ply"
  t1=$(cut -d' ' -f1 "$work/time")
  measure "2 threads" "$orrery" "${args[@]}" --threads 2 --ct "$work/t2.ply"
  t2=$(cut -d' ' -f1 "$work/time")
  if command -v mpirun > /dev/null; then
    measure "2 MPI ranks x 1 thread" mpirun --oversubscribe -np 2 "$orrery" "${args[@]}" --threads 1 --ct "$work/m2.ply"
    m2=$(cut -d' ' -f1 "$work/time")
    cmp -s "$work/t1.ply" "$work/m2.ply" && echo "  same tree file from 2 ranks" || echo "  TREE FILES DIFFER"
    awk -v a="$t1" -v b="$t2" -v c="$m2" 'BEGIN { printf "  speed-up: 2 threads %.2f, 2 ranks %.2f (ranks/threads time %.2f)\n", a / b, a / c, c / b }'
  else
    awk -v a="$t1" -v b="$t2" 'BEGIN { printf "  speed-up: 2 threads %.2f\n", a / b }'
  fi
  cmp -s "$work/t1.ply" "$work/t2.ply" && echo "  same tree file from 2 threads" || echo "  TREE FILES DIFFER"
done
