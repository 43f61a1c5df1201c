/*
 * A virtual SH1106 OLED controller for simavr, written from the SH1106
 * datasheet (V2.3): 132 x 64 bits of RAM in 8 pages, page addressing, the
 * hardware set-up commands with their arguments, on I2C (control bytes
 * with or without the Co bit) or 4-wire SPI (CS, D/C, RESET). It is
 * strict: any byte that is no SH1106 command or argument, data past column
 * 131, an SPI clock above the datasheet's 4 MHz, and a display turned on
 * with RAM never written since power-up (it shows noise then) are faults,
 * kept in `fault`.
 */
#ifndef SH1106_H
#define SH1106_H

#include <stdint.h>

#include "sim_avr.h"
#include "sim_irq.h"

#define SH1106_COLUMNS 132
#define SH1106_PAGES 8

typedef struct sh1106 {
    avr_t *avr;
    avr_irq_t *irq; /* the part's TWI input and output */
    uint8_t ram[SH1106_PAGES][SH1106_COLUMNS];
    uint8_t written[SH1106_PAGES][SH1106_COLUMNS];
    uint8_t page, column;
    uint8_t awaiting; /* the command whose argument comes next, 0 for none */
    uint8_t display_on, reverse, entire_on, remap, scan_reverse, start_line, offset, dc_dc;
    /* I2C */
    uint8_t address, selected, control_next, data, single;
    /* SPI */
    uint8_t cs, dc;
    unsigned long spi_clock; /* the fastest seen, in Hz */
    char fault[96];
} sh1106_t;

/* The controller as at power-up: registers at their reset values, noise in the RAM. */
void sh1106_init(avr_t *avr, sh1106_t *p);

/* On the chip's TWI at a 7-bit address. */
void sh1106_connect_twi(sh1106_t *p, uint8_t address);

/* On the chip's SPI, with CS, D/C and RESET on pins of port B. */
void sh1106_connect_spi(sh1106_t *p, int cs_bit, int dc_bit, int reset_bit);

/* Whether the glass of the usual 128 x 64 module is lit at column x, row y
 * (0, 0 at the top left): it shows RAM columns 2 to 129. */
int sh1106_lit(const sh1106_t *p, int x, int y);

/* Looks for noise on the glass; the first fault, or NULL. */
const char *sh1106_check(sh1106_t *p);

#endif
