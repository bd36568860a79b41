#!/usr/bin/env bash
# The contour tree phase (the leaf cutting and the finished tree) of two
# orrery binaries on one volume, in alternating rounds (forward, then
# backward), the tree file removed before every run so that it is computed.
# Prints per round the load and the phase seconds from the step line, then
# per binary the median with its spread (min-max) and the median ratio to the
# first, taken round by round; the two tree files must be the same bytes.
#
#   bench/ctree/bench_cutting.sh OLD_ORRERY NEW_ORRERY VOLUME.raw N [ROUNDS]
#
# VOLUME.raw is an N^3 little-endian float32 volume (the reference
# generator: genvol.py N VOLUME.raw 0.01).
set -euo pipefail
old=$(realpath "$1")
new=$(realpath "$2")
vol=$(realpath "$3")
n=$4
rounds=${5:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

phase() {  # binary, tag: the contour tree seconds of one run
  rm -f "$work/$2.ct.ply"
  "$1" --batch --data "$vol" --dim "$n" "$n" "$n" --datatype float --swapbyte 0 --ct "$work/$2.ct.ply" \
    --threads 2 2>&1 | sed -n 's/.*contour tree \([0-9.]*\),.*/\1/p'
}

: > "$work/times"
for ((r = 1; r <= rounds; ++r)); do
  if ((r % 2)); then
    a=$(phase "$old" old)
    b=$(phase "$new" new)
  else
    b=$(phase "$new" new)
    a=$(phase "$old" old)
  fi
  echo "$a $b" >> "$work/times"
  printf 'round %d: load %s  old %s s  new %s s\n' "$r" "$(cut -d' ' -f1 /proc/loadavg)" "$a" "$b"
done
cmp "$work/old.ct.ply" "$work/new.ct.ply" || { echo "the tree files differ"; exit 1; }
/usr/bin/python3 - "$work/times" <<'PY'
import statistics, sys
rows = [tuple(map(float, l.split())) for l in open(sys.argv[1])]
for k, name in enumerate(("old", "new")):
    t = [r[k] for r in rows]
    q = [r[k] / r[0] for r in rows]
    print(f"{name}: contour tree median {statistics.median(t):.3f}s (min {min(t):.3f}, max {max(t):.3f}); "
          f"ratio to old {statistics.median(q):.2f} (min {min(q):.2f}, max {max(q):.2f})")
PY
echo "tree files identical"
