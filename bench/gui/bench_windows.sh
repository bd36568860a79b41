#!/bin/sh
# The windows on real volumes, with their tree files present: seconds and
# peak memory of --batch (reading the trees) and of --snapshot (the windows
# up to their first frames), and the frames per second of the main window
# turned by a scripted drag (bench_viewer).
#
#   bench/gui/bench_windows.sh [BUILD_DIR] [SIZES]     (default: build/release "brain 128 256")
#   FRAMES=N (default 20) sets the frames timed per drawing.
#
# Inputs: the MRI brain of Debian's mricron-data (181x217x181 uint8, voxels
# from byte 352 of the unpacked .nii.gz; installed when missing) and
# generated volumes N^3 with noise 0.01 (as the peers' genvol.py makes them).
# The goals: the first
# frame within 3 s of the --batch run and peak memory within 2 x the
# batch's + 300 MB; the first view turning at 20 frames/s or more, the
# whole tree as lines at 5. The lines "goal" compare within this run.
# The computer is shared: `uptime` is printed with the figures.
set -e
build=${1:-build/release}
sizes=${2:-"brain 128 256"}
py=/usr/bin/python3
# N^3 little-endian floats: 40 Gaussian bumps plus normal noise, seed 7.
genvol() {
  $py - "$@" <<'PY'
import numpy as np, sys
n = int(sys.argv[1]); out = sys.argv[2]; noise = float(sys.argv[3])
rng = np.random.default_rng(7)
x = np.linspace(0, 1, n, dtype=np.float32)
Z, Y, X = np.meshgrid(x, x, x, indexing='ij')
f = np.zeros((n, n, n), np.float32)
for _ in range(40):
    c = rng.random(3); s = 0.03 + 0.1 * rng.random(); a = rng.choice([-1, 1]) * (0.5 + rng.random())
    f += a * np.exp(-((X - c[0])**2 + (Y - c[1])**2 + (Z - c[2])**2) / (2 * s * s))
f += noise * rng.standard_normal(f.shape).astype(np.float32)
f.astype('<f4').tofile(out)
PY
}
exe=$build/app/orrery
bench=$build/bench/gui/bench_viewer
for x in "$exe" "$bench"; do
  [ -x "$x" ] || { echo "bench_windows.sh: $x missing; build with -DORRERY_BENCH=ON" >&2; exit 1; }
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT INT TERM
xvfb="xvfb-run -a -s '-screen 0 1600x1200x24 -noreset'"

# seconds and peak MB of a command: "S MB"
timed() {
  /usr/bin/time -f "%e %M" -o "$dir/time" "$@" > "$dir/out" 2>&1 || { tail -5 "$dir/out" >&2; return 1; }
  awk '{printf "%s %.0f", $1, $2 / 1024}' "$dir/time"
}

for input in $sizes; do
  if [ "$input" = brain ]; then
    nii=/usr/share/mricron/templates/ch2.nii.gz
    [ -f "$nii" ] || apt-get install -y --no-install-recommends mricron-data > /dev/null
    $py -c "import gzip,sys;d=gzip.open('$nii').read();open(sys.argv[1],'wb').write(d[352:])" "$dir/v.raw"
    args="--data $dir/v.raw --dim 181 217 181 --datatype uchar --swapbyte 0"
  else
    $py -c 'import numpy' 2>/dev/null || apt-get install -y --no-install-recommends python3-numpy > /dev/null
    genvol "$input" "$dir/v.raw" 0.01
    args="--data $dir/v.raw --dim $input $input $input --datatype float --swapbyte 0"
  fi
  args="$args --ct $dir/v.ct.ply --ctl $dir/v.ctl.ply"
  rm -f "$dir"/v.ct.ply "$dir"/v.ctl.ply "$dir"/v.raw.spectrum
  $exe --batch $args > /dev/null    # the tree files, computed once
  batch=$(timed $exe --batch $args)
  branches=$(grep '^step' "$dir/out" | grep -o '[0-9]* branches' | cut -d' ' -f1)
  rm -rf "$dir/pics"
  snap=$(eval "$xvfb" /usr/bin/time -f "'%e %M'" -o "$dir/time" "$exe" $args --snapshot "$dir/pics" > "$dir/out" 2>&1 &&
         awk '{printf "%s %.0f", $1, $2 / 1024}' "$dir/time")
  set -- $batch $snap
  echo "== $input: $branches branches   (load: $(uptime | sed 's/.*load average: //'))"
  echo "--batch     $1 s  $2 MB"
  echo "--snapshot  $3 s  $4 MB"
  awk -v b="$1" -v bm="$2" -v s="$3" -v sm="$4" 'BEGIN {
    printf "first frame %.2f s after the batch time (goal 3): %s\n", s - b, s - b <= 3 ? "met" : "missed";
    printf "peak memory %.2f x the batch + %d MB (goal 2 x + 300 MB = %d MB): %s\n", sm / bm, sm - 2 * bm, 2 * bm + 300,
           sm <= 2 * bm + 300 ? "met" : "missed" }'
  eval "$xvfb" "$bench" "${FRAMES:-20}" $args 2>&1 | grep 'frames/s\|first frame'

  # Picking: a branch's region and its boundary surface, what a click or a
  # walk key computes before the highlighted region shows (bench_pick, no
  # window), for the 30 most persistent branches. Goal: 0.2 s.
  pick=$build/bench/gui/bench_pick
  if [ -x "$pick" ]; then
    "$pick" 30 $args > "$dir/pick" 2>&1
    grep 'region and boundary\|surface points' "$dir/pick"
    awk '/region and boundary/ { for (i = 1; i <= NF; ++i) if ($i == "largest") l = $(i + 1) }
         END { printf "pick: largest %.3f s (goal 0.2): %s\n", l, l <= 0.2 ? "met" : "missed" }' "$dir/pick"
  fi
done
