/*
 * A virtual ST7920 LCD controller for simavr in its serial mode (PSB tied
 * low), written from the ST7920 datasheet (V4.0): CS (the module's RS pin)
 * active high, bytes on the SPI as frames of three (a sync byte naming an
 * instruction or data, then the byte's high and low nibble at the top of a
 * byte each), the basic and extended instruction sets, and the graphics
 * memory of 32 rows of 16 words on a 128 x 64 glass. Nothing can be read,
 * so every instruction and data byte must wait for the one before to end:
 * 72 us, and as its initialisation flow asks, 100 us after a function set
 * and 10 ms after a clear; 40 ms after power-up or a reset. It is strict:
 * a frame sooner than its wait, an SPI clock above 2.5 MHz, a byte that is
 * no sync byte, instruction or argument, a function set that changes RE
 * and G at once, data to the text layer, a text layer never cleared,
 * graphics memory never written since power-up (it shows noise), and a
 * run that leaves a setting of an earlier firmware in place (see
 * st7920_warm) are faults, kept in `fault`.
 */
#ifndef ST7920_H
#define ST7920_H

#include <stdint.h>

#include "sim_avr.h"

typedef struct st7920 {
    avr_t *avr;
    uint16_t gdram[32][16];
    uint8_t written[32][16];
    uint8_t frame[3], received; /* the frame under way */
    avr_cycle_count_t ready;    /* when the instruction or data before has ended */
    unsigned wait_us;           /* how long the frame under way takes to execute */
    uint8_t extended, graphics, display_on, asleep, text_cleared;
    uint8_t standby, scroll_select, scroll, reversed, decrement;  /* what a cold start clears */
    uint8_t vertical, horizontal, vertical_set, graphics_address; /* GDRAM address */
    uint8_t high_byte, half;                                      /* a word's first byte */
    uint8_t cs;
    unsigned long spi_clock; /* the fastest seen, in Hz */
    const unsigned long *bus_clock; /* the clock a USI model measured, or NULL: SPCR's */
    char fault[112];
} st7920_t;

/* The controller as at power-up: noise in the graphics memory and on the text layer. */
void st7920_init(avr_t *avr, st7920_t *p);

/* The controller as an earlier firmware left it, which only a reset pulse
 * or the set-up undoes: state is one of "asleep", "graphics"
 * (extended instructions, graphics on), "basic-graphics" (basic
 * instructions, graphics on), "scroll" (a vertical scroll with its
 * address), "half-address" (a GDRAM row set, its word due), "standby",
 * "decrement" (the address counting down) and "reversed" (a line). 0, or
 * -1 for an unknown state. */
int st7920_warm(st7920_t *p, const char *state);

/* On an SPI bus (spi: the chip's SPI irqs, or the USI model's, whose
 * measured clock bus_clock points to), with CS and RESET on pins of port B
 * (reset_bit -1: RESET not wired). */
void st7920_connect(st7920_t *p, avr_irq_t *spi, const unsigned long *bus_clock, int cs_bit,
                    int reset_bit);

/* Whether the glass is lit at column x, row y (0, 0 at the top left). */
int st7920_lit(const st7920_t *p, int x, int y);

/* Looks for noise on the glass; the first fault, or NULL. */
const char *st7920_check(st7920_t *p);

#endif
