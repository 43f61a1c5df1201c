/* The OLED controllers SSD1306, SSD1309, SH1106 and SH1107: their
 * set-ups, their commands, their panels, and the page addressing they
 * share with the ST7565 family. */
#include "tesselon_driver.h"

#if TD_I2C_BUS || TD_SPI_BUS /* the buses these controllers are on */

/* Every register a firmware before may have changed is set, as a module
 * without a reset line (and one whose RESET is not wired) keeps them over
 * a restart of the chip: the glass after begin is the same after a cold
 * start and a warm one. Normal display and display on follow once the
 * RAM is cleared. */
#define SSD1306_SETUP(rows, com_pins, contrast)                                                    \
    0xAE,               /* display off */                                                          \
        0x2E,           /* scrolling off, which must come before the RAM is written */             \
        0xD5, 0x80,     /* clock: divide by 1, oscillator at its reset value */                    \
        0xA8, rows - 1, /* multiplex ratio */                                                      \
        0xD3, 0x00,     /* display offset 0 */                                                     \
        0x8D, 0x14,     /* charge pump on at display on: the panel's voltage from 3.3 V */         \
        0x20, 0x02,     /* page addressing, as the SH1106 has it */                                \
        0xA1,           /* segment remap: column 127 to SEG0 */                                    \
        0xC8,           /* COM scan from COM[N-1] to COM0 */                                       \
        0xDA, com_pins, /* COM pins: alternative (0x12) or sequential (0x02) */                    \
        0x81, contrast, /* contrast */                                                             \
        0xD9, 0xF1,     /* discharge 1 clock, pre-charge 15 clocks, for the charge pump */         \
        0xDB, 0x20,     /* VCOMH deselect level: 0.77 VCC */                                       \
        0x40,           /* start line 0 */                                                         \
        0xA4            /* show the RAM; simavr 1.6 takes it for 0x40's argument, harmless as it   \
                           is the reset state (on the chip 0x40 has none) */

static const uint8_t ssd1306_setup[] TD_LOW_FLASH(ssd1306_setup) =
    TD_SETUP(SSD1306_SETUP(64, 0x12, 0xCF));
static const uint8_t ssd1306_32_setup[] TD_LOW_FLASH(ssd1306_32_setup) =
    TD_SETUP(SSD1306_SETUP(32, 0x02, 0x8F));

/* The SSD1309 has the SSD1306's commands but for the charge pump: its
 * module supplies the panel's voltage. The timings are its reset values. */
static const uint8_t ssd1309_setup[] TD_LOW_FLASH(ssd1309_setup) = TD_SETUP(
    0xAE,       /* display off */
    0xFD, 0x12, /* commands unlocked: the reset state */
    0x2E,       /* scrolling off */
    0xD5, 0x70, /* clock: divide by 1, oscillator at its reset value */
    0xA8, 0x3F, /* multiplex ratio: 64 rows */
    0xD3, 0x00, /* display offset 0 */
    0x40,       /* start line 0 */
    0x20, 0x02, /* page addressing */
    0xA1,       /* segment remap: column 127 to SEG0 */
    0xC8,       /* COM scan from COM63 to COM0 */
    0xDA, 0x12, /* COM pins: alternative configuration */
    0x81, 0x7F, /* contrast: the reset value */
    0xD9, 0x22, /* discharge 2 clocks, pre-charge 2 clocks: the reset value */
    0xDB, 0x34, /* VCOMH deselect level: 0.78 VCC, the reset value */
    0xA4        /* show the RAM */
);

/* The SH1106 has no addressing modes, no scrolling but its start line, and
 * no charge pump command. */
static const uint8_t sh1106_setup[] TD_LOW_FLASH(sh1106_setup) = TD_SETUP(
    0xAE,       /* display off */
    0xEE,       /* out of read-modify-write mode */
    0xD5, 0x50, /* clock: divide by 1, oscillator at its reset value */
    0xA8, 0x3F, /* multiplex ratio: 64 rows */
    0xD3, 0x00, /* display offset 0 */
    0x40,       /* start line 0 */
    0xAD, 0x8B, /* DC-DC converter on at display on */
    0x32,       /* its output: 8.0 V, the reset value */
    0xA1,       /* segment remap: column 131 to SEG0 */
    0xC8,       /* COM scan from COM63 to COM0 */
    0xDA, 0x12, /* COM pads: alternative configuration */
    0x81, 0x80, /* contrast: the reset value */
    0xD9, 0x22, /* discharge 2 clocks, pre-charge 2 clocks: the reset value */
    0xDB, 0x35, /* VCOM deselect level: the reset value */
    0xA4        /* show the RAM */
);

/* The SH1107: 128 x 128 bits of RAM in 16 pages, page addressing its
 * default (0x20), the start line a double command (0xDC), the column's
 * high nibble 3 bits. The 128 x 128 modules show it upright with segment
 * and COM normal; the 64 x 128 ones columns 0 to 63, their 128 rows from
 * RAM row 0x60 on (the display offset). The timings are its reset values. */
#define SH1107_SETUP(offset)                                                                       \
    0xAE,               /* display off */                                                          \
        0xEE,           /* out of read-modify-write mode */                                        \
        0x20,           /* page addressing */                                                      \
        0xD5, 0x50,     /* clock: divide by 1, oscillator at its reset value */                    \
        0xA8, 0x7F,     /* multiplex ratio: 128 rows */                                            \
        0xD3, offset,   /* display offset */                                                       \
        0xDC, 0x00,     /* start line 0 */                                                         \
        0xAD, 0x8B,     /* DC-DC converter on at display on */                                     \
        0xA0,           /* segment order normal */                                                 \
        0xC0,           /* COM scan from COM0 */                                                   \
        0x81, 0x80,     /* contrast: the reset value */                                            \
        0xD9, 0x22,     /* discharge 2 clocks, pre-charge 2 clocks: the reset value */             \
        0xDB, 0x35,     /* VCOM deselect level: the reset value */                                 \
        0xA4            /* show the RAM */

static const uint8_t sh1107_setup[] TD_LOW_FLASH(sh1107_setup) = TD_SETUP(SH1107_SETUP(0x00));
static const uint8_t sh1107_64_setup[] TD_LOW_FLASH(sh1107_64_setup) = TD_SETUP(SH1107_SETUP(0x60));

/* Page addressing: the page, then the column's low and high nibbles,
 * built in the line's room, free until its page bytes are sent. */
uint8_t td_page_address(td_page_line *line)
{
    const uint8_t column = line->column;
    line->out[0] = 0xB0 | line->page;
    line->out[1] = column & 15;
    line->out[2] = 0x10 | column >> 4;
    return 3;
}

/* An OLED controller with its set-up: the same commands on every one,
 * contrast 0 to 255. */
#define OLED(setup_bytes, traits) TD_PAGE_CONTROLLER(setup_bytes, 255, traits)

/* Each panel on a bus (i2c, spi). The SSD1306 and the SSD1309 show RAM
 * columns 0 to 127; the SH1106 has 132, and the usual 128-pixel glass
 * shows 2 to 129. The SSD1309's registers are undefined until a reset
 * pulse. Upright, all but the SH1107 map column 127 to SEG0 (0xA1) and
 * scan from the last COM (0xC8); the SH1107's 64 x 128 modules, turned by
 * those directions, would show their rows 64 apart, so they do not turn. */
#define OLED_PANEL(bus, setup, traits, width, height, first, ram, clock)                          \
    {                                                                                              \
        .stream = TD_BUS_STREAM(bus), .controller = OLED(setup, traits), .columns = width,        \
        .rows = height, .first_column = first, .ram_columns = ram,                                 \
        .spi_clock = TD_SPI_CLOCK(clock)                                                           \
    }
#define OLED_UPRIGHT (TD_TURNS | TD_UPRIGHT_SEGMENTS_REVERSED | TD_UPRIGHT_COMS_REVERSED)
#define SSD1306_64(bus) OLED_PANEL(bus, ssd1306_setup, OLED_UPRIGHT, 128, 64, 0, 128, 10000000UL)
#define SSD1306_32(bus)                                                                            \
    OLED_PANEL(bus, ssd1306_32_setup, OLED_UPRIGHT, 128, 32, 0, 128, 10000000UL)
#define SSD1309_64(bus)                                                                            \
    OLED_PANEL(bus, ssd1309_setup, TD_NEEDS_RESET | OLED_UPRIGHT, 128, 64, 0, 128, 10000000UL)
#define SH1106_64(bus) OLED_PANEL(bus, sh1106_setup, OLED_UPRIGHT, 128, 64, 2, 132, 4000000UL)
#define SH1107_128(bus) OLED_PANEL(bus, sh1107_setup, TD_TURNS, 128, 128, 0, 128, 4000000UL)
#define SH1107_64(bus) OLED_PANEL(bus, sh1107_64_setup, 0, 64, 128, 0, 128, 4000000UL)

#if TD_I2C_BUS
TD_PANEL(tesselon_display_ssd1306_i2c) = SSD1306_64(i2c);
TD_PANEL(tesselon_display_ssd1306_32_i2c) = SSD1306_32(i2c);
TD_PANEL(tesselon_display_ssd1309_i2c) = SSD1309_64(i2c);
TD_PANEL(tesselon_display_sh1106_i2c) = SH1106_64(i2c);
TD_PANEL(tesselon_display_sh1107_i2c) = SH1107_128(i2c);
TD_PANEL(tesselon_display_sh1107_64_i2c) = SH1107_64(i2c);
#endif

#if TD_SPI_BUS
TD_PANEL(tesselon_display_ssd1306_spi) = SSD1306_64(spi);
TD_PANEL(tesselon_display_ssd1306_32_spi) = SSD1306_32(spi);
TD_PANEL(tesselon_display_ssd1309_spi) = SSD1309_64(spi);
TD_PANEL(tesselon_display_sh1106_spi) = SH1106_64(spi);
TD_PANEL(tesselon_display_sh1107_spi) = SH1107_128(spi);
TD_PANEL(tesselon_display_sh1107_64_spi) = SH1107_64(spi);
#endif

#endif
