#!/usr/bin/env python3
"""Figures of the Python module on the MRI brain (ch2, 181 x 217 x 181 uint8):

1. contour_tree on the scan's array against the program's --batch run that
   computes and stores the same tree, both on 2 threads, in alternating
   rounds: wall time (of the call, and of each whole process) and peak
   memory (max RSS of each process; the array alone is 7.1 MB);
2. region() of a feature of about 1 000 voxels;
3. segmentation() of the whole tree.

    bench_python.py BUILD [ROUNDS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

BRAIN = "/usr/share/mricron/templates/ch2.nii.gz"
build = os.path.abspath(sys.argv[1])
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
sys.path.insert(0, os.path.join(build, "python"))
import numpy as np  # noqa: E402

import orrery  # noqa: E402

exe = os.path.join(build, "app", "orrery")
work = tempfile.mkdtemp(prefix="bench_python.")
array = os.path.join(work, "ch2.npy")
np.save(array, orrery.read_volume(BRAIN).values)

# The Python side: the array loaded (C-contiguous uint8, as nibabel or
# read_volume hand it over), then the one call timed.
CHILD = f"""
import sys, time, numpy as np
sys.path.insert(0, {os.path.join(build, 'python')!r})
import orrery
values = np.load({array!r})
assert values.flags.c_contiguous
t = time.perf_counter()
tree = orrery.contour_tree(values, spacing=(1, 1, 1), threads=2)
print(time.perf_counter() - t, len(tree))
"""


# The interpreter with numpy, the module and the array, doing nothing else.
BASELINE = f"""
import sys, numpy as np
sys.path.insert(0, {os.path.join(build, 'python')!r})
import orrery
values = np.load({array!r})
print(values.nbytes)
"""


def run(cmd):
    """Wall seconds, max RSS in MB and standard output of one process. The
    memory comes from /usr/bin/time: a child forked from this interpreter
    would count its parent's pages until the exec."""
    t = time.perf_counter()
    p = subprocess.run(["/usr/bin/time", "-f", "%M", *cmd], capture_output=True, text=True)
    wall = time.perf_counter() - t
    if p.returncode != 0:
        sys.exit(f"failed: {' '.join(cmd)}")
    return wall, int(p.stderr.strip().splitlines()[-1]) / 1024, p.stdout


def batch():
    tree = os.path.join(work, "ch2.ctree.ply")
    if os.path.exists(tree):
        os.remove(tree)
    wall, mb, out = run([exe, "--batch", "--data", BRAIN, "--ct", tree, "--threads", "2"])
    # "step 0: ... (read r, merge trees m, contour tree c, files f, layout l)"
    line = [l for l in out.splitlines() if l.startswith("step 0:")][0]
    parts = line.split("(")[1].rstrip(")").split(", ")
    phases = {p.rsplit(" ", 1)[0]: float(p.rsplit(" ", 1)[1]) for p in parts}
    return wall, mb, phases["merge trees"] + phases["contour tree"], line


def module():
    wall, mb, out = run(["/usr/bin/python3", "-c", CHILD])
    call, branches = out.split()
    return wall, mb, float(call), int(branches)


def spread(xs):
    return f"median {statistics.median(xs):.3f} (min {min(xs):.3f}, max {max(xs):.3f})"


print(f"load {os.getloadavg()[0]:.2f}; {rounds} alternating rounds on {BRAIN}")
rows = {"batch": [], "module": []}
for r in range(rounds):
    order = ["batch", "module"] if r % 2 == 0 else ["module", "batch"]
    got = {name: (batch() if name == "batch" else module()) for name in order}
    rows["batch"].append(got["batch"])
    rows["module"].append(got["module"])
    b, m = got["batch"], got["module"]
    print(f"round {r + 1}: load {os.getloadavg()[0]:.2f}  batch {b[0]:.3f}s ({b[2]:.3f}s trees, {b[1]:.0f} MB)  "
          f"module {m[0]:.3f}s ({m[2]:.3f}s call, {m[1]:.0f} MB, {m[3]} branches)")
print("batch line:", rows["batch"][-1][3])
bt = [x[2] for x in rows["batch"]]
mt = [x[2] for x in rows["module"]]
print(f"tree time, batch (merge trees + contour tree): {spread(bt)} s")
print(f"tree time, contour_tree call:                  {spread(mt)} s")
print(f"ratio call / batch trees, round by round:      {spread([m / b for m, b in zip(mt, bt)])}")
print(f"whole process, batch:  {spread([x[0] for x in rows['batch']])} s")
print(f"whole process, module: {spread([x[0] for x in rows['module']])} s (interpreter, numpy and np.load included)")
bm, mm = [x[1] for x in rows["batch"]], [x[1] for x in rows["module"]]
print(f"peak memory, batch:  {spread(bm)} MB")
print(f"peak memory, module: {spread(mm)} MB (the array is 7.1 MB)")
base = run(["/usr/bin/python3", "-c", BASELINE])[1]
print(f"interpreter + numpy + module + array alone: {base:.0f} MB; module less that: "
      f"{statistics.median(mm) - base:.0f} MB against the batch run's {statistics.median(bm):.0f} MB")

# Regions and the segmentation, in this process.
volume = orrery.read_volume(BRAIN)
tree = orrery.contour_tree(volume, threads=2)
sizes = {}
best = None
for k in range(1, len(tree)):
    n = int(tree.region(k).sum())
    if best is None or abs(n - 1000) < abs(sizes[best] - 1000):
        sizes[k] = n
        best = k
        if abs(n - 1000) <= 50:
            break
    else:
        sizes[k] = n
times = []
for _ in range(20):
    t = time.perf_counter()
    tree.region(best)
    times.append(time.perf_counter() - t)
print(f"region of branch {best} ({sizes[best]} voxels): {spread([1000 * t for t in times])} ms (goal < 50 ms)")
times = []
for _ in range(3):
    t = time.perf_counter()
    labels = tree.segmentation()
    times.append(time.perf_counter() - t)
print(f"segmentation of {len(tree)} branches, {labels.size} voxels: {spread(times)} s (goal < 2 s)")
