/*
 * Shows the picture that tesselon made on an SSD1306, SSD1309 or SH1106
 * OLED, a PCD8544 (Nokia 5110) or an ST7920 LCD.
 *
 * picture.h is tesselon's output:  tesselon mypicture.bmp > picture.h
 *
 * The panel is chosen at build time: DISPLAY_SH1106, DISPLAY_SSD1309,
 * DISPLAY_PCD8544 or DISPLAY_ST7920 for those (else an SSD1306),
 * DISPLAY_ROWS=32 for a 128 x 32 SSD1306, DISPLAY_SPI for 4-wire SPI (else
 * I2C at DISPLAY_ADDRESS, 0x3C unless given; the PCD8544 and the ST7920
 * are on the SPI alone). The picture is centred
 * unless PICTURE_X and PICTURE_Y give the panel column and row of its top
 * left pixel. With TILE, only that tile of the picture is drawn: the
 * picture is then a sheet of tiles of TILE_WIDTH x TILE_HEIGHT pixels.
 * With TEXT, that string is written with the picture as its font, a sheet
 * of glyphs of TILE_WIDTH x TILE_HEIGHT pixels from the blank (0x20) on. When the module does not
 * answer, the LED on PB5 (the Uno's pin 13) blinks.
 */
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <avr/sleep.h>
#include <util/delay.h>

#include "picture.h"
#include "tesselon_display.h"

#ifndef DISPLAY_ROWS
#define DISPLAY_ROWS 64
#endif
#ifndef DISPLAY_ADDRESS
#define DISPLAY_ADDRESS 0x3C
#endif

#if defined(DISPLAY_PCD8544)
#define PANEL tesselon_display_pcd8544_spi
#elif defined(DISPLAY_ST7920)
#define PANEL tesselon_display_st7920_spi
#elif defined(DISPLAY_SSD1309) && defined(DISPLAY_SPI)
#define PANEL tesselon_display_ssd1309_spi
#elif defined(DISPLAY_SSD1309)
#define PANEL tesselon_display_ssd1309_i2c
#elif defined(DISPLAY_SH1106) && defined(DISPLAY_SPI)
#define PANEL tesselon_display_sh1106_spi
#elif defined(DISPLAY_SH1106)
#define PANEL tesselon_display_sh1106_i2c
#elif DISPLAY_ROWS == 32 && defined(DISPLAY_SPI)
#define PANEL tesselon_display_ssd1306_32_spi
#elif DISPLAY_ROWS == 32
#define PANEL tesselon_display_ssd1306_32_i2c
#elif defined(DISPLAY_SPI)
#define PANEL tesselon_display_ssd1306_spi
#else
#define PANEL tesselon_display_ssd1306_i2c
#endif

#if defined(TEXT)
#define SHOWN_WIDTH (TILE_WIDTH * (sizeof TEXT - 1))
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

/* A fault (or a tile that is not there): the LED blinks twice a second for good. */
static void blink(void)
{
    DDRB |= _BV(PB5);
    for (;;) {
        PINB = _BV(PB5); /* writing a 1 to PINx toggles the pin */
        _delay_ms(250);
    }
}

int main(void)
{
#if defined(DISPLAY_ST7920)
    /* CS (active high) PB2, no D/C, RESET PB0 */
    uint8_t fault = tesselon_display_init_spi(&display, &PANEL, TESSELON_PIN('B', 2),
                                              TESSELON_NO_PIN, TESSELON_PIN('B', 0));
#elif defined(DISPLAY_SPI) || defined(DISPLAY_PCD8544)
    /* CS PB2, D/C PB1, RESET PB0 */
    uint8_t fault = tesselon_display_init_spi(&display, &PANEL, TESSELON_PIN('B', 2),
                                              TESSELON_PIN('B', 1), TESSELON_PIN('B', 0));
#else
    uint8_t fault = tesselon_display_init_i2c(&display, &PANEL, DISPLAY_ADDRESS);
#endif
#if defined(TEXT)
    if (!fault)
        fault = tesselon_display_draw_text(&display, bmppic, TILE_WIDTH, TILE_HEIGHT, TEXT,
                                           PICTURE_X, PICTURE_Y);
#elif defined(TILE)
    if (!fault)
        fault = tesselon_display_draw_tile(&display, bmppic, TILE_WIDTH, TILE_HEIGHT, TILE,
                                           PICTURE_X, PICTURE_Y);
#else
    if (!fault)
        fault = tesselon_display_draw(&display, bmppic, PICTURE_X, PICTURE_Y);
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
