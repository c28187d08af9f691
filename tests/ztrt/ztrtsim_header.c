/* The control API must stay usable from plain C. */
#include "ztrtsim.h"

int ztrtsim_header_is_c(void);
int ztrtsim_header_is_c(void) { return ZTRTSIM_FN_COUNT; }
