"""Persistence pairs against GUDHI's lower-star persistence on the same
triangulation of the grid (six tetrahedra per cube around its main
diagonal): the minima pair in the sublevel sets of the values, the maxima
in those of the negated values (on a box, a maximum's component ends at
a saddle, which the 2-dimensional classes of a box do not see)."""
import itertools

import gudhi
import numpy as np
import pytest

import orrery
from conftest import random_field


def freudenthal_simplex_tree(values):
    nz, ny, nx = values.shape
    flat = values.ravel()
    st = gudhi.SimplexTree()
    index = lambda x, y, z: x + nx * (y + ny * z)
    for z, y, x in itertools.product(range(nz - 1), range(ny - 1), range(nx - 1)):
        for order in itertools.permutations(range(3)):
            p = [x, y, z]
            tet = [index(*p)]
            for axis in order:
                p[axis] += 1
                tet.append(index(*p))
            st.insert(tet)
    for simplex, _ in list(st.get_simplices()):
        st.assign_filtration(simplex, float(flat[simplex].max()))
    st.make_filtration_non_decreasing()
    return st


def components(values):
    st = freudenthal_simplex_tree(values)
    st.compute_persistence()
    return st.persistence_intervals_in_dimension(0)


def gudhi_pairs(values):
    """(lower, upper) per extremum but the global minimum, then (min, max)."""
    pairs = [(b, d) for b, d in components(values) if np.isfinite(d)]
    pairs += [(-d, -b) for b, d in components(-values) if np.isfinite(d)]
    return pairs + [(values.min(), values.max())]


@pytest.mark.parametrize("shape", [(2, 2, 2), (3, 3, 3), (4, 3, 5), (5, 6, 4), (7, 7, 6)])
@pytest.mark.parametrize("seed", range(4))
def test_pairs_share_gudhis_counts_and_end_values(shape, seed):
    values = random_field(shape, seed)
    diagram, ends = orrery.contour_tree(values).pairs()
    expected = gudhi_pairs(values)
    assert diagram.shape == (len(expected), 2)
    # Branches are cut least persistent first, which can hand a saddle to
    # another extremum than the elder rule would: the values at the ends
    # are the same multiset either way.
    np.testing.assert_array_equal(np.sort(diagram.ravel()), np.sort(np.ravel(expected)))
    assert (diagram[:, 0] <= diagram[:, 1]).all()
    np.testing.assert_array_equal(values.ravel()[ends], diagram)


def test_pairs_of_a_single_cube_are_gudhis_exactly():
    for seed in range(20):
        values = random_field((2, 2, 2), seed)
        diagram, _ = orrery.contour_tree(values).pairs()
        assert sorted(map(tuple, diagram)) == sorted(gudhi_pairs(values))


def test_critical_points_are_the_ends_with_their_kinds():
    values = random_field((6, 5, 7), 3)
    tree = orrery.contour_tree(values)
    index, kind = tree.critical_points()
    b = tree.branches
    assert set(index) == set(b["i0"]) | set(b["i1"])
    kinds = dict(zip(index, kind))
    assert kinds[values.argmin()] == "minimum" and kinds[values.argmax()] == "maximum"
    flat = values.ravel()
    for i0, i1 in zip(b["i0"][1:], b["i1"][1:]):
        assert kinds[i1] == "saddle"
        assert kinds[i0] == ("maximum" if flat[i0] > flat[i1] else "minimum")


def terrain(n, seed):
    """An n x n grid of points cut into triangles, with tie-free heights."""
    y, x = np.mgrid[0:n, 0:n]
    vertices = np.column_stack([x.ravel(), np.zeros(n * n), y.ravel()]).astype(float)
    faces = []
    for j in range(n - 1):
        for i in range(n - 1):
            a = i + n * j
            faces += [(a, a + 1, a + n + 1), (a, a + n + 1, a + n)]
    return vertices, np.array(faces), random_field((n * n,), seed)


def triangle_components(faces, values):
    st = gudhi.SimplexTree()
    for f in faces:
        st.insert(list(f))
    for simplex, _ in list(st.get_simplices()):
        st.assign_filtration(simplex, float(values[simplex].max()))
    st.make_filtration_non_decreasing()
    st.compute_persistence()
    return [(b, d) for b, d in st.persistence_intervals_in_dimension(0) if np.isfinite(d)]


@pytest.mark.parametrize("seed", range(4))
def test_mesh_trees_share_gudhis_end_values(seed):
    vertices, faces, values = terrain(7, seed)
    tree = orrery.mesh_contour_tree(vertices, faces, values)
    diagram, ends = tree.pairs()
    expected = triangle_components(faces, values) + [(-d, -b) for b, d in triangle_components(faces, -values)]
    expected.append((values.min(), values.max()))
    assert len(diagram) == len(expected)
    np.testing.assert_array_equal(np.sort(diagram.ravel()), np.sort(np.ravel(expected)))
    np.testing.assert_array_equal(values[ends], diagram)
    with pytest.raises(ValueError, match="grid"):
        tree.region(1)


def test_meshes_the_program_would_refuse_raise():
    vertices, faces, values = terrain(4, 1)
    with pytest.raises(ValueError, match="face 2 names vertex 99"):
        bad = faces.copy()
        bad[2, 1] = 99
        orrery.mesh_contour_tree(vertices, bad, values)
    with pytest.raises(ValueError, match="one number per vertex"):
        orrery.mesh_contour_tree(vertices, faces, values[:-1])
    two = np.vstack([faces, faces + len(vertices)])
    with pytest.raises(ValueError, match="components"):
        orrery.mesh_contour_tree(np.vstack([vertices, vertices + 10]), two, np.concatenate([values, values + 1]))
