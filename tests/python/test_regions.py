"""Feature regions and segmentations against scipy.ndimage.label."""
import numpy as np
import pytest
from scipy import ndimage

import orrery
from conftest import random_field

# The grid's 14 neighbours: the edges of the six tetrahedra of a cube cut
# along its (0,0,0)-(1,1,1) diagonal, as (dz, dy, dx) in [z, y, x] order.
STEPS = [(0, 0, 1), (0, 1, 0), (1, 0, 0), (0, 1, 1), (1, 0, 1), (1, 1, 0), (1, 1, 1)]
STRUCTURE = np.zeros((3, 3, 3), bool)
STRUCTURE[1, 1, 1] = True
for dz, dy, dx in STEPS:
    STRUCTURE[1 + dz, 1 + dy, 1 + dx] = STRUCTURE[1 - dz, 1 - dy, 1 - dx] = True

SHAPES = [(2, 2, 2), (3, 4, 5), (6, 5, 4), (9, 7, 8), (4, 12, 10)]


def scipy_region(values, w0, w1, i0):
    """The component holding voxel i0 of the voxels beyond w1 on w0's side."""
    beyond = values > w1 if w0 > w1 else values < w1
    labels, _ = ndimage.label(beyond, structure=STRUCTURE)
    return labels == labels.ravel()[i0]


def test_structure_has_fourteen_neighbours():
    assert STRUCTURE.sum() == 15


@pytest.mark.parametrize("shape", SHAPES)
@pytest.mark.parametrize("seed", range(3))
def test_regions_match_scipy_components(shape, seed):
    values = random_field(shape, seed)
    tree = orrery.contour_tree(values)
    b = tree.branches
    assert tree.region(0).all()
    for k in range(1, len(tree)):
        expected = scipy_region(values, b["w0"][k], b["w1"][k], b["i0"][k])
        got = tree.region(k)
        assert got.dtype == bool and got.shape == shape
        np.testing.assert_array_equal(got, expected, err_msg=f"branch {k}")


def subtree_of(parents, top):
    inside = np.zeros(len(parents), bool)
    inside[top] = True
    for k in range(top + 1, len(parents)):  # parents stand before children
        inside[k] = parents[k] >= 0 and inside[parents[k]]
    return inside


@pytest.mark.parametrize("seed", range(4))
def test_segmentation_covers_each_region_with_its_subtree(seed):
    values = random_field((7, 8, 6), seed)
    tree = orrery.contour_tree(values)
    labels = tree.segmentation()
    assert labels.dtype == np.int32 and labels.shape == values.shape
    parents = tree.branches["parent"]
    for k in range(len(tree)):
        inside = subtree_of(parents, k)
        region = scipy_region(values, *tree.branches[["w0", "w1", "i0"]][k]) if k else np.ones(values.shape, bool)
        assert inside[labels[region]].all(), f"branch {k}"
        # The free end lies on its own branch's arc unless a child hangs there.
    ends = tree.branches["i0"]
    assert (labels.ravel()[ends[1:]] >= 1).all()


def test_segmentation_of_a_pruned_tree_names_only_kept_branches():
    values = random_field((10, 9, 8), 11)
    tree = orrery.contour_tree(values)
    threshold = np.sort(tree.branches["persist"])[-6]
    labels = tree.segmentation(min_persistence=threshold)
    kept = np.flatnonzero(tree.branches["persist"] >= threshold)
    assert set(np.unique(labels)) <= set(kept) | {0}
    simple = tree.simplify(min_persistence=threshold)
    np.testing.assert_array_equal(simple.source_branches, kept)
    # The pruned tree's own segmentation, mapped back, is the same picture.
    np.testing.assert_array_equal(simple.source_branches[simple.segmentation()], labels)


def test_regions_follow_index_order_on_ties():
    """A plateau: the tree orders equal values by index, so must the region."""
    values = np.zeros((3, 3, 4))
    values[1, 1, 1] = values[1, 1, 2] = 2.0  # one flat maximum of two voxels
    values[0, 0, 0] = -1.0
    tree = orrery.contour_tree(values)
    index = np.arange(values.size).reshape(values.shape)
    b = tree.branches
    for k in range(1, len(tree)):
        w1, i1 = b["w1"][k], b["i1"][k]
        if b["w0"][k] > w1 or (b["w0"][k] == w1 and b["i0"][k] > i1):
            beyond = (values > w1) | ((values == w1) & (index > i1))
        else:
            beyond = (values < w1) | ((values == w1) & (index < i1))
        labels, _ = ndimage.label(beyond, structure=STRUCTURE)
        np.testing.assert_array_equal(tree.region(k), labels == labels.ravel()[b["i0"][k]])


def test_branch_numbers_out_of_range_raise_index_error():
    tree = orrery.contour_tree(random_field((3, 3, 3), 1))
    with pytest.raises(IndexError):
        tree.region(len(tree))
    assert tree.region(-1).shape == (3, 3, 3)
