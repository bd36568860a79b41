#!/usr/bin/env python3
"""The ten most persistent features of an MRI brain, where they are and how
big, with two pictures: the persistence diagram and a slice through the
largest feature with its voxels outlined.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/brain.py [SCAN] [OUTPUT_FOLDER]

SCAN defaults to the ch2 template of mricron-data, OUTPUT_FOLDER to samples/.
"""
import os
import sys

import matplotlib

matplotlib.use(os.environ.get("MPLBACKEND", "Agg"))
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import orrery  # noqa: E402

scan = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/mricron/templates/ch2.nii.gz"
out = sys.argv[2] if len(sys.argv) > 2 else "samples"
os.makedirs(out, exist_ok=True)

volume = orrery.read_volume(scan)
print(f"{scan}: {volume.values.shape[::-1]} voxels (x, y, z) of {volume.dtype}, spacing {volume.spacing} mm")
tree = orrery.contour_tree(volume)
branches = tree.branches
print(f"{len(tree)} branches; the root spans {branches['w0'][0]:g} .. {branches['w1'][0]:g}")

# Branches come most persistent first; the root (0) is the whole scan.
print(f"{'branch':>6} {'kind':>7} {'persistence':>11} {'value':>6} {'x mm':>7} {'y mm':>7} {'z mm':>7} {'voxels':>8}")
for k in range(1, min(11, len(tree))):
    b = branches[k]
    kind = "maximum" if b["w0"] > b["w1"] else "minimum"
    voxels = int(tree.region(k).sum())
    print(f"{k:>6} {kind:>7} {b['persist']:>11g} {b['w0']:>6g} {b['x0']:>7.1f} {b['y0']:>7.1f} {b['z0']:>7.1f} {voxels:>8}")

# The persistence diagram: every branch as (birth, death).
diagram, _ = tree.pairs()
fig, ax = plt.subplots(figsize=(5, 5))
high = diagram.max()
ax.plot([0, high], [0, high], color="grey", linewidth=0.5)
ax.scatter(diagram[1:, 0], diagram[1:, 1], s=2, alpha=0.3, label="branches")
ax.scatter(diagram[1:11, 0], diagram[1:11, 1], s=20, color="red", label="ten most persistent")
ax.set_xlabel("birth (lower value)")
ax.set_ylabel("death (upper value)")
ax.set_title(f"persistence diagram of {os.path.basename(scan)}")
ax.legend(loc="lower right")
fig.savefig(os.path.join(out, "brain-diagram.png"), dpi=120)
plt.close(fig)

# The largest of the ten features by voxel count, in the axial slice through its free end.
largest = max(range(1, min(11, len(tree))), key=lambda k: tree.region(k).sum())
region = tree.region(largest)
z, y, x = np.unravel_index(branches["i0"][largest], volume.values.shape)
fig, ax = plt.subplots(figsize=(6, 6))
ax.imshow(volume.values[z], cmap="gray", origin="lower")
ax.contour(region[z], levels=[0.5], colors="red", linewidths=1)
ax.plot([x], [y], "y+", markersize=12)
ax.set_title(f"branch {largest}: {int(region.sum())} voxels, slice z = {z}")
fig.savefig(os.path.join(out, "brain-feature.png"), dpi=120)
plt.close(fig)
print(f"wrote {os.path.join(out, 'brain-diagram.png')} and {os.path.join(out, 'brain-feature.png')}")
