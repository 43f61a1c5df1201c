/* The PCD8544, the Nokia 5110's controller: its set-up, its addressing and
 * its panel, on the SPI. Its banks of 84 bytes are pages. */
#include "tesselon_driver.h"

#if TD_SPI_BUS

/* After its reset pulse. Its operating voltage suits one module and not
 * another: setContrast sets it. */
static const uint8_t pcd8544_setup[] TD_LOW_FLASH(pcd8544_setup) = TD_SETUP(
    0x21, /* extended instructions, horizontal addressing, powered up */
    0xC0, /* operating voltage: Vop 64, 6.9 V */
    0x04, /* temperature coefficient 0 */
    0x13, /* bias 1:48, for its 48 rows */
    0x20, /* back to the basic instructions */
    0x08  /* display blank; normal display (0x0C) turns it on */
);

/* A page is its Y (the bank), a RAM column its X. */
static uint8_t pcd8544_address(td_page_line *line)
{
    line->out[0] = 0x40 | line->page;
    line->out[1] = 0x80 | line->column;
    return 2;
}

/*
 * Its own stream: the SPI's, but for on, off and invert, which come as
 * single commands. Off blanks the display before powering it down, as
 * the glass may otherwise keep a fading picture; on powers it up and
 * brings back the display mode in force, normal or inverted, which is
 * kept in RESET's byte, free once init has pulsed it. (begin sends normal
 * display and power-up together.)
 */
#define POWER_UP 0x20
#define POWER_DOWN 0x24
#define DISPLAY_BLANK 0x08
#define DISPLAY_NORMAL 0x0C

static void pcd8544_init(tesselon_display *display)
{
    td_spi_init(display);
    display->bus.spi.reset = DISPLAY_NORMAL; /* as begin leaves it */
}

static void pcd8544_send(tesselon_display *display, const uint8_t *bytes, uint8_t count,
                         uint8_t in_flash)
{
    uint8_t out[2];
    if (count == 1) {
        uint8_t *mode = &display->bus.spi.reset;
        const uint8_t command = TD_NEXT_BYTE(bytes, in_flash);
        out[0] = command == POWER_DOWN ? DISPLAY_BLANK : command;
        out[1] = command == POWER_UP ? *mode : command;
        if (command != POWER_UP && command != POWER_DOWN)
            *mode = command; /* normal or inverted: sent twice, which does no harm */
        bytes = out;
        count = 2;
        in_flash = 0;
    }
    td_spi_send(display, bytes, count, in_flash);
}

/* Powered up and down for on and off; normal and inverted display. The
 * contrast is its operating voltage, VLCD = 3.06 V + 0.06 V x Vop, set
 * among the extended instructions (which also power it up, its display
 * still blank when it is off) within the
 * 6.0 to 8.5 V its own generator may make: Vop 49 to 90. */
TD_PANEL(tesselon_display_pcd8544_spi) = {
    .stream = {.init = pcd8544_init,
               .begin = td_spi_begin,
               .send = pcd8544_send,
               .send_line = td_spi_send_line,
               .end = td_spi_end},
    .controller = {.setup = pcd8544_setup,
                   .address = pcd8544_address,
                   .commands = {.normal = 0x0C, .on = 0x20, .inverted = 0x0D, .off = 0x24},
                   .contrast = {.command = 0x21, .top = 90 - 49, .base = 0x80 | 49, .tail = 0x20},
                   .text_rows = 8,
                   .traits = TD_NEEDS_RESET},
    .columns = 84,
    .rows = 48,
    .first_column = 0,
    .ram_columns = 84,
    .spi_clock = TD_SPI_CLOCK(4000000UL),
};

#endif
