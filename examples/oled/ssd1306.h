/*
 * SSD1306 OLED driver for the ATmega328P that draws tesselon's bmppic
 * arrays straight from flash. It keeps no frame buffer: the picture's rows
 * of horizontal bytes are turned into the controller's pages of vertical
 * bytes as they are sent.
 *
 * Build-time choices:
 *   SSD1306_SPI       4-wire SPI module (default: I2C at address 0x3C)
 *   SSD1306_ROWS      64 (default) or 32, the panel's height
 *
 * Wiring:
 *   I2C  SDA = PC4, SCL = PC5
 *   SPI  MOSI = PB3, SCK = PB5, CS = PB2, D/C = PB1, RESET = PB0
 */
#ifndef SSD1306_H
#define SSD1306_H

#include <stdint.h>

#ifndef SSD1306_ROWS
#define SSD1306_ROWS 64
#endif
#if SSD1306_ROWS != 64 && SSD1306_ROWS != 32
#error "SSD1306_ROWS must be 64 or 32"
#endif
#define SSD1306_COLUMNS 128

/* Sets the bus and the panel up, clears it and turns it on. */
void ssd1306_init(void);

/* Turns every pixel of the panel off. */
void ssd1306_clear(void);

/*
 * Draws a bmppic array from flash with its top left pixel at column x,
 * row y of the panel; both may be negative or lie beyond the panel, and
 * what falls outside it is left out. The 1-bits are lit, the 0-bits dark.
 * The controller takes 8 rows a byte, so the rows above and below the
 * picture that share a page with it are darkened within its columns.
 */
void ssd1306_draw(const uint8_t *picture, int16_t x, int16_t y);

#endif
