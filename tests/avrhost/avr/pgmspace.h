// On the host, flash is memory like any other.
#pragma once

#define PROGMEM
#define pgm_read_byte(address) (*(const unsigned char *)(address))
#define pgm_read_ptr(address) (*(void *const *)(address))
#define pgm_read_word(address)                                                                     \
    ((unsigned short)(((const unsigned char *)(address))[0] |                                      \
                      ((const unsigned char *)(address))[1] << 8))
