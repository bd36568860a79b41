#pragma once
// Global settings taken from the command line and read by the layout and the
// spectrum code. They are plain globals: the program is single-threaded where
// they are read, and the command line is parsed before anything else runs.

// Orrery layout: scale child orbits by persistence (--notscale clears it).
extern bool LAYOUT_MULTIRES_TREE_SCALE;
// Orrery layout: aspect ratio of height to orbit radius (--aspect).
extern double LAYOUT_MULTIRES_TREE_ASPECT;
// Number of isovalue samples of the contour spectrum (--spectrum).
extern int FSAMPLES;
