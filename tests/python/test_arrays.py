"""What contour_tree takes: layouts and element types give the tree of the
same values; arrays the program would refuse raise ValueError."""
import numpy as np
import pytest

import orrery
from conftest import random_field


def same_tree(a, b):
    np.testing.assert_array_equal(a.branches, b.branches)


def test_fortran_ordered_array_gives_its_c_copys_tree():
    values = random_field((6, 7, 8), 2)
    fortran = np.asfortranarray(values)
    assert not fortran.flags.c_contiguous
    same_tree(orrery.contour_tree(fortran), orrery.contour_tree(values.copy(order="C")))


def test_strided_and_transposed_views_give_their_copys_tree():
    values = random_field((9, 8, 10), 4)
    view = values[::2, 1:, ::3]
    same_tree(orrery.contour_tree(view), orrery.contour_tree(np.ascontiguousarray(view)))
    t = values.T  # what nibabel's [x, y, z] arrays become
    same_tree(orrery.contour_tree(t), orrery.contour_tree(np.ascontiguousarray(t)))


@pytest.mark.parametrize("dtype", ["int8", "uint8", "int16", "uint16", "int32", "uint32", "float32", "float64",
                                   ">f4", ">i2"])
def test_every_element_type_the_program_reads(dtype):
    values = (random_field((5, 4, 6), 5) * 100).astype(dtype)
    same_tree(orrery.contour_tree(values), orrery.contour_tree(values.astype(np.float64)))


def test_indices_of_branch_ends_name_their_values():
    values = random_field((5, 6, 7), 8)
    b = orrery.contour_tree(values, spacing=(0.5, 2, 3), origin=(10, 20, 30)).branches
    flat = values.ravel()
    np.testing.assert_array_equal(flat[b["i0"]], b["w0"])
    np.testing.assert_array_equal(flat[b["i1"]], b["w1"])
    z, y, x = np.unravel_index(b["i0"], values.shape)
    np.testing.assert_allclose(b["x0"], 10 + 0.5 * x)
    np.testing.assert_allclose(b["y0"], 20 + 2 * y)
    np.testing.assert_allclose(b["z0"], 30 + 3 * z)
    assert b["parent"][0] == -1 and (b["parent"][1:] < np.arange(1, len(b))).all()
    assert list(b.dtype.names) == ["v0", "x0", "y0", "z0", "w0", "v1", "x1", "y1", "z1", "w1", "persist", "parent",
                                   "i0", "i1"]


def test_threads_do_not_change_the_tree():
    values = random_field((20, 18, 22), 6)
    same_tree(orrery.contour_tree(values, threads=1), orrery.contour_tree(values, threads=2))


@pytest.mark.parametrize("bad, words", [
    (np.zeros((4, 4)), "3-D"),
    (np.zeros((0, 4, 4)), "at least 2"),
    (np.zeros((1, 4, 4)), "at least 2"),
    (np.zeros((3, 3, 3), object), "type object"),
    (np.zeros((3, 3, 3), np.complex64), "cannot be read"),
    (np.zeros((3, 3, 3), np.int64), "cannot be read"),
    ("brain.nii", "read_volume"),
])
def test_bad_arrays_raise_value_error(bad, words):
    with pytest.raises(ValueError, match=words):
        orrery.contour_tree(bad)


@pytest.mark.parametrize("sample", [np.nan, np.inf, -np.inf, 1e31])
def test_values_the_sweep_cannot_order_raise(sample):
    values = random_field((3, 4, 5), 1)
    values[2, 1, 3] = sample
    with pytest.raises(ValueError, match="sample 48 "):
        orrery.contour_tree(values)


@pytest.mark.parametrize("spacing", [(1, 1), (0, 1, 1), (1, -2, 1), "abc"])
def test_bad_spacing_raises(spacing):
    with pytest.raises(ValueError, match="spacing"):
        orrery.contour_tree(random_field((3, 3, 3), 1), spacing=spacing)


def test_a_volume_with_another_spacing_raises(tmp_path):
    path = tmp_path / "cube_4x3x2_int16.raw"
    np.arange(24, dtype="<i2").tofile(path)
    volume = orrery.read_volume(str(path))
    assert volume.spacing == (1, 1, 1)
    with pytest.raises(ValueError, match="spacing"):
        orrery.contour_tree(volume, spacing=(2, 1, 1))
    assert len(orrery.contour_tree(volume, spacing=(1, 1, 1))) == 1


def test_progress_callback_hears_the_loops_and_silence_by_default(capfd):
    values = random_field((12, 12, 12), 3)
    heard = []
    orrery.contour_tree(values, progress=lambda label, done, total: heard.append((label, done, total)))
    assert heard and all(0 < done <= total for _, done, total in heard)
    capfd.readouterr()
    tree = orrery.contour_tree(values)
    tree.region(1), tree.segmentation(), tree.pairs(), tree.simplify(max_branches=2)
    out, err = capfd.readouterr()
    assert out == "" and err == ""
    with pytest.raises(ValueError, match="progress"):
        orrery.contour_tree(values, progress="loud")


def test_simplify_keeps_the_most_persistent_branches():
    tree = orrery.contour_tree(random_field((8, 8, 8), 9))
    persist = tree.branches["persist"]
    assert len(tree.simplify(max_branches=4)) == 4
    threshold = persist[len(tree) // 2]
    simple = tree.simplify(min_persistence=threshold)
    assert len(simple) == 1 + (persist[1:] >= threshold).sum()
    np.testing.assert_array_equal(simple.branches[["w0", "w1", "i0", "i1"]],
                                  tree.branches[["w0", "w1", "i0", "i1"]][simple.source_branches])
    with pytest.raises(ValueError):
        tree.simplify(max_branches=-1)
