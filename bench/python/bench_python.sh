#!/usr/bin/env bash
# The Python module's goals on the MRI brain: contour_tree against the
# program's --batch run (same tree, 2 threads, alternating rounds), region()
# of a feature of about 1 000 voxels, segmentation() of the whole tree.
#   bench/python/bench_python.sh [BUILD] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
exec /usr/bin/python3 bench/python/bench_python.py "$build" "${2:-5}"
