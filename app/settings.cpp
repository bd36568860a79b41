#include "app/settings.h"

bool LAYOUT_MULTIRES_TREE_SCALE = true;
double LAYOUT_MULTIRES_TREE_ASPECT = 1.0;
int FSAMPLES = 256;
