/*
 * Display driver for AVR microcontrollers that draws tesselon's bmppic arrays
 * straight from flash on an SSD1306 (128 x 64 or 128 x 32), SSD1309,
 * SH1106 (128 x 64) or SH1107 (128 x 128, 64 x 128) OLED module over I2C
 * or 4-wire SPI, on an ST7567 (128 x 64) LCD over I2C or 4-wire SPI, on a
 * UC1701 (128 x 64) or PCD8544 (84 x 48, the Nokia 5110's) LCD over
 * 4-wire SPI, or on an ST7920 (128 x 64) in its serial mode on the SPI
 * pins. It keeps no frame buffer: the
 * picture's rows of horizontal bytes are turned into the controller's
 * pages of 8 vertical pixels as they are sent (the ST7920 takes the rows
 * as they are). It draws a whole picture, one tile of a sheet of icons or
 * frames, or a line of text with a font that is a sheet of glyphs. Its RAM
 * is the six bytes of one struct tesselon_display.
 *
 * Controller, height and bus are one panel description in flash, named at
 * the call to init; only the one named is linked into the firmware:
 *
 *   tesselon_display_ssd1306_i2c      tesselon_display_ssd1306_spi
 *   tesselon_display_ssd1306_32_i2c   tesselon_display_ssd1306_32_spi
 *   tesselon_display_ssd1309_i2c      tesselon_display_ssd1309_spi
 *   tesselon_display_sh1106_i2c       tesselon_display_sh1106_spi
 *   tesselon_display_sh1107_i2c       tesselon_display_sh1107_spi
 *   tesselon_display_sh1107_64_i2c    tesselon_display_sh1107_64_spi
 *   tesselon_display_st7567_i2c       tesselon_display_st7567_spi
 *   tesselon_display_uc1701_spi       tesselon_display_pcd8544_spi
 *   tesselon_display_st7920_spi
 *
 * Pins: I2C uses the chip's TWI pins (SDA, SCL). SPI uses the chip's MOSI
 * and SCK, keeps its SS an output, and drives CS, D/C and RESET on pins
 * named at init. On an ATtiny with a USI and neither (the ATtiny25/45/85:
 * SDA PB0, SCL PB2; SPI's MOSI on DO, PB1, SCK on PB2) both buses go over
 * the USI. Pins are named at init as Arduino pin numbers in a sketch,
 * TESSELON_PIN('B', 2) and the like elsewhere; TESSELON_NO_PIN for a CS or
 * RESET that is not wired.
 * The SSD1309, the ST7567 and UC1701 on SPI, and the PCD8544 need their
 * RESET wired. The ST7920 has no
 * D/C (TESSELON_NO_PIN), and its CS (the module's RS pin) is active high.
 *
 * Every call returns TESSELON_DISPLAY_OK or what kept it from its end;
 * each call tries afresh, whatever the call before returned:
 *
 *   BUS_FAULT         no module answered on I2C, or the bus was held low
 *                     (the transfer is ended, the bus cleared and let go)
 *   ARBITRATION_LOST  another I2C master won the bus: the bus is left to it
 *   BUS_BUSY          Wire holds the I2C bus, or keeps a repeated START
 *                     for its next transfer: nothing was sent
 *   ARGUMENT_ERROR    a display init has not set up (the struct must then
 *                     be all zeros, as a global is), no panel, no picture,
 *                     a pin that names no pin, a D/C that is
 *                     TESSELON_NO_PIN, a RESET that must be wired and is
 *                     not, a command the controller lacks
 *
 * A picture in flash beyond the first 64 KB, on the ATmega2560, is drawn
 * from its far address (tesselon_display_draw_far); there a pointer that
 * may name either of two places is refused.
 */
#ifndef TESSELON_DISPLAY_H
#define TESSELON_DISPLAY_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TESSELON_DISPLAY_OK 0
#define TESSELON_DISPLAY_BUS_FAULT 1
#define TESSELON_DISPLAY_ARBITRATION_LOST 2
#define TESSELON_DISPLAY_BUS_BUSY 3
#define TESSELON_DISPLAY_ARGUMENT_ERROR 4

/* The width of every panel but the PCD8544's 84 columns: tesselon_display_columns
 * tells a panel's own. */
#define TESSELON_DISPLAY_COLUMNS 128

/* A line that is not wired: a RESET tied to the board's reset, or a CS tied low. */
#define TESSELON_NO_PIN 0xFF

#ifndef ARDUINO
/* A pin of ports A to G outside the Arduino core: TESSELON_PIN('B', 2) is PB2. */
#define TESSELON_PIN(port, bit) ((uint8_t)((((port) - 'A') << 3) | (bit)))
#endif

typedef struct tesselon_display_panel tesselon_display_panel;

typedef struct tesselon_display {
    const tesselon_display_panel *panel; /* in flash */
    uint8_t state;                       /* the call's result, a byte on its way */
    union {                              /* what the panel's bus keeps, three bytes */
        struct {
            uint8_t address;  /* shifted, to write to */
            uint8_t control;  /* the stream's control byte */
            uint8_t as_found; /* TWCR's idle bits as the TWI was found */
        } i2c;
        struct {
            uint8_t cs, dc, reset;
        } spi;
        struct {
            uint8_t cs;     /* as on the SPI; D/C and RESET are free after init */
            uint8_t stream; /* the stream's state */
            uint8_t pixels; /* the byte under way, behind a marker bit */
        } st7920;
    } bus;
} tesselon_display;

/*
 * Every panel, once: PANEL(name, stem, i2c, spi) for each, its name in a
 * sketch (TesselonDisplay::name), the stem of its C panels
 * (tesselon_display_<stem>_i2c and _spi) and whether it is on each bus (1
 * or 0). All else that names the panels follows from this list or is
 * checked against it.
 */
#define TESSELON_DISPLAY_PANELS(PANEL)                                                             \
    PANEL(SSD1306_128x64, ssd1306, 1, 1)                                                           \
    PANEL(SSD1306_128x32, ssd1306_32, 1, 1)                                                        \
    PANEL(SH1106_128x64, sh1106, 1, 1)                                                             \
    PANEL(SH1107_128x128, sh1107, 1, 1)                                                            \
    PANEL(SH1107_64x128, sh1107_64, 1, 1)                                                          \
    PANEL(SSD1309_128x64, ssd1309, 1, 1)                                                           \
    PANEL(ST7567_128x64, st7567, 1, 1)                                                             \
    PANEL(UC1701_128x64, uc1701, 0, 1)                                                             \
    PANEL(PCD8544_84x48, pcd8544, 0, 1)                                                            \
    PANEL(ST7920_128x64, st7920, 0, 1)

/* Its arguments where on is 1, nothing where it is 0. */
#define TESSELON_DISPLAY_IF(on, ...) TESSELON_DISPLAY_IF_##on(__VA_ARGS__)
#define TESSELON_DISPLAY_IF_1(...) __VA_ARGS__
#define TESSELON_DISPLAY_IF_0(...)

#define TESSELON_DISPLAY_DECLARE(name, stem, i2c, spi)                                             \
    TESSELON_DISPLAY_IF(i2c, extern const tesselon_display_panel tesselon_display_##stem##_i2c;)   \
    TESSELON_DISPLAY_IF(spi, extern const tesselon_display_panel tesselon_display_##stem##_spi;)
TESSELON_DISPLAY_PANELS(TESSELON_DISPLAY_DECLARE)
#undef TESSELON_DISPLAY_DECLARE

/* Sets the bus and an I2C panel at address (0x3C or 0x3D, or as module
 * boards print them, 0x78 or 0x7A) up, clears it and turns it on. */
uint8_t tesselon_display_init_i2c(tesselon_display *display, const tesselon_display_panel *panel,
                                  uint8_t address);

/* The same with the module's RES line on pin reset, pulsed first (the
 * SSD1309's 2.42" modules need it), or TESSELON_NO_PIN. */
uint8_t tesselon_display_init_i2c_reset(tesselon_display *display,
                                        const tesselon_display_panel *panel, uint8_t address,
                                        uint8_t reset);

/* The same for an SPI panel with its CS, D/C and RESET pins. */
uint8_t tesselon_display_init_spi(tesselon_display *display, const tesselon_display_panel *panel,
                                  uint8_t cs, uint8_t dc, uint8_t reset);

/* What the last call returned. */
uint8_t tesselon_display_result(const tesselon_display *display);

/* The panel's width and height in pixels, as the module stands (64 x 128
 * for the SH1107_64x128), 0 before init. */
uint8_t tesselon_display_columns(const tesselon_display *display);
uint8_t tesselon_display_rows(const tesselon_display *display);

/* Turns every pixel of the panel off. */
uint8_t tesselon_display_clear(tesselon_display *display);

/*
 * Draws a bmppic array from flash with its top left pixel at column x,
 * row y of the panel; both may be any value, negative ones too, and what
 * falls outside the panel is left out. The 1-bits are lit, the 0-bits
 * dark. The page controllers take 8 rows a byte, so the rows above and
 * below the picture that share a page with it are darkened within its
 * columns; the ST7920 takes 16 pixels a word, so the pixels left and right
 * of the picture that share a word with it are darkened within its rows.
 */
uint8_t tesselon_display_draw(tesselon_display *display, const uint8_t *picture, int16_t x,
                              int16_t y);

/* The same for a picture at a far address in flash, pgm_get_far_address(bmppic),
 * which reaches all of the ATmega2560's flash and works on every chip. */
uint8_t tesselon_display_draw_far(tesselon_display *display, uint32_t picture, int16_t x,
                                  int16_t y);

/*
 * Draws one tile of a sheet: a bmppic array cut into a grid of tiles of
 * width x height pixels, numbered from 0 left to right, then top to
 * bottom (what is left over at the sheet's right or bottom is no tile),
 * with its top left pixel at column x, row y, as draw does. Only the
 * tile's own bytes are read. An index past the last tile draws nothing
 * and is an argument error. The _far twin takes the sheet's far address.
 */
uint8_t tesselon_display_draw_tile(tesselon_display *display, const uint8_t *sheet, uint8_t width,
                                   uint8_t height, uint16_t index, int16_t x, int16_t y);
uint8_t tesselon_display_draw_tile_far(tesselon_display *display, uint32_t sheet, uint8_t width,
                                       uint8_t height, uint16_t index, int16_t x, int16_t y);

/*
 * Writes text, a UTF-8 string in RAM (_P: in flash, PSTR("...")), with its
 * top left pixel at column x, row y, clipped as draw is. The font is a
 * sheet of glyphs of width x height pixels, numbered as tiles are: U+0020
 * (the blank) to U+007E, then, where the sheet has more, U+00A0 to U+00FF
 * (Latin-1: glyph 95 + code point - 0xA0). A character it has no glyph
 * for, and each malformed byte sequence, shows as the blank, one cell a
 * character. The string is drawn page by page across all its glyphs, so
 * that glyphs sharing a page do not darken each other.
 */
uint8_t tesselon_display_draw_text(tesselon_display *display, const uint8_t *font, uint8_t width,
                                   uint8_t height, const char *text, int16_t x, int16_t y);
uint8_t tesselon_display_draw_text_P(tesselon_display *display, const uint8_t *font, uint8_t width,
                                     uint8_t height, const char *text, int16_t x, int16_t y);

/*
 * Lights (lit 1) or darkens (0) a rectangle of width x height pixels with
 * its top left pixel at column x, row y, clipped as draw is; as with draw,
 * the rows that share its pages (the ST7920: its words) are darkened
 * within its columns (its rows).
 */
uint8_t tesselon_display_fill_rect(tesselon_display *display, int16_t x, int16_t y, uint8_t width,
                                   uint8_t height, uint8_t lit);

/*
 * The view (linked only where a sketch calls one of these three). Invert
 * mode (1): everything drawn after it (pictures, tiles, text, rectangles)
 * is sent with every pixel inverted, the rows that share its pages (the
 * ST7920: its words) lit instead of dark; 0: as drawn. Unlike
 * tesselon_display_invert, it changes nothing already on the glass; clear
 * still darkens.
 */
uint8_t tesselon_display_invert_mode(tesselon_display *display, uint8_t on);

/*
 * Turns everything drawn after it by 180 degrees (1), for a module mounted
 * upside down, or back (0), by the controller's segment and COM
 * directions: draw again after it, as what is on the glass does not turn
 * whole (its rows turn at once, its columns only as they are written).
 * The PCD8544, the ST7920 and the SH1107's 64 x 128 modules cannot turn:
 * 1 is refused there.
 */
uint8_t tesselon_display_flip(tesselon_display *display, uint8_t flipped);

/*
 * The RAM column that the glass's leftmost column shows while the panel is
 * upright, for a module that wires its glass elsewhere than the panel's
 * default (0 on the SSD1306, SSD1309, SH1107 and UC1701, 2 on the SH1106,
 * 4 on the ST7567); flipped, the driver shows the glass from the RAM's
 * columns less the glass's less column. At most the RAM's columns less the
 * glass's (4 on the SH1106 and the ST7565 family, else 0).
 *
 * init sets the view back to the panel's own. Two displays at once may
 * have a view of their own; a third is refused until one of them is back
 * to its panel's view. Each such display costs 3 bytes of RAM.
 */
uint8_t tesselon_display_column_offset(tesselon_display *display, uint8_t column);

/* Turns the glass off (0) and on again (1), its RAM kept: the panel then
 * draws next to no current. */
uint8_t tesselon_display_on(tesselon_display *display, uint8_t on);

/* Shows the 0-bits lit and the 1-bits dark (1), or as drawn (0); the
 * ST7920 has no inverted display and refuses 1. */
uint8_t tesselon_display_invert(tesselon_display *display, uint8_t inverted);

/* Sets the contrast, 0 to 255: the OLEDs' contrast, or the PCD8544's
 * operating voltage from 6.0 to 8.5 V, the range of its own generator (a
 * PCD8544 that is off stays dark until it is turned on). The ST7920's
 * contrast is its module's potentiometer: refused. */
uint8_t tesselon_display_contrast(tesselon_display *display, uint8_t value);

#ifdef __cplusplus
}
#endif

#endif
