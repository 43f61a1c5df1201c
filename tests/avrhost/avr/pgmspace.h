// On the host, flash is memory like any other.
#pragma once

#define PROGMEM
#define pgm_read_byte(address) (*(const unsigned char *)(address))
#define pgm_read_ptr(address) (*(void *const *)(address))
