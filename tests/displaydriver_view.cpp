// The display driver's view in a translation unit of its own, as the
// archive links it beside the core where a sketch calls it: its answers
// take the place of the core's weak ones.
#include "avr/io.h"
#include "view.c"
