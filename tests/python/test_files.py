"""Volumes read as --data reads them; tree files byte for byte as --ct
writes them; trees read back with the program's checks."""
import os
import subprocess

import numpy as np
import pytest

import orrery
from conftest import BRAIN, random_field


def cli_tree(exe, tmp_path, data, *options):
    out = tmp_path / (os.path.basename(str(data)) + ".cli.ctree.ply")
    subprocess.run([exe, "--batch", "--data", str(data), *options, "--ct", str(out)], check=True,
                   capture_output=True)
    return out.read_bytes()


def test_save_writes_the_bytes_of_the_command_line_on_samples(orrery_exe, samples, tmp_path):
    for name, options, swap in [("bumps64.raw", ["--dim", "64", "64", "64"], True),
                                ("bumps64-le.raw", ["--dim", "64", "64", "64", "--swapbyte", "0"], False),
                                ("series.02.raw", ["--dim", "48", "48", "48"], True)]:
        size = int(options[1])
        volume = orrery.read_volume(str(samples / name), dim=(size,) * 3, dtype="float", swapbyte=swap)
        assert volume.values.dtype == np.float32 and volume.values.shape == (size,) * 3
        mine = tmp_path / "py.ctree.ply"
        orrery.contour_tree(volume).save(str(mine))
        assert mine.read_bytes() == cli_tree(orrery_exe, tmp_path, samples / name, *options), name


@pytest.mark.skipif(not os.path.exists(BRAIN), reason="ch2 of mricron-data is not installed")
def test_save_writes_the_bytes_of_the_command_line_on_the_brain(orrery_exe, tmp_path):
    volume = orrery.read_volume(BRAIN)
    assert volume.values.shape == (181, 217, 181) and volume.values.dtype == np.uint8
    tree = orrery.contour_tree(volume, threads=2)
    mine = tmp_path / "ch2.ctree.ply"
    tree.save(str(mine))
    assert mine.read_bytes() == cli_tree(orrery_exe, tmp_path, BRAIN)
    # The same values as a plain array: the same branches.
    again = orrery.contour_tree(volume.values, spacing=volume.spacing, origin=volume.origin)
    np.testing.assert_array_equal(again.branches, tree.branches)


def test_load_tree_reads_back_what_save_wrote(tmp_path):
    path = tmp_path / "field_9x8x7_float32.raw"
    values = random_field((7, 8, 9), 4).astype("<f4")
    values.tofile(path)
    volume = orrery.read_volume(str(path))
    np.testing.assert_array_equal(volume.values, values)
    tree = orrery.contour_tree(volume)
    tree.save(str(tmp_path / "t.ctree.ply"))
    back = orrery.load_tree(str(tmp_path / "t.ctree.ply"), volume)
    np.testing.assert_array_equal(back.branches, tree.branches)
    np.testing.assert_array_equal(back.region(3), tree.region(3))
    # Another field's tree is refused, naming the file.
    other = volume.values.copy()
    other[0, 0, 0] += 1
    with pytest.raises(OSError, match="t.ctree.ply"):
        orrery.load_tree(str(tmp_path / "t.ctree.ply"), other)
    # A simplified tree is not the field's whole tree: its free ends are
    # fewer than the field's minima and maxima.
    tree.simplify(max_branches=3).save(str(tmp_path / "s.ctree.ply"))
    with pytest.raises(OSError, match=r"s\.ctree\.ply.*free ends \(minima and maxima\)"):
        orrery.load_tree(str(tmp_path / "s.ctree.ply"), volume)


def test_read_volume_refuses_with_the_programs_words(tmp_path):
    with pytest.raises(OSError, match="nothing.nii"):
        orrery.read_volume(str(tmp_path / "nothing.nii"))
    path = tmp_path / "short_4x4x4_uint8.raw"
    np.zeros(60, np.uint8).tofile(path)
    with pytest.raises(OSError, match="short_4x4x4_uint8.raw"):
        orrery.read_volume(str(path))
    with pytest.raises(ValueError, match="dtype"):
        orrery.read_volume(str(path), dtype="complex128")
    with pytest.raises(OSError):
        orrery.read_volume(str(tmp_path / "plain.raw"))  # no size given


def test_save_to_an_unwritable_place_raises_os_error(tmp_path):
    tree = orrery.contour_tree(random_field((3, 3, 3), 2))
    with pytest.raises(OSError, match="no/such/folder"):
        tree.save(str(tmp_path / "no/such/folder/t.ctree.ply"))
    # A name the file library would complete is refused, nothing written.
    with pytest.raises(ValueError, match=r"ends in \.ply"):
        tree.save(str(tmp_path / "t.txt"))
    assert list(tmp_path.iterdir()) == []


def test_layout_moves_positions_and_keeps_the_structure():
    tree = orrery.contour_tree(random_field((6, 6, 6), 7))
    laid = tree.layout()
    b = tree.branches
    for name in ["v0", "w0", "v1", "w1", "persist", "parent", "i0", "i1"]:
        np.testing.assert_array_equal(laid[name], b[name])
    assert np.isfinite(laid["x0"]).all() and not np.array_equal(laid["x0"], b["x0"])


def test_threads_sharing_a_volume_get_its_geometry(tmp_path):
    """Trees of one Volume computed from several Python threads at once keep
    the volume's spacing and origin, and the results of one at a time."""
    from concurrent.futures import ThreadPoolExecutor

    path = tmp_path / "grid_24x20x16_float32.raw"
    random_field((16, 20, 24), 6).astype("<f4").tofile(path)
    volume = orrery.read_volume(str(path), spacing=(0.5, 2, 3), origin=(1, 2, 3))
    alone = orrery.contour_tree(volume).branches
    with ThreadPoolExecutor(4) as pool:
        trees = list(pool.map(lambda _: orrery.contour_tree(volume, threads=1), range(8)))
        surfaces = list(pool.map(lambda _: orrery.isosurface(volume, 0.5)[0], range(4)))
    for tree in trees:
        np.testing.assert_array_equal(tree.branches, alone)
    for vertices in surfaces:
        np.testing.assert_array_equal(vertices, surfaces[0])
    assert volume.spacing == (0.5, 2, 3) and volume.origin == (1, 2, 3)
