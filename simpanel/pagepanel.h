/*
 * Virtual page-memory controllers for simavr, each written from its
 * datasheet: the SH1106 (V2.3: 132 x 64 bits of RAM, I2C or 4-wire SPI),
 * the SH1107 (128 x 128 in 16 pages), the SSD1309 (128 x 64), the ST7567
 * and UC1701 LCDs (the ST7565 family: 132 x 64 and an icon page), all on
 * I2C or 4-wire SPI (the UC1701 on SPI alone), and the PCD8544 (84 x 48
 * in 6 banks, 4-wire SPI alone). Each takes its own commands with their
 * arguments on I2C (control bytes with or without the Co bit) or SPI (CS,
 * D/C, RESET). They are strict: any byte that is no command or argument of
 * the controller, data past the last column, an SPI clock above the
 * datasheet's, a byte before the reset pulse a controller needs, and a
 * glass turned on with RAM never written since power-up (it shows noise
 * then) are faults, kept in `fault`.
 */
#ifndef PAGEPANEL_H
#define PAGEPANEL_H

#include <stdint.h>

#include "sim_avr.h"
#include "sim_irq.h"

#define PAGEPANEL_COLUMNS 132
#define PAGEPANEL_PAGES 16

typedef enum { SH1106, SSD1309, PCD8544, ST7567, UC1701, SH1107 } pagepanel_kind;

typedef struct pagepanel {
    avr_t *avr;
    avr_irq_t *irq; /* the part's TWI input and output */
    pagepanel_kind kind;
    const char *name;
    int columns, pages;      /* the RAM's columns, and its pages on the glass */
    int width, height, coms; /* the glass, and the COM lines the controller drives */
    /* The module as wired: the RAM column at the glass's left edge and the
     * COM at its top row with the directions the set-up gives; mounted
     * upside down, the viewer sees it turned by 180 degrees. */
    int first_visible, top_com, upright_remap, upright_scan_reverse, upside_down;
    unsigned long max_clock; /* the fastest SPI clock the datasheet allows */
    const unsigned long *bus_clock; /* the SPI clock a USI model measured, or NULL */
    uint8_t ram[PAGEPANEL_PAGES][PAGEPANEL_COLUMNS];
    uint8_t written[PAGEPANEL_PAGES][PAGEPANEL_COLUMNS];
    uint8_t page, column;
    uint8_t awaiting, arguments; /* the command whose arguments come next, and how many */
    uint8_t display_on, reverse, entire_on, remap, scan_reverse, start_line, offset, dc_dc;
    uint8_t mux;                /* the multiplex ratio less one: COM0 to COM[mux] are driven */
    uint8_t addressing, locked; /* SSD1309 */
    uint8_t extended, vertical, power_down, mode; /* PCD8544: H, V, PD, and D and E */
    uint8_t vop;
    uint8_t power;       /* the ST7565 family: booster, regulator and follower */
    uint8_t needs_reset; /* its registers are undefined until a RES pulse */
    /* I2C */
    uint8_t address, selected, control_next, data, single;
    /* SPI */
    uint8_t cs, dc;
    unsigned long spi_clock; /* the fastest seen, in Hz */
    char fault[112];
} pagepanel_t;

/* The controller as at power-up: registers at their reset values, noise in
 * the RAM; the SH1107 with a glass width columns wide (128 or 64). */
void pagepanel_init(avr_t *avr, pagepanel_t *p, pagepanel_kind kind, int columns);

/* The module wired to show RAM column `column` at the glass's left edge
 * while upright, or mounted upside down. */
void pagepanel_wire(pagepanel_t *p, int column, int upside_down);

/* On an I2C bus at a 7-bit address: twi is the chip's TWI irqs, or the
 * USI model's, which carry the same messages. */
void pagepanel_connect_twi(pagepanel_t *p, uint8_t address, avr_irq_t *twi);

/* On an SPI bus (spi: the chip's SPI irqs, or the USI model's), with CS,
 * D/C and RESET on pins of port B; the clock from SPCR and SPSR, or where
 * bus_clock points (the USI model's measure). */
void pagepanel_connect_spi(pagepanel_t *p, avr_irq_t *spi, const unsigned long *bus_clock,
                           int cs_bit, int dc_bit, int reset_bit);

/* The glass's width and height in pixels as the module stands: 128 x 64,
 * the PCD8544's 84 x 48, the SH1107's 128 x 128 or 64 x 128. */
int pagepanel_width(const pagepanel_t *p);
int pagepanel_height(const pagepanel_t *p);

/* Whether the glass of the usual module is lit at column x, row y (0, 0
 * at the top left): the SH1106's shows RAM columns 2 to 129. */
int pagepanel_lit(const pagepanel_t *p, int x, int y);

/* Looks for noise on the glass; the first fault, or NULL. */
const char *pagepanel_check(pagepanel_t *p);

#endif
