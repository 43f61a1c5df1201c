/* The ST7565 family of LCD controllers, the ST7567 and the UC1701: 65 x
 * 132 bits of RAM in pages as the OLEDs', their set-ups and their panels.
 * Page addressing, on, off, invert and the contrast command are the
 * OLEDs' (td_page_address). */
#include "tesselon_driver.h"

#if TD_I2C_BUS || TD_SPI_BUS

/* Every register another firmware may have changed, as on the OLEDs: an
 * I2C module has no reset line. The ST7567's booster makes the glass's
 * voltage from 3.3 V (4 times); the regulation ratio and the electronic
 * volume set it (setContrast changes the volume). The usual JLX12864
 * modules wire the glass upright to RAM columns 4 to 131 with the segment
 * order reversed and COM normal. */
static const uint8_t st7567_setup[] TD_LOW_FLASH(st7567_setup) = TD_SETUP(
    0xAE,       /* display off */
    0xEE,       /* out of read-modify-write mode */
    0xA2,       /* bias 1/9 */
    0xA1,       /* segment order reversed: RAM column 131 to SEG0 */
    0xC0,       /* COM scan from COM0 */
    0x40,       /* start line 0 */
    0x25,       /* regulation ratio 5.0 */
    0x81, 0x20, /* electronic volume 32 of 63 */
    0xF8, 0x00, /* booster 4 times */
    0x2F,       /* booster, regulator and follower on */
    0xA4        /* show the RAM */
);

/* The UC1701's "Mini12864" modules: upright with the segment order
 * normal and the COM scan reversed, RAM columns 0 to 127. Its own charge
 * pump needs no booster command. */
static const uint8_t uc1701_setup[] TD_LOW_FLASH(uc1701_setup) = TD_SETUP(
    0xAE,       /* display off */
    0xEE,       /* out of cursor update mode */
    0xA2,       /* bias 1/9 */
    0xA0,       /* segment order normal */
    0xC8,       /* COM scan from the last COM */
    0x40,       /* start line 0 */
    0x23,       /* resistor ratio */
    0x81, 0x20, /* electronic volume 32 of 63 */
    0x2F,       /* booster, regulator and follower on */
    0xA4        /* show the RAM */
);

/* Contrast 0 to 63, the electronic volume. Over SPI the registers are
 * undefined until a reset pulse; the I2C modules reset themselves. Each
 * turns its glass with its segment and COM directions; upright, the
 * ST7567's modules reverse the segments (0xA1), the UC1701's the COMs
 * (0xC8). */
#define ST7565_PANEL(bus, setup, traits, first)                                                    \
    {                                                                                              \
        .stream = TD_BUS_STREAM(bus), .controller = TD_PAGE_CONTROLLER(setup, 63, TD_TURNS | traits), \
        .columns = 128, .rows = 64, .first_column = first, .ram_columns = 132,                     \
        .spi_clock = TD_SPI_CLOCK(4000000UL)                                                       \
    }

#if TD_I2C_BUS
TD_PANEL(tesselon_display_st7567_i2c) =
    ST7565_PANEL(i2c, st7567_setup, TD_UPRIGHT_SEGMENTS_REVERSED, 4);
#endif

#if TD_SPI_BUS
TD_PANEL(tesselon_display_st7567_spi) =
    ST7565_PANEL(spi, st7567_setup, TD_NEEDS_RESET | TD_UPRIGHT_SEGMENTS_REVERSED, 4);
TD_PANEL(tesselon_display_uc1701_spi) =
    ST7565_PANEL(spi, uc1701_setup, TD_NEEDS_RESET | TD_UPRIGHT_COMS_REVERSED, 0);
#endif

#endif
