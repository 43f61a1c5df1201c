/* Prints both arrays as tesselon's hexadecimal bytes, one array a line. */
#include <stdio.h>

#define PROGMEM /* the arrays live in ordinary memory here */
#include "art/heart.h"
#include "smiley.h"
#include "smiley.h" /* a second include changes nothing */

static void print(const unsigned char *bytes, unsigned count) {
    for (unsigned i = 0; i < count; i++)
        printf("0x%02X%s", bytes[i], i + 1 < count ? " " : "\n");
}

int main(void) {
    print(smiley, sizeof smiley);
    print(heart, sizeof heart);
    return 0;
}
