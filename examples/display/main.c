/*
 * Shows the picture that tesselon made on an SSD1306, SSD1309 or SH1106
 * OLED, a PCD8544 (Nokia 5110) or an ST7920 LCD.
 *
 * picture.h is tesselon's output:  tesselon mypicture.bmp > picture.h
 *
 * The panel is chosen at build time: DISPLAY_PANEL names it
 * (tesselon_display_sh1106_i2c, say), on 4-wire SPI with DISPLAY_SPI,
 * else on I2C at DISPLAY_ADDRESS, 0x3C unless given. The picture is
 * centred unless PICTURE_X and PICTURE_Y give the panel column and row of
 * its top left pixel. With TILE, only that tile of the picture is drawn:
 * the picture is then a sheet of tiles of TILE_WIDTH x TILE_HEIGHT pixels.
 * With TEXT, that string is written with the picture as its font, a sheet
 * of glyphs of TILE_WIDTH x TILE_HEIGHT pixels from the blank (0x20) on.
 * DISPLAY_FLIP turns the panel by 180 degrees, DISPLAY_OFFSET sets its
 * column offset, DISPLAY_INVERTED draws in invert mode; FILL (x, y, width,
 * height, lit) fills a rectangle after the picture.
 * When the module does not answer, the LED on PB5 (the Uno's pin 13)
 * blinks.
 */
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <avr/sleep.h>
#include <util/delay.h>

#include "picture.h"
#include "tesselon_display.h"

#ifndef DISPLAY_PANEL
#define DISPLAY_PANEL tesselon_display_ssd1306_i2c
#endif
#ifndef DISPLAY_ADDRESS
#define DISPLAY_ADDRESS 0x3C
#endif

#if defined(TEXT)
#define SHOWN_WIDTH (TILE_WIDTH * text_cells(TEXT))
#define SHOWN_HEIGHT TILE_HEIGHT
#elif defined(TILE)
#define SHOWN_WIDTH TILE_WIDTH
#define SHOWN_HEIGHT TILE_HEIGHT
#else
#define SHOWN_WIDTH pgm_read_byte(&bmppic[0])
#define SHOWN_HEIGHT pgm_read_byte(&bmppic[1])
#endif
#ifndef PICTURE_X
#define PICTURE_X ((tesselon_display_columns(&display) - (int16_t)SHOWN_WIDTH) / 2)
#endif
#ifndef PICTURE_Y
#define PICTURE_Y ((tesselon_display_rows(&display) - (int16_t)SHOWN_HEIGHT) / 2)
#endif

static tesselon_display display;

#if defined(TEXT)
/* The cells a UTF-8 text takes: its bytes but the continuation bytes. */
static inline int16_t text_cells(const char *text)
{
    int16_t cells = 0;
    for (; *text; text++)
        cells += (*text & 0xC0) != 0x80;
    return cells;
}
#endif

/* The LED: PB5 on an Uno; on an ATtiny85 PB1, the Digispark's (DO on SPI,
 * so there a fault is not shown). The SPI's CS, D/C and RESET: PB2, PB1,
 * PB0 on an Uno (by its SPI: MOSI PB3, SCK PB5); on an ATtiny85 PB3, PB4,
 * PB0 (by its USI: DO PB1, USCK PB2). */
#if defined(USICR) && !defined(SPCR)
#define LED _BV(PB1)
#ifndef SPI_CS
#define SPI_CS 3
#endif
#define SPI_DC 4
#else
#define LED _BV(PB5)
#ifndef SPI_CS
#define SPI_CS 2
#endif
#define SPI_DC 1
#endif

/* A fault (or a tile that is not there): the LED blinks twice a second for good. */
static void blink(void)
{
    DDRB |= LED;
    for (;;) {
        PINB = LED; /* writing a 1 to PINx toggles the pin */
        _delay_ms(250);
    }
}

/* The display set up, and the picture drawn: each a function of its own,
 * which bench/display times. */
static uint8_t __attribute__((noinline)) begin_display(void)
{
#if defined(DISPLAY_SPI)
    /* CS (the ST7920's RS, active high), D/C (which the ST7920 has not), RESET PB0 */
    return tesselon_display_init_spi(&display, &DISPLAY_PANEL, TESSELON_PIN('B', SPI_CS),
                                     TESSELON_PIN('B', SPI_DC), TESSELON_PIN('B', 0));
#elif defined(DISPLAY_RESET) /* a module's RES on this pin (a TESSELON_PIN number) */
    return tesselon_display_init_i2c_reset(&display, &DISPLAY_PANEL, DISPLAY_ADDRESS,
                                           DISPLAY_RESET);
#else
    return tesselon_display_init_i2c(&display, &DISPLAY_PANEL, DISPLAY_ADDRESS);
#endif
}

static uint8_t __attribute__((noinline)) show(void)
{
#if defined(TEXT)
    return tesselon_display_draw_text(&display, bmppic, TILE_WIDTH, TILE_HEIGHT, TEXT, PICTURE_X,
                                      PICTURE_Y);
#elif defined(TILE)
    return tesselon_display_draw_tile(&display, bmppic, TILE_WIDTH, TILE_HEIGHT, TILE, PICTURE_X,
                                      PICTURE_Y);
#else
    return tesselon_display_draw(&display, bmppic, PICTURE_X, PICTURE_Y);
#endif
}

/* The view: a module mounted upside down, one that wires its glass to
 * other RAM columns, the picture drawn in invert mode. */
static uint8_t view(void)
{
    uint8_t fault = 0;
#if defined(DISPLAY_OFFSET)
    fault = tesselon_display_column_offset(&display, DISPLAY_OFFSET);
#endif
#if defined(DISPLAY_FLIP)
    if (!fault)
        fault = tesselon_display_flip(&display, 1);
#endif
#if defined(DISPLAY_INVERTED)
    if (!fault)
        fault = tesselon_display_invert_mode(&display, 1);
#endif
    return fault;
}

int main(void)
{
    uint8_t fault = begin_display();
    if (!fault)
        fault = view();
    if (!fault)
        fault = show();
#if defined(FILL) /* x, y, width, height, lit: a rectangle over the picture */
    if (!fault)
        fault = tesselon_display_fill_rect(&display, FILL);
#endif
    if (fault)
        blink();
    /* Done: the panel keeps the picture while the chip sleeps for good
     * (the simulator ends here). */
    set_sleep_mode(SLEEP_MODE_PWR_DOWN);
    cli();
    sleep_mode();
    return 0;
}
