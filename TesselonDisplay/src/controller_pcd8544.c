/* The PCD8544, the Nokia 5110's controller: its set-up, its addressing and
 * its panel, on the SPI. Its banks of 84 bytes are pages. */
#include "tesselon_driver.h"

#if TD_HAS_SPI

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
 * Its own stream: the SPI's, but for the commands. Power-down (off) is
 * sent blank: the display blank first, as the glass may otherwise keep a
 * fading picture. Power-up among the basic instructions (on, or the end
 * of a contrast) then brings back the display mode in force, normal or
 * inverted, which is kept in RESET's byte, free once init has pulsed it;
 * its top bit is set while the display is blank for power-down.
 */
#define FUNCTION_SET 0x20
#define POWER_DOWN 0x04
#define DISPLAY_BLANK 0x08
#define BLANK_FOR_POWER_DOWN 0x80

static void pcd8544_init(tesselon_display *display)
{
    td_spi_init(display);
    display->bus.spi.reset = DISPLAY_BLANK; /* as the set-up leaves it */
}

static void pcd8544_command(tesselon_display *display, uint8_t byte)
{
    uint8_t *mode = &display->bus.spi.reset;
    if ((byte & 0xF8) == FUNCTION_SET && byte & POWER_DOWN) {
        const uint8_t blank = DISPLAY_BLANK;
        td_spi_send(display, &blank, 1, 0);
        *mode |= BLANK_FOR_POWER_DOWN;
    } else if ((byte & 0xFA) == DISPLAY_BLANK) /* display control: D in bit 2, E in bit 0 */
        *mode = byte | (*mode & BLANK_FOR_POWER_DOWN);
    td_spi_send(display, &byte, 1, 0);
    if (byte == FUNCTION_SET && *mode & BLANK_FOR_POWER_DOWN) {
        *mode &= ~BLANK_FOR_POWER_DOWN;
        td_spi_send(display, mode, 1, 0);
    }
}

static void pcd8544_send(tesselon_display *display, const uint8_t *bytes, uint8_t count,
                         uint8_t in_flash)
{
    for (; count; count--)
        pcd8544_command(display, TD_NEXT_BYTE(bytes, in_flash));
}

/* Powered up and down for on and off; normal and inverted display. The
 * contrast is its operating voltage, VLCD = 3.06 V + 0.06 V x Vop, set
 * among the extended instructions (which also power it up) within the
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
                   .needs_reset = 1},
    .columns = 84,
    .rows = 48,
    .first_column = 0,
    .ram_columns = 84,
    .spi_clock = TD_SPI_CLOCK(4000000UL),
};

#endif
