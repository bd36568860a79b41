"""Isosurfaces against scikit-image's marching cubes, and the spectrum."""
import numpy as np
from skimage import measure

import orrery


def ball(shape, centre):
    z, y, x = np.indices(shape)
    return np.sqrt((x - centre[0]) ** 2 + (y - centre[1]) ** 2 + (z - centre[2]) ** 2).astype(np.float32)


def area(vertices, triangles):
    a, b, c = (vertices[triangles[:, k]].astype(np.float64) for k in range(3))
    return 0.5 * np.linalg.norm(np.cross(b - a, c - a), axis=1).sum()


def test_sphere_area_matches_scikit_image_and_the_formula():
    values = ball((30, 32, 34), (16.3, 15.1, 14.2))
    vertices, triangles = orrery.isosurface(values, 9.0)
    assert vertices.dtype == np.float32 and vertices.shape[1] == 3
    assert triangles.dtype == np.int32 and triangles.max() < len(vertices)
    theirs = measure.marching_cubes(values, 9.0)
    reference = measure.mesh_surface_area(theirs[0], theirs[1])
    assert abs(area(vertices, triangles) - reference) < 0.02 * reference
    assert abs(area(vertices, triangles) - 4 * np.pi * 81) < 0.03 * 4 * np.pi * 81
    # Positions are (x, y, z): the centre comes back in that order.
    np.testing.assert_allclose(vertices.mean(axis=0), (16.3, 15.1, 14.2), atol=0.2)


def test_spacing_and_origin_place_the_surface_in_the_scans_units():
    values = ball((20, 20, 20), (10, 10, 10))
    v1, t1 = orrery.isosurface(values, 6.0)
    v2, t2 = orrery.isosurface(values, 6.0, spacing=(2, 3, 0.5), origin=(100, 0, -5))
    np.testing.assert_array_equal(t1, t2)
    np.testing.assert_allclose(v2, v1 * np.array([2, 3, 0.5], np.float32) + np.array([100, 0, -5]), rtol=1e-5)


def test_spectrum_volume_signature_falls_with_the_isovalue():
    values = ball((16, 16, 16), (8, 8, 8))
    spectrum = orrery.spectrum(values, samples=32)
    assert spectrum
    for fx, fy in spectrum.values():
        assert fx.shape == fy.shape == (32,)
        assert (np.diff(fx) > 0).all()


def pieces(vertex_count, triangles):
    from scipy.sparse import coo_matrix
    from scipy.sparse.csgraph import connected_components
    edges = np.concatenate([triangles[:, [0, 1]], triangles[:, [1, 2]]])
    graph = coo_matrix((np.ones(len(edges)), (edges[:, 0], edges[:, 1])), shape=(vertex_count, vertex_count))
    used = np.zeros(vertex_count, bool)
    used[triangles.ravel()] = True
    count, labels = connected_components(graph, directed=False)
    return len(np.unique(labels[used]))


def test_tetrahedral_pieces_are_the_branches_that_span_the_isovalue():
    # Each branch is a monotone path of the contour tree, so the arcs that
    # cross a value are one per branch whose ends lie on either side of it.
    rng = np.random.default_rng(7)
    z, y, x = np.indices((14, 15, 16)) / 4.0
    for noise in (0.0005, 0.05, 0.5):
        values = np.sin(x) * np.cos(y) + np.sin(z) + noise * rng.standard_normal(x.shape)
        branches = orrery.contour_tree(values).branches
        lo, hi = np.minimum(branches["w0"], branches["w1"]), np.maximum(branches["w0"], branches["w1"])
        for isovalue in np.quantile(values, [0.1, 0.3, 0.5, 0.7, 0.9]) + 1e-7:
            vertices, triangles = orrery.isosurface(values, isovalue, tetrahedra=True)
            assert pieces(len(vertices), triangles) == int(((lo < isovalue) & (isovalue < hi)).sum())
    cubes = orrery.isosurface(values, 0.0)[1]
    assert len(orrery.isosurface(values, 0.0, tetrahedra=True)[1]) > len(cubes)
