// The display driver, compiled as C++ on the host so that its registers can be
// the stand-ins of avrhost/avr/io.h.
#include "tesselon_display.c"
