"""The reference side of bench_isosurface.sh, run with Debian's python3.

  isosurface_peers.py time SAMPLES X Y Z ISO      one timing of each peer on the samples
  isosurface_peers.py counts PREFIX X Y Z ISO     counts of our surfaces and the peers'
  isosurface_peers.py summary ROUNDS_FILE         medians, spreads and ratios per round

SAMPLES: float32, x fastest. PREFIX: the files bench_isosurface --dump wrote.
The peers: scikit-image's marching_cubes, and VTK's flying edges and marching
cubes when python3-vtk9 happens to be installed (never required).
"""
import statistics
import sys
import time

import numpy as np


def load(path, x, y, z):
    return np.fromfile(path, dtype='<f4').reshape(z, y, x)


def have_vtk():
    try:
        import vtk  # noqa: F401
        return True
    except ImportError:
        return False


def vtk_image(v):
    import vtk
    from vtk.util import numpy_support
    img = vtk.vtkImageData()
    z, y, x = v.shape
    img.SetDimensions(x, y, z)
    img.GetPointData().SetScalars(numpy_support.numpy_to_vtk(v.ravel(), deep=True))
    return img


def vtk_surface(kind, img, iso):
    import vtk
    f = vtk.vtkFlyingEdges3D() if kind == 'fe' else vtk.vtkMarchingCubes()
    f.SetInputData(img)
    f.SetValue(0, float(iso))
    f.ComputeNormalsOn()
    t = time.perf_counter()
    f.Update()
    return time.perf_counter() - t, f.GetOutput()


def cmd_time(args):
    from skimage import measure
    path, x, y, z, iso = args[0], int(args[1]), int(args[2]), int(args[3]), float(args[4])
    v = load(path, x, y, z)
    t = time.perf_counter()
    measure.marching_cubes(v, iso)
    line = 'skimage %.4f' % (time.perf_counter() - t)
    if have_vtk():
        img = vtk_image(v)
        line += ' vtk_fe %.4f vtk_mc %.4f' % (vtk_surface('fe', img, iso)[0], vtk_surface('mc', img, iso)[0])
    print(line)


def counts(verts, tris):
    """Triangles as made; after welding by position: vertices, triangles
    that keep three corners, boundary edges (on one such triangle) and the
    Euler characteristic V - E + F."""
    made = len(np.asarray(tris).reshape(-1, 3))
    _, weld = np.unique(np.asarray(verts, dtype=np.float32).reshape(-1, 3), axis=0, return_inverse=True)
    weld = weld.ravel()
    t = weld[np.asarray(tris, dtype=np.int64).reshape(-1, 3)]
    t = t[(t[:, 0] != t[:, 1]) & (t[:, 1] != t[:, 2]) & (t[:, 0] != t[:, 2])]
    nv = int(weld.max()) + 1 if len(weld) else 0
    e = np.concatenate([t[:, [0, 1]], t[:, [1, 2]], t[:, [2, 0]]])
    e.sort(axis=1)
    keys, uses = np.unique(e[:, 0] * nv + e[:, 1], return_counts=True)
    used = len(np.unique(t))
    return made, used, len(t), int((uses == 1).sum()), used - len(keys) + len(t)


def row(name, c):
    print('%-22s %10d %10d %10d %10d %8d' % ((name,) + c))


def cmd_counts(args):
    from skimage import measure
    prefix, x, y, z, iso = args[0], int(args[1]), int(args[2]), int(args[3]), float(args[4])
    v = load(prefix + '.samples.f32', x, y, z)
    print('%-22s %10s %10s %10s %10s %8s' % ('surface', 'triangles', 'vertices', 'kept', 'boundary', 'euler'))
    for name, kind in (('orrery cubes', 'cube'), ('orrery tetrahedra', 'tet')):
        row(name, counts(np.fromfile(prefix + '.%s.f32' % kind, dtype='<f4'),
                         np.fromfile(prefix + '.%s.i32' % kind, dtype='<i4')))
    verts, faces, _, _ = measure.marching_cubes(v, iso)
    row('skimage marching_cubes', counts(verts[:, ::-1], faces))
    if have_vtk():
        from vtk.util import numpy_support
        img = vtk_image(v)
        for name, kind in (('vtk flying edges', 'fe'), ('vtk marching cubes', 'mc')):
            out = vtk_surface(kind, img, iso)[1]
            p = numpy_support.vtk_to_numpy(out.GetPoints().GetData())
            polys = numpy_support.vtk_to_numpy(out.GetPolys().GetData()).reshape(-1, 4)[:, 1:]
            row(name, counts(p, polys))


def cmd_summary(args):
    rows = []
    for line in open(args[0]):
        w = line.split()
        if w and w[0] == 'round':
            rows.append(dict(zip(w[2::2], map(float, w[3::2]))))
        elif w and w[0] == 'peers':
            rows[-1].update(dict(zip(w[1::2], map(float, w[2::2]))))
    if not rows:
        sys.exit('no rounds')

    def spread(values):
        return '%.3f s (%.3f .. %.3f)' % (statistics.median(values), min(values), max(values))

    def ratio(a, b):
        q = [r[a] / r[b] for r in rows if a in r and b in r]
        return '%.2f (%.2f .. %.2f)' % (statistics.median(q), min(q), max(q)) if q else '-'

    names = [k for k in rows[0] if all(k in r for r in rows)]
    for k in names:
        print('  %-8s %s' % (k, spread([r[k] for r in rows])))
    print('  ratios round by round, median (min .. max):')
    print('    cube surface, 1 thread / 2 threads:     ', ratio('cube1', 'cubeT'))
    print('    processor / wall time on 2 threads:     ', ratio('cpuT', 'cubeT'))
    print('    control: 2 threads twice the work / 1:  ', ratio('spin2', 'spin1'), '(1: two free cores)')
    print('    cube surface, 2 threads / skimage:      ', ratio('cubeT', 'skimage'))
    print('    tetrahedral, 2 threads / skimage:       ', ratio('tetT', 'skimage'))
    print('    windows\' first surface / skimage:       ', ratio('window', 'skimage'))
    if 'vtk_fe' in names:
        print('    cube surface, 2 threads / flying edges: ', ratio('cubeT', 'vtk_fe'))
        print('    tetrahedral, 2 threads / flying edges:  ', ratio('tetT', 'vtk_fe'))


if __name__ == '__main__':
    {'time': cmd_time, 'counts': cmd_counts, 'summary': cmd_summary}[sys.argv[1]](sys.argv[2:])
